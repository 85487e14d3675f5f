// The PNG decoder through TPngGraphic on the bytes (all but the last, whose bits choose the options:
// MacBinary check, 16-bit bitmaps, a row hook with a key, and the form-data road). What it accepts must go
// through the encoder and decode again to a picture of the same size.
#include "FuzzSupport.h"
#include "PngGraphic.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const fuzz::Bytes bytes(Data, Size - 1);
  const uint8_t options = Data[Size - 1];
  if (fuzz::PngTooSlow(bytes)) return 0;
  TMemoryStream stream;
  fuzz::Fill(stream, bytes);
  TPngGraphic png;
  png.CheckMacBinary = options & 1;
  png.Allow16Bit = options & 2;
  if (options & 4) {
    png.Key = "key";
    png.OnDecodeRow = [](TObject*, uint8_t* Row, int32_t RowBytes, int32_t RowIndex, const std::string& Key) {
      for (int32_t i = 0; i < RowBytes; ++i) Row[i] ^= static_cast<uint8_t>(Key[i % Key.size()] + RowIndex);
    };
  }
  const bool formData = options & 8;
  if (!fuzz::Accepted([&] { formData ? png.ReadData(stream) : png.LoadFromStream(stream); })) return 0;
  fuzz::Check(stream.Position() <= stream.Size(), "the decoder left the stream past its end");
  if (png.Empty()) return 0;
  fuzz::Check(!png.HasAlpha ||
                  (png.AlphaBitmap().Width() == png.Width() && png.AlphaBitmap().Height() == png.Height()),
              "the alpha bitmap's size differs from the image's");

  TMemoryStream written;
  png.OnDecodeRow = nullptr;
  png.Key.clear();
  if (!fuzz::Accepted([&] { png.SaveToStream(written); }))
    fuzz::Finding("a decoded picture cannot be encoded");
  written.SetPosition(0);
  TPngGraphic again;
  if (!fuzz::Accepted([&] { again.LoadFromStream(written); })) fuzz::Finding("an encoded picture is refused");
  fuzz::Check(again.Width() == png.Width() && again.Height() == png.Height(),
              "encoding and decoding changed the size");
  return 0;
}

// The platform bitmap's BMP reader on the bytes. What it accepts must survive a write and a second read
// unchanged; what it refuses it refuses with "Bitmap image is not valid" and keeps its image.
#include <cstring>

#include "FuzzSupport.h"
#include "Graphics.h"

namespace {

void CheckSameImage(const TBitmap& A, const TBitmap& B) {
  fuzz::Check(A.Width() == B.Width() && A.Height() == B.Height(), "size changed by a write and read");
  fuzz::Check(A.PixelFormat() == B.PixelFormat(), "pixel format changed by a write and read");
  fuzz::Check(A.Image().Bits == B.Image().Bits, "pixels changed by a write and read");
  if (A.Palette())
    fuzz::Check(B.Palette() && A.Palette()->Entries == B.Palette()->Entries, "palette changed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const fuzz::Bytes bytes(Data, Size);
  if (fuzz::DibHeaderTooSlow(bytes, 14)) return 0;
  TMemoryStream stream;
  fuzz::Fill(stream, bytes);
  TBitmap bitmap;
  bitmap.SetImage(NewBitmapImage(3, 2, pf8bit, nullptr, true));
  const std::vector<uint8_t> before = bitmap.Image().Bits;
  try {
    bitmap.LoadFromStream(stream);
  } catch (const EInvalidGraphic& e) {
    fuzz::Check(std::strcmp(e.what(), SInvalidBitmap) == 0, "refusal with another message");
    fuzz::Check(bitmap.Width() == 3 && bitmap.Height() == 2 && bitmap.Image().Bits == before,
                "a refused read changed the bitmap");
    return 0;
  } catch (const std::exception& e) {
    fuzz::Finding(std::string("refusal with another exception: ") + e.what());
  }
  const TBitmapImage& image = bitmap.Image();
  fuzz::Check(image.Bits.size() == static_cast<size_t>(int64_t{image.RowBytes} * image.Height),
              "pixel memory does not match the size");

  TMemoryStream written;
  bitmap.SaveToStream(written);
  written.SetPosition(0);
  TBitmap again;
  if (!fuzz::Accepted([&] { again.LoadFromStream(written); })) fuzz::Finding("a written BMP is refused");
  CheckSameImage(bitmap, again);
  return 0;
}

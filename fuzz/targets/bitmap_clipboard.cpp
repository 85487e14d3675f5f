// The platform bitmap's CF_DIB reader on the bytes as a clipboard block. What it accepts must survive its own
// clipboard form and the DIB library's conversion of the bitmap.
#include <cstring>

#include "Clipbrd.h"
#include "DibImage.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const fuzz::Bytes bytes(Data, Size);
  if (fuzz::DibHeaderTooSlow(bytes, 0)) return 0;
  SetDibDefaultUseFMO(false);
  auto block = std::make_shared<TGlobalMemory>();
  block->Bytes.assign(bytes.begin(), bytes.end());
  TBitmap bitmap;
  try {
    bitmap.LoadFromClipboardFormat(CF_DIB, block, nullptr);
  } catch (const EInvalidGraphic& e) {
    fuzz::Check(std::strcmp(e.what(), SInvalidBitmap) == 0, "refusal with another message");
    return 0;
  } catch (const std::exception& e) {
    fuzz::Finding(std::string("refusal with another exception: ") + e.what());
  }

  uint16_t format = 0;
  HGLOBAL data;
  HPALETTE palette;
  bitmap.SaveToClipboardFormat(format, data, palette);
  TBitmap again;
  if (!fuzz::Accepted([&] { again.LoadFromClipboardFormat(format, data, palette); }))
    fuzz::Finding("the bitmap's own clipboard block is refused");
  fuzz::Check(again.Width() == bitmap.Width() && again.Height() == bitmap.Height() &&
                  again.PixelFormat() == bitmap.PixelFormat() && again.Image().Bits == bitmap.Image().Bits,
              "the clipboard form changed the image");

  // The DIB library takes the bitmap's pixels and gives them back.
  if (!bitmap.Empty()) {
    TDibGraphic dib;
    TBitmap back;
    if (!fuzz::Accepted([&] {
          dib.Assign(&bitmap);
          dib.AssignTo(&back);
        }))
      fuzz::Finding("the DIB library refused a bitmap");
    fuzz::Check(back.Width() == bitmap.Width() && back.Height() == bitmap.Height(), "DIB changed the size");
  }
  return 0;
}

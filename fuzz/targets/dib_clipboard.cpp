// The DIB library's CF_DIB reader on the bytes (all but the last, which picks a conversion) as a clipboard
// block. What it accepts must survive its own clipboard form unchanged and go through a conversion and a
// transfer to a platform bitmap.
#include "DibFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const fuzz::Bytes bytes(Data, Size - 1);
  if (fuzz::DibHeaderTooSlow(bytes, 0)) return 0;
  SetDibDefaultUseFMO(false);
  auto block = std::make_shared<TGlobalMemory>();
  block->Bytes.assign(bytes.begin(), bytes.end());
  TDibGraphic dib;
  if (!fuzz::Accepted([&] { dib.LoadFromClipboardFormat(CF_DIB, block, nullptr); })) return 0;
  fuzz::CheckStorage(*dib.InternalDIB());

  uint16_t format = 0;
  HGLOBAL data;
  HPALETTE palette;
  dib.SaveToClipboardFormat(format, data, palette);
  TDibGraphic again;
  if (!fuzz::Accepted([&] { again.LoadFromClipboardFormat(format, data, palette); }))
    fuzz::Finding("the DIB's own clipboard block is refused");
  fuzz::Check(fuzz::SameDib(*dib.InternalDIB(), *again.InternalDIB()), "the clipboard form changed the DIB");

  fuzz::ConvertAndDraw(dib, Data[Size - 1]);
  return 0;
}

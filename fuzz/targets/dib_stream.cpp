// The DIB library's BMP stream reader on the bytes (all but the last, which picks a conversion). What it
// accepts must survive its writer and a second read unchanged, and go through a conversion and a transfer to
// a platform bitmap, compressed pictures through the RLE converters.
#include "DibFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const fuzz::Bytes bytes(Data, Size - 1);
  if (fuzz::DibHeaderTooSlow(bytes, 14)) return 0;
  SetDibDefaultUseFMO(false);
  TMemoryStream stream;
  fuzz::Fill(stream, bytes);
  TDibGraphic dib;
  if (!fuzz::Accepted([&] { dib.LoadFromStream(stream); })) return 0;
  fuzz::CheckStorage(*dib.InternalDIB());

  TMemoryStream written;
  dib.SaveToStream(written);
  written.SetPosition(0);
  TDibGraphic again;
  if (!fuzz::Accepted([&] { again.LoadFromStream(written); })) fuzz::Finding("a written BMP is refused");
  fuzz::Check(fuzz::SameDib(*dib.InternalDIB(), *again.InternalDIB()), "a write and read changed the DIB");

  fuzz::ConvertAndDraw(dib, Data[Size - 1]);
  return 0;
}

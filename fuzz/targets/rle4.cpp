// BI_RLE4 data through the platform's decoder and the DIB library's RLE4 converters.
#include "RleFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  return fuzz::RunRle(Data, Size, 4);
}

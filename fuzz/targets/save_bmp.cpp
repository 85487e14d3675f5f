// SaveEditImage on whatever the BMP load of the document accepts.
#include "SaveFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  return fuzz::RunSave(Data, Size, "in.bmp");
}

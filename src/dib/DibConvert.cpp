// The widening and key-colour converters, and the dispatch that chains converters for SetPixelsFormat.
#include <cstring>
#include <string>
#include <utility>

#include "DibInternal.h"

using namespace dib_detail;

namespace dib_detail {

void CheckSourceRows(const TDibRecord& source, const char* name) {
  Assert(source.Bits() != nullptr && source.ImageSize >= source.RowBytes() * source.AbsHeight(),
         (std::string(name) + ": Invalid Image Size").c_str());
}

TDibRecord NewResult(const TDibRecord& source, int bitCount, bool useFMO, const char* name) {
  TDibRecord result = CopyDibLayout(source);
  BITMAPINFOHEADER& h = result.Header;
  h.biBitCount = static_cast<uint16_t>(bitCount);
  h.biCompression = BI_RGB;
  h.biSizeImage = 0;
  const int64_t size = DibImageBytes(h.biWidth, result.AbsHeight(), bitCount);
  if (size < 0) throw EOutOfResources(std::string(name) + ": Image Too Large");
  result.ImageSize = size;
  result.Memory = GetMemory(size, useFMO);
  return result;
}

void CheckCombination(const TDibRecord& source, int bitCount, uint32_t compression, const char* name) {
  if (source.Header.biBitCount != bitCount || source.Header.biCompression != compression)
    throw EDibBadDIBType(std::string(name) + ": Invalid Bitcount & Compression Combination");
}

}  // namespace dib_detail

namespace {

// Copies every pixel's index into a wider indexed layout; colours stay as they are.
TDibRecord WidenIndices(const TDibRecord& source, bool useFMO, int sourceBits, int targetBits,
                        const char* name) {
  CheckCombination(source, sourceBits, BI_RGB, name);
  CheckSourceRows(source, name);
  TDibRecord result = NewResult(source, targetBits, useFMO, name);
  const int64_t width = source.Width();
  for (int64_t y = 0; y < source.AbsHeight(); ++y) {
    const uint8_t* s = source.MemoryRow(y);
    uint8_t* d = result.MemoryRow(y);
    for (int64_t x = 0; x < width; ++x) WritePixel(d, x, targetBits, ReadPixel(s, x, sourceBits));
  }
  return result;
}

// Writes every pixel's colour entry as blue, green, red; the colour table is kept.
TDibRecord IndicesToTrueColor(const TDibRecord& source, bool useFMO, int sourceBits, const char* name) {
  CheckCombination(source, sourceBits, BI_RGB, name);
  CheckSourceRows(source, name);
  TDibRecord result = NewResult(source, 24, useFMO, name);
  const int64_t width = source.Width();
  for (int64_t y = 0; y < source.AbsHeight(); ++y) {
    const uint8_t* s = source.MemoryRow(y);
    uint8_t* d = result.MemoryRow(y);
    for (int64_t x = 0; x < width; ++x, d += 3) {
      const RGBQUAD& c = source.Colors[ReadPixel(s, x, sourceBits)];
      d[0] = c.rgbBlue;
      d[1] = c.rgbGreen;
      d[2] = c.rgbRed;
    }
  }
  return result;
}

// Bit 1 for the pixels whose colour equals the key colour, 0 for all others; colours black and white.
TDibRecord KeyColorTo1Bit(const TDibRecord& source, bool useFMO, int sourceBits, TColor keyColor,
                          const char* name, const char* message) {
  if (source.Header.biBitCount != sourceBits || source.Header.biCompression != BI_RGB)
    throw EDibBadDIBType(std::string(name) + ": " + message);
  CheckSourceRows(source, name);
  TDibRecord result = NewResult(source, 1, useFMO, name);
  const RGBQUAD key{GetBValue(keyColor), GetGValue(keyColor), GetRValue(keyColor), 0};
  const int64_t width = source.Width();
  for (int64_t y = 0; y < source.AbsHeight(); ++y) {
    const uint8_t* s = source.MemoryRow(y);
    uint8_t* d = result.MemoryRow(y);
    for (int64_t x = 0; x < width; ++x) {
      const RGBQUAD c = PixelColor(source, s, x);
      if (c.rgbRed == key.rgbRed && c.rgbGreen == key.rgbGreen && c.rgbBlue == key.rgbBlue)
        WritePixel(d, x, 1, 1);
    }
  }
  result.Header.biClrUsed = 2;
  result.Colors[0] = RGBQUAD{0, 0, 0, 0};
  result.Colors[1] = RGBQUAD{255, 255, 255, 0};
  return result;
}

}  // namespace

TDibRecord Convert1BitRGBTo4BitRGB(const TDibRecord& Source, bool UseFMO) {
  return WidenIndices(Source, UseFMO, 1, 4, "Convert1BitRGBTo4BitRGB");
}
TDibRecord Convert1BitRGBTo8BitRGB(const TDibRecord& Source, bool UseFMO) {
  return WidenIndices(Source, UseFMO, 1, 8, "Convert1BitRGBTo8BitRGB");
}
TDibRecord Convert4BitRGBTo8BitRGB(const TDibRecord& Source, bool UseFMO) {
  return WidenIndices(Source, UseFMO, 4, 8, "Convert4BitRGBTo8BitRGB");
}
TDibRecord Convert1BitRGBToTrueColor(const TDibRecord& Source, bool UseFMO) {
  return IndicesToTrueColor(Source, UseFMO, 1, "Convert1BitRGBToTrueColor");
}
TDibRecord Convert4BitRGBToTrueColor(const TDibRecord& Source, bool UseFMO) {
  return IndicesToTrueColor(Source, UseFMO, 4, "Convert4BitRGBToTrueColor");
}
TDibRecord Convert8BitRGBToTrueColor(const TDibRecord& Source, bool UseFMO) {
  return IndicesToTrueColor(Source, UseFMO, 8, "Convert8BitRGBToTrueColor");
}
TDibRecord ConvertTrueColorTo1BitRGB(const TDibRecord& Source, bool UseFMO, TColor KeyColor) {
  return KeyColorTo1Bit(Source, UseFMO, 24, KeyColor, "ConvertTrueColorTo1BitRGB", "Invalid Bitcount");
}
TDibRecord Convert8BitTo1BitRGB(const TDibRecord& Source, bool UseFMO, TColor KeyColor) {
  return KeyColorTo1Bit(Source, UseFMO, 8, KeyColor, "Convert8BitTo1BitRGB",
                        "Invalid Bitcount or Compression");
}
TDibRecord Convert4BitRGBTo1BitRGB(const TDibRecord& Source, bool UseFMO, TColor KeyColor) {
  return KeyColorTo1Bit(Source, UseFMO, 4, KeyColor, "Convert4BitRGBTo1BitRGB", "Invalid Bitcount");
}

// ---------------------------------------------------------------------------------------------------------------
// Dispatch

const char* DibConverterName(TDibConverter Converter) {
  switch (Converter) {
#define TILORA_DIB_CONVERTER_NAME(Name, Params) \
  case TDibConverter::Name:                     \
    return #Name;
    TILORA_DIB_CONVERTERS(TILORA_DIB_CONVERTER_NAME)
#undef TILORA_DIB_CONVERTER_NAME
  }
  return "";
}

std::vector<TDibConverter> DibConversionChain(TDibPixelFormat Source, TDibPixelFormat Target,
                                              uint8_t ConvertMode) {
  using C = TDibConverter;
  const char* const error = "TDibStorage.SetPixelsFormat: PixelFormat Error";
  Assert(Source <= dpf24Bit && Target <= dpfHalftoneBW, error);
  if (Target == dpfHalftone || Target == dpfHalftoneBW) {
    std::vector<C> chain;
    if (Source == dpf4BitRLE) chain.push_back(C::Convert4BitRLETo4BitRGB);
    if (Source == dpf8BitRLE) chain.push_back(C::Convert8BitRLETo8BitRGB);
    chain.push_back(Target == dpfHalftone ? C::ConvertToHalfTone : C::ConvertToHalfToneBW);
    return chain;
  }
  if (Source == dpf24Bit && Target != dpf1Bit) {
    Assert(ConvertMode <= 1, error);
  }
  const C to8 = ConvertMode == 0 ? C::ConvertTrueColorTo8BitRGBLow : C::ConvertTrueColorTo8BitRGBHigh;
  const C to4 = ConvertMode == 0 ? C::ConvertTrueColorTo4BitRGBLow : C::ConvertTrueColorTo4BitRGBHigh;
  // Rows: source format 0..5; columns: target format 0..5.
  const std::vector<C> table[6][6] = {
      {{},
       {C::Convert1BitRGBTo4BitRGB},
       {C::Convert1BitRGBTo4BitRGB, C::Convert4BitRGBTo4BitRLE},
       {C::Convert1BitRGBTo8BitRGB},
       {C::Convert1BitRGBTo8BitRGB, C::Convert8BitRGBTo8BitRLE},
       {C::Convert1BitRGBToTrueColor}},
      {{C::Convert4BitRGBTo1BitRGB},
       {},
       {C::Convert4BitRGBTo4BitRLE},
       {C::Convert4BitRGBTo8BitRGB},
       {C::Convert4BitRGBTo8BitRGB, C::Convert8BitRGBTo8BitRLE},
       {C::Convert4BitRGBToTrueColor}},
      {{C::Convert4BitRLETo4BitRGB, C::Convert4BitRGBTo1BitRGB},
       {C::Convert4BitRLETo4BitRGB},
       {},
       {C::Convert4BitRLETo4BitRGB, C::Convert4BitRGBTo8BitRGB},
       {C::Convert4BitRLETo4BitRGB, C::Convert4BitRGBTo8BitRGB, C::Convert8BitRGBTo8BitRLE},
       {C::Convert4BitRLETo4BitRGB, C::Convert4BitRGBToTrueColor}},
      {{C::Convert8BitTo1BitRGB},
       {C::Convert8BitRGBTo4BitRGB},
       {C::Convert8BitRGBTo4BitRGB, C::Convert4BitRGBTo4BitRLE},
       {},
       {C::Convert8BitRGBTo8BitRLE},
       {C::Convert8BitRGBToTrueColor}},
      {{C::Convert8BitRLETo8BitRGB, C::Convert8BitTo1BitRGB},
       {C::Convert8BitRLETo8BitRGB, C::Convert8BitRGBTo4BitRGB},
       {C::Convert8BitRLETo8BitRGB, C::Convert8BitRGBTo4BitRGB, C::Convert4BitRGBTo4BitRLE},
       {C::Convert8BitRLETo8BitRGB},
       {},
       {C::Convert8BitRLETo8BitRGB, C::Convert8BitRGBToTrueColor}},
      {{C::ConvertTrueColorTo1BitRGB},
       {to4},
       {to4, C::Convert4BitRGBTo4BitRLE},
       {to8},
       {to8, C::Convert8BitRGBTo8BitRLE},
       {}},
  };
  const std::vector<C>& chain = table[Source][Target];
  Assert(!chain.empty(), error);
  return chain;
}

void TDibStorage::SetPixelsFormat(TDibPixelFormat Target, uint8_t ConvertMode,
                                  const TDibProgressStep& ProgressStep, TObject* ProgressOwner,
                                  TColor KeyColor) {
  using C = TDibConverter;
  const std::vector<C> chain = DibConversionChain(GetPixelFormat(), Target, ConvertMode);
  TDibRecord current;  // the last result; intermediate records are released as the next one replaces them
  const TDibRecord* source = &DIB;
  for (const C step : chain) {
    const TDibRecord& s = *source;
    TDibRecord next;
    switch (step) {
#define TILORA_DIB_CONVERTER_CALL(Name, Params)      \
  case C::Name:                                      \
    next = Name(s, UseFMO TILORA_DIB_ARGS_##Params); \
    break;
      TILORA_DIB_CONVERTERS(TILORA_DIB_CONVERTER_CALL)
#undef TILORA_DIB_CONVERTER_CALL
    }
    current = std::move(next);
    source = &current;
  }
  Install(std::move(current));
}

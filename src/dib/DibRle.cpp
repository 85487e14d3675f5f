// Run-length coding: the RLE8 and RLE4 encoders, and the decoders on the platform's RLE decoder.
#include <algorithm>
#include <span>
#include <string>
#include <utility>

#include "DibInternal.h"

using namespace dib_detail;

namespace {

// Decodes an RLE8 or RLE4 record into uncompressed rows. The data is read only up to ImageSize bytes; its
// end, like an end-of-bitmap code, ends the picture. Broken codes raise EDibInvalidDIB "<name>: Bad RLE Data
// <n>".
TDibRecord DecodeRecord(const TDibRecord& source, bool useFMO, int bits, uint32_t compression,
                        const char* name, int firstCode) {
  CheckCombination(source, bits, compression, name);
  TDibRecord result = NewResult(source, bits, useFMO, name);
  int64_t width = source.Width();
  if (bits == 4) width = ClampToInt32((width + 1) & ~int64_t{1});
  const std::span<const uint8_t> data(source.Bits(), static_cast<size_t>(source.ImageSize));
  const TRleResult outcome =
      DecodeRle(data, bits, static_cast<int>(width), static_cast<int>(result.AbsHeight()), result.Bits(),
                result.RowBytes());
  int code = 0;
  switch (outcome) {
    case TRleResult::Ok:
      return result;
    case TRleResult::BadEndOfLine:
      code = firstCode;
      break;
    case TRleResult::BadDelta:
      code = firstCode + 1;
      break;
    case TRleResult::BadAbsolute:
      code = firstCode + 2;
      break;
    case TRleResult::BadRun:
      code = firstCode + 3;
      break;
  }
  throw EDibInvalidDIB(std::string(name) + ": Bad RLE Data " + std::to_string(code));
}

// Writes the RLE code of one picture into a work buffer as large as its uncompressed pixel memory.
class TRleEncoder {
 public:
  TRleEncoder(const TDibRecord& source, int bits, const char* name)
      : FBits(bits),
        FWidth(source.Width()),
        FLimit(bits == 8 ? 255 : 127),
        FShortLiteral(bits == 8 ? 2 : 1),
        FName(name),
        FCapacity(source.RowBytes() * source.AbsHeight()) {
    FCode.reserve(static_cast<size_t>(std::min<int64_t>(FCapacity, 1 << 20)));
  }

  // Encodes one row of units (8 bits: pixels; 4 bits: pixel pairs).
  void EncodeRow(const uint8_t* row) {
    const int64_t units = FBits == 8 ? FWidth : (FWidth + 1) / 2;
    FRow = row;
    FEmitted = 0;
    enum { Start, One, Run, Literal } state = Start;
    uint8_t held = 0;
    int64_t runLength = 0, literalStart = 0, literalLength = 0;
    for (int64_t i = 0; i < units; ++i) {
      const uint8_t v = row[i];
      switch (state) {
        case Start:
          held = v;
          state = One;
          break;
        case One:
          if (v == held) {
            runLength = 2;
            state = Run;
          } else {
            literalStart = i - 1;
            literalLength = 2;
            state = Literal;
          }
          break;
        case Run:
          if (v == held && runLength < FLimit) {
            ++runLength;
          } else {
            WriteRun(runLength, held);
            held = v;
            state = One;
          }
          break;
        case Literal: {
          const uint8_t last = row[literalStart + literalLength - 1];
          if (v == last) {
            WriteAbsolute(literalStart, literalLength - 1);
            held = v;
            runLength = 2;
            state = Run;
          } else if (literalLength < FLimit) {
            ++literalLength;
          } else {
            WriteAbsolute(literalStart, literalLength);
            held = v;
            state = One;
          }
          break;
        }
      }
    }
    switch (state) {
      case Start:
        break;
      case One:
        WriteRun(1, held);
        break;
      case Run:
        WriteRun(runLength, held);
        break;
      case Literal:
        WriteAbsolute(literalStart, literalLength);
        break;
    }
    Need(4);
    Put(0);
    Put(0);
  }

  void EndOfBitmap() {
    Need(2);
    Put(0);
    Put(1);
  }

  const std::vector<uint8_t>& Code() const { return FCode; }

 private:
  void Need(int64_t bytes) {
    if (FCapacity - static_cast<int64_t>(FCode.size()) < bytes)
      throw EDibCompressionFailed(std::string(FName) + ": Compression Failed");
  }
  void Put(int64_t byte) { FCode.push_back(static_cast<uint8_t>(byte)); }
  // Pixels covered by the next `units` units, cut to the pixels left in the row.
  int64_t Pixels(int64_t units) const {
    return FBits == 8 ? units : std::min(2 * units, FWidth - 2 * FEmitted);
  }
  void WriteRun(int64_t units, uint8_t unit) {
    Need(6);
    Put(Pixels(units));
    Put(unit);
    FEmitted += units;
  }
  void WriteAbsolute(int64_t start, int64_t units) {
    Assert(units > 0, (std::string(FName) + ": WriteAbsolute Error").c_str());
    if (units <= FShortLiteral) {
      for (int64_t i = 0; i < units; ++i) WriteRun(1, FRow[start + i]);
      return;
    }
    Need(((units + 1) & ~int64_t{1}) + 6);
    Put(0);
    Put(Pixels(units));
    for (int64_t i = 0; i < units; ++i) Put(FRow[start + i]);
    if (units & 1) Put(0);
    FEmitted += units;
  }

  const int FBits;
  const int64_t FWidth;
  const int64_t FLimit;
  const int64_t FShortLiteral;
  const char* const FName;
  const int64_t FCapacity;
  std::vector<uint8_t> FCode;
  const uint8_t* FRow = nullptr;
  int64_t FEmitted = 0;  // units of the current row already written
};

TDibRecord EncodeRecord(const TDibRecord& source, bool useFMO, int bits, const char* name) {
  CheckCombination(source, bits, BI_RGB, name);
  CheckSourceRows(source, name);
  TRleEncoder encoder(source, bits, name);
  const int64_t height = source.AbsHeight();
  for (int64_t i = 0; i < height; ++i)
    encoder.EncodeRow(source.MemoryRow(source.TopDown() ? height - 1 - i : i));
  encoder.EndOfBitmap();

  const std::vector<uint8_t>& code = encoder.Code();
  TDibRecord result = CopyDibLayout(source);
  result.ImageSize = static_cast<int64_t>(code.size());
  result.Memory = GetMemory(result.ImageSize, useFMO);
  std::copy(code.begin(), code.end(), result.Bits());
  result.Header.biCompression = bits == 8 ? BI_RLE8 : BI_RLE4;
  result.Header.biSizeImage = static_cast<uint32_t>(code.size());
  result.Header.biHeight = static_cast<int32_t>(height);
  return result;
}

}  // namespace

TDibRecord Convert8BitRLETo8BitRGB(const TDibRecord& Source, bool UseFMO) {
  return DecodeRecord(Source, UseFMO, 8, BI_RLE8, "Convert8BitRLETo8BitRGB", 1);
}
TDibRecord Convert4BitRLETo4BitRGB(const TDibRecord& Source, bool UseFMO) {
  return DecodeRecord(Source, UseFMO, 4, BI_RLE4, "Convert4BitRLETo4BitRGB", 5);
}
TDibRecord Convert8BitRGBTo8BitRLE(const TDibRecord& Source, bool UseFMO) {
  return EncodeRecord(Source, UseFMO, 8, "Convert8BitRGBTo8BitRLE");
}
TDibRecord Convert4BitRGBTo4BitRLE(const TDibRecord& Source, bool UseFMO) {
  return EncodeRecord(Source, UseFMO, 4, "Convert4BitRGBTo4BitRLE");
}

// Row converters and row stores of the PNG decoder, chosen once per image.
#include <bit>
#include <cstring>

#include "PngReadStream.h"

const uint8_t* TPngReadStream::ConvertPass() {
  return Z.CurrentRow + 1;
}

// Four 2-bit pixels a byte become two bytes of two 4-bit pixels.
const uint8_t* TPngReadStream::Convert2To4() {
  const uint8_t* src = Z.CurrentRow + 1;
  uint8_t* out = ConvertedRow;
  for (int32_t left = PassWidth; left > 0; left -= 4) {
    const uint8_t b = *src++;
    *out++ = static_cast<uint8_t>((b >> 6) << 4 | ((b >> 4) & 3));
    *out++ = static_cast<uint8_t>(((b >> 2) & 3) << 4 | (b & 3));
  }
  return ConvertedRow;
}

const uint8_t* TPngReadStream::ConvertGray16() {
  const uint8_t* src = Z.CurrentRow + 1;
  uint8_t* out = ConvertedRow;
  for (int32_t k = 0; k < PassWidth; ++k) out[k] = src[2 * k];
  return ConvertedRow;
}

// Grey and alpha samples of SampleBytes bytes each: the high byte of each.
template <int SampleBytes>
const uint8_t* TPngReadStream::ConvertGrayAlpha() {
  const uint8_t* src = Z.CurrentRow + 1;
  for (int32_t k = 0; k < PassWidth; ++k, src += 2 * SampleBytes) {
    ConvertedRow[k] = src[0];
    AlphaRow[k] = static_cast<uint8_t>(255 - src[SampleBytes]);
  }
  return ConvertedRow;
}
template const uint8_t* TPngReadStream::ConvertGrayAlpha<1>();
template const uint8_t* TPngReadStream::ConvertGrayAlpha<2>();

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>

// Red, green, blue bytes to blue, green, red with one byte shuffle per five pixels, on processors that have
// it. Reads and writes 16 bytes at a time, so it stops while six pixels remain; returns the pixels done.
__attribute__((target("ssse3"))) static int32_t SwapRgbShuffle(const uint8_t* src, uint8_t* out,
                                                               int32_t pixels) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
  int32_t k = 0;
  for (; k + 6 <= pixels; k += 5, src += 15, out += 15)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src)), order));
  return k;
}

static int32_t SwapRgbFast(const uint8_t* src, uint8_t* out, int32_t pixels) {
  static const bool shuffle = __builtin_cpu_supports("ssse3");
  return shuffle ? SwapRgbShuffle(src, out, pixels) : 0;
}
#else
static int32_t SwapRgbFast(const uint8_t*, uint8_t*, int32_t) {
  return 0;
}
#endif

// Red, green, blue (and alpha when Channels is 4) samples of SampleBytes bytes each to blue, green, red
// bytes.
template <int Channels, int SampleBytes>
const uint8_t* TPngReadStream::ConvertRgb() {
  const uint8_t* src = Z.CurrentRow + 1;
  uint8_t* out = ConvertedRow;
  int32_t k = 0;
  if constexpr (Channels == 3 && SampleBytes == 1 && std::endian::native == std::endian::little) {
    k = SwapRgbFast(src, out, PassWidth);
    src += 3 * k;
    out += 3 * k;
    // Four pixels a step in three words: R0 G0 B0 R1 | G1 B1 R2 G2 | B2 R3 G3 B3 (the lowest byte first)
    // become B0 G0 R0 B1 | G1 R1 B2 G2 | R2 B3 G3 R3.
    const auto load = [](const uint8_t* p) {
      uint32_t w;
      std::memcpy(&w, p, 4);
      return w;
    };
    const auto store = [](uint8_t* p, uint32_t w) { std::memcpy(p, &w, 4); };
    for (; k + 4 <= PassWidth; k += 4, src += 12, out += 12) {
      const uint32_t w0 = load(src), w1 = load(src + 4), w2 = load(src + 8);
      store(out, (w0 >> 16 & 0xFF) | (w0 & 0xFF00) | (w0 & 0xFF) << 16 | (w1 >> 8 & 0xFF) << 24);
      store(out + 4, (w1 & 0xFF) | (w0 >> 24) << 8 | (w2 & 0xFF) << 16 | (w1 & 0xFF000000u));
      store(out + 8, (w1 >> 16 & 0xFF) | (w2 >> 24) << 8 | (w2 & 0xFF0000) | (w2 >> 8 & 0xFF) << 24);
    }
  }
  for (; k < PassWidth; ++k, src += Channels * SampleBytes, out += 3) {
    out[0] = src[2 * SampleBytes];
    out[1] = src[SampleBytes];
    out[2] = src[0];
    if constexpr (Channels == 4) AlphaRow[k] = static_cast<uint8_t>(255 - src[3 * SampleBytes]);
  }
  return ConvertedRow;
}
template const uint8_t* TPngReadStream::ConvertRgb<3, 1>();
template const uint8_t* TPngReadStream::ConvertRgb<3, 2>();
template const uint8_t* TPngReadStream::ConvertRgb<4, 1>();
template const uint8_t* TPngReadStream::ConvertRgb<4, 2>();

// 5-6-5 words, low byte first, from the high byte of each sample.
template <int Channels, int SampleBytes>
const uint8_t* TPngReadStream::ConvertRgb565() {
  const uint8_t* src = Z.CurrentRow + 1;
  uint8_t* out = ConvertedRow;
  for (int32_t k = 0; k < PassWidth; ++k, src += Channels * SampleBytes, out += 2) {
    const uint8_t r = src[0], g = src[SampleBytes], b = src[2 * SampleBytes];
    const auto word = static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
    out[0] = static_cast<uint8_t>(word);
    out[1] = static_cast<uint8_t>(word >> 8);
    if constexpr (Channels == 4) AlphaRow[k] = static_cast<uint8_t>(255 - src[3 * SampleBytes]);
  }
  return ConvertedRow;
}
template const uint8_t* TPngReadStream::ConvertRgb565<3, 1>();
template const uint8_t* TPngReadStream::ConvertRgb565<3, 2>();
template const uint8_t* TPngReadStream::ConvertRgb565<4, 1>();
template const uint8_t* TPngReadStream::ConvertRgb565<4, 2>();

void TPngReadStream::StoreCopy(uint8_t* Dest, const uint8_t* Row) {
  std::memcpy(Dest, Row, static_cast<size_t>(OutputRowBytes));
}

// Adam7 stores: pixel k of the pass row goes to column StoreStart + k * StoreStep.
void TPngReadStream::StoreBits1(uint8_t* Dest, const uint8_t* Row) {
  for (int32_t k = 0, x = StoreStart; k < PassWidth; ++k, x += StoreStep) {
    const auto mask = static_cast<uint8_t>(0x80 >> (x & 7));
    if (((Row[k >> 3] >> (7 - (k & 7))) & 1) != 0)
      Dest[x >> 3] |= mask;
    else
      Dest[x >> 3] &= static_cast<uint8_t>(~mask);
  }
}

void TPngReadStream::StoreBits4(uint8_t* Dest, const uint8_t* Row) {
  for (int32_t k = 0, x = StoreStart; k < PassWidth; ++k, x += StoreStep) {
    const uint8_t nibble = (k & 1) != 0 ? (Row[k >> 1] & 0x0F) : (Row[k >> 1] >> 4);
    uint8_t& d = Dest[x >> 1];
    d = (x & 1) != 0 ? static_cast<uint8_t>((d & 0xF0) | nibble)
                     : static_cast<uint8_t>((d & 0x0F) | nibble << 4);
  }
}

void TPngReadStream::StoreBytes1(uint8_t* Dest, const uint8_t* Row) {
  for (int32_t k = 0, x = StoreStart; k < PassWidth; ++k, x += StoreStep) Dest[x] = Row[k];
}

void TPngReadStream::StoreBytes2(uint8_t* Dest, const uint8_t* Row) {
  for (int32_t k = 0, x = StoreStart; k < PassWidth; ++k, x += StoreStep) {
    Dest[x] = Row[2 * k];
    Dest[x + 1] = Row[2 * k + 1];
  }
}

void TPngReadStream::StoreBytes3(uint8_t* Dest, const uint8_t* Row) {
  for (int32_t k = 0, x = StoreStart; k < PassWidth; ++k, x += StoreStep) {
    Dest[x] = Row[3 * k];
    Dest[x + 1] = Row[3 * k + 1];
    Dest[x + 2] = Row[3 * k + 2];
  }
}

void TPngReadStream::AlphaCopy(uint8_t* Dest, const uint8_t* Row) {
  std::memcpy(Dest, Row, static_cast<size_t>(PassWidth));
}

void TPngReadStream::AlphaScatter(uint8_t* Dest, const uint8_t* Row) {
  for (int32_t k = 0, x = AlphaStart; k < PassWidth; ++k, x += AlphaStep) Dest[x] = Row[k];
}

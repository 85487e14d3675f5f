// Surface copies and fills, colour matching and the palettes of bitmap conversions, shared by the platform's
// bitmap, canvas, BMP and DIB transfer code. Internal to the platform layer; PixelRows.h is the public part.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "Graphics.h"
#include "PixelRows.h"

// Whether two palettes hold the same colours in the same order (flags are not compared).
bool SamePaletteColors(std::span<const TPaletteEntry> A, std::span<const TPaletteEntry> B);

// Raw value a colour takes on a surface: the nearest palette entry for indexed surfaces (a PaletteIndexColor
// names its entry directly), the packed colour otherwise.
uint32_t ColorToPixel(TColor Color, const TSurface& Surface);

// Sets columns X0..X1-1 of a row to one raw value.
void FillPixels(uint8_t* Row, int64_t X0, int64_t X1, int BitCount, uint32_t Raw);

// The one copy of pixels between surfaces: SrcRect of Src into DstRect of Dst, stretched by nearest pixel
// when the sizes differ (mirrored when exactly one rectangle is reversed). Destination pixels outside Dst, or
// whose source lies outside Src, are left alone. Identical palettes copy indices (as long as they fit the
// destination); otherwise colours are written exactly, or as the nearest entry of an indexed destination. Src
// and Dst may be the same surface. Costs in proportion to the clipped destination rectangle. Returns whether
// anything was written.
bool CopyPixels(const TSurface& Dst, const TRect& DstRect, const TSurface& Src, const TRect& SrcRect);

// Maps colours to the nearest entry of a palette, remembering recent answers.
class TNearestColorMap {
 public:
  explicit TNearestColorMap(std::span<const TPaletteEntry> Palette);
  uint32_t Index(TRgb c) {
    const uint32_t key = c.R | (c.G << 8) | (c.B << 16);
    const uint32_t slot = (key * 2654435761u) >> (32 - SlotBits);
    if (FKeys[slot] != key) {
      FKeys[slot] = key;
      FValues[slot] = Lookup(c);
    }
    return FValues[slot];
  }

 private:
  static constexpr int SlotBits = 12;
  uint8_t Lookup(TRgb c) const;
  std::span<const TPaletteEntry> FPalette;
  std::array<uint32_t, 1 << SlotBits> FKeys;
  std::array<uint8_t, 1 << SlotBits> FValues;
};

// A palette holding at most MaxEntries of the given one (the same handle when it is short enough).
HPALETTE CutPalette(const HPALETTE& Palette, int MaxEntries);

// The palette an image converted to TargetBitCount (an indexed count) takes: widening an indexed image keeps
// its colours (and so its indices); otherwise the image's own palette cut to the target's size, or
// DefaultPalette.
HPALETTE ConversionPalette(const TBitmapImage& Image, int TargetBitCount);

// The colours an image's indices stand for: its own palette, or DefaultPalette of its bit count when it has
// none.
HPALETTE EffectivePalette(const TBitmapImage& Image);

// A surface over an image's pixel memory (read-write; callers that only read pass a const image through).
// Palette must stay alive while the surface is used.
TSurface ImageSurface(const TBitmapImage& Image, const HPALETTE& Palette);

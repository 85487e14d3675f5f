// Functions that shape platform bitmaps for the PNG codec: row sizes, palettes and pixel formats.
#pragma once

#include <cstdint>
#include <span>

#include "Graphics.h"

// Bytes of a row of Width pixels of Bits bits, padded to a multiple of 4 bytes. Computed in 64 bits.
int64_t ScanlineBytes(int64_t Width, int64_t Bits);
// A platform palette of Count entries made from 4-byte entries stored blue, green, red, reserved.
HPALETTE MakePalette(const RGBQUAD* Entries, int32_t Count);
// Writes an evenly spaced grey ramp starting at level 0: Bits 1 gives 2 entries, 2 gives 4, 4 gives 16, any
// other value 256. Entries must have room for 256. Returns the number written.
int32_t FillGrayPalette(RGBQUAD* Entries, int32_t Bits);
// 1, 4, 8, 15, 16, 32 bits to their formats; any other value to pf24bit.
TPixelFormat BitsToPixelFormat(int32_t Bits);

// Bits per pixel of a source bitmap's rows as the encoder reads them: the format's layout bits (pf15bit 15,
// pfDevice 32, the platform's device rows being 32-bit; pfCustom 0, a format no bitmap holds).
int32_t PixelFormatBits(TPixelFormat Format);
// Reads up to 256 entries of a palette into Entries; returns the count read (0 for no palette).
int32_t ReadPaletteEntries(const HPALETTE& Palette, std::span<TPaletteEntry, 256> Entries);
// Index of the entry nearest to Color (0x00BBGGRR): the sum of the absolute channel differences, the first
// entry at distance 0 at once, else the first of the smallest distance; -1 when there are no entries.
int32_t NearestPaletteIndex(std::span<const TPaletteEntry> Entries, TColor Color);

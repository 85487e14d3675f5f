// The in-process clipboard: clipboard formats mapped to memory blocks. The GUI may bridge it to the system's.
#pragma once

#include <cstdint>
#include <map>

#include "Graphics.h"

// Global memory blocks. GlobalAlloc returns nullptr when the size is negative or above 2^31 - 1 bytes, or the
// memory cannot be had; the block is zero-filled.
inline constexpr unsigned GMEM_MOVEABLE = 0x0002, GMEM_ZEROINIT = 0x0040;
HGLOBAL GlobalAlloc(unsigned Flags, int64_t Bytes);
int64_t GlobalSize(const HGLOBAL& Block);
uint8_t* GlobalLock(const HGLOBAL& Block);
void GlobalUnlock(const HGLOBAL& Block);

class TClipboard : public TPersistent {
 public:
  const char* ClassName() const override { return "TClipboard"; }
  void Open();  // nests; raises nothing
  void Close();
  void Clear();
  bool HasFormat(uint16_t Format) const;
  // The block for the format, or nullptr.
  HGLOBAL GetAsHandle(uint16_t Format) const;
  void SetAsHandle(uint16_t Format, HGLOBAL Data);
  // Graphic source: clears the clipboard and stores the graphic's clipboard format (and its palette as
  // CF_PALETTE when it gives one).
  void Assign(TPersistent* Source) override;
  // Graphic destination: the graphic loads itself from the first format it is registered for, or from CF_DIB.
  void AssignTo(TPersistent* Dest) override;
  HPALETTE Palette() const { return FPalette; }

 private:
  std::map<uint16_t, HGLOBAL> FFormats;
  HPALETTE FPalette;
  int FOpenCount = 0;
};

// The one clipboard of the process.
TClipboard& Clipboard();

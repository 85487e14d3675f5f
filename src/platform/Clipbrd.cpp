// Global memory blocks and the in-process clipboard.
#include "Clipbrd.h"

#include <new>

HGLOBAL GlobalAlloc(unsigned, int64_t Bytes) {
  if (Bytes < 0 || Bytes > MaxPixelBytes) return nullptr;
  try {
    auto block = std::make_shared<TGlobalMemory>();
    block->Bytes.assign(static_cast<size_t>(Bytes), 0);
    return block;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int64_t GlobalSize(const HGLOBAL& Block) {
  return Block ? static_cast<int64_t>(Block->Bytes.size()) : 0;
}

uint8_t* GlobalLock(const HGLOBAL& Block) {
  return Block ? Block->Bytes.data() : nullptr;
}

void GlobalUnlock(const HGLOBAL&) {}

void TClipboard::Open() {
  ++FOpenCount;
}

void TClipboard::Close() {
  if (FOpenCount > 0) --FOpenCount;
}

void TClipboard::Clear() {
  FFormats.clear();
  FPalette = nullptr;
}

bool TClipboard::HasFormat(uint16_t Format) const {
  return FFormats.count(Format) != 0 || (Format == CF_PALETTE && FPalette);
}

HGLOBAL TClipboard::GetAsHandle(uint16_t Format) const {
  const auto it = FFormats.find(Format);
  return it == FFormats.end() ? nullptr : it->second;
}

void TClipboard::SetAsHandle(uint16_t Format, HGLOBAL Data) {
  FFormats[Format] = std::move(Data);
}

void TClipboard::Assign(TPersistent* Source) {
  auto* graphic = dynamic_cast<TGraphic*>(Source);
  if (!graphic) {
    TPersistent::Assign(Source);
    return;
  }
  uint16_t format = 0;
  HGLOBAL data;
  HPALETTE palette;
  graphic->SaveToClipboardFormat(format, data, palette);
  Clear();
  if (format != 0 && data) SetAsHandle(format, data);
  FPalette = palette;
}

void TClipboard::AssignTo(TPersistent* Dest) {
  auto* graphic = dynamic_cast<TGraphic*>(Dest);
  if (!graphic) {
    TPersistent::AssignTo(Dest);
    return;
  }
  graphic->LoadFromClipboardFormat(CF_DIB, GetAsHandle(CF_DIB), FPalette);
}

TClipboard& Clipboard() {
  static TClipboard clipboard;
  return clipboard;
}

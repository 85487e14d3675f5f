// TDibGraphic: the graphic object over a shared, copy-on-write DIB storage.
#include <memory>
#include <string>

#include "DibImage.h"

namespace {

// Holds a graphic's HalftoneMode at 0 and restores it on every path.
class THalftoneHold {
 public:
  explicit THalftoneHold(TDibGraphic& graphic) : FGraphic(graphic), FMode(graphic.HalftoneMode) {
    graphic.HalftoneMode = 0;
  }
  ~THalftoneHold() { FGraphic.HalftoneMode = FMode; }
  THalftoneHold(const THalftoneHold&) = delete;
  THalftoneHold& operator=(const THalftoneHold&) = delete;

 private:
  TDibGraphic& FGraphic;
  uint8_t FMode;
};

// A copy of a palette, or none.
HPALETTE CopyPalette(const HPALETTE& palette) {
  return palette ? CreatePalette(palette->Entries) : nullptr;
}

struct TProgressSetup {
  TDibPixelFormat From, To;
  int32_t Total;
  const char* Message;
};
constexpr TProgressSetup ProgressSetups[] = {
    {dpf8Bit, dpf4Bit, 16, "PixelFormat 8Bit -> 4Bit"},
    {dpf8Bit, dpf4BitRLE, 16, "PixelFormat 8Bit -> 4BitRLE"},
    {dpf8BitRLE, dpf4Bit, 16, "PixelFormat 8BitRLE -> 4Bit"},
    {dpf8BitRLE, dpf4BitRLE, 16, "PixelFormat 8BitRLE -> 4BitRLE"},
    {dpf24Bit, dpf4Bit, 16, "PixelFormat 24Bit -> 4Bit"},
    {dpf24Bit, dpf4BitRLE, 16, "PixelFormat 24Bit -> 4BitRLE"},
    {dpf24Bit, dpf8Bit, 256, "PixelFormat 24Bit -> 8Bit"},
    {dpf24Bit, dpf8BitRLE, 256, "PixelFormat 24Bit -> 8BitRLE"},
};

}  // namespace

TDibGraphic::TDibGraphic() {
  FInternalDIB = new TDibStorage(DibDefaultUseFMO());
  UpdatePaletteModified();
}

TDibGraphic::~TDibGraphic() {
  if (FInternalDIB != nullptr && --FInternalDIB->RefCount == 0) delete FInternalDIB;
}

TDibStorage& TDibGraphic::Storage(const char* Method) const {
  if (FInternalDIB == nullptr)
    throw EAssertionFailed(std::string("TDibGraphic.") + Method + ": InternalDIB Should not be Nil");
  return *FInternalDIB;
}

void TDibGraphic::ReleaseInternalDIB() {
  Assert(FInternalDIB != nullptr, "TDibGraphic.ReleaseInternalDIB: InternalDIB should not be Nil");
  if (--FInternalDIB->RefCount == 0) delete FInternalDIB;
  FInternalDIB = nullptr;
}

void TDibGraphic::TakeStorage(TDibStorage* Storage) {
  ReleaseInternalDIB();
  FInternalDIB = Storage;
}

void TDibGraphic::UniqueDIB() {
  TDibStorage& shared = Storage("UniqueDIB");
  if (shared.RefCount == 1) return;
  auto copy = std::make_unique<TDibStorage>(shared.UseFMO);
  TDibRecord record = CopyDibLayout(shared.DIB);
  record.Memory = GetMemory(record.ImageSize, shared.UseFMO);
  std::copy_n(shared.DIB.Bits(), record.ImageSize, record.Bits());
  copy->DIB = std::move(record);
  copy->Width = shared.Width;
  copy->Height = shared.Height;
  TakeStorage(copy.release());
  UpdatePaletteModified();
}

void TDibGraphic::UpdatePaletteModified() {
  TDibStorage& storage = Storage("UpdatePaletteModified");
  Assert(storage.RefCount == 1, "TDibGraphic.UpdatePaletteModified RefCount Must be 1");
  if (storage.PaletteModified) {
    storage.PaletteModified = false;
    PaletteModified = true;
  }
}

bool TDibGraphic::GetEmpty() const {
  Storage("GetEmpty");
  return false;
}
int TDibGraphic::GetWidth() const {
  return Storage("GetWidth").Width;
}
int TDibGraphic::GetHeight() const {
  return Storage("GetHeight").Height;
}
bool TDibGraphic::UseFMO() const {
  return Storage("GetUseFMO").UseFMO;
}
int TDibGraphic::BitCount() const {
  return Storage("GetBitCount").DIB.Header.biBitCount;
}
TDibPixelFormat TDibGraphic::PixelFormat() const {
  return Storage("GetPixelFormat").GetPixelFormat();
}

void TDibGraphic::Reallocate(int32_t W, int32_t H, int32_t Colors, int32_t Bits) {
  auto storage = std::make_unique<TDibStorage>(UseFMO());
  storage->CreateDIB(W, H, Colors, Bits);
  TakeStorage(storage.release());
  UpdatePaletteModified();
  Changed();
}

void TDibGraphic::DoSetWidth(int Value) {
  const TDibStorage& storage = Storage("SetWidth");
  if (Value <= 0) throw EDibInvalidDIBPara("TDibGraphic.SetWidth: Invalid Width");
  if (Value == storage.Width) return;
  Reallocate(Value, storage.Height, static_cast<int32_t>(storage.DIB.Header.biClrUsed),
             storage.DIB.Header.biBitCount);
}

void TDibGraphic::DoSetHeight(int Value) {
  const TDibStorage& storage = Storage("SetWidth");
  if (Value == 0) throw EDibInvalidDIBPara("TDibGraphic.SetWidth: Invalid Height");
  if (Value == storage.Height) return;
  Reallocate(storage.Width, Value, static_cast<int32_t>(storage.DIB.Header.biClrUsed),
             storage.DIB.Header.biBitCount);
}

void TDibGraphic::SetBitCount(int Value) {
  const TDibStorage& storage = Storage("SetBitCount");
  if (Value != 1 && Value != 4 && Value != 8 && Value != 24)
    throw EDibInvalidDIBPara("TDibGraphic.SetBitCount: Invalid BitCount");
  if (Value == storage.DIB.Header.biBitCount) return;
  Reallocate(storage.Width, storage.Height, DefaultColorCount(Value), Value);
}

HPALETTE TDibGraphic::GetPalette() const {
  TDibStorage& storage = Storage("GetPalette");
  switch (HalftoneMode) {
    case 1:
      return DibHalftonePalette();
    case 2:
      return DibBlackWhitePalette();
    default:
      return storage.GetPaletteHandle();
  }
}

void TDibGraphic::DoSetPalette(HPALETTE Value) {
  Storage("SetPalette");
  UniqueDIB();
  TDibStorage& storage = *FInternalDIB;
  if (!Value) {
    storage.DIB.Header.biClrUsed = 0;
    storage.Palette = nullptr;
  } else {
    TPaletteEntry entries[256];
    const int count = GetPaletteEntries(Value, 0, 256, entries);
    if (count <= 0) throw EDibInvalidPalette("TDibGraphic.SetPalette: Invalid Palette");
    storage.DIB.Header.biClrUsed = static_cast<uint32_t>(count);
    for (int i = 0; i < count; ++i)
      storage.DIB.Colors[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    storage.Palette = PaletteSize(Value) == count ? Value : CreatePalette(std::span(entries, count));
  }
  storage.PaletteModified = true;
  UpdatePaletteModified();
  Changed();
}

void TDibGraphic::Assign(TPersistent* Source) {
  Storage("Assign");
  if (Source == nullptr) {
    TakeStorage(new TDibStorage(UseFMO()));
    UpdatePaletteModified();
    Changed();
    return;
  }
  if (auto* dib = dynamic_cast<TDibGraphic*>(Source)) {
    if (dib == this) return;
    TDibStorage& shared = dib->Storage("Assign");
    ++shared.RefCount;
    TakeStorage(&shared);
    KeyColor = dib->KeyColor;
    ConvertMode = dib->ConvertMode;
    HalftoneMode = dib->HalftoneMode;
    PaletteModified = true;
    Changed();
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(Source)) {
    const int bits = PixelFormatFacts(bitmap->PixelFormat()).Indexed ? bitmap->BitCount() : 24;
    auto storage = std::make_unique<TDibStorage>(UseFMO());
    storage->CreateDIB(bitmap->Width(), bitmap->Height(), 0, bits);
    BITMAPINFOHEADER& h = storage->DIB.Header;
    GetDIBits(*bitmap, h, storage->DIB.Colors.data(), storage->DIB.Bits());
    if (h.biClrUsed == 0) h.biClrUsed = static_cast<uint32_t>(DefaultColorCount(h.biBitCount));
    if (h.biXPelsPerMeter == 0) h.biXPelsPerMeter = 3780;
    if (h.biYPelsPerMeter == 0) h.biYPelsPerMeter = 3780;
    TakeStorage(storage.release());
    FInternalDIB->UpdatePalette();
    UpdatePaletteModified();
    Changed();
    return;
  }
  TDibGraphicBase::Assign(Source);
}

void TDibGraphic::AssignTo(TPersistent* Dest) {
  TDibStorage& storage = Storage("AssignTo");
  if (auto* dib = dynamic_cast<TDibGraphic*>(Dest)) {
    dib->Assign(this);
    return;
  }
  auto* bitmap = dynamic_cast<TBitmap*>(Dest);
  if (bitmap == nullptr) {
    TDibGraphicBase::AssignTo(Dest);
    return;
  }
  bitmap->SetHeight(storage.Height);
  bitmap->SetWidth(storage.Width);
  switch (storage.GetPixelFormat()) {
    case dpf1Bit:
      bitmap->SetPixelFormat(pf1bit);
      break;
    case dpf4Bit:
    case dpf4BitRLE:
      bitmap->SetPixelFormat(pf4bit);
      break;
    case dpf8Bit:
    case dpf8BitRLE:
      bitmap->SetPixelFormat(pf8bit);
      break;
    case dpf24Bit:
      bitmap->SetPixelFormat(pf24bit);
      break;
    default:
      throw EAssertionFailed("TDibGraphic.AssignTo: Illegal PixelFormat");
  }
  {
    THalftoneHold hold(*this);
    bitmap->SetPalette(CopyPalette(GetPalette()));
  }
  const TDibRecord& dib = storage.DIB;
  StretchDIBits(bitmap->Canvas(), 0, 0, storage.Width, storage.Height, 0, 0, storage.Width, storage.Height,
                dib.Bits(), dib.ImageSize, dib.Header, dib.Colors.data());
}

void TDibGraphic::Draw(TCanvas& Canvas, const TRect& R) {
  if (FInternalDIB == nullptr) return;
  const TDibStorage& storage = *FInternalDIB;
  if (HalftoneMode == 0) {
    const TDibRecord& dib = storage.DIB;
    StretchDIBits(Canvas, R.Left, R.Top, R.Width(), R.Height(), 0, 0, storage.Width, storage.Height,
                  dib.Bits(), dib.ImageSize, dib.Header, dib.Colors.data());
    return;
  }
  if (HalftoneMode != 1 && HalftoneMode != 2) return;
  if (R.Width() == 0 || R.Height() == 0) return;
  const TDibPixelFormat target = HalftoneMode == 1 ? dpfHalftone : dpfHalftoneBW;
  TDibGraphic temporary;
  {
    THalftoneHold hold(*this);
    temporary.SetWidth(std::abs(R.Width()));
    temporary.SetHeight(std::abs(R.Height()));
    temporary.SetBitCount(BitCount());
    temporary.SetPalette(CopyPalette(GetPalette()));
    TDibCanvas canvas(&temporary);
    canvas.StretchDraw(Rect(0, 0, R.Width(), R.Height()), *this);
  }
  temporary.SetPixelFormat(target);
  temporary.Draw(Canvas, R);
}

void TDibGraphic::LoadFromStream(TStream& Stream) {
  auto storage = std::make_unique<TDibStorage>(UseFMO());
  storage->LoadFromStream(Stream);
  TakeStorage(storage.release());
  UpdatePaletteModified();
  Changed();
}

void TDibGraphic::SaveToStream(TStream& Stream) {
  Storage("SaveToStream").SaveToStream(Stream);
}

void TDibGraphic::LoadFromClipboardFormat(uint16_t Format, HGLOBAL Data, HPALETTE /*Palette*/) {
  if (Format != CF_DIB || !Data)
    throw EInvalidGraphic("TDibGraphic.LoadFromClipboardFormat: Invalid Clipboard Format or No Data");
  auto storage = std::make_unique<TDibStorage>(UseFMO());
  storage->LoadFromClipboardFormat(Data);
  TakeStorage(storage.release());
  UpdatePaletteModified();
  Changed();
}

void TDibGraphic::SaveToClipboardFormat(uint16_t& Format, HGLOBAL& Data, HPALETTE& Palette) {
  const TDibStorage& storage = Storage("SaveToClipboardFormat");
  Data = storage.SaveToClipboardFormat();
  Format = CF_DIB;
  Palette = nullptr;
}

void TDibGraphic::FireProgress(TProgressStage Stage, uint8_t Percent, bool Redraw) {
  Progress(this, Stage, Percent, Redraw, Rect(0, 0, Width(), Height()), FProgressMessage);
}

void TDibGraphic::ProgressStep() {
  ++FProgressCount;
  if (FProgressTotal > 0 && FProgressCount < FProgressTotal)
    FireProgress(psRunning, static_cast<uint8_t>(FProgressCount * 100 / FProgressTotal), false);
}

void TDibGraphic::SetPixelFormat(TDibPixelFormat Value) {
  TDibStorage& current = Storage("GetPixelFormat");
  const TDibPixelFormat from = current.GetPixelFormat();
  if (Value == from) return;
  UniqueDIB();
  FProgressCount = 0;
  FProgressTotal = 0;
  FProgressMessage.clear();
  for (const TProgressSetup& setup : ProgressSetups) {
    if (setup.From == from && setup.To == Value) {
      FProgressTotal = setup.Total;
      FProgressMessage = setup.Message;
    }
  }
  const bool reporting = FProgressTotal > 0;
  if (reporting) FireProgress(psStarting, 0, false);
  try {
    FInternalDIB->SetPixelsFormat(
        Value, ConvertMode, [this](TObject*) { ProgressStep(); }, this, KeyColor & 0xFFFFFF);
  } catch (...) {
    UpdatePaletteModified();
    if (reporting) FireProgress(psEnding, 100, true);
    throw;
  }
  UpdatePaletteModified();
  if (reporting) FireProgress(psEnding, 100, true);
  UpdatePaletteModified();
  Changed();
}

// The PNG graphic object and its registration in the picture registry.
#include "PngGraphic.h"

#include <utility>

#include "PngStream.h"

namespace {

// Gives a bitmap a progress handler for the duration of one read or write, and puts its own back afterwards.
class TProgressForward {
 public:
  TProgressForward(TBitmap& Bitmap, const TProgressEvent& Handler) : FBitmap(Bitmap), FActive(bool(Handler)) {
    if (!FActive) return;
    FSaved = std::move(Bitmap.OnProgress);
    Bitmap.OnProgress = Handler;
  }
  ~TProgressForward() {
    if (FActive) FBitmap.OnProgress = std::move(FSaved);
  }
  TProgressForward(const TProgressForward&) = delete;
  TProgressForward& operator=(const TProgressForward&) = delete;

 private:
  TBitmap& FBitmap;
  bool FActive;
  TProgressEvent FSaved;
};

// The metadata one decode fills. The three records are read into copies so that a failed load leaves the
// graphic's own records as they were.
struct TDecodeResult {
  TPngTime ImageTime;
  TPngChromaticity Chromaticity{};
  TPngGifControl GifControl{};

  void Attach(TPngReadStream& Decoder) {
    Decoder.ImageTime = &ImageTime;
    Decoder.Chromaticity = &Chromaticity;
    Decoder.GifControl = &GifControl;
  }

  // Copies what a complete read found into the graphic.
  void CopyTo(TPngGraphic& Graphic, const TPngReadStream& Decoder, bool WithInterlace) const {
    Graphic.HasAlpha = Decoder.HasAlpha;
    Graphic.Comment = Decoder.Comment;
    Graphic.BackgroundColor = Decoder.BackgroundColor;
    Graphic.TransparentColor = Decoder.TransparentColor;
    if (WithInterlace) Graphic.Interlace = static_cast<uint8_t>(Decoder.Interlace);
    Graphic.Gamma = Decoder.Gamma;
    Graphic.PhysUnit = static_cast<uint8_t>(Decoder.PhysUnit);
    Graphic.PhysX = Decoder.PhysX;
    Graphic.PhysY = Decoder.PhysY;
    Graphic.SignificantBits = Decoder.SignificantBits;
    Graphic.BitDepth = Decoder.BitDepth;
    Graphic.GrayScale = Decoder.GrayScale;
    Graphic.PaletteAlpha = Decoder.AlphaTable;
    Graphic.ImageTime = ImageTime;
    Graphic.Chromaticity = Chromaticity;
    Graphic.GifControl = GifControl;
  }
};

// The options the stream form and the form data both hand to the encoder: grey output, the metadata, the
// three records and the alpha bitmap when it belongs to the image.
void SetEncoderMetadata(TPngWriteStream& Encoder, TPngGraphic& Graphic) {
  Encoder.GrayScale = Graphic.GrayScale;
  Encoder.Comment = Graphic.Comment;
  Encoder.BackgroundColor = Graphic.BackgroundColor;
  Encoder.TransparentColor = Graphic.TransparentColor;
  Encoder.TransparencyTable = Graphic.TransparencyTable;
  Encoder.Gamma = Graphic.Gamma;
  Encoder.SignificantBits = Graphic.SignificantBits;
  Encoder.PhysUnit = Graphic.PhysUnit;
  Encoder.PhysX = Graphic.PhysX;
  Encoder.PhysY = Graphic.PhysY;
  Encoder.ImageTime = &Graphic.ImageTime;
  Encoder.Chromaticity = &Graphic.Chromaticity;
  Encoder.GifControl = &Graphic.GifControl;
  if (Graphic.HasAlpha) Encoder.AlphaSource = &Graphic.AlphaBitmap();
}

}  // namespace

TPngGraphic::TPngGraphic()
    : ImageTime(PngCurrentTime()),
      FBitmap(std::make_unique<TBitmap>()),
      FAlphaBitmap(std::make_unique<TBitmap>()) {
  PaletteAlpha.fill(255);
}

TPngGraphic::~TPngGraphic() = default;

void TPngGraphic::LoadFromStream(TStream& Stream) {
  TPngReadStream decoder;
  decoder.OnDecodeRow = OnDecodeRow;
  decoder.OnKeyRequest = OnKeyRequest;
  decoder.Key = Key;
  decoder.CheckMacBinary = CheckMacBinary;
  decoder.Allow16Bit = Allow16Bit;
  TDecodeResult records{ImageTime, Chromaticity, GifControl};
  records.Attach(decoder);
  FAlphaBitmap->Assign(nullptr);
  decoder.AlphaBitmap = FAlphaBitmap.get();
  {
    TProgressForward forward(*FBitmap, OnProgress);
    decoder.ReadGraphic(FBitmap.get(), Stream, 0);
  }
  records.CopyTo(*this, decoder, true);
  ImageChanged();
}

void TPngGraphic::SaveToStream(TStream& Stream) {
  TPngWriteStream encoder;
  encoder.CompressionLevel = CompressionLevel;
  encoder.FilterType = FilterType;
  encoder.SetIDATSize(IDATSize);
  encoder.Interlace = Interlace;
  SetEncoderMetadata(encoder, *this);
  encoder.UseCurrentTime = UseCurrentTime;
  encoder.OnEncodeRow = OnEncodeRow;
  encoder.Key = Key;
  TProgressForward forward(*FBitmap, OnProgress);
  encoder.WriteGraphic(FBitmap.get(), Stream);
}

void TPngGraphic::WriteData(TStream& Stream) {
  if (FBitmap->Empty()) return;
  TPngWriteStream encoder;
  SetEncoderMetadata(encoder, *this);
  encoder.WriteGraphic(FBitmap.get(), Stream);
}

void TPngGraphic::ReadData(TStream& Stream) {
  {
    TPngReadStream decoder;
    TDecodeResult records{ImageTime, Chromaticity, GifControl};
    records.Attach(decoder);
    FAlphaBitmap->Assign(nullptr);
    decoder.AlphaBitmap = FAlphaBitmap.get();
    decoder.ReadGraphic(FBitmap.get(), Stream, 0);
    records.CopyTo(*this, decoder, false);
    ImageChanged();
  }
  Changed();
}

void TPngGraphic::Assign(TPersistent* Source) {
  if (auto* source = dynamic_cast<TPngGraphic*>(Source)) {
    FBitmap->Assign(source->FBitmap.get());
    FAlphaBitmap->Assign(source->FAlphaBitmap.get());
    CompressionLevel = source->CompressionLevel;
    FilterType = source->FilterType;
    IDATSize = source->IDATSize;
    Interlace = source->Interlace;
    GrayScale = source->GrayScale;
    Comment = source->Comment;
    BackgroundColor = source->BackgroundColor;
    TransparentColor = source->TransparentColor;
    TransparencyTable = source->TransparencyTable;
    Gamma = source->Gamma;
    SignificantBits = source->SignificantBits;
    PhysUnit = source->PhysUnit;
    PhysX = source->PhysX;
    PhysY = source->PhysY;
    UseCurrentTime = source->UseCurrentTime;
    ImageTime = source->ImageTime;
    Chromaticity = source->Chromaticity;
    ImageChanged();
    return;
  }
  if (auto* graphic = dynamic_cast<TGraphic*>(Source)) {
    FBitmap->Assign(graphic);
    ImageChanged();
    return;
  }
  TGraphic::Assign(Source);
}

void TPngGraphic::AssignTo(TPersistent* Dest) {
  if (auto* dest = dynamic_cast<TGraphic*>(Dest)) {
    dest->Assign(FBitmap.get());
    return;
  }
  TGraphic::AssignTo(Dest);
}

void TPngGraphic::Draw(TCanvas& Canvas, const TRect& R) {
  Canvas.StretchDraw(R, *FBitmap);
}

void TPngGraphic::LoadFromClipboardFormat(uint16_t Format, HGLOBAL Data, HPALETTE Palette) {
  FBitmap->LoadFromClipboardFormat(Format, std::move(Data), std::move(Palette));
  ImageChanged();
}

void TPngGraphic::SaveToClipboardFormat(uint16_t& Format, HGLOBAL& Data, HPALETTE& Palette) {
  FBitmap->SaveToClipboardFormat(Format, Data, Palette);
}

void TPngGraphic::DoSetWidth(int Value) {
  if (!FBitmap->Empty()) FBitmap->SetWidth(Value);
  if (!FAlphaBitmap->Empty()) FAlphaBitmap->SetWidth(Value);
  Changed();
}

void TPngGraphic::DoSetHeight(int Value) {
  if (!FBitmap->Empty()) FBitmap->SetHeight(Value);
  if (!FAlphaBitmap->Empty()) FAlphaBitmap->SetHeight(Value);
  Changed();
}

void TPngGraphic::DoSetPalette(HPALETTE Value) {
  FBitmap->SetPalette(std::move(Value));
  Changed();
}

void TPngGraphic::DoSetTransparent(bool Value) {
  if (!FTransparencyGuard && FBitmap->Transparent() != Value) FBitmap->SetTransparent(Value);
  TGraphic::DoSetTransparent(Value);
}

void TPngGraphic::ImageChanged() {
  PaletteModified = true;
  const bool transparent = FBitmap->Transparent();
  if (Transparent() == transparent) {
    Changed();
    return;
  }
  FTransparencyGuard = true;
  const TScopeGuard release([this] { FTransparencyGuard = false; });
  SetTransparent(transparent);
}

void PngGraphicInitialize() {
  TPicture::RegisterFileFormat("PNG", "PNG Format", "TPngGraphic",
                               [] { return std::make_unique<TPngGraphic>(); });
}

void PngGraphicFinalize() {
  TPicture::UnregisterGraphicClass("TPngGraphic");
}

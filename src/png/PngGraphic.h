// The PNG graphic object: a platform graphic holding one image as a platform bitmap, an optional 8-bit alpha
// bitmap (255 - alpha) and the PNG metadata, read and written through the PNG decoder and encoder.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Graphics.h"
#include "PngFormat.h"

class TPngGraphic : public TGraphic {
 public:
  TPngGraphic();
  ~TPngGraphic() override;
  const char* ClassName() const override { return "TPngGraphic"; }

  // From another TPngGraphic: both bitmaps and the encoder options and metadata; from any other graphic: the
  // image, by the platform bitmap's assignment; anything else raises EConvertError.
  void Assign(TPersistent* Source) override;
  // A graphic destination takes the held bitmap by its own Assign.
  void AssignTo(TPersistent* Dest) override;
  void Draw(TCanvas& Canvas, const TRect& R) override;
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  void LoadFromClipboardFormat(uint16_t Format, HGLOBAL Data, HPALETTE Palette) override;
  void SaveToClipboardFormat(uint16_t& Format, HGLOBAL& Data, HPALETTE& Palette) override;
  // Form data: the PNG stream with the encoder's defaults; nothing for an empty image.
  void ReadData(TStream& Stream) override;
  void WriteData(TStream& Stream) override;

  TBitmap& Bitmap() { return *FBitmap; }
  const TBitmap& Bitmap() const { return *FBitmap; }
  TBitmap& AlphaBitmap() { return *FAlphaBitmap; }
  const TBitmap& AlphaBitmap() const { return *FAlphaBitmap; }

  // Encoder options.
  int32_t IDATSize = 32768;  // checked when saving: 256..100000
  int32_t CompressionLevel = -1;
  uint8_t FilterType = 1;  // 1 = None
  uint8_t Interlace = 0;   // after a load, the file's interlace method
  bool GrayScale = false;  // after a load, whether the file held grey samples
  bool UseCurrentTime = true;
  // Whether AlphaBitmap holds alpha that belongs to the image.
  bool HasAlpha = false;
  // Metadata.
  int32_t BitDepth = 0;  // as the decoder reports it; not used for writing
  TColor BackgroundColor = -1;
  TColor TransparentColor = -1;
  // Encoder option: the alpha values of the first palette entries, written as tRNS for palette output in
  // place of TransparentColor; empty for none.
  std::vector<uint8_t> TransparencyTable;
  // After a load: the palette's alpha values as the file's tRNS gave them (255 where it gave none).
  std::array<uint8_t, 256> PaletteAlpha;
  std::string Comment;
  double Gamma = 0.45455;
  int32_t SignificantBits = 0;
  uint8_t PhysUnit = 0;
  int32_t PhysX = 0;
  int32_t PhysY = 0;
  TPngTime ImageTime;  // the clock in UTC at creation; a loaded file's tIME
  TPngChromaticity Chromaticity{};
  TPngGifControl GifControl{};
  // Decoder options and the row hooks.
  bool CheckMacBinary = true;
  bool Allow16Bit = false;
  std::string Key;
  TPngKeyEvent OnKeyRequest;
  TPngRowEvent OnEncodeRow;
  TPngRowEvent OnDecodeRow;

 protected:
  int GetWidth() const override { return FBitmap->Width(); }
  int GetHeight() const override { return FBitmap->Height(); }
  bool GetEmpty() const override { return FBitmap->Empty(); }
  HPALETTE GetPalette() const override { return FBitmap->Palette(); }
  void DoSetWidth(int Value) override;
  void DoSetHeight(int Value) override;
  void DoSetPalette(HPALETTE Value) override;
  void DoSetTransparent(bool Value) override;

 private:
  // Brings the graphic in line after its image was replaced: palette modified, Transparent as the bitmap's.
  void ImageChanged();

  bool FTransparencyGuard = false;
  std::unique_ptr<TBitmap> FBitmap;
  std::unique_ptr<TBitmap> FAlphaBitmap;
};

// Registers TPngGraphic for the extension "PNG" ("PNG Format") in the picture registry, and removes it again.
// The program entry calls them at start and at exit.
void PngGraphicInitialize();
void PngGraphicFinalize();

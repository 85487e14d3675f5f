// Saving the edit image with its transparency, with exact colours or by a save profile, and the colour
// budget.
#include "OrvSave.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "AlphaPlane.h"
#include "DibImage.h"
#include "OrvColorSet.h"
#include "OrvCui.h"
#include "OrvCuiFiles.h"
#include "PixelRows.h"
#include "PngGraphic.h"

namespace {

constexpr TSaveProfileInfo Profiles[] = {
    {TSaveProfile::Standard, "standard", "Standard",
     "Reduces by the colour count; a sheet with transparent pixels keeps its alpha."},
    {TSaveProfile::Rpg2000, "rpg2000", "RPG Maker 2000/2003",
     "8-bit palette with exact colours and the transparent key colour at index 0; ChipSets are 480 x 256."},
};

constexpr uint32_t OpaqueKey = 0xFF000000u;

// Image itself when it is a 24- or 32-bit picture, else a 24-bit copy of it in Copy.
const TBitmap& TrueColor(const TBitmap& Image, TBitmap& Copy) {
  const int bits = Image.BitCount();
  if (bits == 24 || bits == 32) return Image;
  Copy.SetImage(std::make_shared<TBitmapImage>(Image.Image()));
  Copy.SetPixelFormat(pf24bit);
  return Copy;
}

uint32_t PixelKey(const uint8_t* P) {
  return P[0] | (uint32_t{P[1]} << 8) | (uint32_t{P[2]} << 16);
}

// The key (B | G << 8 | R << 16) of a colour value.
uint32_t ColorKey(TColor Color) {
  return GetBValue(Color) | (uint32_t{GetGValue(Color)} << 8) | (uint32_t{GetRValue(Color)} << 16);
}

std::string HexColor(uint32_t Key) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", (Key >> 16) & 0xFF, (Key >> 8) & 0xFF, Key & 0xFF);
  return text;
}

// Numbers every pixel's colour + alpha key in Out (8 bits); false as soon as Index is full.
template <int Bytes>
bool IndexRows(const TBitmap& Rgb, const TBitmap* Alpha, TKeyIndex& Index, TBitmapImage& Out) {
  const int width = Rgb.Width();
  for (int y = 0; y < Rgb.Height(); ++y) {
    const uint8_t* p = Rgb.ScanLine(y);
    const uint8_t* a = Alpha->ScanLine(y);
    uint8_t* out = Out.Bits.data() + static_cast<int64_t>(y) * Out.RowBytes;
    uint32_t lastKey = 0;
    int32_t last = -1;
    for (int x = 0; x < width; ++x, p += Bytes) {
      const uint32_t key = PixelKey(p) | static_cast<uint32_t>(255 - a[x]) << 24;
      if (last < 0 || key != lastKey) {
        last = Index.Find(key);
        if (last < 0) return false;
        lastKey = key;
      }
      out[x] = static_cast<uint8_t>(last);
    }
  }
  return true;
}

// IndexRows for an opaque picture: a bit per 24-bit colour tells the colours met, and a table of 2^24
// numbers, of which only the entries of met colours are ever written or read (so only their pages are
// touched), gives each colour's number: no hashing per pixel.
template <int Bytes>
bool IndexOpaqueRows(const TBitmap& Rgb, size_t Capacity, std::vector<uint32_t>& Keys, TBitmapImage& Out) {
  TColorSet met;
  const std::unique_ptr<uint8_t[]> numbers(new uint8_t[size_t{1} << 24]);
  const int width = Rgb.Width();
  for (int y = 0; y < Rgb.Height(); ++y) {
    const uint8_t* p = Rgb.ScanLine(y);
    uint8_t* out = Out.Bits.data() + static_cast<int64_t>(y) * Out.RowBytes;
    for (int x = 0; x < width; ++x, p += Bytes) {
      const uint32_t key = PixelKey(p);
      if (!met.Contains(key)) [[unlikely]] {
        if (Keys.size() >= Capacity) return false;
        met.Add(key);
        numbers[key] = static_cast<uint8_t>(Keys.size());
        Keys.push_back(key | OpaqueKey);
      }
      out[x] = numbers[key];
    }
  }
  return true;
}

// The picture of the exact colours with palette entry i holding key number Order[i], at 4 bits for at most 16
// entries, else 8.
std::shared_ptr<TBitmapImage> PalettePicture(const TExactColors& Exact, const std::vector<size_t>& Order) {
  std::vector<TPaletteEntry> entries;
  std::array<uint8_t, 256> remap{};
  for (size_t i = 0; i < Order.size(); ++i) {
    const uint32_t key = Exact.Keys[Order[i]];
    entries.push_back(
        {static_cast<uint8_t>(key >> 16), static_cast<uint8_t>(key >> 8), static_cast<uint8_t>(key), 0});
    remap[Order[i]] = static_cast<uint8_t>(i);
  }
  const TBitmapImage& indices = *Exact.Indices;
  const TPixelFormat format = entries.size() <= 16 ? pf4bit : pf8bit;
  auto picture = NewBitmapImage(indices.Width, indices.Height, format, CreatePalette(entries), false);
  const int bits = PixelFormatBitCount(format);
  for (int32_t y = 0; y < indices.Height; ++y) {
    const uint8_t* in = indices.Bits.data() + static_cast<int64_t>(y) * indices.RowBytes;
    uint8_t* out = picture->Bits.data() + static_cast<int64_t>(y) * picture->RowBytes;
    for (int32_t x = 0; x < indices.Width; ++x) WritePixel(out, x, bits, remap[in[x]]);
  }
  return picture;
}

// A PNG graphic that writes a tIME chunk only when the options ask for one.
void ApplyTimeStamp(TPngGraphic& Png, const TSaveOptions& Options) {
  if (Options.TimeStamp) return;
  Png.UseCurrentTime = false;
  Png.ImageTime = TPngTime{};
}

// Writes a picture by the file kind: PNG through the PNG graphic (with a palette alpha table when given), BMP
// by the platform bitmap's writer, each through the atomic save.
void WritePicture(TImageFileKind Kind, const std::string& FileName, TGraphic& Picture,
                  const TSaveOptions& Options, std::vector<uint8_t> Transparency = {}) {
  if (Kind == TImageFileKind::Png) {
    TPngGraphic png;
    png.Assign(&Picture);
    ApplyTimeStamp(png, Options);
    png.TransparencyTable = std::move(Transparency);
    SaveFileAtomically(FileName, [&png](TStream& Stream) { png.SaveToStream(Stream); });
  } else {
    TBitmap bmp;
    bmp.Assign(&Picture);
    SaveFileAtomically(FileName, [&bmp](TStream& Stream) { bmp.SaveToStream(Stream); });
  }
}

// A sheet with transparent pixels: PNG as a palette with tRNS when at most 256 colour + alpha values (fully
// transparent entries first, then translucent ones, so that tRNS ends early), else RGB + alpha; BMP as 32
// bits with an alpha mask.
void SaveWithAlpha(TImageFileKind Kind, const std::string& FileName, TBitmap& Image, TBitmap& Alpha,
                   const TSaveOptions& Options) {
  if (Kind == TImageFileKind::Bmp) {
    SaveFileAtomically(FileName, [&](TStream& Stream) { SaveBmpWithAlpha(Stream, Image, Alpha); });
    return;
  }
  if (const std::optional<TExactColors> exact = FindExactColors(Image, &Alpha, 256)) {
    std::vector<size_t> order(exact->Keys.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    auto rank = [&](size_t k) {
      const uint32_t alpha = exact->Keys[k] >> 24;
      return alpha == 0 ? 0 : alpha < 255 ? 1 : 2;
    };
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return rank(a) < rank(b); });
    std::vector<uint8_t> transparency;
    for (size_t i = 0; i < order.size() && rank(order[i]) < 2; ++i)
      transparency.push_back(static_cast<uint8_t>(exact->Keys[order[i]] >> 24));
    TBitmap picture;
    picture.SetImage(PalettePicture(*exact, order));
    WritePicture(Kind, FileName, picture, Options, std::move(transparency));
    return;
  }
  TPngGraphic png;
  png.Assign(&Image);
  ApplyTimeStamp(png, Options);
  png.AlphaBitmap().Assign(&Alpha);
  png.HasAlpha = true;
  SaveFileAtomically(FileName, [&png](TStream& Stream) { png.SaveToStream(Stream); });
}

// The sheet as RPG Maker 2000/2003 read it: 8 bits, palette index 0 the key colour and no other entry of it,
// exact colours. Fully transparent pixels take index 0; the key colour is theirs, unless a visible pixel has
// it too (a transparent black under black outlines), when the first colour no visible pixel has is taken.
// Without transparency the key colour is KeyColorOption, or the top-left pixel's.
struct TRpgSheet {
  TBitmap Picture;
  bool Transparent = false;
  uint32_t Key = 0;  // B | G << 8 | R << 16
  std::vector<std::string> Warnings;
};

void BuildRpg2000Sheet(const TBitmap& Image, const TBitmap* Plane, TColor KeyColorOption,
                       const std::string& FileName, TRpgSheet& Sheet) {
  TBitmap copy;
  const TBitmap& rgb = TrueColor(Image, copy);
  const int bytes = rgb.BitCount() / 8;
  const int width = rgb.Width(), height = rgb.Height();

  TColorSet visible;
  int64_t translucent = 0;
  bool transparent = false;
  uint32_t firstTransparent = 0;
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = rgb.ScanLine(y);
    const uint8_t* a = Plane ? Plane->ScanLine(y) : nullptr;
    for (int x = 0; x < width; ++x, p += bytes) {
      const uint8_t cover = a ? a[x] : 0;
      if (cover == 255) {
        if (!transparent) firstTransparent = PixelKey(p);
        transparent = true;
        continue;
      }
      if (cover != 0) ++translucent;
      visible.Add(PixelKey(p));
    }
  }

  uint32_t key;
  if (transparent) {
    key = firstTransparent;
    if (visible.Contains(key)) {
      constexpr uint32_t Candidates[] = {0xFF00FF, 0x00FF00, 0xFFFF00, 0x00FFFF};
      const auto free = std::find_if(std::begin(Candidates), std::end(Candidates),
                                     [&](uint32_t c) { return !visible.Contains(c); });
      key = free != std::end(Candidates) ? *free : 0;
      while (visible.Contains(key)) ++key;  // at most 256 colours are in use, so one is free early
      Sheet.Warnings.push_back("The transparent pixels' colour " + HexColor(firstTransparent) +
                               " is also a colour of visible pixels, so the key colour is " + HexColor(key) +
                               " instead.");
    }
  } else {
    key = KeyColorOption != -1 ? ColorKey(KeyColorOption) : PixelKey(rgb.ScanLine(0));
  }
  const int64_t others = visible.Count() - (visible.Contains(key) ? 1 : 0);
  if (others > 255)
    throw EInvalidGraphic("Cannot save image \"" + FileName + "\" for RPG Maker 2000/2003: the sheet has " +
                          std::to_string(others) +
                          " colours besides the key colour, and an 8-bit palette holds 255 besides it.");
  if (translucent > 0)
    Sheet.Warnings.push_back(std::to_string(translucent) +
                             " translucent pixels are saved opaque: RPG Maker 2000/2003 knows only the "
                             "transparent key colour.");

  TKeyIndex index(256);
  index.Find(key);
  auto picture = NewBitmapImage(width, height, pf8bit, nullptr, false);
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = rgb.ScanLine(y);
    const uint8_t* a = Plane ? Plane->ScanLine(y) : nullptr;
    uint8_t* out = picture->Bits.data() + static_cast<int64_t>(y) * picture->RowBytes;
    for (int x = 0; x < width; ++x, p += bytes)
      out[x] = a && a[x] == 255 ? 0 : static_cast<uint8_t>(index.Find(PixelKey(p)));
  }
  std::vector<TPaletteEntry> entries;
  for (const uint32_t k : index.Keys())
    entries.push_back(
        {static_cast<uint8_t>(k >> 16), static_cast<uint8_t>(k >> 8), static_cast<uint8_t>(k), 0});
  picture->Palette = CreatePalette(entries);
  Sheet.Picture.SetImage(std::move(picture));
  Sheet.Transparent = transparent;
  Sheet.Key = key;
  if (width != Rpg2000ChipSetWidth || height != Rpg2000ChipSetHeight)
    Sheet.Warnings.push_back("The sheet is " + std::to_string(width) + " x " + std::to_string(height) +
                             " pixels: RPG Maker 2000/2003 reads a ChipSet only at " +
                             std::to_string(Rpg2000ChipSetWidth) + " x " +
                             std::to_string(Rpg2000ChipSetHeight) +
                             " pixels (CharSets and other sheets have other sizes).");
}

// Distinct colour + alpha values, for pictures beyond the palette's 256.
int64_t CountColorAlphaValues(const TBitmap& Image, const TBitmap& Alpha) {
  TBitmap copy;
  const TBitmap& rgb = TrueColor(Image, copy);
  const int bytes = rgb.BitCount() / 8;
  std::vector<uint32_t> keys;
  keys.reserve(static_cast<size_t>(rgb.Width()) * static_cast<size_t>(rgb.Height()));
  for (int y = 0; y < rgb.Height(); ++y) {
    const uint8_t* p = rgb.ScanLine(y);
    const uint8_t* a = Alpha.ScanLine(y);
    for (int x = 0; x < rgb.Width(); ++x, p += bytes) keys.push_back(PixelKey(p) | (uint32_t{a[x]} << 24));
  }
  std::sort(keys.begin(), keys.end());
  return std::unique(keys.begin(), keys.end()) - keys.begin();
}

// Distinct colours of the pixels that are not fully transparent.
int64_t CountVisibleColors(const TBitmap& Image, const TBitmap& Alpha) {
  TBitmap copy;
  const TBitmap& rgb = TrueColor(Image, copy);
  const int bytes = rgb.BitCount() / 8;
  TColorSet visible;
  for (int y = 0; y < rgb.Height(); ++y) {
    const uint8_t* p = rgb.ScanLine(y);
    const uint8_t* a = Alpha.ScanLine(y);
    for (int x = 0; x < rgb.Width(); ++x, p += bytes)
      if (a[x] != 255) visible.Add(PixelKey(p));
  }
  return visible.Count();
}

}  // namespace

std::span<const TSaveProfileInfo> SaveProfiles() {
  return Profiles;
}

const TSaveProfileInfo* FindSaveProfile(const std::string& Name) {
  for (const TSaveProfileInfo& p : Profiles)
    if (Name == p.Name) return &p;
  return nullptr;
}

const TSaveProfileInfo& SaveProfileInfo(TSaveProfile Profile) {
  for (const TSaveProfileInfo& p : Profiles)
    if (p.Profile == Profile) return p;
  return Profiles[0];
}

std::optional<TExactColors> FindExactColors(const TBitmap& Image, const TBitmap* Alpha, size_t MaxColors) {
  TBitmap copy;
  const TBitmap& rgb = TrueColor(Image, copy);
  const bool withAlpha = Alpha && IsAlphaPlaneOf(*Alpha, Image);
  TExactColors exact;
  exact.Indices = NewBitmapImage(rgb.Width(), rgb.Height(), pf8bit, nullptr, false);
  const size_t capacity = std::min<size_t>(MaxColors, 256);
  const bool four = rgb.BitCount() == 32;
  if (!withAlpha) {
    const bool ok = four ? IndexOpaqueRows<4>(rgb, capacity, exact.Keys, *exact.Indices)
                         : IndexOpaqueRows<3>(rgb, capacity, exact.Keys, *exact.Indices);
    return ok ? std::optional<TExactColors>(std::move(exact)) : std::nullopt;
  }
  TKeyIndex index(capacity);
  const bool ok = four ? IndexRows<4>(rgb, Alpha, index, *exact.Indices)
                       : IndexRows<3>(rgb, Alpha, index, *exact.Indices);
  if (!ok) return std::nullopt;
  exact.Keys = index.Keys();
  return exact;
}

TSaveResult TOrvDatas::SaveEditImage(const std::string& FileName, const TSaveOptions& Options) {
  const TImageFileKind kind = ImageFileKindOf(FileName, "save");
  if (!EditImage || EditImage->Empty())
    throw EInvalidGraphic("Cannot save image \"" + FileName + "\": the edit image is empty.");
  TSaveResult result;
  TBitmap* plane = TransparentEditAlpha();

  if (Options.Profile == TSaveProfile::Rpg2000) {
    TRpgSheet sheet;
    BuildRpg2000Sheet(*EditImage, plane, Options.KeyColor, FileName, sheet);
    // Other programs show the key colour's pixels transparent too when the sheet had transparent pixels.
    WritePicture(kind, FileName, sheet.Picture, Options,
                 sheet.Transparent ? std::vector<uint8_t>{0} : std::vector<uint8_t>{});
    result.Warnings = std::move(sheet.Warnings);
    result.KeyColor = RGB(static_cast<uint8_t>(sheet.Key >> 16), static_cast<uint8_t>(sheet.Key >> 8),
                          static_cast<uint8_t>(sheet.Key));
    return result;
  }
  if (plane) {
    SaveWithAlpha(kind, FileName, *EditImage, *plane, Options);
    return result;
  }
  if (Options.ExactColors) {
    if (const std::optional<TExactColors> exact = FindExactColors(*EditImage, nullptr, 256)) {
      std::vector<size_t> order(exact->Keys.size());
      for (size_t i = 0; i < order.size(); ++i) order[i] = i;
      TBitmap picture;
      picture.SetImage(PalettePicture(*exact, order));
      WritePicture(kind, FileName, picture, Options);
      return result;
    }
  }
  TDibGraphic dib;
  ReduceForSave(dib);
  WritePicture(kind, FileName, dib, Options);
  return result;
}

TColorBudget ColorBudgetOf(const TColorBudgetFacts& Facts, const TSaveOptions& Options) {
  if (Options.Profile == TSaveProfile::Rpg2000) {
    // The palette: the visible colours, and the key colour that the transparent pixels take.
    const int64_t colors = Facts.HasTransparentPixel() ? Facts.VisibleColors() + 1 : Facts.Colors();
    return {colors, 8, colors};
  }
  if (Facts.HasTransparentPixel()) {
    const int64_t values = Facts.ColorAlphaValues();
    return {values, values > 256 ? 32 : values <= 16 ? 4 : 8, values};
  }
  const int64_t colors = Facts.Colors();
  if (Options.ExactColors && colors <= 256) return {colors, colors <= 16 ? 4 : 8, colors};
  const TDesignedReduction reduced = Facts.DesignedReduction();
  return {colors, reduced.Bits, reduced.Colors};
}

std::string ColorBudgetText(const std::optional<TColorBudget>& Budget) {
  if (!Budget) return {};
  std::string text = std::to_string(Budget->Colors) + "色 → " + std::to_string(Budget->Bits) + "ビット";
  if (Budget->Kept < Budget->Colors) text += " (" + std::to_string(Budget->Kept) + "色に統合)";
  return text;
}

std::string ColorBudgetText(const TOrvDatas& Document, const TSaveOptions& Options) {
  return ColorBudgetText(ColorBudgetOf(Document, Options));
}

std::optional<TColorBudget> ColorBudgetOf(const TOrvDatas& Document, const TSaveOptions& Options) {
  if (!Document.EditImage || Document.EditImage->Empty()) return std::nullopt;
  // The facts counted from every pixel.
  class TPixelFacts : public TColorBudgetFacts {
   public:
    explicit TPixelFacts(const TOrvDatas& Document) : FDocument(Document) {}
    bool HasTransparentPixel() const override {
      const TBitmap& plane = FDocument.EditAlpha;
      return IsAlphaPlaneOf(plane, *FDocument.EditImage) && ::HasTransparentPixel(plane);
    }
    int64_t Colors() const override { return TOrvDatas::CountColors(*FDocument.EditImage); }
    int64_t ColorAlphaValues() const override {
      const TBitmap& image = *FDocument.EditImage;
      if (const std::optional<TExactColors> exact = FindExactColors(image, &FDocument.EditAlpha, 256))
        return static_cast<int64_t>(exact->Keys.size());
      return CountColorAlphaValues(image, FDocument.EditAlpha);
    }
    int64_t VisibleColors() const override {
      return CountVisibleColors(*FDocument.EditImage, FDocument.EditAlpha);
    }
    TDesignedReduction DesignedReduction() const override {
      TDibGraphic dib;
      FDocument.ReduceForSave(dib);
      TBitmap reduced;
      reduced.Assign(&dib);
      return {reduced.BitCount(), TOrvDatas::CountColors(reduced)};
    }

   private:
    const TOrvDatas& FDocument;
  };
  return ColorBudgetOf(TPixelFacts(Document), Options);
}

// Saving beyond the designed reduction: exact colours against a brute-force model, the RPG Maker 2000/2003
// profile's palette rules on random sheets, and the colour budget's text.
#include <gtest/gtest.h>

#include <algorithm>

#include "AlphaPlane.h"
#include "Bitmaps.h"
#include "ExpectRaises.h"
#include "LibpngOracle.h"
#include "NoiseImages.h"
#include "OrvCui.h"
#include "OrvCuiFiles.h"
#include "OrvSave.h"
#include "PixelRows.h"
#include "TestFiles.h"

using namespace filestest;

namespace {

// A 24-bit picture of Width x Height whose pixels take Count colours (one of them black): pixel i (row by
// row) colour i while i < Count, then colours in a noisy order.
std::unique_ptr<TBitmap> Colours(int Width, int Height, int Count, uint32_t Seed) {
  auto bitmap = pngtest::MakeBitmap(Width, Height, pf24bit);
  pngtest::ByteNoise noise(Seed);
  for (int y = 0; y < Height; ++y)
    for (int x = 0; x < Width; ++x) {
      const int i = y * Width + x;
      const int k = i < Count ? i : (noise.Next() | noise.Next() << 8) % Count;
      bitmap->Canvas().SetPixel(x, y,
                                k == 0 ? clBlack
                                       : RGB(static_cast<uint8_t>(k), static_cast<uint8_t>(7 + (k >> 8)),
                                             static_cast<uint8_t>(k * 3)));
    }
  return bitmap;
}

TEST(ExactColors, MatchTheImagesOwnColoursInOrderOfFirstAppearance) {
  for (const int count : {1, 2, 16, 17, 255, 256, 257, 400}) {
    SCOPED_TRACE(count);
    const auto image = Colours(40, 30, count, 3 + count);
    // The model: distinct colours by linear search, in the order they first appear.
    std::vector<TColor> model;
    for (TColor c : PixelColors(*image))
      if (std::find(model.begin(), model.end(), c) == model.end()) model.push_back(c);
    const std::optional<TExactColors> exact = FindExactColors(*image, nullptr, 256);
    ASSERT_EQ(exact.has_value(), model.size() <= 256);
    if (!exact) continue;
    std::vector<TColor> keys;
    for (uint32_t k : exact->Keys) {
      EXPECT_EQ(k >> 24, 255u);
      keys.push_back(
          RGB(static_cast<uint8_t>(k >> 16), static_cast<uint8_t>(k >> 8), static_cast<uint8_t>(k)));
    }
    EXPECT_EQ(keys, model);
    for (int y = 0; y < image->Height(); ++y)
      for (int x = 0; x < image->Width(); ++x)
        ASSERT_EQ(keys[exact->Indices->Bits[static_cast<size_t>(y * exact->Indices->RowBytes + x)]],
                  image->GetPixel(x, y));
  }
}

// A document with Image as its edit image and, when given, the plane of alpha values Alpha(x, y).
template <class TAlphaOf>
void SetEdit(TOrvDatas& Doc, const TBitmap& Image, TAlphaOf Alpha) {
  Doc.EditImage->SetImage(std::make_shared<TBitmapImage>(Image.Image()));
  Doc.EditAlpha.SetImage(NewAlphaPlaneImage(Image.Width(), Image.Height()));
  for (int y = 0; y < Image.Height(); ++y)
    for (int x = 0; x < Image.Width(); ++x)
      Doc.EditAlpha.ScanLine(y)[x] = static_cast<uint8_t>(255 - Alpha(x, y));
}

TEST(Rpg2000, KeyColourAtIndexZeroOnceAndEveryPixelExact) {
  TempFolder folder;
  struct Case {
    const char* Name;
    int Colors;
    bool Transparent;  // every pixel with x % 3 == 0 fully transparent
    TColor KeyOption;
    TColor Key;  // the expected entry 0; -1: the top-left pixel's colour, -2: the transparent pixels' rule
  };
  const Case cases[] = {
      {"opaque, top-left key", 200, false, -1, -1},
      {"opaque, chosen key", 256, false, RGB(5, 7, 15), RGB(5, 7, 15)},
      {"opaque, unused key", 255, false, RGB(1, 2, 3), RGB(1, 2, 3)},
      // The transparent pixels keep their noisy colours: the key is the first one's, or magenta when a
      // visible pixel has that colour too. The chosen key is for opaque sheets only.
      {"transparent", 120, true, RGB(1, 2, 3), -2},
  };
  for (const Case& c : cases) {
    for (const char* name : {"sheet.png", "sheet.bmp"}) {
      SCOPED_TRACE(std::string(c.Name) + " " + name);
      const auto image = Colours(31, 17, c.Colors, 9);
      TOrvDatas doc;
      SetEdit(doc, *image, [&](int x, int) { return c.Transparent && x % 3 == 0 ? 0 : 255; });
      TSaveOptions options;
      options.Profile = TSaveProfile::Rpg2000;
      options.KeyColor = c.KeyOption;
      const TSaveResult result = doc.SaveEditImage(folder.Path(name), options);
      ASSERT_FALSE(result.Warnings.empty());
      EXPECT_NE(result.Warnings.back().find("480 x 256"), std::string::npos);

      TBitmap back;
      if (std::string(name).ends_with(".png")) {
        const pngtest::Decoded raw = pngtest::LibpngRead(ReadFileBytes(folder.Path(name)), false);
        EXPECT_EQ(raw.ColorType, PNG_COLOR_TYPE_PALETTE);
        EXPECT_EQ(raw.BitDepth, 8);
        EXPECT_EQ(raw.Trans, c.Transparent ? std::vector<uint8_t>{0} : std::vector<uint8_t>{});
      }
      TOrvDatas reread;
      reread.LoadMaterial(folder.Path(name));
      const TBitmap& sheet = *reread.Material;
      ASSERT_EQ(sheet.PixelFormat(), pf8bit);
      const std::vector<TPaletteEntry>& palette = sheet.Palette()->Entries;
      TColor key = c.Key >= 0 ? c.Key : image->GetPixel(0, 0);
      if (c.Key == -2)
        for (int y = 0; y < image->Height(); ++y)
          for (int x = 0; x < image->Width(); ++x)
            if (x % 3 != 0 && image->GetPixel(x, y) == image->GetPixel(0, 0)) key = RGB(255, 0, 255);
      auto colour = [](const TPaletteEntry& e) { return RGB(e.peRed, e.peGreen, e.peBlue); };
      EXPECT_EQ(colour(palette[0]), key);
      EXPECT_EQ(
          std::count_if(palette.begin(), palette.end(), [&](const auto& e) { return colour(e) == key; }), 1);
      for (int y = 0; y < sheet.Height(); ++y)
        for (int x = 0; x < sheet.Width(); ++x) {
          const bool clear = c.Transparent && x % 3 == 0;
          EXPECT_EQ(sheet.GetPixel(x, y), clear ? key : image->GetPixel(x, y)) << x << "," << y;
          if (clear) {
            EXPECT_EQ(sheet.ScanLine(y)[x], 0);
          }
        }
    }
  }
}

TEST(Rpg2000, TooManyColoursIsAnErrorAndAChipSetNeedsNoWarning) {
  TempFolder folder;
  TOrvDatas doc;
  TSaveOptions options;
  options.Profile = TSaveProfile::Rpg2000;
  // 257 colours with the top-left pixel's as the key: 256 besides it.
  const auto many = Colours(40, 30, 257, 2);
  SetEdit(doc, *many, [](int, int) { return 255; });
  const std::string path = folder.Path("many.png");
  ExpectRaises<EInvalidGraphic>(
      [&] { doc.SaveEditImage(path, options); },
      "Cannot save image \"" + path +
          "\" for RPG Maker 2000/2003: the sheet has 256 colours besides the key colour, "
          "and an 8-bit palette holds 255 besides it.");
  EXPECT_TRUE(folder.Names().empty());

  const auto chipset = Colours(Rpg2000ChipSetWidth, Rpg2000ChipSetHeight, 30, 4);
  SetEdit(doc, *chipset, [](int x, int y) { return x == 5 && y == 5 ? 128 : 255; });
  EXPECT_EQ(
      doc.SaveEditImage(folder.Path("chipset.png"), options).Warnings,
      std::vector<std::string>{"1 translucent pixels are saved opaque: RPG Maker 2000/2003 knows only the "
                               "transparent key colour."});
}

TEST(ColorBudget, SaysWhenTheDesignedReductionMerges) {
  TOrvDatas doc;
  EXPECT_EQ(ColorBudgetText(doc, {}), "");
  // The reds 0 .. 199 share 25 bins of the designed quantiser.
  auto ramp = pngtest::MakeBitmap(200, 1, pf24bit);
  for (int i = 0; i < 200; ++i) ramp->Canvas().SetPixel(i, 0, RGB(static_cast<uint8_t>(i), 0, 0));
  doc.EditImage->Assign(ramp.get());
  EXPECT_EQ(ColorBudgetText(doc, {}), "200色 → 8ビット (25色に統合)");
  TSaveOptions exact;
  exact.ExactColors = true;
  EXPECT_EQ(ColorBudgetText(doc, exact), "200色 → 8ビット");
  doc.EditImage->Assign(Colours(20, 20, 300, 1).get());
  EXPECT_EQ(ColorBudgetText(doc, {}), "300色 → 24ビット");
  doc.EditImage->Assign(Colours(20, 20, 10, 1).get());
  EXPECT_EQ(ColorBudgetText(doc, exact), "10色 → 4ビット");
  // With transparency: colour + alpha values.
  SetEdit(doc, *Colours(20, 20, 10, 1), [](int x, int y) { return x == 0 && y == 0 ? 0 : 255; });
  EXPECT_EQ(ColorBudgetText(doc, {}), "11色 → 4ビット");
  // The RPG Maker profile counts the palette it writes: the visible pixels' colours and the key colour, not
  // the colours the transparent pixels happen to carry.
  TSaveOptions rpg;
  rpg.Profile = TSaveProfile::Rpg2000;
  SetEdit(doc, *Colours(20, 20, 30, 1), [](int x, int) { return x < 3 ? 0 : 255; });
  const TempFolder folder;
  doc.SaveEditImage(folder.Path("rpg.png"), rpg);
  TBitmap saved;
  LoadImageFile(folder.Path("rpg.png"), saved);
  EXPECT_EQ(ColorBudgetText(doc, rpg), std::to_string(PaletteSize(saved.Palette())) + "色 → 8ビット");
  EXPECT_NE(ColorBudgetText(doc, rpg),
            std::to_string(TOrvDatas::CountColors(*doc.EditImage)) + "色 → 8ビット");
}

TEST(SaveOptions, TimeStampOnlyWhenAsked) {
  // Every road of a PNG save: the designed reduction, true colour, exact colours, a palette with tRNS, RGB +
  // alpha and the RPG Maker profile.
  struct Case {
    const char* Name;
    int Colors;
    bool Transparent;
    TSaveOptions Options;
  };
  const Case cases[] = {{"reduced", 20, false, {}},
                        {"true colour", 300, false, {}},
                        {"exact", 20, false, {.ExactColors = true}},
                        {"palette with tRNS", 20, true, {}},
                        {"RGB + alpha", 300, true, {}},
                        {"rpg2000", 20, false, {.Profile = TSaveProfile::Rpg2000}}};
  const TempFolder folder;
  const std::string file = folder.Path("s.png");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TOrvDatas doc;
    SetEdit(doc, *Colours(20, 20, c.Colors, 5),
            [&](int x, int) { return c.Transparent && x == 3 ? 0 : 255; });
    for (const bool stamp : {true, false}) {
      TSaveOptions options = c.Options;
      options.TimeStamp = stamp;
      doc.SaveEditImage(file, options);
      const std::vector<uint8_t> bytes = ReadFileBytes(file);
      const std::string chunk = "tIME";
      EXPECT_EQ(std::search(bytes.begin(), bytes.end(), chunk.begin(), chunk.end()) != bytes.end(), stamp);
    }
  }
}

TEST(SaveProfiles, StandardFirstAndFoundByName) {
  ASSERT_EQ(SaveProfiles().size(), 2u);
  EXPECT_STREQ(SaveProfiles()[0].DisplayName, "Standard");
  EXPECT_STREQ(SaveProfiles()[1].DisplayName, "RPG Maker 2000/2003");
  EXPECT_EQ(FindSaveProfile("rpg2000")->Profile, TSaveProfile::Rpg2000);
  EXPECT_EQ(FindSaveProfile("Standard"), nullptr);
}

}  // namespace

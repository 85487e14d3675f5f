// Transparency through the chip document: PNG and BMP files load with their alpha, stamping carries it, the
// edit plane follows New, and saved files give the same pixels and alpha to libpng, stb_image and the
// document itself; pictures without transparency keep the designed files.
#include <gtest/gtest.h>

#include "AlphaPlane.h"
#include "Bitmaps.h"
#include "LibpngOracle.h"
#include "OrvAlpha.h"
#include "OrvCui.h"
#include "OrvPane.h"
#include "StbOracle.h"
#include "TestFiles.h"

using namespace filestest;

namespace {

// Pixels as R | G << 8 | B << 16 | A << 24, row by row from the top.
using Rgba = std::vector<uint32_t>;

Rgba DocumentRgba(const TBitmap& Image, const TBitmap& Alpha) {
  Rgba out;
  const bool plane = IsAlphaPlaneOf(Alpha, Image);
  for (int y = 0; y < Image.Height(); ++y)
    for (int x = 0; x < Image.Width(); ++x) {
      const uint32_t a = plane ? 255u - Alpha.ScanLine(y)[x] : 255u;
      out.push_back(static_cast<uint32_t>(Image.GetPixel(x, y) & 0xFFFFFF) | a << 24);
    }
  return out;
}

Rgba Packed(const uint8_t* Samples, size_t Pixels) {
  Rgba out;
  for (size_t i = 0; i < Pixels; ++i, Samples += 4)
    out.push_back(Samples[0] | Samples[1] << 8 | Samples[2] << 16 | static_cast<uint32_t>(Samples[3]) << 24);
  return out;
}

Rgba LibpngRgba(const std::string& Path) {
  const pngtest::Decoded d = pngtest::LibpngRead(ReadFileBytes(Path), true);
  Rgba out;
  for (const auto& row : d.Rows) {
    const Rgba r = Packed(row.data(), d.Width);
    out.insert(out.end(), r.begin(), r.end());
  }
  return out;
}

Rgba StbRgba(const std::string& Path) {
  const stbtest::StbImage image = stbtest::StbReadRgba(ReadFileBytes(Path));
  EXPECT_TRUE(image.Ok()) << image.Error;
  return Packed(image.Rgb.data(), static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height));
}

// PNG files with alpha of every kind, written by libpng over noise. A single tRNS colour is that of the
// first pixel, so that it occurs.
struct AlphaKind {
  const char* Name;
  int ColorType, BitDepth, Interlace;
  pngdec::Bytes Trans;  // palette alpha table
  bool TransColor;
};
const AlphaKind kAlphaKinds[] = {
    {"greyalpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, 0, {}, false},
    {"greyalpha16_adam7", PNG_COLOR_TYPE_GRAY_ALPHA, 16, 1, {}, false},
    {"rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8, 0, {}, false},
    {"rgba16_adam7", PNG_COLOR_TYPE_RGB_ALPHA, 16, 1, {}, false},
    {"palette8_table", PNG_COLOR_TYPE_PALETTE, 8, 0, {0, 128, 255, 7}, false},
    {"palette4_one_index", PNG_COLOR_TYPE_PALETTE, 4, 0, {255, 255, 255, 0}, false},
    {"palette2_adam7", PNG_COLOR_TYPE_PALETTE, 2, 1, {0, 64}, false},
    {"grey4_trns", PNG_COLOR_TYPE_GRAY, 4, 0, {}, true},
    {"grey8_trns", PNG_COLOR_TYPE_GRAY, 8, 0, {}, true},
    {"rgb8_trns_adam7", PNG_COLOR_TYPE_RGB, 8, 1, {}, true},
};

pngdec::Bytes AlphaPng(const AlphaKind& Kind) {
  pngdec::LibpngDesc desc;
  desc.Width = 37;
  desc.Height = 11;
  desc.ColorType = Kind.ColorType;
  desc.BitDepth = Kind.BitDepth;
  desc.Interlace = Kind.Interlace;
  if (Kind.ColorType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < std::min(1 << Kind.BitDepth, 40); ++i)
      desc.Palette.push_back(png_color{static_cast<png_byte>(i * 5), static_cast<png_byte>(255 - i * 3),
                                       static_cast<png_byte>(i * 7)});
    desc.Trans = Kind.Trans;
  }
  const std::vector<pngdec::Bytes> rows = pngdec::NoiseRows(desc, 5);
  if (Kind.TransColor) {
    const pngdec::Bytes& r = rows[0];
    const uint16_t first = Kind.BitDepth == 4 ? r[0] >> 4 : r[0];
    desc.TransColor = png_color_16{0, r[0], r[1], r[2], first};
  }
  return pngdec::LibpngWrite(desc, rows);
}

class AlphaFiles : public testing::TestWithParam<AlphaKind> {};

TEST_P(AlphaFiles, LoadAndSaveKeepPixelsAndAlpha) {
  TempFolder folder;
  WriteFileBytes(folder.Path("in.png"), AlphaPng(GetParam()));
  TOrvDatas doc;
  doc.LoadEditImage(folder.Path("in.png"));
  const Rgba expected = LibpngRgba(folder.Path("in.png"));
  ASSERT_EQ(DocumentRgba(*doc.EditImage, doc.EditAlpha), expected);
  ASSERT_FALSE(doc.EditAlpha.Empty());

  for (const char* name : {"out.png", "out.bmp"}) {
    SCOPED_TRACE(name);
    doc.SaveEditImage(folder.Path(name));
    if (std::string(name) == "out.png") {
      EXPECT_EQ(LibpngRgba(folder.Path(name)), expected);
    }
    EXPECT_EQ(StbRgba(folder.Path(name)), expected);
    TOrvDatas back;
    back.LoadEditImage(folder.Path(name));
    EXPECT_EQ(DocumentRgba(*back.EditImage, back.EditAlpha), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, AlphaFiles, testing::ValuesIn(kAlphaKinds),
                         [](const auto& info) { return std::string(info.param.Name); });

// A document whose edit image is Width x 1 with pixel i of colour Color(i) and alpha Alpha(i).
template <class TColorOf, class TAlphaOf>
void FillEdit(TOrvDatas& Doc, int Width, TColorOf Color, TAlphaOf Alpha) {
  Doc.EditImage->SetImage(NewBitmapImage(Width, 1, pf24bit, nullptr, false));
  Doc.EditAlpha.SetImage(NewAlphaPlaneImage(Width, 1));
  for (int i = 0; i < Width; ++i) {
    Doc.EditImage->Canvas().SetPixel(i, 0, Color(i));
    Doc.EditAlpha.ScanLine(0)[i] = static_cast<uint8_t>(255 - Alpha(i));
  }
}

TEST(AlphaSave, PaletteWithShortTrnsUpTo256ValuesElseRgbAlpha) {
  TempFolder folder;
  struct Case {
    int Width;
    int ColorType, BitDepth;
    size_t TrnsLength;
  };
  // Colour i % 100 (or i itself); pixel 0 fully transparent, pixels 1..3 translucent, the rest opaque.
  const Case cases[] = {{12, PNG_COLOR_TYPE_PALETTE, 4, 4},
                        {200, PNG_COLOR_TYPE_PALETTE, 8, 4},
                        {300, PNG_COLOR_TYPE_RGB_ALPHA, 8, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Width);
    TOrvDatas doc;
    FillEdit(
        doc, c.Width, [](int i) { return RGB(static_cast<uint8_t>(i), static_cast<uint8_t>(i / 256), 50); },
        [](int i) { return i == 0  ? 0
                           : i < 4 ? 60 * i
                                   : 255; });
    doc.SaveEditImage(folder.Path("out.png"));
    const std::vector<uint8_t> file = ReadFileBytes(folder.Path("out.png"));
    const pngtest::Decoded raw = pngtest::LibpngRead(file, false);
    EXPECT_EQ(raw.ColorType, c.ColorType);
    EXPECT_EQ(raw.BitDepth, c.BitDepth);
    EXPECT_EQ(raw.Trans.size(), c.TrnsLength);
    if (c.TrnsLength) {
      EXPECT_EQ(raw.Trans[0], 0);  // the fully transparent entry first
      EXPECT_EQ(raw.Rows[0][0] >> (8 - c.BitDepth), 0);
    }
    EXPECT_EQ(LibpngRgba(folder.Path("out.png")), DocumentRgba(*doc.EditImage, doc.EditAlpha));
  }
}

TEST(AlphaSave, AnOpaquePlaneSavesTheDesignedFile) {
  TempFolder folder;
  TOrvDatas plain, planed;
  for (TOrvDatas* doc : {&plain, &planed})
    FillEdit(
        *doc, 20, [](int i) { return RGB(static_cast<uint8_t>(10 * i), 0, 0); }, [](int) { return 255; });
  plain.EditAlpha.Assign(nullptr);
  plain.SaveEditImage(folder.Path("plain.bmp"));
  planed.SaveEditImage(folder.Path("planed.bmp"));
  EXPECT_EQ(ReadFileBytes(folder.Path("plain.bmp")), ReadFileBytes(folder.Path("planed.bmp")));
  // An RGBA file that is opaque everywhere loads without a plane.
  pngdec::LibpngDesc desc;
  desc.Width = 4;
  desc.ColorType = PNG_COLOR_TYPE_RGB_ALPHA;
  WriteFileBytes(folder.Path("opaque.png"),
                 pngdec::LibpngWrite(desc, {{1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 0, 0, 0, 255}}));
  plain.LoadEditImage(folder.Path("opaque.png"));
  EXPECT_TRUE(plain.EditAlpha.Empty());
}

// A 4 x 2 chip material of two 2 x 2 chips: the left chip transparent red, the right opaque green.
void HalfTransparentMaterial(TOrvDatas& Doc) {
  Doc.Material->SetImage(NewBitmapImage(4, 2, pf24bit, nullptr, false));
  Doc.MaterialAlpha.SetImage(NewAlphaPlaneImage(4, 2));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      Doc.Material->Canvas().SetPixel(x, y, x < 2 ? RGB(255, 0, 0) : RGB(0, 255, 0));
      Doc.MaterialAlpha.ScanLine(y)[x] = x < 2 ? 255 : 0;
    }
}

TEST(AlphaStamp, StampingReplacesColourAndAlpha) {
  TOrvDatas doc;
  doc.SetChipSize(2, 2);
  doc.NewEditImage(3, 1);  // 6 x 2, white, no plane
  EXPECT_TRUE(doc.EditAlpha.Empty());
  HalfTransparentMaterial(doc);
  doc.StampSelection(Rect(0, 0, 4, 2), 2, 0);  // both chips at cell 1
  const Rgba stamped = DocumentRgba(*doc.EditImage, doc.EditAlpha);
  const uint32_t white = 0xFFFFFFFF, clear = 0x000000FF, green = 0xFF00FF00;
  EXPECT_EQ(stamped,
            (Rgba{white, white, clear, clear, green, green, white, white, clear, clear, green, green}));
  // A material without alpha makes what it covers opaque again.
  doc.MaterialAlpha.Assign(nullptr);
  doc.StampSelection(Rect(0, 0, 2, 2), 2, 0);
  EXPECT_EQ(DocumentRgba(*doc.EditImage, doc.EditAlpha)[2], 0xFF0000FFu);
}

TEST(AlphaNew, ThePlaneFollowsNewAndATransparentSheetIsClear) {
  TOrvDatas doc;
  doc.SetChipSize(2, 1);
  doc.NewEditImage(1, 1, true);
  EXPECT_EQ(DocumentRgba(*doc.EditImage, doc.EditAlpha), (Rgba{0x00FFFFFF, 0x00FFFFFF}));
  doc.EditAlpha.ScanLine(0)[0] = 0;  // the first pixel opaque
  doc.NewEditImage(2, 1);            // added area opaque white
  EXPECT_EQ(DocumentRgba(*doc.EditImage, doc.EditAlpha),
            (Rgba{0xFFFFFFFF, 0x00FFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}));
  doc.NewEditImage(3, 1, true);  // added area transparent
  EXPECT_EQ(DocumentRgba(*doc.EditImage, doc.EditAlpha).back(), 0x00FFFFFFu);
}

TEST(AlphaMaterial, IndexZeroIsTransparentOnlyWhenAsked) {
  TempFolder folder;
  TBitmap indexed;
  indexed.SetImage(NewBitmapImage(3, 1, pf8bit, nullptr, false));
  indexed.ScanLine(0)[1] = 5;
  indexed.SaveToFile(folder.Path("m.bmp"));
  TOrvDatas doc;
  doc.LoadMaterial(folder.Path("m.bmp"));
  EXPECT_TRUE(doc.MaterialAlpha.Empty());
  doc.LoadMaterial(folder.Path("m.bmp"), TMaterialReadOptions{true});
  ASSERT_TRUE(IsAlphaPlaneOf(doc.MaterialAlpha, *doc.Material));
  EXPECT_EQ((std::vector<int>{doc.MaterialAlpha.ScanLine(0)[0], doc.MaterialAlpha.ScanLine(0)[1],
                              doc.MaterialAlpha.ScanLine(0)[2]}),
            (std::vector<int>{255, 0, 255}));
}

TEST(AlphaPane, TransparentPixelsShowTheCheckerboardUnderGridAndHatch) {
  TBitmap source, alpha, view;
  source.SetImage(NewBitmapImage(20, 10, pf24bit, nullptr, false));  // black
  alpha.SetImage(NewAlphaPlaneImage(20, 10));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) alpha.ScanLine(y)[x] = x < 16 ? 255 : 127;  // clear, then half
  DrawPaneWithAlpha(view, source, alpha, 5, 5);
  EXPECT_EQ(view.GetPixel(0, 0), CheckerLight);
  EXPECT_EQ(view.GetPixel(8, 0), CheckerDark);
  EXPECT_EQ(view.GetPixel(8, 8), CheckerLight);
  EXPECT_EQ(view.GetPixel(4, 0), clBlack);              // the grid on top
  EXPECT_EQ(view.GetPixel(16, 8), RGB(102, 102, 102));  // black at alpha 128 over 0xCC
  // A partial restore gives the full redraw's pixels; without a plane the pane is the designed one.
  TBitmap again;
  DrawPaneWithAlpha(again, source, alpha, 5, 5);
  again.Canvas().Brush.Color = clWhite;
  again.Canvas().FillRect(Rect(3, 3, 12, 9));
  RestoreViewAreaWithAlpha(again, source, alpha, 5, 5, Rect(3, 3, 12, 9));
  EXPECT_EQ(PixelColors(again), PixelColors(view));
  TBitmap designed, none;
  DrawPane(designed, source, 5, 5);
  DrawPaneWithAlpha(none, source, TBitmap(), 5, 5);
  EXPECT_EQ(PixelColors(none), PixelColors(designed));
}

}  // namespace

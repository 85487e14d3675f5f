// TDibGraphic: sharing, sizes, pixel formats with progress, platform bitmaps, streams, clipboard, drawing.
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "DibTestSupport.h"
#include "TestFiles.h"

namespace {

// A graphic holding the storage's picture (loaded through the clipboard form, so the storage is its own).
void Put(TDibGraphic& g, const TDibStorage& s) {
  g.LoadFromClipboardFormat(CF_DIB, s.SaveToClipboardFormat(), nullptr);
}

const TDibRecord& Dib(const TDibGraphic& g) {
  return g.InternalDIB()->DIB;
}

std::vector<TPaletteEntry> Entries(const HPALETTE& p) {
  return p ? p->Entries : std::vector<TPaletteEntry>{};
}

std::vector<TPaletteEntry> TableEntries(const TDibRecord& dib) {
  std::vector<TPaletteEntry> v;
  for (uint32_t i = 0; i < dib.Header.biClrUsed; ++i)
    v.push_back({dib.Colors[i].rgbRed, dib.Colors[i].rgbGreen, dib.Colors[i].rgbBlue, 0});
  return v;
}

// Colours of a platform bitmap, 0x00RRGGBB, rows from the top.
std::vector<uint32_t> BitmapColors(const TBitmap& b) {
  std::vector<uint32_t> v;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const TColor c = b.GetPixel(x, y);
      v.push_back(static_cast<uint32_t>(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c)));
    }
  return v;
}

// Pixel colours of the DIB, decoding compressed pictures.
std::vector<uint32_t> GraphicColors(const TDibGraphic& g) {
  const TDibRecord& dib = Dib(g);
  if (dib.Header.biCompression == BI_RLE8) return DibColors(Convert8BitRLETo8BitRGB(dib, false));
  if (dib.Header.biCompression == BI_RLE4) return DibColors(Convert4BitRLETo4BitRGB(dib, false));
  return DibColors(dib);
}

struct TEvents {
  int Changes = 0;
  struct TProgress {
    TProgressStage Stage;
    int Percent;
    bool Redraw;
    TRect R;
    std::string Msg;
    TObject* Sender;
  };
  std::vector<TProgress> Progress;
  void Attach(TGraphic& g) {
    g.OnChange = [this](TObject*) { ++Changes; };
    g.OnProgress = [this](TObject* sender, TProgressStage stage, uint8_t percent, bool redraw, const TRect& r,
                          const std::string& msg) {
      Progress.push_back({stage, percent, redraw, r, msg, sender});
    };
  }
};

// 16 x 8 picture of 24 bits with four colours in blocks (runs for the RLE encoders).
std::unique_ptr<TDibStorage> FourColourPicture() {
  std::vector<uint32_t> pixels;
  const uint32_t colors[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) pixels.push_back(colors[(x / 8) + 2 * (y / 4)]);
  return MakeStorage(16, 8, 24, {}, pixels);
}

TEST(DibGraphic, NewGraphicIsOneBlackPixel) {
  TDibGraphic g;
  EXPECT_EQ(g.Width(), 1);
  EXPECT_EQ(g.Height(), 1);
  EXPECT_EQ(g.BitCount(), 8);
  EXPECT_EQ(g.PixelFormat(), dpf8Bit);
  EXPECT_FALSE(g.Empty());
  EXPECT_TRUE(g.UseFMO());
  EXPECT_TRUE(g.PaletteModified);
  EXPECT_FALSE(g.Modified);
  EXPECT_EQ(g.ConvertMode, 0);
  EXPECT_EQ(g.KeyColor, clWhite);
  EXPECT_EQ(g.HalftoneMode, 0);
  EXPECT_EQ(g.GetClipboardFormat(), CF_DIB);
  EXPECT_STREQ(g.ClassName(), "TDibGraphic");
  const std::vector<TPaletteEntry> entries = Entries(g.Palette());
  ASSERT_EQ(entries.size(), 256u);
  for (const TPaletteEntry& e : entries) EXPECT_EQ(e, TPaletteEntry{});
}

TEST(DibGraphic, CopiesShareUntilOneChanges) {
  TDibGraphic a, b;
  Put(b, *FourColourPicture());
  b.KeyColor = 0x00FF00;
  b.HalftoneMode = 2;
  TEvents events;
  events.Attach(a);
  a.PaletteModified = false;
  a.Assign(&b);
  EXPECT_EQ(a.InternalDIB(), b.InternalDIB());
  EXPECT_EQ(a.InternalDIB()->RefCount, 2);
  EXPECT_EQ(a.KeyColor, 0x00FF00);
  EXPECT_EQ(a.HalftoneMode, 2);
  EXPECT_TRUE(a.PaletteModified);
  EXPECT_EQ(events.Changes, 1);
  a.Assign(&a);
  EXPECT_EQ(events.Changes, 1) << "assigning itself does nothing";

  a.SetPixelFormat(dpf8Bit);
  EXPECT_NE(a.InternalDIB(), b.InternalDIB());
  EXPECT_EQ(a.InternalDIB()->RefCount, 1);
  EXPECT_EQ(b.InternalDIB()->RefCount, 1);
  EXPECT_EQ(a.PixelFormat(), dpf8Bit);
  EXPECT_EQ(b.PixelFormat(), dpf24Bit);
  EXPECT_EQ(GraphicColors(a), GraphicColors(b));

  // AssignTo another DIB graphic shares as well; freeing one copy keeps the other's storage.
  auto c = std::make_unique<TDibGraphic>();
  b.AssignTo(c.get());
  EXPECT_EQ(c->InternalDIB(), b.InternalDIB());
  c.reset();
  EXPECT_EQ(b.InternalDIB()->RefCount, 1);

  a.Assign(nullptr);
  EXPECT_EQ(a.Width(), 1);
  EXPECT_EQ(a.PixelFormat(), dpf8Bit);
}

TEST(DibGraphic, SizeAndBitCountMakeBlankPictures) {
  TDibGraphic g;
  ExpectRaises<EDibInvalidDIBPara>([&] { g.SetWidth(0); }, "TDibGraphic.SetWidth: Invalid Width");
  ExpectRaises<EDibInvalidDIBPara>([&] { g.SetWidth(-2); }, "TDibGraphic.SetWidth: Invalid Width");
  ExpectRaises<EDibInvalidDIBPara>([&] { g.SetHeight(0); }, "TDibGraphic.SetWidth: Invalid Height");
  ExpectRaises<EDibInvalidDIBPara>([&] { g.SetBitCount(16); }, "TDibGraphic.SetBitCount: Invalid BitCount");
  ExpectRaises<EDibInvalidDIBPara>([&] { g.SetWidth(INT32_MAX); },
                                   "TDibStorage.CreateDIB: Invalid Parameters");
  EXPECT_FALSE(g.Modified);
  EXPECT_EQ(g.Width(), 1);

  Put(g, *MakeStorage(3, 2, 4, {0x123456, 0x654321, 0xFFFFFF}, {1, 2, 1, 0, 1, 2}));
  g.Modified = false;
  g.SetWidth(3);
  EXPECT_FALSE(g.Modified) << "the current width does nothing";
  g.SetWidth(5);
  EXPECT_TRUE(g.Modified);
  EXPECT_EQ(g.Width(), 5);
  EXPECT_EQ(g.Height(), 2);
  EXPECT_EQ(g.BitCount(), 4);
  EXPECT_EQ(Dib(g).Header.biClrUsed, 3u);
  EXPECT_EQ(DibPixels(Dib(g)), std::vector<uint32_t>(10, 0)) << "pixels are not kept";
  EXPECT_EQ(Dib(g).Colors[1], RGBQUAD{}) << "colours are not kept";

  g.SetHeight(-4);
  EXPECT_EQ(g.Height(), 4);
  EXPECT_EQ(Dib(g).Header.biHeight, -4);
  g.SetBitCount(1);
  EXPECT_EQ(g.PixelFormat(), dpf1Bit);
  EXPECT_EQ(Dib(g).Header.biClrUsed, 2u);
  EXPECT_EQ(Dib(g).Header.biHeight, 4) << "a new bit count makes a bottom-up picture";
}

TEST(DibGraphic, ProgressOfTheTrueColourReduction) {
  TDibGraphic g;
  Put(g, *FourColourPicture());
  TEvents events;
  events.Attach(g);
  g.Modified = false;
  g.SetPixelFormat(dpf24Bit);
  EXPECT_TRUE(events.Progress.empty());
  EXPECT_FALSE(g.Modified) << "the current format changes nothing";

  g.SetPixelFormat(dpf8Bit);
  ASSERT_EQ(events.Progress.size(), 257u);
  EXPECT_EQ(events.Progress.front().Stage, psStarting);
  EXPECT_EQ(events.Progress.front().Percent, 0);
  EXPECT_FALSE(events.Progress.front().Redraw);
  for (size_t i = 1; i <= 255; ++i) {
    EXPECT_EQ(events.Progress[i].Stage, psRunning);
    EXPECT_EQ(events.Progress[i].Percent, static_cast<int>(i * 100 / 256)) << i;
  }
  EXPECT_EQ(events.Progress[1].Percent, 0);
  EXPECT_EQ(events.Progress[2].Percent, 0);
  EXPECT_EQ(events.Progress[255].Percent, 99);
  EXPECT_EQ(events.Progress.back().Stage, psEnding);
  EXPECT_EQ(events.Progress.back().Percent, 100);
  EXPECT_TRUE(events.Progress.back().Redraw);
  for (const auto& p : events.Progress) {
    EXPECT_EQ(p.Msg, "PixelFormat 24Bit -> 8Bit");
    EXPECT_EQ(p.R, Rect(0, 0, 16, 8));
    EXPECT_EQ(p.Sender, &g);
  }
  EXPECT_TRUE(g.Modified);
  EXPECT_TRUE(g.PaletteModified);
  EXPECT_EQ(Dib(g).Header.biClrUsed, 4u);

  events.Progress.clear();
  g.SetPixelFormat(dpf4BitRLE);
  ASSERT_EQ(events.Progress.size(), 17u);
  EXPECT_EQ(events.Progress[1].Msg, "PixelFormat 8Bit -> 4BitRLE");
  EXPECT_EQ(events.Progress[15].Percent, 93);

  events.Progress.clear();
  g.SetPixelFormat(dpf1Bit);
  EXPECT_TRUE(events.Progress.empty()) << "no progress outside the reductions";
  // Key colour white: only the white block stays white.
  std::vector<uint32_t> expected;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) expected.push_back(y >= 4 && x >= 8 ? 0xFFFFFF : 0);
  EXPECT_EQ(GraphicColors(g), expected);
}

TEST(DibGraphic, FailedConversionEndsItsProgressAndKeepsThePicture) {
  TDibGraphic g;
  Put(g, *MakeStorage(1, 1, 24, {}, {0x123456}));
  TEvents events;
  events.Attach(g);
  g.Modified = false;
  ExpectRaises<EDibCompressionFailed>([&] { g.SetPixelFormat(dpf8BitRLE); },
                                      "Convert8BitRGBTo8BitRLE: Compression Failed");
  ASSERT_EQ(events.Progress.size(), 257u);
  EXPECT_EQ(events.Progress.back().Stage, psEnding);
  EXPECT_EQ(g.PixelFormat(), dpf24Bit);
  EXPECT_EQ(DibPixel(Dib(g), 0, 0), 0x123456u);
  EXPECT_FALSE(g.Modified);
}

TEST(DibGraphic, PerPixelQuantiserAndKeyColourOptions) {
  TDibGraphic g;
  Put(g, *MakeStorage(2, 1, 24, {}, {0x080000, 0x090000}));
  g.ConvertMode = 1;
  g.SetPixelFormat(dpf8Bit);
  EXPECT_EQ(Dib(g).Header.biClrUsed, 2u) << "per pixel, the two reds stay apart";
  g.KeyColor = RGB(9, 0, 0);
  g.SetPixelFormat(dpf1Bit);
  EXPECT_EQ(DibPixels(Dib(g)), (std::vector<uint32_t>{0, 1}));

  g.ConvertMode = 2;
  g.SetBitCount(24);
  ExpectRaises<EAssertionFailed>([&] { g.SetPixelFormat(dpf8Bit); },
                                 "TDibStorage.SetPixelsFormat: PixelFormat Error");
}

TEST(DibGraphic, AssignFromPlatformBitmaps) {
  // 32 bits become 24 with no colours.
  TBitmap b32;
  b32.SetPixelFormat(pf32bit);
  b32.SetSize(3, 2);
  b32.Canvas().SetPixel(0, 0, RGB(1, 2, 3));
  b32.Canvas().SetPixel(2, 1, RGB(250, 251, 252));
  TDibGraphic g;
  g.Modified = false;
  g.Assign(&b32);
  EXPECT_EQ(g.PixelFormat(), dpf24Bit);
  EXPECT_EQ(Dib(g).Header.biClrUsed, 0u);
  EXPECT_EQ(Dib(g).Header.biHeight, 2);
  EXPECT_EQ(Dib(g).Header.biXPelsPerMeter, 3780);
  EXPECT_FALSE(g.Palette());
  EXPECT_EQ(GraphicColors(g), BitmapColors(b32));
  EXPECT_TRUE(g.Modified);

  for (TPixelFormat f : {pf15bit, pf16bit, pfDevice}) {
    TBitmap b;
    b.SetPixelFormat(f);
    b.SetSize(2, 2);
    g.Assign(&b);
    EXPECT_EQ(g.BitCount(), 24) << f;
  }

  // 8 bits keep the bitmap's colours; a bitmap without a palette gets the full default table.
  TBitmap b8;
  b8.SetPixelFormat(pf8bit);
  b8.SetSize(4, 1);
  g.Assign(&b8);
  EXPECT_EQ(g.PixelFormat(), dpf8Bit);
  EXPECT_EQ(Dib(g).Header.biClrUsed, 256u);
  EXPECT_EQ(TableEntries(Dib(g)), Entries(DefaultPalette(8)));
}

// A platform bitmap of the format with a palette of its own and varied indices or colours.
std::unique_ptr<TBitmap> PatternBitmap(TPixelFormat format) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(format);
  b->SetSize(9, 5);
  const int bits = PixelFormatBitCount(format);
  if (bits <= 8) {
    std::vector<TPaletteEntry> entries;
    for (int i = 0; i < (1 << bits) - (bits == 1 ? 0 : 3); ++i)
      entries.push_back(
          {static_cast<uint8_t>(i * 37), static_cast<uint8_t>(255 - i * 11), static_cast<uint8_t>(i), 0});
    b->SetPalette(CreatePalette(entries));
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 9; ++x) {
        const int index = (x * 3 + y * 5) % static_cast<int>(entries.size());
        const TPaletteEntry& e = entries[static_cast<size_t>(index)];
        b->Canvas().SetPixel(x, y, RGB(e.peRed, e.peGreen, e.peBlue));
      }
  } else {
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 9; ++x)
        b->Canvas().SetPixel(
            x, y,
            RGB(static_cast<uint8_t>(x * 29), static_cast<uint8_t>(y * 51), static_cast<uint8_t>(x * y)));
  }
  return b;
}

TEST(DibGraphic, BitmapRoundTripKeepsPixelsAndPalette) {
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf24bit}) {
    SCOPED_TRACE(testing::Message() << "pixel format " << f);
    const auto original = PatternBitmap(f);
    TDibGraphic g;
    g.Assign(original.get());
    EXPECT_EQ(g.BitCount(), PixelFormatBitCount(f));
    EXPECT_EQ(Entries(g.Palette()), Entries(original->Palette()));
    TBitmap back;
    back.Assign(&g);  // the bitmap asks the graphic to assign itself
    EXPECT_EQ(back.PixelFormat(), f);
    EXPECT_EQ(back.Width(), 9);
    EXPECT_EQ(back.Height(), 5);
    EXPECT_EQ(Entries(back.Palette()), Entries(original->Palette()));
    EXPECT_EQ(BitmapColors(back), BitmapColors(*original));
    for (int y = 0; y < 5; ++y)
      EXPECT_EQ(0, std::memcmp(back.ScanLine(y), original->ScanLine(y),
                               static_cast<size_t>((9 * PixelFormatBitCount(f) + 7) / 8)))
          << "indices are kept, row " << y;
  }
}

TEST(DibGraphic, AssignToBitmapFromEveryFormat) {
  for (TDibPixelFormat format : {dpf1Bit, dpf4Bit, dpf4BitRLE, dpf8Bit, dpf8BitRLE, dpf24Bit}) {
    SCOPED_TRACE(testing::Message() << "format " << int{format});
    TDibGraphic g;
    Put(g, *FourColourPicture());
    if (format != dpf24Bit)
      g.SetPixelFormat(format == dpf4BitRLE ? dpf4Bit : format == dpf8BitRLE ? dpf8Bit : format);
    if (format == dpf4BitRLE || format == dpf8BitRLE) g.SetPixelFormat(format);
    ASSERT_EQ(g.PixelFormat(), format);
    TBitmap b;
    g.AssignTo(&b);
    const TPixelFormat expected[] = {pf1bit, pf4bit, pf4bit, pf8bit, pf8bit, pf24bit};
    EXPECT_EQ(b.PixelFormat(), expected[format]);
    EXPECT_EQ(Entries(b.Palette()), TableEntries(Dib(g)));
    EXPECT_EQ(BitmapColors(b), GraphicColors(g));
  }
  TDibGraphic g;
  TStringList list;
  ExpectRaises<EConvertError>([&] { g.AssignTo(&list); }, "Cannot assign a TDibGraphic to a TStringList");
  ExpectRaises<EConvertError>([&] { g.Assign(&list); }, "Cannot assign a TStringList to a TDibGraphic");
}

TEST(DibGraphic, SaveReductionOfTheEditImage) {
  // The saving road: a display-format bitmap of three colours (in three histogram bins) to 8 then 4 bits and
  // back to a bitmap keeps every colour.
  TBitmap edit;
  edit.SetSize(16, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x)
      edit.Canvas().SetPixel(x, y,
                             (x < 8) == (y < 4) ? RGB(200, 10, 10)
                             : y < 4            ? RGB(0, 0, 0)
                                                : RGB(10, 20, 30));
  TDibGraphic g;
  g.Assign(&edit);
  g.SetPixelFormat(dpf8Bit);
  g.SetPixelFormat(dpf4Bit);
  EXPECT_EQ(Dib(g).Header.biClrUsed, 3u);
  TBitmap out;
  out.Assign(&g);
  EXPECT_EQ(out.PixelFormat(), pf4bit);
  EXPECT_EQ(BitmapColors(out), BitmapColors(edit));
}

TEST(DibGraphic, PaletteSettingAndHalftonePalettes) {
  TDibGraphic g, other;
  Put(g, *MakeStorage(2, 1, 8, {0x000000, 0x0000FF}, {1, 0}));
  other.Assign(&g);
  const HPALETTE p =
      CreatePalette(std::vector<TPaletteEntry>{{10, 20, 30, 0}, {40, 50, 60, 0}, {70, 80, 90, 0}});
  g.PaletteModified = false;
  g.SetPalette(p);
  EXPECT_EQ(g.Palette(), p) << "the storage keeps the handle";
  EXPECT_EQ(Dib(g).Header.biClrUsed, 3u);
  EXPECT_EQ(Dib(g).Colors[2], (RGBQUAD{90, 80, 70, 0}));
  EXPECT_TRUE(g.PaletteModified);
  EXPECT_EQ(Dib(other).Header.biClrUsed, 2u) << "the shared copy is unchanged";

  g.SetPalette(nullptr);
  EXPECT_EQ(Dib(g).Header.biClrUsed, 0u);
  EXPECT_EQ(Dib(g).Colors[2], (RGBQUAD{90, 80, 70, 0})) << "entries stay";
  EXPECT_FALSE(g.Palette());
  ExpectRaises<EDibInvalidPalette>([&] { g.SetPalette(std::make_shared<const TLogPalette>()); },
                                   "TDibGraphic.SetPalette: Invalid Palette");

  g.HalftoneMode = 1;
  const HPALETTE halftone = g.Palette();
  ASSERT_EQ(PaletteSize(halftone), 215);
  other.HalftoneMode = 1;
  EXPECT_EQ(other.Palette(), halftone) << "one shared palette";
  EXPECT_EQ(halftone->Entries[3 * 35 + 2 * 5 + 1], (TPaletteEntry{153, 85, 64, 0}));
  EXPECT_EQ(halftone->Entries[213], (TPaletteEntry{192, 192, 192, 0}));
  g.HalftoneMode = 2;
  EXPECT_EQ(Entries(g.Palette()), (std::vector<TPaletteEntry>{{0, 0, 0, 0}, {255, 255, 255, 0}}));
}

TEST(DibGraphic, StreamsAndFiles) {
  TDibGraphic g;
  Put(g, *FourColourPicture());
  g.SetPixelFormat(dpf4BitRLE);
  TMemoryStream m;
  g.SaveToStream(m);
  m.SetPosition(0);
  TDibGraphic h;
  TEvents events;
  events.Attach(h);
  h.LoadFromStream(m);
  EXPECT_EQ(h.PixelFormat(), dpf4BitRLE);
  EXPECT_EQ(GraphicColors(h), GraphicColors(g));
  EXPECT_EQ(events.Changes, 1);

  // A failed load leaves the picture and its flags.
  h.Modified = false;
  TMemoryStream bad;
  bad.Write("BMxx", 4);
  bad.SetPosition(0);
  EXPECT_THROW(h.LoadFromStream(bad), EReadError);
  EXPECT_EQ(h.PixelFormat(), dpf4BitRLE);
  EXPECT_FALSE(h.Modified);

  const filestest::TempFolder folder;
  const std::string file = folder.Path("dib_graphic_test.dib");
  g.SaveToFile(file);
  TDibGraphic f;
  f.LoadFromFile(file);
  EXPECT_EQ(GraphicColors(f), GraphicColors(g));
}

TEST(DibGraphic, ClipboardExchange) {
  TDibGraphic g;
  Put(g, *MakeStorage(3, 1, 8, {0x102030, 0x405060}, {1, 0, 1}));
  uint16_t format = 0;
  HGLOBAL data;
  HPALETTE palette = CreatePalette(std::vector<TPaletteEntry>{{1, 2, 3, 0}});
  g.SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, CF_DIB);
  EXPECT_FALSE(palette);
  EXPECT_EQ(GlobalSize(data), 40 + 8 + 4);

  ExpectRaises<EInvalidGraphic>([&] { g.LoadFromClipboardFormat(2, data, nullptr); },
                                "TDibGraphic.LoadFromClipboardFormat: Invalid Clipboard Format or No Data");
  ExpectRaises<EInvalidGraphic>([&] { g.LoadFromClipboardFormat(CF_DIB, nullptr, nullptr); },
                                "TDibGraphic.LoadFromClipboardFormat: Invalid Clipboard Format or No Data");

  Clipboard().Assign(&g);
  EXPECT_TRUE(Clipboard().HasFormat(CF_DIB));
  TDibGraphic pasted;
  pasted.Assign(&Clipboard());
  EXPECT_EQ(DibPixels(Dib(pasted)), (std::vector<uint32_t>{1, 0, 1}));
  EXPECT_EQ(TableEntries(Dib(pasted)), TableEntries(Dib(g)));
  Clipboard().Clear();
  ExpectRaises<EInvalidGraphic>([&] { pasted.Assign(&Clipboard()); },
                                "TDibGraphic.LoadFromClipboardFormat: Invalid Clipboard Format or No Data");
}

TEST(DibGraphic, CanvasDrawsIntoTheDibMemory) {
  for (int height : {4, -4}) {
    TDibGraphic g, shared;
    Put(g, *MakeStorage(8, height, 24, {}, std::vector<uint32_t>(32, 0xFFFFFF)));
    shared.Assign(&g);
    TEvents events;
    events.Attach(g);
    const uint8_t* sharedBits = Dib(shared).Bits();
    {
      TDibCanvas canvas(&g);
      EXPECT_NE(Dib(g).Bits(), sharedBits) << "the canvas draws into a private copy";
      canvas.Brush.Color = RGB(255, 0, 0);
      canvas.FillRect(Rect(0, 0, 4, 2));
      canvas.Pen.Color = RGB(0, 0, 255);
      canvas.MoveTo(0, 3);
      canvas.LineTo(8, 3);
      EXPECT_EQ(DibPixel(Dib(g), 1, 1), 0xFF0000u) << "drawing is in the pixels at once";
      EXPECT_EQ(events.Changes, 0);
    }
    EXPECT_EQ(events.Changes, 1);
    EXPECT_EQ(g.InternalDIB()->RefCount, 1);
    std::vector<uint32_t> expected(32, 0xFFFFFF);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) expected[static_cast<size_t>(y * 8 + x)] = 0xFF0000;
    for (int x = 0; x < 8; ++x) expected[static_cast<size_t>(24 + x)] = 0x0000FF;
    EXPECT_EQ(DibPixels(Dib(g)), expected);
    EXPECT_EQ(DibPixels(Dib(shared)), std::vector<uint32_t>(32, 0xFFFFFF));
  }
  // An indexed DIB: colours map to its palette.
  TDibGraphic g;
  Put(g, *MakeStorage(4, 1, 4, {0x000000, 0xFF0000, 0x00FF00}, {0, 0, 0, 0}));
  {
    TDibCanvas canvas(&g);
    canvas.SetPixel(2, 0, RGB(0, 250, 0));
  }
  EXPECT_EQ(DibPixels(Dib(g)), (std::vector<uint32_t>{0, 0, 2, 0}));
}

TEST(DibGraphic, CanvasNeedsSharedMemoryAndUncompressedRows) {
  ExpectRaises<EDibCanvasFailed>([&] { TDibCanvas canvas(nullptr); },
                                 "TDibCanvas.Create: Cannot Create Canvas");
  SetDibDefaultUseFMO(false);
  TDibGraphic heap;
  SetDibDefaultUseFMO(true);
  EXPECT_FALSE(heap.UseFMO());
  ExpectRaises<EDibCanvasFailed>([&] { TDibCanvas canvas(&heap); },
                                 "TDibCanvas.Create: Cannot Create Canvas");
  TDibGraphic rle;
  Put(rle, *FourColourPicture());
  rle.SetPixelFormat(dpf8BitRLE);
  ExpectRaises<EOutOfResources>([&] { TDibCanvas canvas(&rle); },
                                "TDibCanvas.Create: Cannot Create Memory DC");
}

TEST(DibGraphic, DrawOntoACanvas) {
  TDibGraphic g;
  Put(g, *MakeStorage(2, 2, 8, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF}, {1, 2, 3, 0}));
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(6, 4);
  b.Canvas().Draw(1, 1, g);
  EXPECT_EQ(BitmapColors(b),
            (std::vector<uint32_t>{0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                                   0xFFFFFF, 0xFF0000, 0x00FF00, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                                   0xFFFFFF, 0x0000FF, 0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                                   0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}));
  b.Canvas().StretchDraw(Rect(0, 0, 4, 4), g);
  EXPECT_EQ(b.GetPixel(3, 1), RGB(0, 255, 0));
  EXPECT_EQ(b.GetPixel(1, 3), RGB(0, 0, 255));
}

TEST(DibGraphic, HalftoneDrawing) {
  // Grey 128 dithers as in the converter: memory row 0 (the bottom) 153 then 102 in red, row 1 the reverse.
  TDibGraphic g;
  Put(g, *MakeStorage(2, 2, 24, {}, std::vector<uint32_t>(4, 0x808080)));
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(2, 2);
  g.HalftoneMode = 1;
  g.Draw(b.Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(g.HalftoneMode, 1);
  EXPECT_EQ(BitmapColors(b), (std::vector<uint32_t>{0x668080, 0x998080, 0x998080, 0x668080}));
  g.HalftoneMode = 2;
  g.Draw(b.Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(BitmapColors(b), (std::vector<uint32_t>{0x000000, 0xFFFFFF, 0xFFFFFF, 0x000000}));
  b.Canvas().FillRect(Rect(0, 0, 2, 2));
  g.Draw(b.Canvas(), Rect(1, 1, 1, 2));
  g.HalftoneMode = 3;
  g.Draw(b.Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(BitmapColors(b), std::vector<uint32_t>(4, 0xFFFFFF))
      << "empty rectangles and other modes draw nothing";
}

TEST(DibGraphic, RegistrationWithThePictureFormats) {
  DibImageInitialize();
  auto byExtension = TPicture::CreateForExtension("DIB");
  ASSERT_TRUE(byExtension);
  EXPECT_STREQ(byExtension->ClassName(), "TDibGraphic");
  auto byClipboard = TPicture::CreateForClipboardFormat(CF_DIB);
  ASSERT_TRUE(byClipboard);
  EXPECT_STREQ(byClipboard->ClassName(), "TDibGraphic");
  bool listed = false;
  for (const auto& f : TPicture::FileFormats())
    listed |=
        f.Extension == "dib" && f.Description == "Device Independent Bitmap" && f.ClassName == "TDibGraphic";
  EXPECT_TRUE(listed);
  DibImageFinalize();
  EXPECT_FALSE(TPicture::CreateForExtension("dib"));
  EXPECT_FALSE(TPicture::CreateForClipboardFormat(CF_DIB));
}

}  // namespace

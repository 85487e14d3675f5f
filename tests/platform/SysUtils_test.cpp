#include <gtest/gtest.h>

#include <memory>
#include <new>

#include "Classes.h"
#include "Clipbrd.h"
#include "ExpectRaises.h"
#include "Graphics.h"
#include "SysUtils.h"

TEST(PathsTest, SplitsDirectoryNameAndExtension) {
  struct Case {
    const char* path;
    const char* dir;
    const char* name;
    const char* ext;
  };
  const Case cases[] = {
      {"/a/b/tiles.png", "/a/b/", "tiles.png", ".png"},
      {"/a/b/archive.tar.png", "/a/b/", "archive.tar.png", ".png"},
      {"/a.dir/noext", "/a.dir/", "noext", ""},
      {"name.", "", "name.", "."},
      {"C:\\x\\y.BMP", "C:\\x\\", "y.BMP", ".BMP"},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractFilePath(c.path), c.dir) << c.path;
    EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
    EXPECT_EQ(ExtractFileExt(c.path), c.ext) << c.path;
  }
}

TEST(PathsTest, ExecutableAndClock) {
  EXPECT_TRUE(FileExists(ExecutableFileName()));
  EXPECT_FALSE(FileExists(ExtractFilePath(ExecutableFileName())));  // a folder is not a file
  const TSystemTime t = GetSystemTime();
  EXPECT_GE(t.wYear, 2024);
  EXPECT_TRUE(t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 && t.wDay <= 31 && t.wHour < 24);
}

TEST(SizeArithmeticTest, RowsAndLimits) {
  EXPECT_EQ(DibRowBytes(3, 24), 12);
  EXPECT_EQ(DibRowBytes(1, 1), 4);
  EXPECT_EQ(DibRowBytes(33, 1), 8);
  EXPECT_EQ(DibImageBytes(3, 2, 24), 24);
  EXPECT_EQ(DibImageBytes(65536 * 4, 65536 * 4, 32), -1);  // beyond 2^31 - 1 bytes
  EXPECT_EQ(DibImageBytes(-1, 5, 8), -1);
  EXPECT_EQ(DibImageBytes(0, 5, 8), 0);
}

TEST(AllocateOrRaiseTest, FailedAllocationsRaiseOutOfMemory) {
  EXPECT_EQ(*AllocateOrRaise([] { return std::make_unique<int>(7); }), 7);
  ExpectRaises<EOutOfMemory>([&] { AllocateOrRaise([] { throw std::bad_alloc(); }); }, "Out of memory");
  ExpectRaises<EOutOfMemory>(
      [&] { AllocateOrRaise([]() -> void* { return nullptr; }, "Block: Out Of Memory"); },
      "Block: Out Of Memory");
}

TEST(PersistentTest, DefaultAssignmentNamesBothClasses) {
  TStringList list;
  ExpectRaises<EConvertError>([&] { list.Assign(&Clipboard()); },
                              "Cannot assign a TClipboard to a TStringList");
  EXPECT_THROW(list.Assign(nullptr), EConvertError);
}

TEST(PaletteTest, CreateReadBackAndNearest) {
  const TPaletteEntry entries[] = {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}};
  HPALETTE pal = CreatePalette(entries);
  ASSERT_TRUE(pal);
  EXPECT_EQ(GetPaletteEntries(pal, 0, 0, nullptr), 3);
  TPaletteEntry out[4]{};
  EXPECT_EQ(GetPaletteEntries(pal, 1, 4, out), 2);
  EXPECT_EQ(out[0], entries[1]);
  EXPECT_FALSE(CreatePalette({}));
  EXPECT_EQ(GetPaletteEntries(nullptr, 0, 256, out), 0);
  EXPECT_EQ(NearestPaletteEntry(pal->Entries, 200, 10, 10), 0);
  EXPECT_EQ(NearestPaletteEntry(pal->Entries, 0, 0, 200), 2);
  EXPECT_EQ(NearestPaletteEntry({}, 0, 0, 0), -1);
  for (int bits : {1, 4, 8}) EXPECT_EQ(PaletteSize(DefaultPalette(bits)), 1 << bits);
  EXPECT_EQ(DefaultPalette(1)->Entries[1], (TPaletteEntry{255, 255, 255, 0}));
  EXPECT_FALSE(DefaultPalette(24));
}

TEST(PictureRegistryTest, LooksUpByExtensionWithoutCase) {
  struct TDummy : TGraphic {
    const char* ClassName() const override { return "TDummy"; }
    void Draw(TCanvas&, const TRect&) override {}
    void LoadFromStream(TStream&) override {}
    void SaveToStream(TStream&) override {}
    int GetWidth() const override { return 0; }
    int GetHeight() const override { return 0; }
    bool GetEmpty() const override { return true; }
    void DoSetWidth(int) override {}
    void DoSetHeight(int) override {}
  };
  TPicture::RegisterFileFormat("dmy", "Dummy", "TDummy", [] { return std::make_unique<TDummy>(); });
  EXPECT_STREQ(TPicture::CreateForExtension(".DMY")->ClassName(), "TDummy");
  EXPECT_STREQ(TPicture::CreateForExtension("dmy")->ClassName(), "TDummy");
  TPicture::UnregisterGraphicClass("TDummy");
  EXPECT_EQ(TPicture::CreateForExtension("dmy"), nullptr);
}

TEST(ClipboardTest, BlocksAndFormats) {
  EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, -1), nullptr);
  EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, int64_t{1} << 32), nullptr);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 10);
  ASSERT_TRUE(block);
  EXPECT_EQ(GlobalSize(block), 10);
  EXPECT_EQ(GlobalLock(block)[9], 0);
  Clipboard().Clear();
  Clipboard().SetAsHandle(CF_DIB, block);
  EXPECT_TRUE(Clipboard().HasFormat(CF_DIB));
  EXPECT_EQ(Clipboard().GetAsHandle(CF_DIB), block);
  EXPECT_EQ(Clipboard().GetAsHandle(2), nullptr);
  Clipboard().Clear();
}

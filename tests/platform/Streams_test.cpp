#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Classes.h"
#include "ExpectRaises.h"
#include "FileSizeLimit.h"
#include "TestFiles.h"
#include "Unprivileged.h"

namespace {

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("tilora_" + std::to_string(getpid()) + "_" + name))
      .string();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(MemoryStreamTest, ReadWriteSeekAndShortTransfers) {
  TMemoryStream s;
  s.WriteBuffer("abcdef", 6);
  EXPECT_EQ(s.Size(), 6);
  EXPECT_EQ(s.Position(), 6);
  s.SetPosition(2);
  char buf[8]{};
  s.ReadBuffer(buf, 3);
  EXPECT_STREQ(buf, "cde");
  EXPECT_EQ(s.Read(buf, 8), 1);
  EXPECT_THROW(s.ReadBuffer(buf, 1), EReadError);
  s.Seek(-2, soEnd);
  EXPECT_EQ(s.Position(), 4);
  s.SetPosition(8);  // writing past the end grows the stream with zeros between
  s.WriteBuffer("x", 1);
  EXPECT_EQ(s.Size(), 9);
  EXPECT_EQ(s.Memory()[6], 0);
  ExpectRaises<EReadError>([&] { s.ReadBuffer(buf, 1); }, "Stream read error");
}

TEST(FileStreamTest, OpenCreateAndErrors) {
  const std::string path = TempPath("fs.bin");
  {
    TFileStream f(path, fmCreate);
    f.WriteBuffer("hello", 5);
  }
  {
    TFileStream f(path, fmOpenRead);
    EXPECT_EQ(f.Size(), 5);
    char buf[5];
    f.ReadBuffer(buf, 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
    EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);
  }
  std::filesystem::remove(path);
  try {
    TFileStream f(path, fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + path + "\". ", 0), 0u) << e.what();
  }
  EXPECT_THROW(TFileStream("/nonexistent-dir/x", fmCreate), EFCreateError);
}

TEST(StringListTest, LineRulesWhenReading) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb\nc", {"a", "b", "c"}},  // CR, LF and a last line without ending
      {"a\r\r\nb", {"a", "", "b"}},  // CR, then CR LF counted once
      {"a\n\r\nb", {"a", "", "b"}},
      {"\r\n\r\n", {"", ""}},                         // empty lines are entries
      {std::string("a\r\nb\0c\r\n", 8), {"a", "b"}},  // reading stops at NUL
      {"a\n\rb", {"a", "", "b"}},                     // LF then CR: two endings
  };
  for (const auto& c : cases) {
    TStringList list;
    list.SetText(c.text);
    EXPECT_EQ(list.Items(), c.lines) << testing::PrintToString(c.text);
  }
}

TEST(StringListTest, WritesCrLfAfterEveryLineAndReplacesAtomically) {
  const std::string path = TempPath("list.ini");
  TStringList list;
  list.SaveToFile(path);
  EXPECT_EQ(ReadAll(path), "");
  list.Add("/x/a.png");
  list.Add("");
  list.Add("/y/b.bmp");
  list.SaveToFile(path);
  EXPECT_EQ(ReadAll(path), "/x/a.png\r\n\r\n/y/b.bmp\r\n");
  TStringList back;
  back.LoadFromFile(path);
  EXPECT_EQ(back.Items(), list.Items());
  EXPECT_THROW(list.Delete(5), EListError);
  std::filesystem::remove(path);
}

TEST(SaveFileAtomicallyTest, AWriterRaisingAnyExceptionLeavesTheOldFileAndNoTemporary) {
  const filestest::TempFolder folder;
  const std::string path = folder.Path("Tilora.ini");
  const std::vector<uint8_t> old = {'o', 'l', 'd', '\r', '\n'};
  filestest::WriteFileBytes(path, old);
  const auto writeThenThrow = [](auto exception) {
    return [exception](TStream& stream) {
      stream.WriteBuffer("partial", 7);
      throw exception;
    };
  };
  EXPECT_THROW(SaveFileAtomically(path, writeThenThrow(EWriteError(SWriteError))), EWriteError);
  EXPECT_THROW(SaveFileAtomically(path, writeThenThrow(std::runtime_error("other"))), std::runtime_error);
  EXPECT_EQ(filestest::ReadFileBytes(path), old);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"Tilora.ini"});
  SaveFileAtomically(path, [](TStream& s) { s.WriteBuffer("new", 3); });
  EXPECT_EQ(ReadAll(path), "new");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"Tilora.ini"});
}

TEST(SaveFileAtomicallyTest, TheSettingsFileFailingAfterAnyNumberOfBytesStaysAsItWas) {
  TStringList list;
  list.SetText("/home/user/chips/a.png\r\n/home/user/chips/b.bmp\r\nC:\\chips\\c.png");
  filestest::ExpectAtomicUnderEveryLimit("Tilora.ini",
                                         [&](const std::string& path) { list.SaveToFile(path); });
}

namespace {

namespace fs = std::filesystem;

// A fresh folder that everyone may write, removed at the end.
struct OpenFolder {
  std::string Dir;
  explicit OpenFolder(const std::string& name) : Dir(TempPath(name)) {
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    fs::permissions(Dir, fs::perms::all);
  }
  ~OpenFolder() {
    std::error_code ignored;
    fs::remove_all(Dir, ignored);
  }
  std::string Path(const std::string& name) const { return Dir + "/" + name; }
  size_t Count() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()));
  }
};

void WriteText(const std::string& path, const std::string& text) {
  SaveFileAtomically(path,
                     [&](TStream& s) { s.WriteBuffer(text.data(), static_cast<int64_t>(text.size())); });
}

fs::perms Mode(const std::string& path) {
  return fs::status(path).permissions();
}

// The message of the EFCreateError that saving to path raises, or "" when it succeeds.
std::string SaveError(const std::string& path) {
  try {
    WriteText(path, "new");
  } catch (const EFCreateError& e) {
    return e.what();
  }
  return "";
}

}  // namespace

TEST(SaveFileAtomicallyTest, ReplacesTheFileALinkPointsToAndKeepsItsModeAndTheLink) {
  const OpenFolder folder("links");
  fs::create_directories(folder.Path("sub"));
  const std::string real = folder.Path("real.bin");
  WriteText(real, "old");
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  // A relative link counts from its own folder; the second link is absolute and points at the first.
  fs::create_symlink("../real.bin", folder.Path("sub/relative.bin"));
  fs::create_symlink(folder.Path("sub/relative.bin"), folder.Path("absolute.bin"));

  WriteText(folder.Path("absolute.bin"), "new");
  EXPECT_EQ(ReadAll(real), "new");
  EXPECT_TRUE(fs::is_symlink(folder.Path("absolute.bin")));
  EXPECT_EQ(fs::read_symlink(folder.Path("sub/relative.bin")), "../real.bin");
  EXPECT_EQ(Mode(real), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(folder.Count(), 3u);  // real.bin, sub, absolute.bin: no temporary left

  // A plain file keeps its mode too, whatever the umask would give a new file.
  const std::string plain = folder.Path("plain.bin");
  WriteText(plain, "old");
  fs::permissions(plain, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
  WriteText(plain, "new");
  EXPECT_EQ(ReadAll(plain), "new");
  EXPECT_EQ(Mode(plain), fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
}

TEST(SaveFileAtomicallyTest, ErrorsNameTheChosenFileNeverTheTemporary) {
  const OpenFolder folder("errors");
  fs::create_directories(folder.Path("folder.bin"));
  fs::create_symlink("missing/target.bin", folder.Path("dangling.bin"));
  fs::create_symlink("loop.bin", folder.Path("loop.bin"));
  const struct {
    std::string Name, Reason;
  } cases[] = {
      {"missing/x.bin", "No such file or directory"},
      {"dangling.bin", "No such file or directory"},
      {"folder.bin", "Is a directory"},
      {"loop.bin", "Too many levels of symbolic links"},
  };
  for (const auto& c : cases) {
    const std::string path = folder.Path(c.Name);
    EXPECT_EQ(SaveError(path), "Cannot create file \"" + path + "\". " + c.Reason);
  }
  EXPECT_EQ(folder.Count(), 3u);
  EXPECT_TRUE(fs::is_directory(folder.Path("folder.bin")));
}

TEST(SaveFileAtomicallyTest, AFileTheUserMayNotWriteIsRefusedLikeADirectWriteAndKept) {
  const OpenFolder folder("readonly");
  const std::string path = folder.Path("locked.bin");
  WriteText(path, "old");
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  // As an ordinary user: a direct write is refused, and the save must be refused the same way.
  const auto result = unprivileged::Run([&] {
    const std::string scratch = folder.Path("scratch.bin");
    WriteText(scratch, "x");
    std::remove(scratch.c_str());
    std::string direct;
    try {
      TFileStream stream(path, fmCreate);
    } catch (const EFCreateError& e) {
      direct = e.what();
    }
    return direct + "\n" + SaveError(path);
  });
  ASSERT_TRUE(result) << "the test could not run as an ordinary user";
  if (result->rfind("exception: ", 0) == 0) GTEST_SKIP() << "the folder is not usable by nobody: " << *result;
  const std::string expected = "Cannot create file \"" + path + "\". Permission denied";
  EXPECT_EQ(*result, expected + "\n" + expected);
  EXPECT_EQ(ReadAll(path), "old");
  EXPECT_EQ(folder.Count(), 1u);
}

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Classes.h"

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
  try {
    s.ReadBuffer(buf, 1);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
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

TEST(SaveFileAtomicallyTest, FailureKeepsTheOldFileAndLeavesNoTemporary) {
  const std::string dir = TempPath("atomic");
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/target.bin";
  SaveFileAtomically(path, [](TStream& s) { s.WriteBuffer("old", 3); });
  EXPECT_THROW(SaveFileAtomically(path,
                                  [](TStream& s) {
                                    s.WriteBuffer("new-partial", 11);
                                    throw EWriteError("Stream write error");
                                  }),
               EWriteError);
  EXPECT_EQ(ReadAll(path), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()),
            1);
  SaveFileAtomically(path, [](TStream& s) { s.WriteBuffer("new", 3); });
  EXPECT_EQ(ReadAll(path), "new");
  std::filesystem::remove_all(dir);
}

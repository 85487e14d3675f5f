// The buffered read and write streams: window limits, sticky flags, buffer boundaries, direct transfers,
// in-place reading, MacBinary and progress arithmetic.
#include <gtest/gtest.h>

#include <numeric>

#include "CodecStream.h"

namespace {

// A stream over bytes that is not a memory stream, so reads go through the buffer; counts the reads it
// serves.
class PlainStream : public TStream {
 public:
  explicit PlainStream(std::vector<uint8_t> data) : FData(std::move(data)) {}
  int64_t Read(void* buffer, int64_t count) override {
    const int64_t n = std::max<int64_t>(0, std::min<int64_t>(count, Size() - FPos));
    std::copy_n(FData.begin() + FPos, n, static_cast<uint8_t*>(buffer));
    FPos += n;
    ++Reads;
    Largest = std::max(Largest, n);
    return n;
  }
  int64_t Write(const void* buffer, int64_t count) override {
    const auto* p = static_cast<const uint8_t*>(buffer);
    Writes.push_back(count);
    FData.insert(FData.end(), p, p + count);
    FPos = Size();
    return count;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    FPos = origin == soBeginning ? offset : origin == soCurrent ? FPos + offset : Size() + offset;
    return FPos;
  }
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  int Reads = 0;
  int64_t Largest = 0;
  std::vector<int64_t> Writes;
  const std::vector<uint8_t>& data() const { return FData; }

 private:
  std::vector<uint8_t> FData;
  int64_t FPos = 0;
};

std::vector<uint8_t> Counting(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + i / 256);
  return v;
}

// Both kinds of source: buffered and read in place.
class CodecReadStreamTest : public testing::TestWithParam<bool> {
 protected:
  std::unique_ptr<TStream> Make(std::vector<uint8_t> data) {
    if (!GetParam()) return std::make_unique<PlainStream>(std::move(data));
    auto m = std::make_unique<TMemoryStream>();
    m->Data() = std::move(data);
    return m;
  }
  TCodecReadStream R;
};

TEST_P(CodecReadStreamTest, EmptyWindowSetsPastEndAtOnce) {
  auto s = Make({1, 2, 3});
  s->SetPosition(3);
  R.Open(s.get(), 0);
  EXPECT_TRUE(R.PastEnd);
  EXPECT_EQ(R.ReadByte(), 0);
  EXPECT_EQ(R.ReadUInt32BE(), 0u);
  R.Close();
  EXPECT_EQ(s->Position(), 3);
}

TEST_P(CodecReadStreamTest, ShortReadsSetPastEndAndConsumeNothing) {
  auto s = Make({1, 2, 3, 4, 5, 6, 7});
  R.Open(s.get(), 0);
  EXPECT_EQ(R.ReadUInt32BE(), 0x01020304u);
  EXPECT_EQ(R.ReadUInt32BE(), 0u);  // 3 bytes left
  EXPECT_TRUE(R.PastEnd);
  EXPECT_EQ(R.Consumed, 4);
  uint8_t dest[2] = {9, 9};
  R.ReadBytes(dest, 1);
  EXPECT_EQ(dest[0], 9);  // sticky: nothing more is read
  R.Close();
  EXPECT_EQ(s->Position(), 4);
}

TEST_P(CodecReadStreamTest, ZeroLengthRequestsStop) {
  auto s = Make({1, 2, 3});
  R.Open(s.get(), 0);
  R.Skip(0);
  EXPECT_TRUE(R.Stopped);
  EXPECT_EQ(R.ReadByte(), 0);
  R.Close();
  R.Open(s.get(), 0);  // the next Open clears the flags
  EXPECT_FALSE(R.Stopped);
  uint8_t b = 0;
  R.ReadBytes(&b, 0);
  EXPECT_TRUE(R.Stopped);
}

TEST_P(CodecReadStreamTest, ReadsStraddlingTheBufferEndAssembleCorrectly) {
  // 16- and 32-bit reads that cross the 65,536-byte boundary, the last one ending exactly at the source's
  // end.
  for (int64_t offset : {65533, 65534, 65535}) {
    const auto data = Counting(static_cast<size_t>(offset + 4));
    auto s = Make(data);
    R.Open(s.get(), 0);
    R.Skip(static_cast<int32_t>(offset - 2));
    EXPECT_EQ(R.ReadUInt16BE(), data[offset - 2] << 8 | data[offset - 1]);
    const uint32_t want =
        uint32_t{data[offset]} << 24 | data[offset + 1] << 16 | data[offset + 2] << 8 | data[offset + 3];
    EXPECT_EQ(R.ReadUInt32BE(), want) << offset;
    EXPECT_FALSE(R.PastEnd);
    EXPECT_EQ(R.Remaining(), 0);
  }
}

TEST_P(CodecReadStreamTest, LargeReadsAndSkipsAcrossTheBuffer) {
  const auto data = Counting(300000);
  auto s = Make(data);
  R.Open(s.get(), 0);
  std::vector<uint8_t> out(200000);
  R.ReadBytes(out.data(), 10);
  R.ReadBytes(out.data() + 10, 199990);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin()));
  R.Skip(70000);
  EXPECT_EQ(R.ReadByte(), data[270000]);
  EXPECT_EQ(R.Consumed, 270001);
  R.Skip(29999);
  EXPECT_FALSE(R.PastEnd);
  R.Skip(1);
  EXPECT_TRUE(R.PastEnd);
  R.Close();
  EXPECT_EQ(s->Position(), 300000);
  // All but the last 65,536 bytes of what the buffer did not hold come straight from the source.
  if (!GetParam()) {
    EXPECT_EQ(static_cast<PlainStream&>(*s).Largest, 199990 - 65526 - 65536);
  }
}

TEST_P(CodecReadStreamTest, WindowOfAGivenSizeStopsThere) {
  auto s = Make({1, 2, 3, 4, 5, 6});
  s->SetPosition(1);
  R.Open(s.get(), 3);
  EXPECT_EQ(R.Limit, 3);
  uint8_t out[3];
  R.ReadBytes(out, 3);
  EXPECT_EQ(out[2], 4);
  EXPECT_EQ(R.ReadByte(), 0);
  EXPECT_TRUE(R.PastEnd);
  R.Close();
  EXPECT_EQ(s->Position(), 4);
  // A window longer than the source is cut at its end: nothing is read past it.
  s->SetPosition(4);
  R.Open(s.get(), 100);
  EXPECT_EQ(R.Limit, 2);
}

TEST_P(CodecReadStreamTest, MacBinaryHeaderIsSkippedWhenBytes0And74AreZero) {
  auto data = Counting(200);
  data[0] = 0;
  data[74] = 0;
  for (bool check : {true, false}) {
    auto s = Make(data);
    R.CheckMacBinary = check;
    R.Open(s.get(), 0);
    EXPECT_EQ(R.MacBinaryFound, check);
    EXPECT_EQ(R.Consumed, check ? 128 : 0);
    EXPECT_EQ(R.ReadByte(), data[check ? 128 : 0]);
  }
  // Exactly 128 bytes are not checked.
  auto s = Make(std::vector<uint8_t>(128, 0));
  R.CheckMacBinary = true;
  R.Open(s.get(), 0);
  EXPECT_FALSE(R.MacBinaryFound);
}

INSTANTIATE_TEST_SUITE_P(Sources, CodecReadStreamTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "InPlace" : "Buffered";
                         });

TEST(CodecReadStream, MemoryStreamIsReadInPlace) {
  TMemoryStream m;
  m.Data() = Counting(100);
  m.SetPosition(10);
  TCodecReadStream r;
  r.Open(&m, 0);
  EXPECT_EQ(r.Cursor, m.Memory() + 10);
  EXPECT_EQ(r.Buffered, 90);
}

// Records the percents delivered.
class ProgressReader : public TCodecReadStream {
 public:
  std::vector<int> Percents;

 protected:
  bool DoProgress(int32_t percent) override {
    Percents.push_back(percent);
    return false;
  }
};

TEST(CodecProgress, RangesShareOutNinetyNinePoints) {
  ProgressReader r;
  TMemoryStream m;
  m.Data() = std::vector<uint8_t>(1000);
  r.Open(&m, 0);
  r.BeginProgress();
  r.BeginProgressRange(0, 0, 30);  // 29 points by position
  r.Skip(500);
  r.StepProgress(0);
  r.StepProgress(0);               // no growth, no call
  r.BeginProgressRange(1, 0, 98);  // total 0 behaves as 1; 68 of the remaining 70 points
  r.StepProgress(5);               // a counted read range caps at its share
  r.BeginProgressRange(1, 4, 0);
  r.StepProgress(2);
  r.EndProgress();
  EXPECT_EQ(r.Percents, (std::vector<int>{0, 14, 97, 98, 100}));
}

TEST(CodecProgress, LargeTotalsDoNotOverflow) {
  TCodecProgress p;
  p.Begin();
  p.BeginRange(1, int64_t{1} << 40, 0, 0);
  EXPECT_EQ(p.Advance(int64_t{1} << 39, false), 49);
}

TEST(CodecWriteStream, SmallWritesAreBufferedLargeOnesGoStraightThrough) {
  PlainStream sink({});
  TCodecWriteStream w;
  w.Open(&sink);
  const auto data = Counting(70000);
  w.WriteBytes(data.data(), 65519);
  EXPECT_TRUE(sink.Writes.empty());
  EXPECT_EQ(w.Buffered, 65519);
  w.WriteBytes(data.data(), 65520);  // flushes what is buffered, then writes directly
  EXPECT_EQ(sink.Writes, (std::vector<int64_t>{65519, 65520}));
  w.WriteUInt32BE(0x01020304);
  w.Flush();
  EXPECT_EQ(w.TotalWritten, 65519 + 65520 + 4);
  const std::vector<uint8_t> tail(sink.data().end() - 4, sink.data().end());
  EXPECT_EQ(tail, (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(CodecWriteStream, BufferIsFlushedBeforeItWouldFill) {
  PlainStream sink({});
  TCodecWriteStream w;
  w.Open(&sink);
  const auto data = Counting(65532);
  w.WriteBytes(data.data(), 65532);
  w.WriteUInt32BE(0xAABBCCDD);  // 65532 + 4 reaches 65536: flush first
  EXPECT_EQ(sink.Writes, (std::vector<int64_t>{65532}));
  w.Flush();
  EXPECT_EQ(sink.data().size(), 65536u);
  EXPECT_EQ(sink.data().back(), 0xDD);
}

TEST(CodecWriteStream, ZeroLengthWriteStopsLaterWrites) {
  PlainStream sink({});
  TCodecWriteStream w;
  w.Open(&sink);
  const uint8_t b = 1;
  w.WriteBytes(&b, 0);
  EXPECT_TRUE(w.Stopped);
  w.WriteBytes(&b, 1);
  w.WriteUInt32BE(5);
  w.Flush();
  EXPECT_TRUE(sink.data().empty());
}

TEST(CodecWriteStream, CountedProgressIsNotCapped) {
  struct Writer : TCodecWriteStream {
    std::vector<int> Percents;
    bool DoProgress(int32_t percent) override {
      Percents.push_back(percent);
      return false;
    }
  } w;
  w.BeginProgress();
  w.BeginProgressRange(1, 10, 30);  // 29 points
  w.StepProgress(20);
  EXPECT_EQ(w.Percents, (std::vector<int>{0, 58}));
}

}  // namespace

// The zlib row adapters: the five filters on hand-computed rows, inflate through the refill callback with its
// failures, deflate handing over full buffers and the rest, and the release of a context after an image.
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "CodecZlib.h"
#include "PngDecoderSupport.h"

namespace {

using pngdec::Bytes;

struct FilterCase {
  const char* Name;
  int BitsPerPixel;
  Bytes Prior, Row, Expected;  // rows with the filter-type byte first
};

TEST(UnfilterRow, FiveFiltersOnHandComputedRows) {
  const FilterCase cases[] = {
      {"none", 8, {0, 9, 9, 9}, {0, 1, 2, 3}, {0, 1, 2, 3}},
      {"sub1", 8, {0, 9, 9, 9}, {1, 10, 250, 10}, {1, 10, 4, 14}},
      {"sub3", 24, {0, 0, 0, 0, 0, 0, 0}, {1, 1, 2, 3, 10, 20, 30}, {1, 1, 2, 3, 11, 22, 33}},
      {"subBelow8Bits", 2, {0, 0, 0}, {1, 0x11, 0x22}, {1, 0x11, 0x33}},
      {"up", 8, {0, 200, 100, 0}, {2, 100, 100, 7}, {2, 44, 200, 7}},
      // Average: first byte prior/2; then (prior + left) / 2 without 8-bit overflow: (255 + 101) / 2 = 178.
      {"average", 8, {0, 201, 255, 4}, {3, 1, 0, 0}, {3, 101, 178, 91}},
      // Paeth, bpp 1: i0 a=0 b=10 c=0 -> b; i1 a=15 b=20 c=10 p=25 -> b (|p-b|=5 < |p-a|=10); i2 a=25 b=5
      // c=20 p=10 -> c? |p-a|=15 |p-b|=5 |p-c|=10 -> b.
      {"paeth1", 8, {0, 10, 20, 5}, {4, 5, 5, 5}, {4, 15, 25, 10}},
      // Paeth, bpp 2: i0,i1 take b; i2 a=r0 b c=p0 ...
      {"paeth2", 16, {0, 100, 50, 90, 60}, {4, 1, 2, 3, 4}, {4, 101, 52, 93, 64}},
  };
  for (const FilterCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Bytes prior = c.Prior, row = c.Row;
    ZRowContext z;
    z.CurrentRow = row.data();
    z.PreviousRow = prior.data();
    z.RowLength = static_cast<int32_t>(row.size());
    z.BitsPerPixel = c.BitsPerPixel;
    EXPECT_EQ(UnfilterRow(z), 0);
    EXPECT_EQ(row, c.Expected);
  }
}

// Every filter at every pixel width against a byte-by-byte reference, over rows long enough for the word and
// vector paths and with a tail, and over rows that end inside a pixel (or are shorter than one).
TEST(UnfilterRow, EveryFilterMatchesTheReferenceForEveryPixelWidth) {
  for (int filter = 1; filter <= 4; ++filter)
    for (int bpp = 1; bpp <= 8; ++bpp)
      for (const int length : {bpp * 41, bpp * 41 + 1, bpp * 42 - 1, bpp - 1}) {
        if (length == 0) continue;
        SCOPED_TRACE(testing::Message() << "filter " << filter << ", bpp " << bpp << ", length " << length);
        Bytes prior(1 + length), row(1 + length);
        for (int i = 1; i <= length; ++i) {
          prior[i] = static_cast<uint8_t>(i * 37 + 11);
          row[i] = static_cast<uint8_t>(i * i * 13 + (i % 7) * 100);
        }
        row[0] = static_cast<uint8_t>(filter);
        Bytes expected = row;
        for (int i = 1; i <= length; ++i) {
          const int a = i > bpp ? expected[i - bpp] : 0, b = prior[i], c = i > bpp ? prior[i - bpp] : 0;
          const int predictor = filter == 1   ? a
                                : filter == 2 ? b
                                : filter == 3 ? (a + b) / 2
                                              : PaethPredictor(a, b, c);
          expected[i] = static_cast<uint8_t>(row[i] + predictor);
        }
        ZRowContext z;
        z.CurrentRow = row.data();
        z.PreviousRow = prior.data();
        z.RowLength = 1 + length;
        z.BitsPerPixel = bpp * 8;
        ASSERT_EQ(UnfilterRow(z), 0);
        EXPECT_EQ(row, expected);
      }
}

TEST(UnfilterRow, UnknownFilterTypeFailsAndLeavesTheRow) {
  Bytes prior = {0, 1, 2}, row = {5, 3, 4};
  ZRowContext z;
  z.CurrentRow = row.data();
  z.PreviousRow = prior.data();
  z.RowLength = 3;
  z.BitsPerPixel = 8;
  EXPECT_EQ(UnfilterRow(z), -1);
  EXPECT_EQ(row, (Bytes{5, 3, 4}));
}

// Feeds compressed data to the inflate side in pieces of Piece bytes.
struct Feeder {
  Bytes Data;
  size_t Pos = 0, Piece = 1;
  int Calls = 0;
  static int32_t Refill(ZRowContext& z) {
    auto& f = *reinterpret_cast<Feeder*>(z.Owner);
    ++f.Calls;
    const size_t n = std::min(f.Piece, f.Data.size() - f.Pos);
    std::copy_n(f.Data.begin() + f.Pos, n, z.ZBuffer.get());
    f.Pos += n;
    z.Stream.next_in = z.ZBuffer.get();
    z.Stream.avail_in = static_cast<uInt>(n);
    return n == 0 ? -7 : 0;
  }
};

TEST(Inflate, RowsComeOutWholeAndEndsAreReported) {
  const Bytes raw = {0, 1, 2, 1, 1, 1, 2, 5, 5};  // three rows of two bytes: None, Sub, Up
  Feeder f{pngdec::Compress(raw), 0, 3};
  ZRowContext z;
  z.Owner = reinterpret_cast<TObject*>(&f);
  z.BufferCallback = &Feeder::Refill;
  ASSERT_EQ(StartInflate(z), 0);
  Bytes current(3), previous(3, 0);
  z.CurrentRow = current.data();
  z.PreviousRow = previous.data();
  z.RowLength = 3;
  z.BitsPerPixel = 8;
  const Bytes want[] = {{0, 1, 2}, {1, 1, 2}, {2, 6, 7}};
  for (const Bytes& w : want) {
    EXPECT_GE(ReadFilteredRow(z), 0);
    EXPECT_EQ(current, w);
    previous = current;
  }
  // The stream has ended: a further row is a failure, not a wait for more input.
  EXPECT_EQ(ReadFilteredRow(z), -1);
  ResetInflate(z);
  EndInflate(z);
  EXPECT_FALSE(z.ZBuffer);
}

TEST(Inflate, RefillAndZlibFailuresAreReturned) {
  const Bytes compressed = pngdec::Compress(Bytes(100, 7));
  {
    Feeder f{Bytes(compressed.begin(), compressed.begin() + 5), 0, 100};  // runs dry
    ZRowContext z;
    z.Owner = reinterpret_cast<TObject*>(&f);
    z.BufferCallback = &Feeder::Refill;
    ASSERT_EQ(StartInflate(z), 0);
    Bytes out(100);
    EXPECT_EQ(InflateInto(z, out.data(), 100), -7);
  }
  {
    Feeder f{Bytes(20, 0xFF), 0, 100};  // not a zlib stream
    ZRowContext z;
    z.Owner = reinterpret_cast<TObject*>(&f);
    z.BufferCallback = &Feeder::Refill;
    ASSERT_EQ(StartInflate(z), 0);
    Bytes out(100);
    EXPECT_LT(InflateInto(z, out.data(), 100), 0);
  }
}

// Collects the output buffers the deflate side hands over.
struct Collector {
  std::vector<Bytes> Blocks;
  static int32_t Take(ZRowContext& z) {
    auto& c = *reinterpret_cast<Collector*>(z.Owner);
    c.Blocks.emplace_back(z.ZBuffer.get(), z.ZBuffer.get() + DeflatePending(z));
    return 0;
  }
};

Bytes Inflated(const std::vector<Bytes>& blocks, size_t size) {
  Bytes all;
  for (const auto& b : blocks) all.insert(all.end(), b.begin(), b.end());
  Bytes out(size + 1);
  uLongf n = static_cast<uLongf>(out.size());
  EXPECT_EQ(uncompress(out.data(), &n, all.data(), static_cast<uLong>(all.size())), Z_OK);
  out.resize(n);
  return out;
}

TEST(Deflate, RowsCompressIntoFullBuffersAndARest) {
  Bytes rows;
  for (int i = 0; i < 20000; ++i) rows.push_back(static_cast<uint8_t>((i * i) >> 3));
  Collector c;
  ZRowContext z;
  z.Owner = reinterpret_cast<TObject*>(&c);
  z.BufferCallback = &Collector::Take;
  ASSERT_EQ(StartDeflate(z, 12, 256), 0);  // level 12 is taken as the default
  for (size_t i = 0; i < rows.size(); i += 1000) ASSERT_EQ(DeflateRow(z, rows.data() + i, 1000), 0);
  ASSERT_EQ(FinishDeflate(z), 0);
  ASSERT_GE(c.Blocks.size(), 2u);
  for (size_t i = 0; i + 1 < c.Blocks.size(); ++i) EXPECT_EQ(c.Blocks[i].size(), 256u);
  EXPECT_GT(c.Blocks.back().size(), 0u);
  EXPECT_LE(c.Blocks.back().size(), 256u);
  EXPECT_EQ(Inflated(c.Blocks, rows.size()), rows);
  ResetDeflate(z);
  EndDeflate(z);
}

TEST(Deflate, OutputOfExactlyWholeBuffersLeavesNoEmptyRest) {
  // Find a buffer size that the finished stream fills exactly, then check no empty block follows.
  const Bytes rows(3000, 9);
  Collector probe;
  {
    ZRowContext z;
    z.Owner = reinterpret_cast<TObject*>(&probe);
    z.BufferCallback = &Collector::Take;
    ASSERT_EQ(StartDeflate(z, 9, 100000), 0);
    ASSERT_EQ(DeflateRow(z, rows.data(), 3000), 0);
    ASSERT_EQ(FinishDeflate(z), 0);
    EndDeflate(z);
  }
  ASSERT_EQ(probe.Blocks.size(), 1u);
  const int32_t total = static_cast<int32_t>(probe.Blocks[0].size());
  Collector c;
  ZRowContext z;
  z.Owner = reinterpret_cast<TObject*>(&c);
  z.BufferCallback = &Collector::Take;
  ASSERT_EQ(StartDeflate(z, 9, total), 0);
  ASSERT_EQ(DeflateRow(z, rows.data(), 3000), 0);
  ASSERT_EQ(FinishDeflate(z), 0);
  ASSERT_EQ(c.Blocks.size(), 1u);
  EXPECT_EQ(c.Blocks[0], probe.Blocks[0]);
  EndDeflate(z);
}

TEST(Deflate, CallbackValueEndsTheOperation) {
  ZRowContext z;
  z.BufferCallback = [](ZRowContext&) -> int32_t { return 3; };
  ASSERT_EQ(StartDeflate(z, 1, 256), 0);
  Bytes noise(50000);
  uint32_t state = 1;
  for (auto& b : noise) b = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
  EXPECT_EQ(DeflateRow(z, noise.data(), 50000), 3);
  EndDeflate(z);
}

// zlib's frees through a stream's hooks, counted; the memory still comes from and goes back to the heap.
voidpf HeapAlloc(voidpf, uInt Items, uInt Size) {
  return std::calloc(Items, Size);
}
void CountingFree(voidpf Frees, voidpf Address) {
  ++*static_cast<int*>(Frees);
  std::free(Address);
}

TEST(ZImageScope, EndsTheStreamOnceAndFreesTheBuffersOnEveryWayOut) {
  for (const bool deflate : {false, true}) {
    for (const bool fails : {false, true}) {
      SCOPED_TRACE(std::string(deflate ? "deflate" : "inflate") + (fails ? ", failing" : ""));
      int frees = 0;
      {
        ZRowContext z;
        try {
          TZImageScope image(z);
          ASSERT_EQ(deflate ? StartDeflate(z, -1, 256) : StartInflate(z), 0);
          z.Stream.zalloc = HeapAlloc;
          z.Stream.zfree = CountingFree;
          z.Stream.opaque = &frees;
          z.CurrentRow = image.AllocateRows(64);
          z.PreviousRow = z.FilteredRow = z.TrialRow = z.CurrentRow + 16;
          z.ByteCounts = reinterpret_cast<int32_t*>(z.CurrentRow + 32);
          if (fails) throw std::runtime_error("row failed");
        } catch (const std::runtime_error&) {
        }
        EXPECT_FALSE(z.Active);
        EXPECT_FALSE(z.ZBuffer);
        EXPECT_EQ(z.ZBufferSize, 0);
        EXPECT_TRUE(z.CurrentRow == nullptr && z.PreviousRow == nullptr && z.FilteredRow == nullptr &&
                    z.TrialRow == nullptr && z.ByteCounts == nullptr);
        EXPECT_GT(frees, 0);  // zlib's state went back through the stream's hooks
        const int ended = frees;
        EndInflate(z);
        EndDeflate(z);
        EXPECT_EQ(frees, ended);
      }
      EXPECT_GT(frees, 0);
    }
  }
}

}  // namespace

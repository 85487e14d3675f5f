// SHA-256 (FIPS 180-4) and Base64 (RFC 4648) for the project file.
#include "OrvEncoding.h"

#include <array>
#include <cstring>

#include "Classes.h"

namespace {

constexpr std::array<uint32_t, 64> RoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr uint32_t RotateRight(uint32_t Value, int Count) {
  return (Value >> Count) | (Value << (32 - Count));
}

// The digest state fed block by block, so that a file is hashed without holding it whole.
class TSha256 {
 public:
  void Add(const uint8_t* Data, size_t Size) {
    FLength += Size;
    while (Size > 0) {
      const size_t take = std::min(Size, FBlock.size() - FFill);
      std::memcpy(FBlock.data() + FFill, Data, take);
      FFill += take, Data += take, Size -= take;
      if (FFill == FBlock.size()) {
        Compress(FBlock.data());
        FFill = 0;
      }
    }
  }

  std::string Hex() {
    const uint64_t bits = FLength * 8;
    const uint8_t one = 0x80, zero = 0;
    Add(&one, 1);
    while (FFill != 56) Add(&zero, 1);
    uint8_t length[8];
    for (int i = 0; i < 8; ++i) length[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    Add(length, 8);
    std::string hex;
    constexpr char Digits[] = "0123456789abcdef";
    for (const uint32_t word : FState)
      for (int shift = 28; shift >= 0; shift -= 4) hex += Digits[(word >> shift) & 0xF];
    return hex;
  }

 private:
  void Compress(const uint8_t* Block) {
    std::array<uint32_t, 64> w;
    for (int i = 0; i < 16; ++i)
      w[i] = uint32_t{Block[4 * i]} << 24 | uint32_t{Block[4 * i + 1]} << 16 |
             uint32_t{Block[4 * i + 2]} << 8 | Block[4 * i + 3];
    for (int i = 16; i < 64; ++i) {
      const uint32_t s0 = RotateRight(w[i - 15], 7) ^ RotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const uint32_t s1 = RotateRight(w[i - 2], 17) ^ RotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::array<uint32_t, 8> v = FState;
    for (int i = 0; i < 64; ++i) {
      const uint32_t s1 = RotateRight(v[4], 6) ^ RotateRight(v[4], 11) ^ RotateRight(v[4], 25);
      const uint32_t choice = (v[4] & v[5]) ^ (~v[4] & v[6]);
      const uint32_t t1 = v[7] + s1 + choice + RoundConstants[i] + w[i];
      const uint32_t s0 = RotateRight(v[0], 2) ^ RotateRight(v[0], 13) ^ RotateRight(v[0], 22);
      const uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
      const uint32_t t2 = s0 + majority;
      v = {t1 + t2, v[0], v[1], v[2], v[3] + t1, v[4], v[5], v[6]};
    }
    for (size_t i = 0; i < 8; ++i) FState[i] += v[i];
  }

  std::array<uint32_t, 8> FState = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::array<uint8_t, 64> FBlock{};
  size_t FFill = 0;
  uint64_t FLength = 0;
};

constexpr char Base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char C) {
  if (C >= 'A' && C <= 'Z') return C - 'A';
  if (C >= 'a' && C <= 'z') return C - 'a' + 26;
  if (C >= '0' && C <= '9') return C - '0' + 52;
  if (C == '+') return 62;
  if (C == '/') return 63;
  return -1;
}

}  // namespace

std::string Sha256Hex(std::span<const uint8_t> Bytes) {
  TSha256 digest;
  digest.Add(Bytes.data(), Bytes.size());
  return digest.Hex();
}

std::string FileSha256Hex(const std::string& FileName) {
  TFileStream file(FileName, fmOpenRead);
  TSha256 digest;
  std::vector<uint8_t> buffer(size_t{1} << 16);
  for (;;) {
    const int64_t got = file.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
    if (got < 0) throw EReadError(SReadError);
    if (got == 0) break;
    digest.Add(buffer.data(), static_cast<size_t>(got));
  }
  return digest.Hex();
}

std::string Base64Encode(std::span<const uint8_t> Bytes) {
  std::string text;
  text.reserve((Bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < Bytes.size(); i += 3) {
    const size_t left = Bytes.size() - i;
    const uint32_t group = uint32_t{Bytes[i]} << 16 | (left > 1 ? uint32_t{Bytes[i + 1]} << 8 : 0) |
                           (left > 2 ? Bytes[i + 2] : 0);
    text += Base64Alphabet[group >> 18];
    text += Base64Alphabet[(group >> 12) & 63];
    text += left > 1 ? Base64Alphabet[(group >> 6) & 63] : '=';
    text += left > 2 ? Base64Alphabet[group & 63] : '=';
  }
  return text;
}

std::optional<std::vector<uint8_t>> Base64Decode(const std::string& Text) {
  if (Text.size() % 4 != 0) return std::nullopt;
  std::vector<uint8_t> bytes;
  bytes.reserve(Text.size() / 4 * 3);
  for (size_t i = 0; i < Text.size(); i += 4) {
    const bool last = i + 4 == Text.size();
    const int padding = last ? (Text[i + 3] == '=') + (Text[i + 2] == '=' && Text[i + 3] == '=') : 0;
    uint32_t group = 0;
    for (int k = 0; k < 4; ++k) {
      const int value = k >= 4 - padding ? 0 : Base64Value(Text[i + k]);
      if (value < 0) return std::nullopt;
      group = group << 6 | static_cast<uint32_t>(value);
    }
    // The bits that padding leaves over must be zero, so that every byte string has one text.
    if ((padding == 1 && (group & 0xFF) != 0) || (padding == 2 && (group & 0xFFFF) != 0)) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(group >> 16));
    if (padding < 2) bytes.push_back(static_cast<uint8_t>(group >> 8));
    if (padding < 1) bytes.push_back(static_cast<uint8_t>(group));
  }
  return bytes;
}

// 16- and 32-bit integers in little-endian (BMP) and big-endian (PNG) byte order, read from and written to
// byte spans, and appended to byte vectors.
//
// The one-argument forms take a span of exactly the value's size and check nothing: the extent is the bound.
// The forms with an offset check it against the span and throw std::out_of_range past the end, so a wrong
// offset is a clear failure instead of a read beyond the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

constexpr uint16_t ReadLE16(std::span<const uint8_t, 2> B) {
  return static_cast<uint16_t>(B[0] | B[1] << 8);
}
constexpr uint32_t ReadLE32(std::span<const uint8_t, 4> B) {
  return uint32_t{B[0]} | uint32_t{B[1]} << 8 | uint32_t{B[2]} << 16 | uint32_t{B[3]} << 24;
}
constexpr uint16_t ReadBE16(std::span<const uint8_t, 2> B) {
  return static_cast<uint16_t>(B[0] << 8 | B[1]);
}
constexpr uint32_t ReadBE32(std::span<const uint8_t, 4> B) {
  return uint32_t{B[0]} << 24 | uint32_t{B[1]} << 16 | uint32_t{B[2]} << 8 | uint32_t{B[3]};
}

constexpr void WriteLE16(std::span<uint8_t, 2> B, uint16_t V) {
  B[0] = static_cast<uint8_t>(V);
  B[1] = static_cast<uint8_t>(V >> 8);
}
constexpr void WriteLE32(std::span<uint8_t, 4> B, uint32_t V) {
  for (size_t i = 0; i < 4; ++i) B[i] = static_cast<uint8_t>(V >> (8 * i));
}
constexpr void WriteBE16(std::span<uint8_t, 2> B, uint16_t V) {
  B[0] = static_cast<uint8_t>(V >> 8);
  B[1] = static_cast<uint8_t>(V);
}
constexpr void WriteBE32(std::span<uint8_t, 4> B, uint32_t V) {
  for (size_t i = 0; i < 4; ++i) B[i] = static_cast<uint8_t>(V >> (24 - 8 * i));
}

namespace byte_order_detail {
// The N bytes of Data at At; throws when they do not all lie within Data.
template <size_t N, class T>
constexpr std::span<T, N> Window(std::span<T> Data, size_t At) {
  if (At > Data.size() || Data.size() - At < N)
    throw std::out_of_range("byte offset past the end of the data");
  return Data.subspan(At).template first<N>();
}
}  // namespace byte_order_detail

constexpr uint16_t ReadLE16(std::span<const uint8_t> Data, size_t At) {
  return ReadLE16(byte_order_detail::Window<2>(Data, At));
}
constexpr uint32_t ReadLE32(std::span<const uint8_t> Data, size_t At) {
  return ReadLE32(byte_order_detail::Window<4>(Data, At));
}
constexpr uint16_t ReadBE16(std::span<const uint8_t> Data, size_t At) {
  return ReadBE16(byte_order_detail::Window<2>(Data, At));
}
constexpr uint32_t ReadBE32(std::span<const uint8_t> Data, size_t At) {
  return ReadBE32(byte_order_detail::Window<4>(Data, At));
}

constexpr void WriteLE16(std::span<uint8_t> Data, size_t At, uint16_t V) {
  WriteLE16(byte_order_detail::Window<2>(Data, At), V);
}
constexpr void WriteLE32(std::span<uint8_t> Data, size_t At, uint32_t V) {
  WriteLE32(byte_order_detail::Window<4>(Data, At), V);
}
constexpr void WriteBE16(std::span<uint8_t> Data, size_t At, uint16_t V) {
  WriteBE16(byte_order_detail::Window<2>(Data, At), V);
}
constexpr void WriteBE32(std::span<uint8_t> Data, size_t At, uint32_t V) {
  WriteBE32(byte_order_detail::Window<4>(Data, At), V);
}

// Appending to the end of a byte vector, for building headers, chunks and files.
inline void AppendLE16(std::vector<uint8_t>& Out, uint16_t V) {
  Out.resize(Out.size() + 2);
  WriteLE16(std::span(Out).last<2>(), V);
}
inline void AppendLE32(std::vector<uint8_t>& Out, uint32_t V) {
  Out.resize(Out.size() + 4);
  WriteLE32(std::span(Out).last<4>(), V);
}
inline void AppendBE16(std::vector<uint8_t>& Out, uint16_t V) {
  Out.resize(Out.size() + 2);
  WriteBE16(std::span(Out).last<2>(), V);
}
inline void AppendBE32(std::vector<uint8_t>& Out, uint32_t V) {
  Out.resize(Out.size() + 4);
  WriteBE32(std::span(Out).last<4>(), V);
}

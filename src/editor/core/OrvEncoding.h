// Byte encodings of the project file: the SHA-256 digest that tells whether a material changed, and Base64
// for the pictures a project carries inside its JSON text.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The SHA-256 digest of the bytes, as 64 lowercase hexadecimal digits.
std::string Sha256Hex(std::span<const uint8_t> Bytes);
// The digest of a file's bytes. A file that cannot be read raises EFOpenError or EReadError naming it.
std::string FileSha256Hex(const std::string& FileName);

// Base64 with the standard alphabet and '=' padding, no line breaks.
std::string Base64Encode(std::span<const uint8_t> Bytes);
// The bytes of a Base64 text as Base64Encode writes it (padding required, nothing else allowed); nothing for
// any other text.
std::optional<std::vector<uint8_t>> Base64Decode(const std::string& Text);

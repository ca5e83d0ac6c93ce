// Seam: conversion between UTF-16 text and Windows code page 932 (Shift_JIS with the NEC and
// IBM extensions). On Windows this is WideCharToMultiByte and MultiByteToWideChar themselves; on
// POSIX an encoder built on iconv and corrected so that it gives, byte for byte, what Windows
// gives, and iconv's decoder (which reads every double-byte character as Windows reads it).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace norvex::platform {

// The code page 932 bytes of `text`, as WideCharToMultiByte(932, 0, ...) gives them for the text
// followed by a terminator, with the code page's own default character ("?", 0x3F) for what it
// cannot represent and no flags (so the system's best-fit mappings apply). Every code unit is
// converted by itself: a surrogate pair gives two default characters. The result does not hold
// the terminator. Nothing when the bytes and the terminator need more than `capacity` bytes:
// the conversion then fails as a whole, as the system's does with a buffer of that size.
std::optional<std::string> ToCodePage932(std::u16string_view text, size_t capacity);

// The character that the double-byte sequence `lead` `trail` stands for in code page 932, as
// MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, ...) reads it; nothing when the code page has
// none (the lead byte is no lead byte, or the pair is unassigned).
std::optional<char16_t> FromCodePage932(unsigned char lead, unsigned char trail);

}  // namespace norvex::platform

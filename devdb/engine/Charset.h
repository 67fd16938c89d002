#pragma once
// Oracle character sets the development database knows, and the text
// conversions between them. The engine keeps all text as UTF-8; a character
// set decides which characters survive (restrict), how many bytes a value
// takes (encodedLength) and the bytes a client sends or receives
// (decode/encode). A character a target cannot hold becomes the target's
// replacement character, as Oracle's conversion does.

#include <cstddef>
#include <string>
#include <string_view>

namespace devdb
{

namespace charset
{
inline constexpr int US7ASCII = 1;
inline constexpr int WE8ISO8859P1 = 31;
inline constexpr int CL8MSWIN1251 = 171;
inline constexpr int WE8MSWIN1252 = 178;
inline constexpr int CL8KOI8R = 196;
inline constexpr int UTF8 = 871;
inline constexpr int AL32UTF8 = 873;
inline constexpr int AL16UTF16 = 2000; // the national character set
} // namespace charset

struct Charset {
    int id;
    const char *name;
    int maxBytesPerChar;
};

// By name (any letter case) or id; nullptr when unknown.
const Charset *findCharset(std::string_view name);
const Charset *findCharset(int id);

// Bytes in a character set to UTF-8; bytes that are no character become U+FFFD.
std::string decodeText(std::string_view bytes, int charsetId);
// UTF-8 to bytes in a character set, unmappable characters replaced.
std::string encodeText(std::string_view utf8, int charsetId);
// UTF-8 holding only characters the character set has (the others replaced).
std::string restrictText(std::string_view utf8, int charsetId);
// Bytes the text takes in a character set.
std::size_t encodedLength(std::string_view utf8, int charsetId);

std::size_t characterCount(std::string_view utf8);
// Code units of UTF-16 (characters beyond the BMP count twice), as Oracle counts CLOB characters.
std::size_t utf16Length(std::string_view utf8);
// The byte offset of character number index (0-based); size() when beyond the end.
std::size_t characterOffset(std::string_view utf8, std::size_t index);

// Letter case of ASCII, Latin-1 and Cyrillic letters; byte lengths are kept.
std::string upperText(std::string_view utf8);
std::string lowerText(std::string_view utf8);

} // namespace devdb

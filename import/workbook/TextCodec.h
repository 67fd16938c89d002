#pragma once
// Small text helpers shared by the readers.

#include <cstdint>
#include <string>
#include <string_view>

namespace rowpour::workbook
{

bool isValidUtf8(std::string_view text);
void appendUtf8(std::string &out, std::uint32_t codePoint);
// Decodes the _xHHHH_ escapes of spreadsheet XML texts (_x000D_ is a
// carriage return, _x005F_ a literal underscore) in place.
void decodeUnderscoreEscapes(std::string &text);

} // namespace rowpour::workbook

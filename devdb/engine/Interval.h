#pragma once
// INTERVAL YEAR TO MONTH and INTERVAL DAY TO SECOND values, kept as the text
// Oracle shows them: "+02-03" and "+02 03:04:05.500000", the leading field
// padded to its precision and the seconds to their fraction digits.

#include <string>

namespace devdb
{

// Read "[+|-]years-months" (or years alone); throws ORA-01867, 01843, 01873.
std::string intervalYearToMonth(const std::string &text, int yearPrecision);
// Read "[+|-]days hours:minutes:seconds[.fraction]" (time parts may be left
// out from the right); throws ORA-01867, 01850-01852, 01873.
std::string intervalDayToSecond(const std::string &text, int dayPrecision, int fractionDigits);

} // namespace devdb

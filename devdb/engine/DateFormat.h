#pragma once
// Oracle datetime format models (NLS_DATE_FORMAT, TO_CHAR, TO_DATE) with the
// tolerance Oracle applies when it reads text: any punctuation matches any
// punctuation, punctuation may be left out after full-width numbers, YY and RR
// also take four-digit years, MM also takes month names (MON and MONTH take
// names only, full or abbreviated), trailing elements may be left out. FX turns
// the tolerance off.

#include "Engine.h"
#include "Nls.h"

#include <string>

namespace devdb
{

// Throws OraError (1821 for a bad model).
void checkDateFormat(const std::string &format);
// Throws OraError 1830, 1839-1843, 1846-1852, 1855, 1858, 1861, 1862.
// Month and day names are those of the language; X writes the radix character.
DateTime parseDate(const std::string &text, const std::string &format,
                   const Language &language = defaultLanguage());
std::string formatDate(const DateTime &value, const std::string &format,
                       const Language &language = defaultLanguage(), char radix = '.');

// Storage form: "YYYY-MM-DD HH:MM:SS" (with ".nnnnnnnnn" when withFraction, and
// " +HH:MM" for a value with a time zone).
std::string dateToStorage(const DateTime &value, bool withFraction);
DateTime dateFromStorage(const std::string &text);
DateTime currentDateTime(bool withFraction);
// The offset of the client's local time from UTC, in minutes: the session time zone.
int sessionZoneMinutes();
int daysInMonth(int year, int month);

} // namespace devdb

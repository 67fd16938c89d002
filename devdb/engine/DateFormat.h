#pragma once
// Oracle datetime format models (NLS_DATE_FORMAT, TO_CHAR, TO_DATE) with the
// tolerance Oracle applies when it reads text: any punctuation matches any
// punctuation, punctuation may be left out after full-width numbers, YY and RR
// also take four-digit years, MM also takes month names, trailing elements may be
// left out.

#include "Engine.h"

#include <string>

namespace devdb
{

// Throws OraError (1821 for a bad model).
void checkDateFormat(const std::string &format);
// Throws OraError 1830, 1843, 1847, 1839, 1858, 1861, 1841, 1849-1851.
DateTime parseDate(const std::string &text, const std::string &format);
std::string formatDate(const DateTime &value, const std::string &format);

// Storage form: "YYYY-MM-DD HH:MM:SS" (with ".nnnnnnnnn" when withFraction).
std::string dateToStorage(const DateTime &value, bool withFraction);
DateTime dateFromStorage(const std::string &text);
DateTime currentDateTime(bool withFraction);
int daysInMonth(int year, int month);

} // namespace devdb

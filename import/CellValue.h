#pragma once
// The processing codes' text functions: the n-th lexeme of a text (code L,
// and the field splitter of the mapping settings file) and the normalisation
// of a loosely written date or year (code D). Both are pure.

#include "import/ImportTexts.h"
#include "platform/OperatorLocale.h"

#include <QString>

namespace rowpour
{

// The n-th piece (counted from 1) of `text` split at `delimiter`; n below 1
// counts as 1; a piece beyond the last delimiter, or any piece with an empty
// delimiter, is empty. The delimiter is matched exactly, as a whole.
QString GetLexeme(int n, const QString &text, const QString &delimiter);

// Turns a date or a year with trailing abbreviations ("1985 г.", "85", ...)
// into a date text in the locale's short date layout; "01.01.1900" (in that
// layout) when no date can be made of it. The text that passes the date
// check is returned as it is, not reformatted; a year alone becomes the
// first of January of it, written with the locale's order and separator
// (01.01.1985 for day.month.year, 01/01/1985 for month/day/year), so that
// the check and the database session read it as the same day.
QString NormalizeDate(const QString &text,
                      const platform::OperatorLocale &locale = platform::OperatorLocale::system());

// The text code D gives when no date can be made: 1 January 1900 in the
// locale's short date layout ("01.01.1900" for day.month.year with ".").
QString NoDateText(const platform::OperatorLocale &locale);

// Whether `text` is a valid date in the locale's short date format, as a
// day-to-day date parser reads it (see CellValue.cpp for the accepted forms).
// `currentYear` fills a missing year and places two-digit years.
bool isShortDateText(const QString &text, const platform::OperatorLocale &locale, int currentYear);

} // namespace rowpour

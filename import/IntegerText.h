#pragma once
// Conversion of texts that must hold an integer (row numbers, spreadsheet
// column numbers, the number after a lexeme code).

#include "import/ImportTexts.h"

#include <QString>

#include <optional>
#include <stdexcept>

namespace rowpour
{

// Raised when a text is not an integer; what() is the user-visible message (UTF-8).
class EInvalidInteger : public std::runtime_error
{
public:
    explicit EInvalidInteger(const QString &text);
    const QString &text() const { return text_; }

private:
    QString text_;
};

// The message for a text that is not an integer.
QString invalidIntegerMessage(const QString &text);

// The accepted forms: optional leading blanks, an optional sign, then either
// decimal digits or a hexadecimal number after "$" or "0x"/"0X"; nothing after
// the digits (a trailing blank is an error). Decimal values must fit a 32-bit
// signed integer; hexadecimal ones are 32-bit patterns, so $FFFFFFFF is -1.
std::optional<int> tryParseInteger(const QString &text);
// As tryParseInteger, throwing EInvalidInteger on failure.
int parseInteger(const QString &text);

} // namespace rowpour

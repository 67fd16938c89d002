#pragma once
// How an Oracle session reads a text as a date: the text is matched against
// the session's datetime format (NLS_DATE_FORMAT, NLS_TIMESTAMP_FORMAT) with
// Oracle's documented tolerance: any punctuation or blank matches any
// punctuation, punctuation may be left out after a number written with all
// its digits, a number may have fewer digits than its element, YY and RR
// take four-digit years, MM takes a month name, MON and MONTH take either
// form of the name, and trailing elements may be left out.

#include <QString>

#include <optional>
#include <vector>

namespace rowpour
{

enum class Verdict { Taken, Refused, NotJudged };

// What the session would make of a value: taken, refused with the Oracle
// error it would raise, or beyond what the check can tell.
struct ValueReading {
    Verdict verdict = Verdict::Taken;
    int oracleCode = 0;
    QString reason;
};

class OracleDateFormat
{
public:
    // nullopt when the format holds an element this reader does not follow
    // (time zones, Julian days, FX, ...): texts are then not judged.
    // `language` is the session's date language: month and day names are
    // known in English only, so a text with a name in another language is
    // not judged.
    static std::optional<OracleDateFormat> compile(const QString &format, const QString &language);

    // How the session reads the text (an empty text is NULL, taken).
    // `currentYear` places RR years and, with `currentMonth`, stands for a
    // year or month the format or the text leaves out.
    ValueReading read(const QString &text, int currentYear, int currentMonth) const;

    const QString &text() const { return format_; }

    enum class Kind {
        Punctuation,
        Quoted,
        Year4,
        Year2,
        RoundYear2,
        RoundYear4,
        Year1,
        Month,
        MonthName,
        Day,
        DayName,
        Hour24,
        Hour12,
        Minute,
        Second,
        Fraction,
        Meridian,
    };
    struct Element {
        Kind kind;
        QString text; // the quoted text, in upper case
    };

private:
    QString format_;
    std::vector<Element> elements_;
    bool englishNames_ = true;
};

} // namespace rowpour

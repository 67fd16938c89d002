#include "import/SheetOption.h"

namespace rowpour
{

workbook::SheetChoice SheetChoiceFromText(const QString &text, const std::vector<workbook::SheetInfo> &sheets)
{
    if (text.isEmpty())
        return {};
    for (const workbook::SheetInfo &sheet : sheets) {
        if (sheet.name == text)
            return {1, text};
    }
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    if (isNumber)
        return {number, {}};
    return {1, text};
}

QString SheetLabel(const workbook::SheetInfo &sheet)
{
    return sheet.hidden ? sheet.name + sheet_texts::kHiddenMark : sheet.name;
}

QString ColumnLetters(int column)
{
    QString letters;
    for (; column > 0; column = (column - 1) / 26)
        letters.prepend(QChar(u'A' + (column - 1) % 26));
    return letters;
}

} // namespace rowpour

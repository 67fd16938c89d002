#pragma once
// The sheet of a workbook as the operator names it: by its name, or by its
// number counted from 1 in workbook order.

#include "import/ImportTexts.h"
#include "import/workbook/SheetRows.h"

#include <QString>

#include <vector>

namespace rowpour
{

// A name of one of `sheets` chooses that sheet, even when it reads as a
// number; otherwise a number chooses by position (one outside the
// workbook's sheets is refused when it is opened), and anything else by name (a
// name the workbook lacks is refused the same way). An empty
// text chooses the first sheet.
workbook::SheetChoice SheetChoiceFromText(const QString &text,
                                          const std::vector<workbook::SheetInfo> &sheets);

// The sheet's name as a list shows it: hidden sheets marked.
QString SheetLabel(const workbook::SheetInfo &sheet);

// The letters of a spreadsheet column: 1 is A, 27 is AA; empty below 1.
QString ColumnLetters(int column);

} // namespace rowpour

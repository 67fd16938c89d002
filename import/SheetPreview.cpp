#include "import/SheetPreview.h"

#include "import/workbook/Workbook.h"

#include <algorithm>
#include <exception>

namespace rowpour
{

QString SheetPreviewData::cell(int row, int column) const
{
    if (row < 1 || std::size_t(row) > rows.size())
        return {};
    return rows[std::size_t(row - 1)].value(column - 1);
}

SheetPreviewData ReadSheetPreview(const QString &file, const QString &sheetName, int rowCount,
                                  const platform::OperatorLocale &locale, const std::atomic<bool> &cancel,
                                  const std::function<void(int)> &progress)
{
    SheetPreviewData data;
    data.file = file;
    try {
        data.sheets = workbook::listSheets(file);
        data.sheetIndex = data.sheets.empty() ? -1 : 0;
        for (std::size_t i = 0; i < data.sheets.size(); ++i) {
            if (data.sheets[i].name == sheetName)
                data.sheetIndex = int(i);
        }
        if (cancel) {
            data.cancelled = true;
            return data;
        }
        const auto book =
            workbook::openWorkbook(file, locale, workbook::SheetChoice{data.sheetIndex + 1, QString()});
        const int last = std::min(rowCount, book->maxRows());
        int lastWithValue = 0;
        for (int row = 1; row <= last; ++row) {
            if (cancel) {
                data.cancelled = true;
                return data;
            }
            const int columns = std::min(book->lastColumnOfRow(row), kPreviewColumns);
            QStringList cells;
            for (int column = 1; column <= columns; ++column)
                cells.append(book->cellText(row, column));
            if (columns > 0)
                lastWithValue = row;
            data.columns = std::max(data.columns, columns);
            data.rows.push_back(cells);
            if (progress)
                progress(row);
        }
        data.rows.resize(std::size_t(lastWithValue));
    } catch (const std::exception &e) {
        data.error = QString::fromUtf8(e.what());
    } catch (...) {
        data.error = QStringLiteral("The workbook could not be read.");
    }
    return data;
}

} // namespace rowpour

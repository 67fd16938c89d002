#pragma once
// Workbooks of several sheets written at test time: each sheet a name, a
// hidden flag and rows of cells (a cell that reads as a number is written as
// a number, any other as text).

#include <QString>
#include <QStringList>

#include <xlsxwriter.h>

#include <stdexcept>
#include <vector>

namespace rowpour::testing
{

struct XlsxSheet {
    QString name;
    std::vector<QStringList> rows;
    bool hidden = false;
};

inline void WriteXlsx(const QString &path, const std::vector<XlsxSheet> &sheets)
{
    lxw_workbook *book = workbook_new(path.toUtf8().constData());
    if (!book)
        throw std::runtime_error("cannot create " + path.toStdString());
    for (const XlsxSheet &sheet : sheets) {
        lxw_worksheet *ws = workbook_add_worksheet(book, sheet.name.toUtf8().constData());
        for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
            for (qsizetype c = 0; c < sheet.rows[r].size(); ++c) {
                const QString &text = sheet.rows[r][c];
                bool isNumber = false;
                const double number = text.toDouble(&isNumber);
                if (text.isEmpty())
                    continue;
                if (isNumber)
                    worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), number, nullptr);
                else
                    worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(c), text.toUtf8().constData(),
                                           nullptr);
            }
        }
        if (sheet.hidden)
            worksheet_hide(ws);
    }
    if (workbook_close(book) != LXW_NO_ERROR)
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace rowpour::testing

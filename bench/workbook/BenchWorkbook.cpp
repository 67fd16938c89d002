#include "BenchWorkbook.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace rowpour::bench
{

namespace
{

const char *const kCities[] = {
    "Москва", "Санкт-Петербург", "Новосибирск", "Екатеринбург", "Казань",          "Berlin",
    "Paris",  "London",          "Madrid",      "Roma",         "Нижний Новгород", "Самара",
    "Омск",   "Ростов-на-Дону",  "Уфа",         "Wien",         "Praha",           "Warszawa",
    "Oslo",   "Helsinki"};
const char *const kStates[] = {"новый", "оплачен", "отгружен", "закрыт", "отменён"};

void write(const std::string &path, int rows)
{
    lxw_workbook *book = workbook_new(path.c_str());
    if (book == nullptr)
        throw std::runtime_error("cannot create " + path);
    lxw_worksheet *sheet = workbook_add_worksheet(book, "Orders");
    lxw_format *date = workbook_add_format(book);
    format_set_num_format(date, "dd.mm.yyyy");
    lxw_format *dateTime = workbook_add_format(book);
    format_set_num_format(dateTime, "dd.mm.yyyy hh:mm:ss");
    const char *headers[kBenchColumns] = {"id",         "город",  "клиент", "цена",   "дата",
                                          "количество", "статус", "сумма",  "создан", "comment"};
    for (int c = 0; c < kBenchColumns; ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), headers[c], nullptr);
    char text[128];
    for (int r = 1; r < rows; ++r) {
        const lxw_row_t row = lxw_row_t(r);
        worksheet_write_number(sheet, row, 0, r, nullptr);
        worksheet_write_string(sheet, row, 1, kCities[(r * 7) % 20], nullptr);
        std::snprintf(text, sizeof text, "ООО «Клиент %d»", r * 13 % 99991);
        worksheet_write_string(sheet, row, 2, text, nullptr);
        worksheet_write_number(sheet, row, 3, (r % 5000) * 1.25 + 0.99, nullptr);
        worksheet_write_number(sheet, row, 4, 43000 + r % 2000, date);
        worksheet_write_number(sheet, row, 5, r % 97, nullptr);
        worksheet_write_string(sheet, row, 6, kStates[r % 5], nullptr);
        worksheet_write_number(sheet, row, 7, (r % 5000) * 1.25 * (r % 97) / 3.0, nullptr);
        worksheet_write_number(sheet, row, 8, 43000 + r % 2000 + (r % 86400) / 86400.0, dateTime);
        std::snprintf(text, sizeof text, "order %d, priority %c", r, "ABC"[r % 3]);
        worksheet_write_string(sheet, row, 9, text, nullptr);
    }
    if (workbook_close(book) != LXW_NO_ERROR)
        throw std::runtime_error("cannot write " + path);
}

} // namespace

QString benchWorkbookPath(int rows)
{
    QString path = rows == kBenchRows ? qEnvironmentVariable("ROWPOUR_BENCH_WORKBOOK") : QString();
    if (path.isEmpty())
        path = QCoreApplication::applicationDirPath() + QStringLiteral("/bench-%1x10.xlsx").arg(rows);
    if (!QFileInfo::exists(path)) {
        // Written under another name first, so that a stopped run leaves no half file.
        const QString partial = path + QStringLiteral(".part");
        write(partial.toStdString(), rows);
        if (!QFile::rename(partial, path))
            throw std::runtime_error("cannot rename " + partial.toStdString());
    }
    return path;
}

} // namespace rowpour::bench

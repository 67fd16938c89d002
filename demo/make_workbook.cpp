// Writes the demo's sample workbook: staff rows with Cyrillic names, loosely
// written birth dates (code D), full names split by code L1/L2, a duplicate
// row and a row whose city is too long for its column.

#include <xlsxwriter.h>

#include <cstdio>

namespace
{

struct StaffRow {
    const char *fullName;
    const char *born; // written as text unless bornDate is set
    lxw_datetime bornDate;
    double bornNumber; // written as a number when not 0
    const char *city;
    double salary;
};

void writeRow(lxw_worksheet *sheet, lxw_row_t row, const StaffRow &r, lxw_format *dateFormat)
{
    worksheet_write_string(sheet, row, 0, r.fullName, nullptr);
    if (r.bornDate.year != 0)
        worksheet_write_datetime(sheet, row, 1, const_cast<lxw_datetime *>(&r.bornDate), dateFormat);
    else if (r.bornNumber != 0)
        worksheet_write_number(sheet, row, 1, r.bornNumber, nullptr);
    else
        worksheet_write_string(sheet, row, 1, r.born, nullptr);
    worksheet_write_string(sheet, row, 2, r.city, nullptr);
    worksheet_write_number(sheet, row, 3, r.salary, nullptr);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: rowpour-demo-workbook FILE.xlsx\n");
        return 2;
    }
    lxw_workbook *book = workbook_new(argv[1]);
    if (!book) {
        std::fprintf(stderr, "rowpour-demo-workbook: cannot create %s\n", argv[1]);
        return 1;
    }
    lxw_worksheet *sheet = workbook_add_worksheet(book, "Сотрудники");
    lxw_format *dateFormat = workbook_add_format(book);
    format_set_num_format(dateFormat, "dd.mm.yyyy");

    const char *headers[] = {"ФИО", "Дата рождения", "Город", "Оклад"};
    for (int c = 0; c < 4; ++c)
        worksheet_write_string(sheet, 0, c, headers[c], nullptr);

    const lxw_datetime noDate{};
    const StaffRow rows[] = {
        {"Иванов Иван", "12.05.1985 г.р.", noDate, 0, "Москва", 1500},
        {"Петров Пётр", "1990г.", noDate, 0, "Санкт-Петербург", 2000},
        {"Иванов Иван", "12.05.1985 г.р.", noDate, 0, "Москва", 1500},
        {"Сидорова Анна", nullptr, {1992, 3, 7, 0, 0, 0}, 0, "Казань", 1800},
        {"Smith John", nullptr, noDate, 85, "London", 2500},
        {"Кузнецов Олег", "1979", noDate, 0, "Петропавловск-Камчатский, микрорайон Северо-Восток", 1700},
    };
    lxw_row_t row = 1;
    for (const StaffRow &r : rows)
        writeRow(sheet, row++, r, dateFormat);

    const lxw_error error = workbook_close(book);
    if (error != LXW_NO_ERROR) {
        std::fprintf(stderr, "rowpour-demo-workbook: %s\n", lxw_strerror(error));
        return 1;
    }
    return 0;
}

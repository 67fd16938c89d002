#pragma once
// Where the import reads cell texts from: the workbook source in a run, a
// fixed table in tests.

#include <QString>

namespace rowpour
{

class ICellSource
{
public:
    virtual ~ICellSource() = default;
    // Text of the cell at the 1-based row and column, empty for an empty cell.
    // Throws std::runtime_error (UTF-8 message) when the cell cannot be read,
    // e.g. a row or column below 1. A workbook reads its sheet forward: rows
    // asked for in ascending order cost one reading of the file, a row before
    // the ones read last may cost another.
    virtual QString cellText(int row, int column) = 0;
    // True when the cell holds a number shown in the plain number form (not a
    // date, a time, a boolean or text): its only comma is the decimal separator
    // of the operator's locale. Sources without types say false.
    virtual bool isNumber(int row, int column)
    {
        (void)row;
        (void)column;
        return false;
    }
};

} // namespace rowpour

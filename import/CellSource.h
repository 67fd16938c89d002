#pragma once
// Where the import reads cell texts from: the workbook source in a run, a
// fixed table in tests.

#include <QString>

namespace rowpour {

class ICellSource {
public:
    virtual ~ICellSource() = default;
    // Text of the cell at the 1-based row and column, empty for an empty cell.
    // Throws std::runtime_error (UTF-8 message) when the cell cannot be read,
    // e.g. a row or column below 1. A workbook reads its sheet forward: rows
    // asked for in ascending order cost one reading of the file, a row before
    // the ones read last may cost another.
    virtual QString cellText(int row, int column) = 0;
};

}  // namespace rowpour

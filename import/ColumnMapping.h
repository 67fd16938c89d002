#pragma once
// The column mapping: one row of the mapping grid per column of the target
// table, six text cells each. The import reads the cells through IMappingCells
// at the moment it needs them, so it always sees the grid's current content.

#include "import/ImportTexts.h"

#include <QList>
#include <QString>

#include <array>

namespace rowpour
{

// Grid column of each mapping field.
enum MappingColumn : int {
    ColOraField = 0,
    ColOraFType = 1,
    ColProceed = 2,
    ColXlsField = 3,
    ColProcessData = 4,
    ColDefaultValue = 5,
};
inline constexpr int kMappingColumnCount = 6;
static_assert(mapping_texts::kHeaders.size() == kMappingColumnCount);

struct TColumnMapping {
    QString OraField;
    QString OraFType;
    QString Proceed;
    QString XlsField;
    QString ProcessData;
    QString DefaultValue;

    // Field by grid column (0..5); an index outside gives empty text / is ignored.
    QString field(int column) const;
    void setField(int column, const QString &text);
    // The mapping takes part in the import when its Proceed text is exactly "1".
    bool takesPart() const { return Proceed == mapping_texts::kProceedYes; }

    bool operator==(const TColumnMapping &) const = default;
};

// Read access to the mapping grid's current cell texts.
class IMappingCells
{
public:
    virtual ~IMappingCells() = default;
    // Number of grid rows including the header row 0 (mapping rows are 1..rowCount()-1).
    virtual int rowCount() const = 0;
    // Text of the cell; empty outside the grid.
    virtual QString cell(int row, int column) const = 0;
};

// The mapping of grid row `row` (1-based mapping row), read cell by cell.
TColumnMapping mappingAt(const IMappingCells &cells, int row);

// The mapping grid in memory: header row 0 plus one TColumnMapping per row.
class MappingTable : public IMappingCells
{
public:
    MappingTable() = default; // header row only
    explicit MappingTable(QList<TColumnMapping> rows) : rows_(std::move(rows)) {}
    // The grid before a table is chosen: the header and four empty mapping rows.
    static MappingTable initialGrid();

    int rowCount() const override { return static_cast<int>(rows_.size()) + 1; }
    QString cell(int row, int column) const override;

    // Grows with empty rows or drops rows at the end; counts the header row.
    void setRowCount(int count);
    // Sets a mapping row's cell; header row and out-of-range cells are ignored.
    void setCell(int row, int column, const QString &text);

    const QList<TColumnMapping> &rows() const { return rows_; }

private:
    QList<TColumnMapping> rows_;
};

// Checks that every mapping row's Proceed cell is filled in. Returns the full
// message-box text (shown under kValidationCaption with the error icon), or
// empty text when the mapping is valid.
QString ValidateMapping(const IMappingCells &cells);

} // namespace rowpour

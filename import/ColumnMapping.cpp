#include "import/ColumnMapping.h"

namespace rowpour
{

namespace
{

// The field of a mapping by grid column, or null for a column outside the grid.
template <typename Mapping> auto *fieldPointer(Mapping &mapping, int column)
{
    switch (column) {
    case ColOraField:
        return &mapping.OraField;
    case ColOraFType:
        return &mapping.OraFType;
    case ColProceed:
        return &mapping.Proceed;
    case ColXlsField:
        return &mapping.XlsField;
    case ColProcessData:
        return &mapping.ProcessData;
    case ColDefaultValue:
        return &mapping.DefaultValue;
    default:
        return static_cast<decltype(&mapping.OraField)>(nullptr);
    }
}

} // namespace

QString TColumnMapping::field(int column) const
{
    const QString *field = fieldPointer(*this, column);
    return field ? *field : QString();
}

void TColumnMapping::setField(int column, const QString &text)
{
    if (QString *field = fieldPointer(*this, column))
        *field = text;
}

TColumnMapping mappingAt(const IMappingCells &cells, int row)
{
    TColumnMapping mapping;
    for (int column = 0; column < kMappingColumnCount; ++column)
        mapping.setField(column, cells.cell(row, column));
    return mapping;
}

MappingTable MappingTable::initialGrid()
{
    return MappingTable(QList<TColumnMapping>(4));
}

QString MappingTable::cell(int row, int column) const
{
    if (column < 0 || column >= kMappingColumnCount)
        return {};
    if (row == 0)
        return mapping_texts::kHeaders[static_cast<size_t>(column)];
    if (row < 0 || row >= rowCount())
        return {};
    return rows_[row - 1].field(column);
}

void MappingTable::setRowCount(int count)
{
    rows_.resize(std::max(count - 1, 0));
}

void MappingTable::setCell(int row, int column, const QString &text)
{
    if (row < 1 || row >= rowCount())
        return;
    rows_[row - 1].setField(column, text);
}

QString ValidateMapping(const IMappingCells &cells)
{
    QString lines;
    for (int row = 1; row < cells.rowCount(); ++row) {
        if (cells.cell(row, ColProceed).isEmpty())
            lines += QStringLiteral("\r\n") + mapping_texts::kValidationRowPrefix + QString::number(row) +
                     mapping_texts::kValidationRowSuffix;
    }
    return lines.isEmpty() ? QString() : mapping_texts::kValidationHeading + lines;
}

} // namespace rowpour

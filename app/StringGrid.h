#pragma once
// The string grid of the main window: a fixed header row (row 0) and editable
// text cells below it. Like the grid it stands for, it keeps every cell it has
// ever held: lowering the row count hides rows without forgetting their cells,
// and raising it shows them again.

#include "import/ColumnMapping.h"

#include <QAbstractTableModel>
#include <QTableView>

#include <array>
#include <vector>

namespace rowpour::app
{

// Each column's share of a width, given in per cent, with the fraction cut off.
std::array<int, rowpour::kMappingColumnCount>
WidthShares(int width, const std::array<int, rowpour::kMappingColumnCount> &percent);

class StringGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int kColumns = rowpour::kMappingColumnCount;

    explicit StringGridModel(QObject *parent = nullptr);

    // Grid coordinates: rows count the header row 0. Cell reads every kept
    // cell, also those of hidden rows.
    int RowCount() const { return rowCount_; }
    void SetRowCount(int rows); // at least 1: the header row stays
    QString Cell(int row, int column) const;
    void SetCell(int row, int column, const QString &text);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    using Row = std::array<QString, kColumns>;
    static bool validColumn(int column) { return column >= 0 && column < kColumns; }

    std::vector<Row> cells_; // never shrinks
    int rowCount_ = 1;
};

// The grid fits its columns to their header and cell texts (up to a limit;
// longer texts show in full as a tool tip) and shares the width left over
// among them by their shares; it never makes a column narrower than its
// texts, so it scrolls instead. Once the operator resizes a column by hand,
// the widths stay until the grid is fitted again on purpose. Tab leaves the
// grid; Delete clears the selected cells.
class TStringGrid : public QTableView, public rowpour::IMappingCells
{
    Q_OBJECT
public:
    // The widest a column grows to fit its texts.
    static constexpr int kMaxFittedWidth = 320;

    explicit TStringGrid(QWidget *parent = nullptr);

    // Shares of the extra width, in per cent, in column order.
    void SetColumnShares(const std::array<int, kMappingColumnCount> &percent) { shares_ = percent; }
    // Fits the columns now; `reset` also forgets the operator's own widths.
    void FitColumns(bool reset);
    // The width a column's texts need (header and rows), up to kMaxFittedWidth.
    int NeededWidth(int column) const;

    StringGridModel &Cells() { return model_; }
    const StringGridModel &Cells() const { return model_; }
    // Grid coordinates, as the mapping reads them: row 0 is the header row.
    int rowCount() const override { return model_.RowCount(); }
    // Empty outside the grid, also for the kept cells of hidden rows.
    QString cell(int row, int column) const override;
    void setRowCount(int rows) { model_.SetRowCount(rows); }
    void setCell(int row, int column, const QString &text) { model_.SetCell(row, column, text); }

protected:
    // A cell whose text the column cuts shows the text as its tool tip;
    // elsewhere the grid's own hint is shown over its cells too.
    bool viewportEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void scheduleFit();

    StringGridModel model_;
    std::array<int, kMappingColumnCount> shares_{};
    bool operatorSized_ = false;
    bool fitting_ = false;
    bool fitScheduled_ = false;
};

} // namespace rowpour::app

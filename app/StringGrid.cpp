#include "app/StringGrid.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QToolTip>

#include <numeric>

namespace rowpour::app
{

std::array<int, rowpour::kMappingColumnCount>
WidthShares(int width, const std::array<int, rowpour::kMappingColumnCount> &percent)
{
    std::array<int, rowpour::kMappingColumnCount> widths{};
    for (std::size_t i = 0; i < widths.size(); ++i)
        widths[i] = width * percent[i] / 100;
    return widths;
}

StringGridModel::StringGridModel(QObject *parent) : QAbstractTableModel(parent), cells_(1) {}

void StringGridModel::SetRowCount(int rows)
{
    rows = std::max(rows, 1);
    if (rows == rowCount_)
        return;
    if (std::size_t(rows) > cells_.size())
        cells_.resize(std::size_t(rows));
    if (rows > rowCount_) {
        beginInsertRows({}, rowCount_ - 1, rows - 2);
        rowCount_ = rows;
        endInsertRows();
    } else {
        beginRemoveRows({}, rows - 1, rowCount_ - 2);
        rowCount_ = rows;
        endRemoveRows();
    }
}

QString StringGridModel::Cell(int row, int column) const
{
    if (row < 0 || std::size_t(row) >= cells_.size() || !validColumn(column))
        return {};
    return cells_[std::size_t(row)][std::size_t(column)];
}

void StringGridModel::SetCell(int row, int column, const QString &text)
{
    if (row < 0 || !validColumn(column))
        return;
    if (std::size_t(row) >= cells_.size())
        cells_.resize(std::size_t(row) + 1);
    cells_[std::size_t(row)][std::size_t(column)] = text;
    if (row == 0) {
        emit headerDataChanged(Qt::Horizontal, column, column);
    } else if (row < rowCount_) {
        const QModelIndex changed = index(row - 1, column);
        emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole});
    }
}

int StringGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rowCount_ - 1;
}

int StringGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kColumns;
}

QVariant StringGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return Cell(index.row() + 1, index.column());
}

bool StringGridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    SetCell(index.row() + 1, index.column(), value.toString());
    return true;
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

QVariant StringGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && (role == Qt::DisplayRole || role == Qt::ToolTipRole))
        return Cell(0, section);
    return {};
}

TStringGrid::TStringGrid(QWidget *parent) : QTableView(parent)
{
    setModel(&model_);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setShowGrid(true);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(18);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    // Tab moves on to the next control, as in the other controls of the window.
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    shares_.fill(100 / kMappingColumnCount);

    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
        if (!fitting_)
            operatorSized_ = true;
    });
    connect(&model_, &QAbstractItemModel::dataChanged, this, &TStringGrid::scheduleFit);
    connect(&model_, &QAbstractItemModel::rowsInserted, this, &TStringGrid::scheduleFit);
    connect(&model_, &QAbstractItemModel::rowsRemoved, this, &TStringGrid::scheduleFit);
    connect(&model_, &QAbstractItemModel::headerDataChanged, this, &TStringGrid::scheduleFit);
}

int TStringGrid::NeededWidth(int column) const
{
    // Room for the cell's margins and the header's sort-free padding.
    constexpr int kMargin = 12;
    const QFontMetrics cells(font());
    const QFontMetrics header(horizontalHeader()->font());
    int needed = header.horizontalAdvance(model_.Cell(0, column)) + kMargin;
    for (int row = 1; row < model_.RowCount(); ++row)
        needed = std::max(needed, cells.horizontalAdvance(model_.Cell(row, column)) + kMargin);
    return std::min(needed, kMaxFittedWidth);
}

void TStringGrid::FitColumns(bool reset)
{
    fitScheduled_ = false;
    if (reset)
        operatorSized_ = false;
    if (operatorSized_)
        return;
    std::array<int, kMappingColumnCount> widths{};
    for (int column = 0; column < kMappingColumnCount; ++column)
        widths[std::size_t(column)] = NeededWidth(column);
    const int extra = viewport()->width() - std::accumulate(widths.begin(), widths.end(), 0);
    if (extra > 0) {
        const std::array<int, kMappingColumnCount> shares = WidthShares(extra, shares_);
        for (std::size_t i = 0; i < widths.size(); ++i)
            widths[i] += shares[i];
        // What the cut-off fractions leave goes to the last column, so the columns fill the grid.
        widths.back() += extra - std::accumulate(shares.begin(), shares.end(), 0);
    }
    fitting_ = true;
    for (int column = 0; column < kMappingColumnCount; ++column)
        horizontalHeader()->resizeSection(column, widths[std::size_t(column)]);
    fitting_ = false;
}

void TStringGrid::scheduleFit()
{
    if (fitScheduled_)
        return;
    fitScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        if (fitScheduled_)
            FitColumns(false);
    });
}

void TStringGrid::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    FitColumns(false);
}

void TStringGrid::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete && state() != QAbstractItemView::EditingState) {
        for (const QModelIndex &index : selectionModel()->selectedIndexes())
            model_.setData(index, QString(), Qt::EditRole);
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

QString TStringGrid::cell(int row, int column) const
{
    return row < model_.RowCount() ? model_.Cell(row, column) : QString();
}

bool TStringGrid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QModelIndex index = indexAt(help->pos());
        const QString text = index.isValid() ? model_.data(index, Qt::DisplayRole).toString() : QString();
        const bool cut =
            !text.isEmpty() && QFontMetrics(font()).horizontalAdvance(text) + 6 > columnWidth(index.column());
        QToolTip::showText(help->globalPos(), cut ? text : toolTip(), this);
        return true;
    }
    return QTableView::viewportEvent(event);
}

} // namespace rowpour::app

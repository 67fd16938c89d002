#include "app/StringGrid.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>

namespace rowpour::app
{

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
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
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
}

QString TStringGrid::cell(int row, int column) const
{
    return row < model_.RowCount() ? model_.Cell(row, column) : QString();
}

bool TStringGrid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        QToolTip::showText(help->globalPos(), toolTip(), this);
        return true;
    }
    return QTableView::viewportEvent(event);
}

} // namespace rowpour::app

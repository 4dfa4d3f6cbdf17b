#include "StringGridModel.h"

#include "Text8.h"

#include <QPointer>

StringGridModel::StringGridModel(StringGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid), rows_(grid.RowCount() - 1), cols_(grid.ColCount())
{
    QPointer<StringGridModel> self(this);
    grid_.setChangeListener([self](StringGrid::Change change, int col, int row) {
        if (self)
            self->onGridChange(change, col, row);
    });
}

int StringGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }
int StringGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : cols_; }

QVariant StringGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::CheckStateRole && index.column() == tickColumn_ && ticked_)
        return ticked_(index.row() + 1) ? Qt::Checked : Qt::Unchecked;
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    return Text8::toUnicode(grid_.cell(index.column(), index.row() + 1));
}

bool StringGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid())
        return false;
    if (role == Qt::CheckStateRole && index.column() == tickColumn_ && setTicked_) {
        setTicked_(index.row() + 1, value.toInt() == Qt::Checked);
        tickChanged(index.row() + 1);
        return true;
    }
    if (role != Qt::EditRole || !editable_)
        return false;
    grid_.setCell(index.column(), index.row() + 1, Text8::fromUnicode(value.toString()));
    return true;
}

void StringGridModel::setTickColumn(int column, TickGetter ticked, TickSetter setTicked)
{
    tickColumn_ = column;
    ticked_ = std::move(ticked);
    setTicked_ = std::move(setTicked);
    ticksChanged();
}

void StringGridModel::tickChanged(int gridRow)
{
    if (tickColumn_ < 0 || tickColumn_ >= cols_ || gridRow < 1 || gridRow - 1 >= rows_)
        return;
    const QModelIndex i = index(gridRow - 1, tickColumn_);
    emit dataChanged(i, i, {Qt::CheckStateRole});
}

void StringGridModel::ticksChanged()
{
    if (tickColumn_ < 0 || tickColumn_ >= cols_ || rows_ == 0)
        return;
    emit dataChanged(index(0, tickColumn_), index(rows_ - 1, tickColumn_), {Qt::CheckStateRole});
}

QVariant StringGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    return Text8::toUnicode(grid_.cell(section, 0));
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable_)
        f |= Qt::ItemIsEditable;
    if (index.column() == tickColumn_ && ticked_)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

void StringGridModel::followSize()
{
    const int rows = grid_.RowCount() - 1;
    const int cols = grid_.ColCount();
    if (rows > rows_) {
        beginInsertRows({}, rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    } else if (rows < rows_) {
        beginRemoveRows({}, rows, rows_ - 1);
        rows_ = rows;
        endRemoveRows();
    }
    if (cols > cols_) {
        beginInsertColumns({}, cols_, cols - 1);
        cols_ = cols;
        endInsertColumns();
    } else if (cols < cols_) {
        beginRemoveColumns({}, cols, cols_ - 1);
        cols_ = cols;
        endRemoveColumns();
    }
}

void StringGridModel::onGridChange(StringGrid::Change change, int col, int row)
{
    switch (change) {
    case StringGrid::Change::Cell:
        if (col >= cols_)
            break;
        if (row == 0) {
            emit headerDataChanged(Qt::Horizontal, col, col);
        } else if (row - 1 < rows_) {
            const QModelIndex i = index(row - 1, col);
            emit dataChanged(i, i, {Qt::DisplayRole, Qt::EditRole});
        }
        break;
    case StringGrid::Change::Resized:
        followSize();
        emit gridSelectionChanged();
        break;
    case StringGrid::Change::Selection:
        emit gridSelectionChanged();
        break;
    }
}

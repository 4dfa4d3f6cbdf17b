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
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return Text8::toUnicode(grid_.cell(index.column(), index.row() + 1));
}

QVariant StringGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    return Text8::toUnicode(grid_.cell(section, 0));
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
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
            emit dataChanged(i, i, {Qt::DisplayRole});
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

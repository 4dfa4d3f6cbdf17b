#include "StringGrid.h"

#include <algorithm>

StringGrid::StringGrid(int colCount, int rowCount)
    : cols_(std::max(colCount, 1)),
      rows_(static_cast<std::size_t>(std::max(rowCount, 1)),
            std::vector<std::string>(static_cast<std::size_t>(cols_)))
{
    selRow_ = RowCount() > 1 ? 1 : 0;
}

void StringGrid::notify(Change change, int col, int row)
{
    if (changeListener_)
        changeListener_(change, col, row);
}

void StringGrid::keepSelectionInside()
{
    const int row = RowCount() > 1 ? std::clamp(selRow_, 1, RowCount() - 1) : 0;
    const int col = std::clamp(selCol_, 0, cols_ - 1);
    if (row != selRow_ || col != selCol_) {
        selRow_ = row;
        selCol_ = col;
        notify(Change::Selection);
    }
}

void StringGrid::setRowCount(int rows)
{
    rows = std::max(rows, 1);
    if (rows == RowCount())
        return;
    rows_.resize(static_cast<std::size_t>(rows), std::vector<std::string>(static_cast<std::size_t>(cols_)));
    notify(Change::Resized);
    keepSelectionInside();
}

void StringGrid::setColCount(int cols)
{
    cols = std::max(cols, 1);
    if (cols == cols_)
        return;
    cols_ = cols;
    for (auto& row : rows_)
        row.resize(static_cast<std::size_t>(cols_));
    notify(Change::Resized);
    keepSelectionInside();
}

const std::string& StringGrid::cell(int col, int row) const
{
    static const std::string empty;
    return inside(col, row) ? rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] : empty;
}

void StringGrid::setCell(int col, int row, std::string_view text)
{
    if (!inside(col, row))
        return;
    std::string& cell = rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
    if (cell == text)
        return;
    cell.assign(text);
    notify(Change::Cell, col, row);
}

void StringGrid::clearRow(int row)
{
    for (int col = 0; col < cols_; ++col)
        setCell(col, row, {});
}

bool StringGrid::selectCell(int col, int row)
{
    if (row < 1 || row >= RowCount() || col < 0 || col >= cols_)
        return false;
    selRow_ = row;
    selCol_ = col;
    notify(Change::Selection);
    if (selectListener_)
        selectListener_(col, row);
    return true;
}

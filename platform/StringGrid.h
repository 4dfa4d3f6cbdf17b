#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A text grid of byte-string cells, addressed (column, row) as the windows' tables are.
// Row 0 is the fixed header row and counts in RowCount(); rows 1.. are the data rows. Reads
// outside the table give empty text and writes outside it are ignored, so no index can
// fault. Resizing keeps the cells that stay inside; rows and columns that come back are
// empty.
//
// The selected row is always a data row (1..RowCount()-1), or 0 while there is none.
// selectCell() is the grid's select-cell event: it moves the selection and then calls the
// select listener (the window's ...SelectCell handler), also when the row is already the
// selected one. A view is told of every change through the change listener and calls
// selectCell() when the user picks a row.
//
// One change listener (the view's model) and one select listener (the window).
class StringGrid {
public:
    enum class Change { Cell, Resized, Selection };
    // Cell: col and row name the cell. Resized, Selection: both are -1.
    using ChangeListener = std::function<void(Change, int col, int row)>;
    using SelectListener = std::function<void(int col, int row)>;

    explicit StringGrid(int colCount = 5, int rowCount = 2);

    int RowCount() const { return static_cast<int>(rows_.size()); }
    int ColCount() const { return cols_; }
    // At least one row (the header) and one column.
    void setRowCount(int rows);
    void setColCount(int cols);

    const std::string& cell(int col, int row) const;
    void setCell(int col, int row, std::string_view text);
    // Every cell of row becomes empty (nothing outside the table).
    void clearRow(int row);

    int selectedRow() const { return selRow_; }
    int selectedCol() const { return selCol_; }
    // Selects the data row; false (and nothing happens) for row 0 or outside the table.
    bool selectCell(int col, int row);
    bool selectRow(int row) { return selectCell(selCol_, row); }

    void setChangeListener(ChangeListener listener) { changeListener_ = std::move(listener); }
    void setSelectListener(SelectListener listener) { selectListener_ = std::move(listener); }

private:
    bool inside(int col, int row) const { return col >= 0 && col < cols_ && row >= 0 && row < RowCount(); }
    void notify(Change change, int col = -1, int row = -1);
    void keepSelectionInside();

    int cols_ = 1;
    std::vector<std::vector<std::string>> rows_;
    int selRow_ = 0;
    int selCol_ = 0;
    ChangeListener changeListener_;
    SelectListener selectListener_;
};

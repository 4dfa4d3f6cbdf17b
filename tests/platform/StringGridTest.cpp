#include "StringGrid.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Event {
    StringGrid::Change change;
    int col, row;
    bool operator==(const Event&) const = default;
};

struct Recorder {
    std::vector<Event> changes;
    std::vector<std::pair<int, int>> selects;
    explicit Recorder(StringGrid& g)
    {
        g.setChangeListener([this](StringGrid::Change c, int col, int row) { changes.push_back({c, col, row}); });
        g.setSelectListener([this](int col, int row) { selects.emplace_back(col, row); });
    }
};

} // namespace

TEST(StringGrid, RowCountCountsTheHeaderRow)
{
    const StringGrid g(11, 2);
    EXPECT_EQ(g.RowCount(), 2);
    EXPECT_EQ(g.ColCount(), 11);
    EXPECT_EQ(g.selectedRow(), 1);
    const StringGrid headerOnly(3, 1);
    EXPECT_EQ(headerOnly.selectedRow(), 0);
    const StringGrid clamped(0, -4);
    EXPECT_EQ(clamped.RowCount(), 1);
    EXPECT_EQ(clamped.ColCount(), 1);
}

TEST(StringGrid, ReadsOutsideAreEmptyAndWritesOutsideAreIgnored)
{
    StringGrid g(3, 3);
    Recorder rec(g);
    const std::vector<std::pair<int, int>> outside = {{-1, 0}, {0, -1}, {3, 0}, {0, 3}, {100, 100}, {-5, 2}};
    for (auto [c, r] : outside) {
        g.setCell(c, r, "x");
        EXPECT_EQ(g.cell(c, r), "") << c << "," << r;
    }
    EXPECT_TRUE(rec.changes.empty());
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(g.cell(c, r), "");
    g.setCell(2, 2, std::string("\0\xFF\r\n", 4));
    EXPECT_EQ(g.cell(2, 2), std::string("\0\xFF\r\n", 4));
    EXPECT_EQ(rec.changes, (std::vector<Event>{{StringGrid::Change::Cell, 2, 2}}));
    g.setCell(2, 2, std::string("\0\xFF\r\n", 4));   // the same text: no change to show
    EXPECT_EQ(rec.changes.size(), 1u);
}

TEST(StringGrid, ResizingKeepsTheCellsInsideAndEmptiesTheRest)
{
    StringGrid g(3, 4);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            g.setCell(c, r, std::to_string(c) + ":" + std::to_string(r));
    g.setRowCount(2);
    g.setColCount(2);
    EXPECT_EQ(g.cell(1, 1), "1:1");
    EXPECT_EQ(g.cell(0, 0), "0:0");
    EXPECT_EQ(g.cell(2, 1), "");
    EXPECT_EQ(g.cell(0, 3), "");
    g.setRowCount(4);
    g.setColCount(3);
    EXPECT_EQ(g.cell(1, 1), "1:1");
    EXPECT_EQ(g.cell(2, 0), "");   // cells that were dropped do not come back
    EXPECT_EQ(g.cell(0, 3), "");
    g.setRowCount(0);
    EXPECT_EQ(g.RowCount(), 1);
    EXPECT_EQ(g.cell(0, 0), "0:0");
}

TEST(StringGrid, SelectingRunsTheSelectListenerEveryTime)
{
    StringGrid g(3, 4);
    Recorder rec(g);
    EXPECT_TRUE(g.selectCell(2, 3));
    EXPECT_TRUE(g.selectRow(3));   // already selected: the event runs again
    EXPECT_EQ(g.selectedRow(), 3);
    EXPECT_EQ(g.selectedCol(), 2);
    EXPECT_EQ(rec.selects, (std::vector<std::pair<int, int>>{{2, 3}, {2, 3}}));
    for (auto [c, r] : std::vector<std::pair<int, int>>{{0, 0}, {0, 4}, {3, 1}, {-1, 1}, {0, -1}})
        EXPECT_FALSE(g.selectCell(c, r)) << c << "," << r;
    EXPECT_EQ(rec.selects.size(), 2u);
    EXPECT_EQ(g.selectedRow(), 3);
}

TEST(StringGrid, TheSelectionStaysInsideWhenTheGridShrinks)
{
    StringGrid g(3, 5);
    Recorder rec(g);
    g.selectCell(2, 4);
    rec.changes.clear();
    g.setRowCount(3);
    EXPECT_EQ(g.selectedRow(), 2);
    g.setColCount(1);
    EXPECT_EQ(g.selectedCol(), 0);
    g.setRowCount(1);
    EXPECT_EQ(g.selectedRow(), 0);
    g.setRowCount(3);
    EXPECT_EQ(g.selectedRow(), 1);
    EXPECT_EQ(rec.selects.size(), 1u);   // moving the selection by resizing runs no select event
    const std::vector<Event> expected = {
        {StringGrid::Change::Resized, -1, -1}, {StringGrid::Change::Selection, -1, -1},
        {StringGrid::Change::Resized, -1, -1}, {StringGrid::Change::Selection, -1, -1},
        {StringGrid::Change::Resized, -1, -1}, {StringGrid::Change::Selection, -1, -1},
        {StringGrid::Change::Resized, -1, -1}, {StringGrid::Change::Selection, -1, -1},
    };
    EXPECT_EQ(rec.changes, expected);
}

TEST(StringGrid, ClearRowEmptiesOneRow)
{
    StringGrid g(2, 3);
    g.setCell(0, 0, "ID");
    g.setCell(0, 1, "a");
    g.setCell(1, 1, "b");
    g.setCell(0, 2, "c");
    g.clearRow(1);
    g.clearRow(7);
    EXPECT_EQ(g.cell(0, 1), "");
    EXPECT_EQ(g.cell(1, 1), "");
    EXPECT_EQ(g.cell(0, 2), "c");
    EXPECT_EQ(g.cell(0, 0), "ID");
}

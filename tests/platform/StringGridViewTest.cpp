#include "StringGridView.h"
#include "Text8.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

namespace {

class GridView : public ::testing::Test {
protected:
    void SetUp() override
    {
        view = std::make_unique<StringGridView>(3, 5);
        view->resize(400, 300);
        StringGrid& g = view->grid();
        g.setCell(0, 0, " ID ");
        g.setCell(1, 0, "Pr\xEA" "dko\x9C\xE6");
        for (int r = 1; r < 5; ++r)
            for (int c = 0; c < 3; ++c)
                g.setCell(c, r, std::to_string(c) + "/" + std::to_string(r));
        g.setSelectListener([this](int c, int r) { selects.emplace_back(c, r); });
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }

    QPoint cellCenter(int col, int gridRow) const
    {
        return view->visualRect(view->model()->index(gridRow - 1, col)).center();
    }
    std::vector<int> selectedGridRows() const
    {
        std::vector<int> rows;
        for (const QModelIndex& i : view->selectionModel()->selectedRows())
            rows.push_back(i.row() + 1);
        return rows;
    }
    int currentGridRow() const { return view->currentIndex().row() + 1; }

    std::unique_ptr<StringGridView> view;
    std::vector<std::pair<int, int>> selects;
};

} // namespace

TEST_F(GridView, ShowsRowZeroAsTheHeaderAndTheRestAsData)
{
    QAbstractItemModel* m = view->model();
    EXPECT_EQ(m->rowCount(), 4);
    EXPECT_EQ(m->columnCount(), 3);
    EXPECT_EQ(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral(" ID "));
    EXPECT_EQ(m->headerData(1, Qt::Horizontal).toString(), QString::fromUtf8("Prędkość"));
    EXPECT_EQ(m->data(m->index(0, 2)).toString(), QStringLiteral("2/1"));
    EXPECT_EQ(m->data(m->index(3, 0)).toString(), QStringLiteral("0/4"));
    EXPECT_FALSE(m->headerData(0, Qt::Vertical).isValid());
    EXPECT_FALSE(m->flags(m->index(0, 0)) & Qt::ItemIsEditable);
    for (int r = 0; r < 4; ++r)
        EXPECT_EQ(view->rowHeight(r), 20);
    EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(view->selectionMode(), QAbstractItemView::SingleSelection);
}

TEST_F(GridView, AClickSelectsTheWholeRowAndRunsTheSelectEvent)
{
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cellCenter(2, 3));
    EXPECT_EQ(view->grid().selectedRow(), 3);
    EXPECT_EQ(selects, (std::vector<std::pair<int, int>>{{2, 3}}));
    EXPECT_EQ(selectedGridRows(), std::vector<int>{3});
    EXPECT_EQ(view->selectionModel()->selectedIndexes().size(), 3);   // every cell of the row
    QTest::keyClick(view.get(), Qt::Key_Down);
    EXPECT_EQ(view->grid().selectedRow(), 4);
    EXPECT_EQ(selects.back(), (std::pair<int, int>{2, 4}));
    // Nothing is edited by a double click or by typing.
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cellCenter(0, 2));
    QTest::keyClicks(view.get(), "x");
    EXPECT_TRUE(view->findChildren<QLineEdit*>().isEmpty());   // no cell editor opened
    EXPECT_EQ(view->grid().cell(0, 2), "0/2");
}

TEST_F(GridView, EveryPickOfTheCurrentRowRunsTheSelectEventToo)
{
    using Selects = std::vector<std::pair<int, int>>;
    // The grid starts with row 1 selected: a click there still selects it.
    ASSERT_EQ(currentGridRow(), 1);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cellCenter(0, 1));
    EXPECT_EQ(selects, (Selects{{0, 1}}));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cellCenter(0, 1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cellCenter(2, 1));   // another cell of it
    EXPECT_EQ(selects, (Selects{{0, 1}, {0, 1}, {2, 1}}));
    // Moved by the program (as a clear or a delete does), the row the view shows is picked.
    view->grid().setRowCount(3);
    view->grid().selectRow(2);
    selects.clear();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cellCenter(2, 2));
    EXPECT_EQ(selects, (Selects{{2, 2}}));
    // A key that moves within the row, and a double click: one event a press or a move.
    QTest::keyClick(view.get(), Qt::Key_Left);
    EXPECT_EQ(selects.back(), (std::pair<int, int>{1, 2}));
    selects.clear();
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cellCenter(1, 2));
    EXPECT_FALSE(selects.empty());
    EXPECT_EQ(selects.back(), (std::pair<int, int>{1, 2}));
    EXPECT_EQ(view->grid().selectedRow(), 2);
    // Below the last row there is no cell: nothing is selected.
    selects.clear();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, view->viewport()->height() - 3));
    EXPECT_TRUE(selects.empty());
}

TEST_F(GridView, APressOfAnotherButtonLeavesTheSelectionAndIsReported)
{
    view->grid().selectRow(2);
    selects.clear();
    QSignalSpy pressed(view.get(), &StringGridView::mousePressed);
    QSignalSpy released(view.get(), &StringGridView::mouseReleased);
    const QPoint at = cellCenter(1, 4);
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, at);
    QTest::mouseClick(view->viewport(), Qt::MiddleButton, {}, cellCenter(1, 1));
    EXPECT_EQ(view->grid().selectedRow(), 2);
    EXPECT_EQ(currentGridRow(), 2);
    EXPECT_EQ(selectedGridRows(), std::vector<int>{2});
    EXPECT_TRUE(selects.empty());
    ASSERT_EQ(pressed.size(), 2);
    EXPECT_EQ(pressed[0][0].value<Qt::MouseButton>(), Qt::RightButton);
    EXPECT_EQ(pressed[0][1].toPoint(), at);
    EXPECT_EQ(view->gridRowAt(pressed[0][1].toPoint()), 4);
    EXPECT_EQ(released.size(), 2);
    EXPECT_EQ(released[0][0].value<Qt::MouseButton>(), Qt::RightButton);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(pressed.size(), 3);
    EXPECT_EQ(released.size(), 3);
}

TEST_F(GridView, TheViewFollowsTheGridsSelection)
{
    StringGrid& g = view->grid();
    g.selectRow(4);
    EXPECT_EQ(selectedGridRows(), std::vector<int>{4});
    EXPECT_EQ(currentGridRow(), 4);
    g.selectRow(4);   // the current row again: the event runs, the view stays
    EXPECT_EQ(selects.size(), 2u);
    EXPECT_EQ(selectedGridRows(), std::vector<int>{4});
    g.setRowCount(3);   // the selected row is gone: the last row is selected, no event
    EXPECT_EQ(view->model()->rowCount(), 2);
    EXPECT_EQ(g.selectedRow(), 2);
    EXPECT_EQ(selectedGridRows(), std::vector<int>{2});
    EXPECT_EQ(selects.size(), 2u);
    g.setRowCount(1);
    EXPECT_EQ(view->model()->rowCount(), 0);
    EXPECT_TRUE(selectedGridRows().empty());
    g.setRowCount(6);
    EXPECT_EQ(view->model()->rowCount(), 5);
    EXPECT_EQ(selectedGridRows(), std::vector<int>{1});
    EXPECT_EQ(view->model()->data(view->model()->index(4, 0)).toString(), QString());
    EXPECT_EQ(selects.size(), 2u);
}

TEST_F(GridView, ChangedCellsAndColumnsReachTheView)
{
    QAbstractItemModel* m = view->model();
    QSignalSpy data(m, &QAbstractItemModel::dataChanged);
    QSignalSpy header(m, &QAbstractItemModel::headerDataChanged);
    StringGrid& g = view->grid();
    g.setCell(1, 2, "\xB3\xF3\x9F");
    g.setCell(2, 0, "Unit ");
    g.setCell(7, 2, "outside");
    ASSERT_EQ(data.size(), 1);
    EXPECT_EQ(data[0][0].toModelIndex(), m->index(1, 1));
    EXPECT_EQ(m->data(m->index(1, 1)).toString(), QString::fromUtf8("łóź"));
    ASSERT_EQ(header.size(), 1);
    EXPECT_EQ(m->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Unit "));
    g.setColCount(5);
    EXPECT_EQ(m->columnCount(), 5);
    EXPECT_EQ(view->horizontalHeader()->count(), 5);
    g.setCell(4, 1, "new");
    EXPECT_EQ(m->data(m->index(0, 4)).toString(), QStringLiteral("new"));
    g.setColCount(2);
    EXPECT_EQ(m->columnCount(), 2);
    EXPECT_EQ(view->horizontalHeader()->count(), 2);
}

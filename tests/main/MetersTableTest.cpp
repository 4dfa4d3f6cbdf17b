// The meters table: its columns, the selected meter, the context menu, clearing and deleting.
#include "BusAppFixture.h"
#include "StringGridView.h"
#include "TForm11.h"
#include "TSettings.h"
#include "TelegramBuilder.h"
#include "WaitUntil.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <vector>

namespace {

using Row = std::vector<std::string>;   // ID, address, manufacturer, value

class MetersTable : public BusAppFixture {
protected:
    TForm11& f() { return form11(); }
    StringGrid& grid() { return form11().Grid_vantrel->grid(); }

    // The meters in rows 1.., then the empty row.
    void setRows(const std::vector<Row>& rows)
    {
        grid().setRowCount(static_cast<int>(rows.size()) + 2);
        for (std::size_t r = 0; r < rows.size(); ++r)
            for (std::size_t c = 0; c < rows[r].size(); ++c)
                grid().setCell(static_cast<int>(c), static_cast<int>(r) + 1, rows[r][c]);
    }
    std::string addresses()
    {
        std::string text;
        for (int r = 1; r < grid().RowCount(); ++r)
            text += grid().cell(1, r) + ",";
        return text;
    }
    std::string labels()
    {
        return f().Label_id->text().toStdString() + " " + f().Label_addr->text().toStdString();
    }
    // The enabled items of the context menu as it opens, by name.
    std::string enabledItems()
    {
        f().ContextMenuMbusPopup();
        std::string names;
        for (QAction* a : f().ContextMenuMbus->actions())
            if (a->isEnabled())
                names += a->objectName().toStdString() + " ";
        return names;
    }
    // Loads the meters table from a CSV file of ID and address lines.
    void load(const std::vector<Row>& rows)
    {
        const std::string path = folder() + "/meters.csv";
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (const Row& r : rows)
            out << r[0] << ";" << r[1] << ";\r\n";
        out.close();
        prompts.queueOpenFile(path);
        f().Butt_load_data->click();
    }
    // A left click on a data row of the table, as the user makes it.
    void clickRow(int row)
    {
        StringGridView* view = f().Grid_vantrel;
        const QPoint at = view->visualRect(view->model()->index(row - 1, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    }
    std::string selection() { return f().CurId + "/" + f().CurAddr + " " + labels(); }
};

TEST_F(MetersTable, ColumnsFollowTheTitlesAndTheSecondMainValue)
{
    startProgram(0, "[Titles]\r\nCount=2\r\nTitle1=Volume\r\nTitle2=Flow\r\nSecMain=Stored\r\n");
    EXPECT_EQ(gridRow(0), " ID |Addr. |Mfr. |Value |Unit |Medium |Time |Date |Status |Model |Volume|Flow");
    EXPECT_EQ(grid().RowCount(), 2);

    writeIni("[Misc]\r\nSMain=1\r\n[Titles]\r\nCount=1\r\nTitle1=Volume\r\nSecMain=Stored\r\n");
    start();
    EXPECT_EQ(gridRow(0), " ID |Addr. |Mfr. |Value |Stored|Unit |Medium |Time |Date |Status |Model |Volume");
}

TEST_F(MetersTable, SelectingARowSetsTheSelectedMeterItsLabelsAndRelayValue)
{
    startProgram(0);
    EXPECT_EQ(labels(), "ID: Addr.:");
    setRows({{"12345678", "5", "EMH", "12.5"}, {"87654321", "", "EMH", "3"}, {"1234567890", "7", "EMH", "abc"}});

    ASSERT_TRUE(grid().selectRow(1));
    EXPECT_EQ(f().MeterSelRow, 1);
    EXPECT_EQ(f().CurAddr, "5");
    EXPECT_EQ(labels(), "ID:12345678 Addr.:5");
    EXPECT_EQ(f().Edit_liter_rel->text(), "12500");
    EXPECT_FALSE(f().Edit_liter_rel->isVisibleTo(&f()));

    // No address: no meter is selected, and the relay value stays.
    grid().selectRow(2);
    EXPECT_EQ(f().CurAddr, "256");
    EXPECT_EQ(labels(), "ID:87654321 Addr.:");
    EXPECT_EQ(f().Edit_liter_rel->text(), "12500");

    grid().selectRow(3);
    EXPECT_EQ(f().CurId, "12345678");
    EXPECT_EQ(f().Edit_liter_rel->text(), "0");
}

TEST_F(MetersTable, AClickOnTheHighlightedRowSelectsItsMeter)
{
    startProgram(0);
    // At start and after a load the table highlights row 1.
    load({{"00000005", "5"}, {"00000007", "7"}, {"00000009", "9"}});
    ASSERT_EQ(grid().selectedRow(), 1);
    ASSERT_EQ(f().CurAddr, "256");
    clickRow(1);
    EXPECT_EQ(selection(), "00000005/5 ID:00000005 Addr.:5");

    // Clear table and a load move the highlight back to row 1, the target stays the old one.
    clickRow(2);
    EXPECT_EQ(selection(), "00000007/7 ID:00000007 Addr.:7");
    f().Butt_clear_grid->click();
    load({{"00000011", "11"}, {"00000012", "12"}});
    ASSERT_EQ(grid().selectedRow(), 1);
    ASSERT_EQ(f().CurAddr, "7");
    clickRow(1);
    EXPECT_EQ(selection(), "00000011/11 ID:00000011 Addr.:11");

    // After a delete the highlighted row shows the next meter.
    load({{"00000005", "5"}, {"00000007", "7"}, {"00000009", "9"}});
    clickRow(2);
    f().Deleteselectedrow1->trigger();
    ASSERT_EQ(grid().selectedRow(), 2);
    ASSERT_EQ(grid().cell(1, 2), "9");
    ASSERT_EQ(f().CurAddr, "7");
    clickRow(2);
    EXPECT_EQ(selection(), "00000009/9 ID:00000009 Addr.:9");
}

TEST_F(MetersTable, TheSelectionFollowsTheCurrentDevice)
{
    startProgram(0);
    setRows({{"A", "5"}, {"B", "7"}, {"C", "5"}, {"D", "0"}, {"E", "0"}});
    TForm11& form = f();

    form.CurId = "X";
    form.CurAddr = "5";
    form.ShowCurrentDevice();
    EXPECT_EQ(grid().selectedRow(), 3);
    EXPECT_EQ(form.CurId, "C");
    // The row is current already: its selection steps run all the same.
    form.MeterSelRow = 0;
    form.CurId = "X";
    form.ShowCurrentDevice();
    EXPECT_EQ(form.MeterSelRow, 3);
    EXPECT_EQ(form.CurId, "C");

    // Two meters at address 0 after reads by ID: the one of the ID, not the last.
    form.CurId = "D";
    form.CurAddr = "0";
    form.ShowCurrentDevice();
    EXPECT_EQ(grid().selectedRow(), 4);

    // An address no row holds: the labels show it, the selection stays.
    form.CurAddr = "9";
    form.ShowCurrentDevice();
    EXPECT_EQ(grid().selectedRow(), 4);
    EXPECT_EQ(form.MeterSelRow, 4);
    EXPECT_EQ(labels(), "ID:D Addr.:9");
}

TEST_F(MetersTable, DeleteRemovesOnlyAMetersRow)
{
    startProgram(0);
    const struct {
        std::vector<Row> meters;
        int selRow;
        bool trailingRow;   // the table ends with its empty row
        const char* after;  // addresses of rows 1..
    } cases[] = {
        {{{"A", "5"}}, 1, false, ","},           // the two-row table: row 1 emptied, kept
        {{{"A", "5"}, {"B", "6"}, {"C", "7"}}, 2, true, "5,7,,"},
        {{{"A", "5"}, {"B", "6"}}, 1, true, "6,,"},
        {{{"A", "5"}, {"B", "6"}}, 3, true, "5,6,,"},  // the empty row
        {{{"A", "5"}, {"B", "6"}}, 0, true, "5,6,,"},  // none selected since start
        {{{"A", "5"}, {"B", "6"}}, 9, true, "5,6,,"},  // left beyond the table by a clear
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.after);
        setRows(c.meters);
        if (!c.trailingRow)
            grid().setRowCount(static_cast<int>(c.meters.size()) + 1);
        f().MeterSelRow = c.selRow;
        f().CurAddr = "5";
        f().Deleteselectedrow1->trigger();
        EXPECT_EQ(addresses(), c.after);
        EXPECT_EQ(grid().cell(0, 0), " ID ");
        EXPECT_EQ(f().MeterSelRow, c.selRow);
        EXPECT_EQ(f().CurAddr, "5");
    }
}

TEST_F(MetersTable, ClearLeavesTheHeaderTheSelectionAndItsLabels)
{
    startProgram(0);
    setRows({{"A", "5"}, {"B", "6"}, {"C", "7"}});
    grid().selectRow(2);
    f().Butt_clear_grid->click();
    EXPECT_EQ(grid().RowCount(), 2);
    EXPECT_EQ(gridRow(1), "|||||||||");
    EXPECT_EQ(grid().cell(1, 0), "Addr. ");
    EXPECT_EQ(f().CurAddr, "6");
    EXPECT_EQ(f().MeterSelRow, 2);
    EXPECT_EQ(labels(), "ID:B Addr.:6");
}

TEST_F(MetersTable, ARightClickOpensTheMenuAndLeavesTheSelection)
{
    startProgram(0);
    setRows({{"A", "5"}, {"B", "6"}});
    grid().selectRow(1);
    TForm11& form = f();
    QWidget* viewport = form.Grid_vantrel->viewport();
    const QPoint row2(20, form.Grid_vantrel->rowViewportPosition(1) + 5);

    bool opened = false;
    std::string items;
    QTimer::singleShot(0, [&] {
        opened = QApplication::activePopupWidget() == form.ContextMenuMbus;
        for (QAction* a : form.ContextMenuMbus->actions())
            items += a->isEnabled() ? "+" : "-";
        form.ContextMenuMbus->close();
    });
    QTest::mouseClick(viewport, Qt::RightButton, {}, row2);
    EXPECT_TRUE(opened);
    // Read selected, Read All, Read Full, the three Set items, Reset, Clear, Save, Delete.
    EXPECT_EQ(items, "++++++++++");
    EXPECT_EQ(grid().selectedRow(), 1);
    EXPECT_EQ(form.CurAddr, "5");

    QTest::mouseClick(viewport, Qt::LeftButton, {}, row2);
    EXPECT_EQ(form.CurAddr, "6");
}

TEST_F(MetersTable, ItemsFollowTheirButtonsDuringRunsAndWithHiddenGroups)
{
    bus->addMeter(SimMeter(5, "00000005", "EMH", 1, 0x04, hexBytes("0C 06 27 04 00 00")));
    startProgram(0);
    TForm11& form = f();
    setRows({{"00000005", "5"}});
    grid().selectRow(1);
    const std::string all = "Readselected1 ReadAll1 ReadFull1 SetMedium1 SetUnit1 Setbaud1 Reset1 Cleartable1 "
                            "SaveExport1 Deleteselectedrow1 ";
    EXPECT_EQ(enabledItems(), all);

    // A primary search: no second exchange, no meter command.
    prompts.queueAnswer(Prompts::Answer::No);
    form.Butt_find_primaryClick();
    ASSERT_TRUE(form.SearchActive);
    EXPECT_EQ(enabledItems(), "Cleartable1 SaveExport1 Deleteselectedrow1 ");
    form.ReadFull1->trigger();
    EXPECT_FALSE(form.Link.FullReportMode);
    form.Butt_find_primaryClick();   // Stop
    EXPECT_EQ(enabledItems(), all);

    // Reading every meter.
    form.Butt_readallClick();
    ASSERT_TRUE(form.Timer_readall->isActive());
    EXPECT_EQ(enabledItems(), "ReadAll1 Cleartable1 SaveExport1 Deleteselectedrow1 ");
    form.Timer_readall->stop();
    form.ReadAllRow = grid().RowCount();
    form.Timer_readallTimer();   // the last position: the run ends
    ASSERT_FALSE(form.Timer_readall->isActive());

    // An account without the devices right: the configuration groups are hidden.
    form.Butt_clear_grid->click();
    form.Butt_readallClick();   // an empty table: nothing to read
    EXPECT_FALSE(form.Timer_readall->isActive());
    setRows({{"00000005", "5"}});
    form.Group_ops->hide();
    EXPECT_EQ(enabledItems(),
              "Readselected1 ReadAll1 ReadFull1 SetMedium1 SetUnit1 Setbaud1 Cleartable1 SaveExport1 Deleteselectedrow1 ");
}

TEST_F(MetersTable, EachItemRunsItsButtonsCommand)
{
    bus->addMeter(SimMeter(5, "00000005", "EMH", 1, 0x04, hexBytes("0C 06 27 04 00 00")));
    startProgram(0);
    TForm11& form = f();
    for (QTimer* t : {form.Timer_respond, form.Timer_readall})
        t->setInterval(3600 * 1000);   // ticked by hand
    setRows({{"00000005", "5", "EMH", "1"}, {"00000007", "7"}});
    clickRow(1);

    // Read selected: the selected meter's request, and its reply fills its row.
    form.Readselected1->trigger();
    ASSERT_TRUE(waitBus(1, 1));
    EXPECT_EQ(frameNames(), std::vector<std::string>({"REQ 5"}));
    ASSERT_TRUE(form.Timer_respond->isActive());
    const std::size_t telegram = bus->log().back().bytes.size();
    ASSERT_TRUE(waitUntil([&] { return form.Comm1.InQueCount() >= static_cast<int>(telegram); }));
    form.Timer_respondTimer();
    EXPECT_EQ(grid().cell(3, 1), "427.000");
    EXPECT_FALSE(form.Timer_respond->isActive() || form.PortOpen);

    // Read All: the run over the rows starts with row 1's request.
    form.ReadAll1->trigger();
    ASSERT_TRUE(waitBus(2, 2));
    EXPECT_EQ(frameNames(), std::vector<std::string>({"REQ 5", "REQ 5"}));
    EXPECT_TRUE(form.Timer_readall->isActive());
    EXPECT_FALSE(form.Butt_readonce->isEnabled());
    form.Timer_readall->stop();
    form.ReadAllRow = grid().RowCount();
    form.Timer_readallTimer();   // the last position: the run ends
    ASSERT_TRUE(form.Butt_readonce->isEnabled());

    // Save/Export: the table's export dialog and file.
    prompts.queueSaveFile(folder() + "/table");
    form.SaveExport1->trigger();
    ASSERT_EQ(prompts.dialogs.size(), 1u);
    EXPECT_EQ(prompts.dialogs[0].args.fileName, "meters_data.csv");
    std::ifstream saved(folder() + "/table.csv", std::ios::binary);
    std::string first;
    std::getline(saved, first);
    EXPECT_EQ(first.substr(0, 12), " ID ;Addr. ;");

    // The meter commands' items click their buttons (no meter selected: each runs and sends
    // nothing).
    form.CurAddr = "256";
    const std::pair<QAction*, QPushButton*> commands[] = {{form.SetMedium1, form.Butt_set_medium},
                                                           {form.SetUnit1, form.Butt_set_unit},
                                                           {form.Setbaud1, form.Butt_set_baud},
                                                           {form.Reset1, form.Butt_reset}};
    for (const auto& [item, button] : commands) {
        int clicks = 0;
        const auto connection = QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
        item->trigger();
        EXPECT_EQ(clicks, 1) << item->objectName().toStdString();
        QObject::disconnect(connection);
    }
    clickRow(1);

    // Clear table: as its button, the header and the selection stay.
    form.Cleartable1->trigger();
    EXPECT_EQ(grid().RowCount(), 2);
    EXPECT_EQ(grid().cell(1, 1), "");
    EXPECT_EQ(grid().cell(1, 0), "Addr. ");
    EXPECT_EQ(form.CurAddr, "5");
    EXPECT_EQ(frameNames().size(), 2u);
}

} // namespace

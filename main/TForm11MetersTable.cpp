// The meters table Grid_vantrel: its columns, the selected meter, the context menu, clearing
// and deleting rows.
#include "TForm11.h"

#include "Clock.h"
#include "LocaleTime.h"
#include "MainWindowControls.h"
#include "StringGridView.h"
#include "TFormFullMbus.h"
#include "Text8.h"

#include <QAction>
#include <QBoxLayout>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>

#include <exception>

// --- MeterTableOwner: the window as the meter-row update sees it ---

bool MeterTableOwner::SearchActive() const { return form_.SearchActive; }
bool MeterTableOwner::MatchById() const { return form_.MatchById; }
int MeterTableOwner::TitleCount() const { return form_.TitleCount; }
// The columns the table has: between a titles Apply and the next language run the setting
// may already differ.
bool MeterTableOwner::SecMainShown() const { return form_.TableHasSecMain; }

void MeterTableOwner::setCurrentDevice(const std::string& curId, const std::string& curAddr)
{
    form_.CurId = curId.substr(0, SelectionWidth);
    form_.CurAddr = curAddr.substr(0, SelectionWidth);
}

void MeterTableOwner::ShowCurrentDevice() { form_.ShowCurrentDevice(); }

void MeterTableOwner::addReportLine(const std::string& line)
{
    if (form_.FormFullMbus)
        form_.FormFullMbus->report().add(line);
}

void MeterTableOwner::showReport()
{
    if (form_.FormFullMbus)
        form_.FormFullMbus->show();
}

void MeterTableOwner::clearFullReportMode() { form_.Link.FullReportMode = false; }

DecodedAt MeterTableOwner::decodedAt()
{
    const LocalDateTime now = form_.clock_.now();
    return {LongTimeText(now), ShortDateText(now)};
}

// --- building ---

void TForm11::buildMetersTable(QBoxLayout* page)
{
    auto* table = new QVBoxLayout;
    page->addLayout(table, 1);

    auto* selection = new QHBoxLayout;
    Label_id = label(TabSheet1, "Label_id", "ID:");
    Label_addr = label(TabSheet1, "Label_addr", "Addr.:");
    Label_id->setMinimumWidth(120);
    selection->addWidget(Label_id);
    selection->addWidget(Label_addr);
    selection->addStretch(1);
    table->addLayout(selection);

    Grid_vantrel = new StringGridView(10, 2, TabSheet1);
    Grid_vantrel->setObjectName("Grid_vantrel");
    table->addWidget(Grid_vantrel, 1);
    Grid_vantrel->grid().setSelectListener([this](int col, int row) {
        try {
            Grid_vantrelSelectCell(col, row);
        } catch (const std::exception& e) {
            Log.add(e.what());
        }
    });
    connect(Grid_vantrel, &StringGridView::mousePressed, this, &TForm11::Grid_vantrelMouseDown);
    connect(Grid_vantrel, &StringGridView::mouseReleased, this, &TForm11::Grid_vantrelMouseUp);

    auto* reading = new QHBoxLayout;
    Butt_readonce = button(TabSheet1, "Butt_readonce", "Read selected");
    Butt_readall = button(TabSheet1, "Butt_readall", "Read all meters");
    Butt_clear_grid = button(TabSheet1, "Butt_clear_grid", "Clear table");
    Check_broadcast = new QCheckBox("work on broadcast (0xFE)", TabSheet1);
    Check_broadcast->setObjectName("Check_broadcast");
    Check_nke = new QCheckBox("Send NKE first", TabSheet1);
    Check_nke->setObjectName("Check_nke");
    BitBtn21 = button(TabSheet1, "BitBtn21", "Auto address");
    for (QWidget* w : {static_cast<QWidget*>(Butt_readonce), static_cast<QWidget*>(Butt_readall),
                       static_cast<QWidget*>(Butt_clear_grid), static_cast<QWidget*>(BitBtn21)})
        reading->addWidget(w);
    reading->addWidget(buildAutoPrimary(TabSheet1));
    reading->addStretch(1);
    table->addLayout(reading);

    // The table on file, then the frame options: two rows leave room for every language.
    auto* files = new QHBoxLayout;
    Butt_load_data = button(TabSheet1, "Butt_load_data", "Load");
    Butt_save_data = button(TabSheet1, "Butt_save_data", "Save / Export");
    files->addWidget(Butt_load_data);
    files->addWidget(Butt_save_data);
    files->addWidget(Check_broadcast);
    files->addWidget(Check_nke);
    files->addStretch(1);
    table->addLayout(files);

    // The runs of every page move it, so it sits in the status bar (placed with the status
    // panel), where it shows whichever page is open.
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();
    progress_ = std::make_unique<ProgressSteps>(*ProgressBar1);
    progress_->setup(0, 100, 0);

    Edit_liter_rel = new QLineEdit(TabSheet1);
    Edit_liter_rel->setObjectName("Edit_liter_rel");
    Edit_liter_rel->hide();

    connectClicked(Butt_readonce, &TForm11::Butt_readonceClick);
    connectClicked(Butt_readall, &TForm11::Butt_readallClick);
    connectClicked(Butt_clear_grid, &TForm11::Butt_clear_gridClick);
    buildContextMenu();
}

void TForm11::buildMeterOperations(QBoxLayout* side)
{
    // The search group's second row: the primary search, then the searches by secondary address.
    auto* search = static_cast<QGridLayout*>(Group_search->layout());
    Butt_find_primary = button(Group_search, "Butt_find_primary", "Find");
    search->addWidget(Butt_find_primary, 0, 3);
    Label7 = label(Group_search, "Label7", "By Secondary address: ");
    Butt_find_id = button(Group_search, "Butt_find_id", "Find");
    Butt_find_all = button(Group_search, "Butt_find_all", "Find all");
    connectClicked(Butt_find_primary, &TForm11::Butt_find_primaryClick);

    Group_ops = new QGroupBox("   Basic Config.   ", TabSheet1);
    Group_ops->setObjectName("Group_ops");
    auto* ops = new QGridLayout(Group_ops);
    Butt_reset = button(Group_ops, "Butt_reset", "Reset Status");
    ops->addWidget(Butt_reset, 0, 0);
    side->addWidget(Group_ops);

    Group_advanced = new QGroupBox("   Advanced Config.   ", TabSheet1);
    Group_advanced->setObjectName("Group_advanced");
    auto* advanced = new QGridLayout(Group_advanced);
    Label13 = label(Group_advanced, "Label13", "Set new baud to:");
    Butt_set_baud = button(Group_advanced, "Butt_set_baud", "Set");
    Label34 = label(Group_advanced, "Label34", "Set Medium to:");
    Butt_set_medium = button(Group_advanced, "Butt_set_medium", "Set");
    Label35 = label(Group_advanced, "Label35", "Set Unit to:");
    Butt_set_unit = button(Group_advanced, "Butt_set_unit", "Set");
    advanced->addWidget(Label13, 0, 0);
    advanced->addWidget(Butt_set_baud, 0, 3);
    advanced->addWidget(Label34, 1, 0);
    advanced->addWidget(Butt_set_medium, 1, 3);
    advanced->addWidget(Label35, 2, 0);
    advanced->addWidget(Butt_set_unit, 2, 3);
    side->addWidget(Group_advanced);

    buildSecondaryControls(search);
    buildCommandControls(ops, advanced);
}

QPushButton* TForm11::buildCommandSend(QWidget* parent)
{
    Butt_command_send = button(parent, "Butt_command_send", "Send");
    return Butt_command_send;
}

void TForm11::buildContextMenu()
{
    ContextMenuMbus = new QMenu(this);
    ContextMenuMbus->setObjectName("ContextMenuMbus");
    const auto item = [this](const char* name, const char* text, std::function<void()> action) {
        QAction* a = ContextMenuMbus->addAction(text);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [this, action = std::move(action)] {
            try {
                action();
            } catch (const std::exception& e) {
                Log.add(e.what());
            }
        });
        return a;
    };
    // Each item does what its button does, and only while that button can be used.
    const auto asButton = [this](std::function<QPushButton*()> which) {
        return [this, which = std::move(which)] {
            QPushButton* b = which();
            if (itemAllowed(b))
                b->click();
        };
    };
    Readselected1 = item("Readselected1", "Read selected", asButton([this] { return Butt_readonce; }));
    ReadAll1 = item("ReadAll1", "Read All", asButton([this] { return Butt_readall; }));
    ReadFull1 = item("ReadFull1", "Read Full", [this] { ReadFull1Click(); });
    SetMedium1 = item("SetMedium1", "Set Medium", asButton([this] { return Butt_set_medium; }));
    SetUnit1 = item("SetUnit1", "Set Unit", asButton([this] { return Butt_set_unit; }));
    Setbaud1 = item("Setbaud1", "Set baud", asButton([this] { return Butt_set_baud; }));
    Reset1 = item("Reset1", "Reset", asButton([this] { return Butt_reset; }));
    Cleartable1 = item("Cleartable1", "Clear table", asButton([this] { return Butt_clear_grid; }));
    SaveExport1 = item("SaveExport1", "Save/Export", asButton([this] { return Butt_save_data; }));
    Deleteselectedrow1 = item("Deleteselectedrow1", "Delete selected row", [this] { Deleteselectedrow1Click(); });
    connect(ContextMenuMbus, &QMenu::aboutToShow, this, [this] {
        try {
            ContextMenuMbusPopup();
        } catch (const std::exception& e) {
            Log.add(e.what());
        }
    });
}

bool TForm11::itemAllowed(const QWidget* button) const
{
    return button && button->isEnabled() && button->isVisibleTo(this);
}

void TForm11::setRunEnabled(std::initializer_list<QWidget*> controls, bool enabled)
{
    for (QWidget* w : controls)
        w->setEnabled(enabled);
}

// --- selection ---

void TForm11::showSelectionLabels()
{
    Label_id->setText(Text8::toUnicode("ID:" + CurId));
    Label_addr->setText(Text8::toUnicode(CurAddr == "256" ? std::string("Addr.:") : "Addr.:" + CurAddr));
}

char TForm11::decimalSeparator() const
{
    const QString point = QLocale().decimalPoint();
    return point.size() == 1 && point[0].unicode() < 0x80 ? static_cast<char>(point[0].unicode()) : '.';
}

void TForm11::Grid_vantrelSelectCell(int /*col*/, int row)
{
    const StringGrid& grid = Grid_vantrel->grid();
    MeterSelRow = row;
    if (row != 0) {
        CurId = grid.cell(0, row).substr(0, SelectionWidth);
        CurAddr = grid.cell(1, row).substr(0, SelectionWidth);
    }
    if (CurAddr.empty())
        CurAddr = "256";
    showSelectionLabels();
    if (CurAddr != "256")
        Edit_liter_rel->setText(Text8::toUnicode(RelayValueText(grid.cell(3, row), decimalSeparator())));
}

void TForm11::ShowCurrentDevice()
{
    if (CurAddr.empty())
        CurAddr = "256";
    showSelectionLabels();
    // The grid runs the selection event also for the row that is already selected.
    if (const int row = CurrentDeviceRow(Grid_vantrel->grid(), CurId, CurAddr))
        Grid_vantrel->grid().selectRow(row);
}

// --- context menu ---

void TForm11::Grid_vantrelMouseDown(Qt::MouseButton button, const QPoint& /*pos*/, const QPoint& globalPos)
{
    Grid_vantrel->viewport()->update();
    if (button != Qt::RightButton)
        return;
    raise();
    activateWindow();
    ContextMenuMbus->exec(globalPos);
}

void TForm11::Grid_vantrelMouseUp(Qt::MouseButton, const QPoint&, const QPoint&)
{
    Grid_vantrel->viewport()->update();
}

void TForm11::ContextMenuMbusPopup()
{
    Readselected1->setEnabled(itemAllowed(Butt_readonce));
    ReadFull1->setEnabled(itemAllowed(Butt_readonce));
    ReadAll1->setEnabled(itemAllowed(Butt_readall));
    SetMedium1->setEnabled(itemAllowed(Butt_set_medium));
    SetUnit1->setEnabled(itemAllowed(Butt_set_unit));
    Setbaud1->setEnabled(itemAllowed(Butt_set_baud));
    Reset1->setEnabled(itemAllowed(Butt_reset));
    Cleartable1->setEnabled(itemAllowed(Butt_clear_grid));
    SaveExport1->setEnabled(itemAllowed(Butt_save_data));
    Deleteselectedrow1->setEnabled(true);
}

void TForm11::ReadFull1Click()
{
    if (!itemAllowed(Butt_readonce))
        return;
    Link.FullReportMode = true;
    // A read that sends nothing must not leave the next reply of another run to the report.
    if (!readSelected())
        Link.FullReportMode = false;
}

// --- clearing and deleting ---

void TForm11::Butt_clear_gridClick()
{
    StringGrid& grid = Grid_vantrel->grid();
    for (int row = 1; row < grid.RowCount(); ++row)
        grid.clearRow(row);
    grid.setRowCount(2);
}

void TForm11::Deleteselectedrow1Click()
{
    StringGrid& grid = Grid_vantrel->grid();
    try {
        if (grid.RowCount() == 2) {
            grid.clearRow(1);
            return;
        }
        // Only a meter's row: never the header, the trailing empty row or a row past the end.
        if (MeterSelRow < 1 || MeterSelRow > grid.RowCount() - 2)
            return;
        for (int row = MeterSelRow; row < grid.RowCount(); ++row)
            for (int col = 0; col < grid.ColCount(); ++col)
                grid.setCell(col, row, grid.cell(col, row + 1));
        grid.setRowCount(grid.RowCount() - 1);
    } catch (const std::exception& e) {
        Log.add(std::string("Exception deleting row - ") + e.what());
    }
}

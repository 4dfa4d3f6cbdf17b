// The display page: its table Grid_pexor with the row ticks, the key filter of the cell
// editor, filling from the meters table, rows, and the table's CSV files.
#include "TForm11.h"

#include "DisplayRows.h"
#include "GridCsvFile.h"
#include "InsertionLimit.h"
#include "LogView.h"
#include "MainWindowControls.h"
#include "Prompts.h"
#include "StringGridView.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <exception>
#include <optional>

namespace {

constexpr int PexorWidths[PexorColumns] = {73, 44, 44, 71, 69, 72, 76, 64, 62, 167, 64, 64, 64, 86};
const char* const PexorHeaders[PexorColumns] = {" ID ",       "Addr. ",      "Unit ",         "Start Main",
                                                "Start P1, m3", "Start P2, m3", "Start Cooling", "Mult/Div ",
                                                "User numb. ", "Free text ",   "Total ",        "Total P1",
                                                "Total P2",    "Total T4/Cool"};
const char* const FullTableLine = "Display table full (250 rows), the rest is left out...";

// What the cell editor of a column lets the user insert (empty: everything).
QString allowedIn(int column)
{
    switch (column) {
    case 0:
    case 1:
    case 8:
        return QStringLiteral("0123456789");
    case 3:
    case 4:
    case 5:
    case 6:
        return QStringLiteral("0123456789.,");
    case 7:
        return QStringLiteral("0123456789/");
    default:
        return {};
    }
}

} // namespace

void TForm11::buildDisplayPage()
{
    auto* page = new QVBoxLayout(TabSheet3);
    Grid_pexor = new StringGridView(PexorColumns, 2, TabSheet3);
    Grid_pexor->setObjectName("Grid_pexor");
    Grid_pexor->setEditable(true);
    Grid_pexor->setSelectionMode(QAbstractItemView::ContiguousSelection);
    // Column 0 holds the row's tick left of the ID: wider by the box and the margins the item
    // keeps on either side of it, so that an eight-digit ID still fits.
    const QStyle* style = Grid_pexor->style();
    const int tickWidth = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, Grid_pexor)
                        + 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, Grid_pexor) + 1);
    for (int c = 0; c < PexorColumns; ++c) {
        Grid_pexor->grid().setCell(c, 0, PexorHeaders[c]);
        Grid_pexor->setColumnWidth(c, PexorWidths[c] + (c == 0 ? tickWidth : 0));
    }
    Grid_pexor->gridModel().setTickColumn(
        0, [this](int row) { return pexorRowTicked(row); },
        [this](int row, bool ticked) {
            if (row >= 1 && row <= MaxDataRows)
                RowChecked[static_cast<std::size_t>(row)] = ticked;
        });
    Grid_pexor->setEditorSetup([](QLineEdit* editor, int col, int /*row*/) {
        // Only what the user inserts is judged, never the cell's text.
        InsertionLimit::attach(editor, 0, allowedIn(col));
    });
    Grid_pexor->grid().setSelectListener([this](int col, int row) { Grid_pexorSelectCell(col, row); });
    page->addWidget(Grid_pexor, 1);

    auto* lower = new QHBoxLayout;
    page->addLayout(lower);
    auto* rows = new QVBoxLayout;
    lower->addLayout(rows, 1);

    auto* table = new QHBoxLayout;
    BitBtn1 = button(TabSheet3, "BitBtn1", "Get data from m-bus devices");
    BitBtn2 = button(TabSheet3, "BitBtn2", "Import");
    BitBtn10 = button(TabSheet3, "BitBtn10", "Export");
    BitBtn3 = button(TabSheet3, "BitBtn3", "Add row");
    BitBtn4 = button(TabSheet3, "BitBtn4", "Delete row");
    BitBtn8 = button(TabSheet3, "BitBtn8", "Select all");
    BitBtn9 = button(TabSheet3, "BitBtn9", "Deselect all");
    Butt_pexor_cleartable = button(TabSheet3, "Butt_pexor_cleartable", "Clear table");
    // Short rows, so that the page fits the window in every language: the table and its
    // files, then the ticks with the sorting, the write, delete and zero runs, the reads, the
    // display's clock and refresh time.
    for (QPushButton* b : {BitBtn1, BitBtn2, BitBtn10, BitBtn3, BitBtn4})
        table->addWidget(b);
    table->addStretch(1);
    rows->addLayout(table);
    auto* ticks = new QHBoxLayout;
    for (QPushButton* b : {BitBtn8, BitBtn9, Butt_pexor_cleartable})
        ticks->addWidget(b);
    rows->addLayout(ticks);
    buildDisplayWrite(rows);
    buildDisplayCommands(rows);
    // The sort buttons close the row of the ticks.
    ticks->addWidget(BitBtn15);
    ticks->addWidget(BitBtn16);
    ticks->addStretch(1);

    GroupBox3 = new QGroupBox("   General info   ", TabSheet3);
    GroupBox3->setObjectName("GroupBox3");
    auto* info = new QHBoxLayout(GroupBox3);
    Butt_pexor_info = button(GroupBox3, "Butt_pexor_info", "Get info");
    Memo_info = new LogView(Info, GroupBox3);
    Memo_info->setObjectName("Memo_info");
    Memo_info->setMinimumWidth(260);
    Memo_info->setMaximumHeight(84);
    info->addWidget(Butt_pexor_info, 0, Qt::AlignTop);
    info->addWidget(Memo_info);
    lower->addWidget(GroupBox3);

    connectClicked(BitBtn1, &TForm11::BitBtn1Click);
    connectClicked(BitBtn2, &TForm11::BitBtn2Click);
    connectClicked(BitBtn10, &TForm11::BitBtn10Click);
    connectClicked(BitBtn3, &TForm11::BitBtn3Click);
    connectClicked(BitBtn4, &TForm11::BitBtn4Click);
    connectClicked(BitBtn8, &TForm11::BitBtn8Click);
    connectClicked(BitBtn9, &TForm11::BitBtn9Click);
    connectClicked(Butt_pexor_cleartable, &TForm11::Butt_pexor_cleartableClick);
    connectClicked(Butt_pexor_info, &TForm11::Butt_pexor_infoClick);
    connectClicked(Butt_pexor_read, &TForm11::Butt_pexor_readClick);
    connect(Timer_pexor_info, &QTimer::timeout, this, &TForm11::Timer_pexor_infoTimer);
}

bool TForm11::pexorRowTicked(int row) const
{
    return row >= 1 && row <= MaxDataRows && RowChecked[static_cast<std::size_t>(row)];
}

void TForm11::CheckPexorRow(int row)
{
    if (row < 1 || row > MaxDataRows)
        return;
    RowChecked[static_cast<std::size_t>(row)] = true;
    Grid_pexor->gridModel().tickChanged(row);
}

void TForm11::UncheckPexorRow(int row)
{
    if (row < 1 || row > MaxDataRows)
        return;
    RowChecked[static_cast<std::size_t>(row)] = false;
    Grid_pexor->gridModel().tickChanged(row);
}

void TForm11::Grid_pexorSelectCell(int col, int row)
{
    PexorSelRow = row;
    PexorSelCol = col;
}

void TForm11::Butt_pexor_cleartableClick()
{
    StringGrid& grid = Grid_pexor->grid();
    for (int row = 1; row < grid.RowCount(); ++row) {
        UncheckPexorRow(row);
        grid.clearRow(row);
    }
    grid.setRowCount(2);
}

void TForm11::BitBtn8Click()
{
    for (int row = 1; row < Grid_pexor->grid().RowCount(); ++row)
        CheckPexorRow(row);
}

void TForm11::BitBtn9Click()
{
    for (int row = 1; row < Grid_pexor->grid().RowCount(); ++row)
        UncheckPexorRow(row);
}

void TForm11::BitBtn3Click()
{
    StringGrid& grid = Grid_pexor->grid();
    if (grid.RowCount() > MaxDataRows)
        return;
    grid.setRowCount(grid.RowCount() + 1);
    UncheckPexorRow(grid.RowCount() - 1);
}

void TForm11::BitBtn4Click()
{
    StringGrid& grid = Grid_pexor->grid();
    const int r = PexorSelRow;
    if (r == 0)
        return;
    if (grid.RowCount() == 2) {
        grid.clearRow(1);
        return;
    }
    const int last = grid.RowCount() - 1;
    for (int i = r; i < last; ++i) {
        for (int c = 0; c < grid.ColCount(); ++c)
            grid.setCell(c, i, grid.cell(c, i + 1));
        pexorRowTicked(i + 1) ? CheckPexorRow(i) : UncheckPexorRow(i);
    }
    grid.clearRow(last);
    // The removed row's tick goes with it: a row that comes back later starts unticked.
    UncheckPexorRow(last);
    grid.setRowCount(last);
}

void TForm11::BitBtn1Click()
{
    Butt_pexor_cleartableClick();
    if (FillFromMeters(Grid_vantrel->grid(), TableHasSecMain, decimalSeparator(), Grid_pexor->grid()))
        Log.add(FullTableLine);
}

void TForm11::BitBtn10Click()
{
    ExportGridCsv(Grid_pexor->grid(), "pexorV48_data.csv", Memo_export);
}

void TForm11::BitBtn2Click()
{
    std::optional<std::string> path;
    try {
        Prompts::FileDialog dialog;
        dialog.filter = "CSV (*.csv)";
        dialog.initialFolder = DataDir;
        dialog.fallbackFolder = Paths().folder();
        dialog.mustExist = false;   // a missing file gets the wrong-file box
        path = prompts_.openFile(this, dialog);
    } catch (const std::exception&) {
        path.reset();
    }
    if (path && !path->empty())
        ImportPexorCsv(*path, Memo_export);
}

void TForm11::ImportPexorCsv(const std::string& fileName, std::vector<std::string>& lines)
{
    lines.clear();
    const std::string separator = exportSeparator();
    // The whole file is read and checked first: a wrong file leaves the table as it was.
    CsvImportCheck check = csvCheckImportFile(fileName, separator, CsvDisplayFieldSlots);
    if (check.status == CsvImportStatus::WrongFile) {
        prompts_.message(this, Prompts::Icon::Warning, "File Error",
                         "You chose wrong file for import!\nContact administrator!", Prompts::Buttons::Ok);
        return;
    }
    const char* const tooMany = "You are trying to import too many data!!!\nCorrect csv file and try again!";
    if (check.status == CsvImportStatus::TooManyData) {
        prompts_.message(this, Prompts::Icon::None, "Ferolt", tooMany, Prompts::Buttons::Ok);
        return;
    }
    lines = std::move(check.lines);
    const PexorImport import = PexorImportRows(lines, separator);
    Butt_pexor_cleartableClick();
    StringGrid& grid = Grid_pexor->grid();
    grid.setRowCount(std::max(2, static_cast<int>(import.rows.size()) + 1));
    for (std::size_t k = 0; k < import.rows.size(); ++k)
        for (int c = 0; c < PexorColumns; ++c)
            grid.setCell(c, static_cast<int>(k) + 1, import.rows[k][static_cast<std::size_t>(c)]);
    if (import.tooMany)
        prompts_.message(this, Prompts::Icon::None, "Ferolt", tooMany, Prompts::Buttons::Ok);
}

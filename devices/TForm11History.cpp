// The readings page: the display's monthly history for all months or one, "SET READ", the
// rows, the sort by address or user number, and the CSV export.
#include "ExchangeHold.h"

#include "DisplayCommands.h"
#include "DisplayReplies.h"
#include "DisplayRows.h"
#include "MainWindowControls.h"
#include "StringGridView.h"
#include "Text8.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>

namespace {

constexpr int ReadingsWidths[ReadingsColumns] = {64, 43, 43, 54, 52, 70, 122, 63, 59, 60, 41,
                                                 40, 40, 41, 43, 45, 44, 46, 43, 43, 44, 43};
const char* const ReadingsHeaders[ReadingsColumns] = {
    " ID ", "Addr. ", "Unit ", "Start ", "Mult/Div ", "User numb. ", "Free text ", "Total ",
    "Total P1", "Total P2", "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

void TForm11::buildReadingsPage()
{
    auto* page = new QVBoxLayout(TabSheet4);
    Grid_historical = new StringGridView(ReadingsColumns, 2, TabSheet4);
    Grid_historical->setObjectName("Grid_historical");
    Grid_historical->setEditable(true);
    Grid_historical->setSelectionMode(QAbstractItemView::ContiguousSelection);
    Grid_sort = new StringGridView(ReadingsColumns, 2, TabSheet4);
    Grid_sort->setObjectName("Grid_sort");
    Grid_sort->hide();
    for (int c = 0; c < ReadingsColumns; ++c) {
        Grid_historical->grid().setCell(c, 0, ReadingsHeaders[c]);
        Grid_historical->setColumnWidth(c, ReadingsWidths[c]);
    }
    Grid_historical->grid().setSelectListener([this](int col, int row) { Grid_historicalSelectCell(col, row); });
    page->addWidget(Grid_historical, 1);

    auto* line = new QHBoxLayout;
    Butt_get_historical = button(TabSheet4, "Butt_get_historical", "Get all memory data");
    BitBtn13 = button(TabSheet4, "BitBtn13", "Get only historical values");
    Combo_months = new QComboBox(TabSheet4);
    Combo_months->setObjectName("Combo_months");
    Combo_months->addItems({"ALL", "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov",
                            "Dec"});
    BitBtn17 = button(TabSheet4, "BitBtn17", "Export");
    Butt_add_hist = button(TabSheet4, "Butt_add_hist", "Add row");
    Butt_delete_hist = button(TabSheet4, "Butt_delete_hist", "Delete row");
    Butt_clear_hist = button(TabSheet4, "Butt_clear_hist", "Clear table");
    Butt_sort_hist = button(TabSheet4, "Butt_sort_hist", "Sort table");
    Check_sort_hist_address = new QCheckBox("by address", TabSheet4);
    Check_sort_hist_address->setObjectName("Check_sort_hist_address");
    Check_sort_hist_user = new QCheckBox("by user number", TabSheet4);
    Check_sort_hist_user->setObjectName("Check_sort_hist_user");
    for (QWidget* w : std::initializer_list<QWidget*> {Butt_get_historical, BitBtn13, Combo_months, BitBtn17,
                                                       Butt_add_hist, Butt_delete_hist, Butt_clear_hist,
                                                       Butt_sort_hist, Check_sort_hist_address,
                                                       Check_sort_hist_user})
        line->addWidget(w);
    line->addStretch(1);
    page->addLayout(line);

    connectClicked(Butt_get_historical, &TForm11::Butt_get_historicalClick);
    connectClicked(BitBtn13, &TForm11::BitBtn13Click);
    connectClicked(BitBtn17, &TForm11::BitBtn17Click);
    connectClicked(Butt_add_hist, &TForm11::Butt_add_histClick);
    connectClicked(Butt_delete_hist, &TForm11::Butt_delete_histClick);
    connectClicked(Butt_clear_hist, &TForm11::Butt_clear_histClick);
    connectClicked(Butt_sort_hist, &TForm11::Butt_sort_histClick);
    connect(Check_sort_hist_address, &QCheckBox::toggled, this, [this] { Check_sort_hist_addressClick(); });
    connect(Check_sort_hist_user, &QCheckBox::toggled, this, [this] { Check_sort_hist_userClick(); });
}

// --- the history read ---

void TForm11::Butt_get_historicalClick()
{
    if (refuseWhileBusy())
        return;
    ReadAllMemory = true;
    Combo_months->setCurrentIndex(0);
    Butt_pexor_readClick();
}

void TForm11::BitBtn13Click()
{
    if (refuseWhileBusy())
        return;
    const ExchangeHold hold(*this);
    historyRead();
}

// Inside the hold of its caller: the button, or the table read at its end.
void TForm11::historyRead()
{
    if (!PrepareLink())
        return;
    // What an earlier exchange left in the reply texts (a custom command's answer on the
    // module) is not the first question's answer: it would join it and name its month.
    clearReplyTexts();
    const StringGrid& readings = Grid_historical->grid();
    if (readings.RowCount() == 2 && readings.cell(1, 1).empty()) {
        Log.add("Read main data first or load file...");
        ReleaseLink();
        return;
    }
    const std::string month = Text8::fromUnicode(Combo_months->currentText());
    if (month == "ALL") {
        if (allMonthsRead())
            endHistoryRead();
        return;
    }
    static const char* const englishMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (const char* m : englishMonths)
        if (month == m) {
            oneMonthRead(month);
            return;
        }
    endHistoryRead();
}

void TForm11::endHistoryRead()
{
    BitBtn17->setEnabled(true);
    Butt_get_historical->setEnabled(true);
    progress_->show(false);
    ReleaseLink();
}

// One question on the link the settings choose for the exchange, its reply after the wait.
TForm11::DisplayReply TForm11::askHistory(const std::string& question)
{
    DisplayReply reply;
    const bool gateway = EthernetTicked() || TovekServerTicked();
    const bool module = !gateway && XportTicked();
    const bool serial = !gateway && !XportTicked();
    if ((module && !Link.LanxpConnected) || (serial && !PortOpen)) {
        Log.add("No valid connection set, aborting...");
        endHistoryRead();
        reply.ended = true;
        return reply;
    }
    const bool sent = gateway ? writePexorGateway(question)
                    : module  ? writePexorModule(question)
                              : writePexorSerial(question);
    if (!sent) {
        endHistoryRead();
        reply.ended = true;
        return reply;
    }
    reply.sent = true;
    displayReplyWait();
    reply.text = gateway ? Link.EthReplyText : module ? Link.LanxpReplyText : takeReply();
    reply.first = Log.count();
    if (!reply.text.empty())
        Log.add(reply.text);
    clearReplyTexts();
    return reply;
}

namespace {

const char* const UnrecognizableMonth = "Unrecognizable month value, returned by Pexor...";

void decodeHist(LogModel& log, std::size_t first, const std::string& address, StringGrid& readings)
{
    try {
        if (HistDateUnreadable(log, first)) {
            log.add(UnrecognizableMonth);
            return;
        }
        if (const std::optional<HistCell> cell = DecodeHistValue(log, first, address))
            WriteHistValue(readings, *cell);
    } catch (const std::exception&) {
        log.add("Unexpected error, addr " + address + "...");
    }
}

} // namespace

// False when the read ended early (its end is done).
bool TForm11::allMonthsRead()
{
    StringGrid& readings = Grid_historical->grid();
    BitBtn17->setEnabled(false);
    Butt_get_historical->setEnabled(false);
    const int rows = readings.RowCount();
    progress_->setup(0, 12 * (rows - 1), 0);
    progress_->show(true);
    for (int r = 1; r < rows; ++r) {
        for (int n = 1; n <= 12; ++n) {
            const std::string a = readings.cell(1, r);
            if (!a.empty()) {
                const DisplayReply reply = askHistory(HistQuestion(a, n));
                if (reply.ended)
                    return false;
                if (!reply.text.empty())
                    decodeHist(Log, reply.first, a, readings);
            }
            progress_->advance();
        }
    }
    DropEmptyLastRow(readings);
    return true;
}

void TForm11::oneMonthRead(const std::string& month)
{
    StringGrid& readings = Grid_historical->grid();
    const int chosen = MonthToColumn(month) - 11;
    const int rows = readings.RowCount();
    for (int r = 1; r < rows; ++r) {
        const std::string a = readings.cell(1, r);
        const std::optional<std::int32_t> number = ReadsAsInteger(a);
        if (!number || *number == -1)
            continue;
        const DisplayReply newest = askHistory(HistQuestion(a, 1));
        if (newest.ended)
            return;
        const std::string named = newest.text.empty() ? std::string() : GetHistMonth(Log, newest.first, a);
        if (named.empty()) {
            if (!newest.text.empty() && HistDateUnreadable(Log, newest.first))
                Log.add(UnrecognizableMonth);
            Log.add("No history values saved yet for address " + a);
            continue;
        }
        const int latest = MonthToColumn(named) - 11;
        if (latest == chosen) {
            decodeHist(Log, newest.first, a, readings);
            continue;
        }
        const int slot = chosen > latest ? chosen - latest + 1 : chosen - latest + 13;
        const DisplayReply reply = askHistory(HistQuestion(a, slot));
        if (reply.ended)
            return;
        if (!reply.text.empty())
            decodeHist(Log, reply.first, a, readings);
    }
    endHistoryRead();
}

void TForm11::BitBtn18Click()
{
    if (refuseWhileBusy() || !PrepareLink())
        return;
    if (!sendPexor(UpdateReadingsCommand, PexorSend::Sort)) {
        ReleaseLink();
        return;
    }
    Log.add("Updating readings of Pexor-V48...");
    enableReplyTimer();
}

// --- sort ---

void TForm11::Butt_sort_histClick()
{
    StringGrid& work = Grid_sort->grid();
    for (int r = 1; r < work.RowCount(); ++r)
        work.clearRow(r);
    work.setRowCount(2);
    int keyColumn = 0;
    int highestKey = 0;
    if (Check_sort_hist_address->isChecked()) {
        keyColumn = 1;
        highestKey = MaxDataRows;
    } else if (Check_sort_hist_user->isChecked()) {
        keyColumn = 5;
        highestKey = 9999;
    } else {
        return;
    }
    const StringGrid& readings = Grid_historical->grid();
    const std::vector<int> order = SortedRowOrder(readings, keyColumn, highestKey);
    work.setRowCount(std::max(2, static_cast<int>(order.size()) + 1));
    for (std::size_t i = 0; i < order.size(); ++i)
        for (int c = 0; c < ReadingsColumns; ++c)
            work.setCell(c, static_cast<int>(i) + 1, readings.cell(c, order[i]));
    CopySortToReadings();
}

void TForm11::CopySortToReadings()
{
    const StringGrid& work = Grid_sort->grid();
    StringGrid& readings = Grid_historical->grid();
    for (int r = 1; r < readings.RowCount(); ++r)
        readings.clearRow(r);
    readings.setRowCount(work.RowCount());
    for (int r = 1; r < work.RowCount(); ++r)
        for (int c = 0; c < ReadingsColumns; ++c)
            readings.setCell(c, r, work.cell(c, r));
}

void TForm11::Check_sort_hist_addressClick()
{
    Check_sort_hist_user->setChecked(!Check_sort_hist_address->isChecked());
}

void TForm11::Check_sort_hist_userClick()
{
    Check_sort_hist_address->setChecked(!Check_sort_hist_user->isChecked());
}

// --- rows and the export ---

void TForm11::Grid_historicalSelectCell(int /*col*/, int row)
{
    ReadingsSelRow = row;
}

void TForm11::Butt_add_histClick()
{
    StringGrid& readings = Grid_historical->grid();
    if (readings.RowCount() <= MaxDataRows)
        readings.setRowCount(readings.RowCount() + 1);
}

void TForm11::Butt_delete_histClick()
{
    StringGrid& readings = Grid_historical->grid();
    if (ReadingsSelRow == 0)
        return;
    if (readings.RowCount() == 2) {
        readings.clearRow(1);
        return;
    }
    const int last = readings.RowCount() - 1;
    for (int r = ReadingsSelRow; r < last; ++r)
        for (int c = 0; c < readings.ColCount(); ++c)
            readings.setCell(c, r, readings.cell(c, r + 1));
    readings.clearRow(last);
    readings.setRowCount(last);
}

void TForm11::Butt_clear_histClick()
{
    StringGrid& readings = Grid_historical->grid();
    for (int r = 1; r < readings.RowCount(); ++r)
        readings.clearRow(r);
    readings.setRowCount(2);
}

void TForm11::BitBtn17Click()
{
    ExportReadingsCsv(Grid_historical->grid(), "pexorV48_readings.csv", Memo_export);
}

void TForm11::ExportReadingsCsv(const StringGrid& grid, const std::string& defaultName,
                                std::vector<std::string>& lines)
{
    exportCsv(grid, defaultName, lines, true);
}

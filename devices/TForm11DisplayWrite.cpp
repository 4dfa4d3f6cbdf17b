// Writing the ticked rows into the display, deleting them from it and zeroing their start
// values: one machine, one command per device and tick of Timer_pexor, steered by the twelve
// hidden step boxes.
#include "TForm11.h"

#include "DisplayCommands.h"
#include "DisplayRows.h"
#include "EnableTimer.h"
#include "LanguageTexts.h"
#include "MainWindowControls.h"
#include "StringGridView.h"
#include "TSettings.h"
#include "Text8.h"
#include "UpDownEdit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTimer>

#include <array>
#include <exception>

void TForm11::buildDisplayWrite(QBoxLayout* rows)
{
    auto* line = new QHBoxLayout;
    Butt_pexor_set = button(TabSheet3, "Butt_pexor_set", "Write table to the display");
    Butt_pexor_delete = button(TabSheet3, "Butt_pexor_delete", "Delete selected device/row");
    Butt_pexor_delp = button(TabSheet3, "Butt_pexor_delp", "Zero start value");
    Butt_pexor_read = button(TabSheet3, "Butt_pexor_read", "Read Data from Display");
    BitBtn18 = button(TabSheet3, "BitBtn18", "Update readings on display");
    for (QPushButton* b : {Butt_pexor_set, Butt_pexor_delete, Butt_pexor_delp})
        line->addWidget(b);
    line->addStretch(1);
    rows->addLayout(line);
    auto* reads = new QHBoxLayout;
    for (QPushButton* b : {Butt_pexor_read, BitBtn18})
        reads->addWidget(b);
    reads->addStretch(1);
    rows->addLayout(reads);

    const auto box = [this](const char* name, const char* caption) {
        auto* b = new QCheckBox(caption, TabSheet3);
        b->setObjectName(name);
        b->hide();
        return b;
    };
    Check_pexor_active = box("Check_pexor_active", "Activate");
    Check_pexor_unit = box("Check_pexor_unit", "Units");
    Check_pexor_multiplier = box("Check_pexor_multiplier", "Multiplier");
    Check_pexor_divider = box("Check_pexor_divider", "Divider");
    Check_pexor_initial = box("Check_pexor_initial", "Initial value");
    Check_pexor_initial_P1 = box("Check_pexor_initial_P1", "Pulse 1 Start");
    Check_pexor_initial_P2 = box("Check_pexor_initial_P2", "Pulse 2 Start");
    Check_pexor_second_main = box("Check_pexor_second_main", "Second Main");
    Check_pexor_user = box("Check_pexor_user", "User number");
    Check_pexor_text = box("Check_pexor_text", "Free text");
    Check_pexor_delete = box("Check_pexor_delete", "DELETE DEVICES");
    QFont bold = Check_pexor_delete->font();
    bold.setBold(true);
    Check_pexor_delete->setFont(bold);
    Check_pexor_delp = box("Check_pexor_delp", "Zero start values");

    connectClicked(Butt_pexor_set, &TForm11::Butt_pexor_setClick);
    connectClicked(Butt_pexor_delete, &TForm11::Butt_pexor_deleteClick);
    connectClicked(Butt_pexor_delp, &TForm11::Butt_pexor_delpClick);
    connectClicked(BitBtn18, &TForm11::BitBtn18Click);
    connect(Check_pexor_delete, &QCheckBox::toggled, this, [this] { Check_pexor_deleteClick(); });
    connect(Timer_pexor, &QTimer::timeout, this, &TForm11::Timer_pexorTimer);
}

void TForm11::setPexorRunEnabled(bool enabled)
{
    setRunEnabled({Butt_pexor_delete, Butt_pexor_read, Butt_pexor_delp, GroupBox3, BitBtn15, BitBtn16,
                   Butt_pexor_refresh, BitBtn11, BitBtn12, BitBtn14, BitBtn18},
                  enabled);
}

QCheckBox* TForm11::currentPexorStep() const
{
    for (QCheckBox* step : {Check_pexor_active, Check_pexor_unit, Check_pexor_multiplier, Check_pexor_divider,
                            Check_pexor_initial, Check_pexor_initial_P1, Check_pexor_initial_P2,
                            Check_pexor_second_main, Check_pexor_user, Check_pexor_text, Check_pexor_delete,
                            Check_pexor_delp})
        if (step->isChecked())
            return step;
    return nullptr;
}

void TForm11::Check_pexor_deleteClick()
{
    if (!Check_pexor_delete->isChecked())
        return;
    for (QCheckBox* step : {Check_pexor_active, Check_pexor_unit, Check_pexor_multiplier, Check_pexor_divider,
                            Check_pexor_initial, Check_pexor_user, Check_pexor_text})
        step->setChecked(false);
}

namespace {

// The first ticked row from row on, or the row count when there is none.
int tickedFrom(const TForm11& form, int row, int rowCount)
{
    while (row < rowCount && !form.pexorRowTicked(row))
        ++row;
    return row;
}

} // namespace

// --- starts and the stop ---

void TForm11::Butt_pexor_setClick()
{
    // Stopping a write is never refused.
    if (WriteTableActive) {
        stopPexorRun();
        return;
    }
    if (refuseWhileBusy())
        return;
    const StringGrid& grid = Grid_pexor->grid();
    if (grid.RowCount() == 2 && grid.cell(1, 1).empty())
        return;
    const int first = tickedFrom(*this, 1, grid.RowCount());
    if (first >= grid.RowCount() || !PrepareLink())
        return;
    // What an earlier exchange left in the reply texts (the last answer of "Get info" or of a
    // custom command on the module) is not an answer to this run: "Active devices: 1-2" would
    // pass for the activation of the first row. The delete and zero runs start so as well.
    clearReplyTexts();
    Check_pexor_delete->setChecked(false);
    Check_pexor_delp->setChecked(false);
    for (QCheckBox* step : {Check_pexor_active, Check_pexor_unit, Check_pexor_multiplier, Check_pexor_divider,
                            Check_pexor_initial, Check_pexor_initial_P1, Check_pexor_initial_P2,
                            Check_pexor_second_main, Check_pexor_user, Check_pexor_text})
        step->setChecked(true);
    WriteTableActive = true;
    WriteRow = first;
    PexorRetryCount = 0;
    progress_->setup(0, (grid.RowCount() - 1) * 10, 0);
    progress_->show(true);
    sendPexorStep(Check_pexor_active, WriteRow);
    Timer_pexor->setInterval(responseTimeout());
    enableTimer(*Timer_pexor);
    Butt_pexor_set->setText(WriteTableStopCaption);
    setPexorRunEnabled(false);
}

void TForm11::stopPexorRun()
{
    Timer_pexor->stop();
    WriteTableActive = false;
    WriteRow = 1;
    PexorRetryCount = 0;
    Butt_pexor_set->setText(Text8::toUnicode(WriteTableButtonCaption(TickedLanguage(), EncodingName)));
    Butt_pexor_set->setEnabled(true);
    setPexorRunEnabled(true);
    progress_->show(false);
    progress_->setPosition(0);
    ReleaseLink();
}

void TForm11::Butt_pexor_deleteClick()
{
    if (refuseWhileBusy())
        return;
    const StringGrid& grid = Grid_pexor->grid();
    const int first = tickedFrom(*this, 1, grid.RowCount());
    if (first >= grid.RowCount() || !PrepareLink())
        return;
    clearReplyTexts();
    for (QCheckBox* step : {Check_pexor_active, Check_pexor_unit, Check_pexor_multiplier, Check_pexor_divider,
                            Check_pexor_initial, Check_pexor_initial_P1, Check_pexor_initial_P2,
                            Check_pexor_second_main, Check_pexor_user, Check_pexor_text, Check_pexor_delp})
        step->setChecked(false);
    Check_pexor_delete->setChecked(true);
    WriteTableActive = true;
    WriteRow = first;
    PexorRetryCount = 0;
    progress_->setup(0, grid.RowCount() - 1, 0);
    progress_->show(true);
    sendPexorStep(Check_pexor_delete, WriteRow);
    Timer_pexor->setInterval(responseTimeout());
    enableTimer(*Timer_pexor);
    Butt_pexor_set->setEnabled(false);
    setPexorRunEnabled(false);
}

void TForm11::Butt_pexor_delpClick()
{
    if (refuseWhileBusy())
        return;
    const StringGrid& grid = Grid_pexor->grid();
    if (tickedFrom(*this, 1, grid.RowCount()) >= grid.RowCount() || !PrepareLink())
        return;
    clearReplyTexts();
    for (QCheckBox* step : {Check_pexor_active, Check_pexor_unit, Check_pexor_multiplier, Check_pexor_divider,
                            Check_pexor_initial, Check_pexor_initial_P1, Check_pexor_initial_P2,
                            Check_pexor_second_main, Check_pexor_user, Check_pexor_text, Check_pexor_delete})
        step->setChecked(false);
    Check_pexor_delp->setChecked(true);
    WriteTableActive = true;
    WriteRow = 0;
    PexorRetryCount = 0;
    progress_->setup(0, grid.RowCount() - 1, 0);
    progress_->show(true);
    Timer_pexor->setInterval(responseTimeout());
    enableTimer(*Timer_pexor);
    Butt_pexor_set->setEnabled(false);
    setPexorRunEnabled(false);
}

// --- the tick ---

void TForm11::Timer_pexorTimer()
{
    try {
        pexorTick();
    } catch (const std::exception& e) {
        Log.add(e.what());
    }
}

void TForm11::pexorTick()
{
    if (!WriteTableActive) {
        Timer_pexor->stop();
        return;
    }
    const std::string reply = takeReply();
    if (EthernetTicked() || TovekServerTicked()) {
        Link.EthReplyText.clear();
    } else if (XportTicked()) {
        Link.LanxpReplyText.clear();
    } else if (PortOpen) {
        try {
            Comm1.PurgeRead();
        } catch (const std::exception& e) {
            Log.add(e.what());
        }
    }
    if (!reply.empty())
        Log.add(reply);

    QCheckBox* step = currentPexorStep();
    if (!step) {
        AdvancePexorWriteStep();
        WriteRow = 0;
        return;
    }
    if (step != Check_pexor_active) {
        ++WriteRow;
        PexorRetryCount = 0;
    } else if (reply.find("Active") != std::string::npos || reply.find("Already") != std::string::npos) {
        ++WriteRow;
        PexorRetryCount = 0;
    } else if (++PexorRetryCount > retries()) {
        PexorRetryCount = 0;
        ++WriteRow;
    }
    progress_->advance();
    // The table is read afresh: rows may have gone or lost their tick since the last tick.
    const int rowCount = Grid_pexor->grid().RowCount();
    WriteRow = tickedFrom(*this, WriteRow, rowCount);
    if (WriteRow >= rowCount) {
        AdvancePexorWriteStep();
        WriteRow = 0;
        return;
    }
    sendPexorStep(step, WriteRow);
}

void TForm11::sendPexorStep(QCheckBox* step, int row)
{
    const StringGrid& grid = Grid_pexor->grid();
    const std::string a = grid.cell(1, row);
    switch (CheckDeviceAddress(a)) {
    case AddressCheck::Empty:
        Log.add("Error in device address at row " + std::to_string(row));
        return;
    case AddressCheck::Bad:
        Log.add("Error in device address at row " + std::to_string(row) + ", skipping");
        return;
    case AddressCheck::Good:
        break;
    }
    const auto send = [&](const std::string& command, const std::string& logHead) {
        if (sendPexor(command, PexorSend::InExchange))
            Log.add(logHead + a + "...");
    };
    const auto startValue = [&](int column, const char* head, const char* error, const char* log) {
        const StartValue v = StartValueToSend(grid.cell(column, row));
        if (v.error)
            Log.add(error + a + ", setting to 0");
        send(DeviceCommand(head, a, v.value), log);
    };
    if (step == Check_pexor_active) {
        send(EntryCommand(a), "Activating device ");
    } else if (step == Check_pexor_unit) {
        const std::optional<std::string> code = UnitCode(grid.cell(2, row));
        if (!code)
            Log.add("Skipping unit of device " + a + "...wrong");
        else
            send(DeviceCommand("SET UNIT=", a, *code), "Setting unit of device ");
    } else if (step == Check_pexor_multiplier || step == Check_pexor_divider) {
        const auto [multiplier, divider] = SplitMultDiv(grid.cell(7, row));
        const bool isMultiplier = step == Check_pexor_multiplier;
        const std::string& factor = isMultiplier ? multiplier : divider;
        if (!FactorFits(factor))
            Log.add((isMultiplier ? "Skipping multiplier of device " : "Skipping divider of device ") + a
                    + "...wrong");
        else
            send(DeviceCommand(isMultiplier ? "SET CONM=" : "SET COND=", a, factor),
                 isMultiplier ? "Setting multiplier of device " : "Setting divider of device ");
    } else if (step == Check_pexor_initial) {
        startValue(3, "SET INIT=", "Error in initial value of device ", "Setting initial value of device ");
    } else if (step == Check_pexor_initial_P1) {
        startValue(4, "SET INI1=", "Error in initial value P1 of device ", "Setting initial value P1 of device ");
    } else if (step == Check_pexor_initial_P2) {
        startValue(5, "SET INI2=", "Error in initial value P2 of device ", "Setting initial value P2 of device ");
    } else if (step == Check_pexor_second_main) {
        startValue(6, "SET INI4=", "Error in initial value second main (cooling) of device ",
                   "Setting initial value Cooling of device ");
    } else if (step == Check_pexor_user) {
        const std::string& number = grid.cell(8, row);
        if (!UserNumberFits(number))
            Log.add("Skipping user number of device " + a + "...wrong");
        else
            send(DeviceCommand("SET NUMB=", a, number), "Setting user number of device ");
    } else if (step == Check_pexor_text) {
        send(DeviceCommand("SET TEXT=", a, FreeTextToSend(grid.cell(9, row))), "Setting free text of device ");
    } else if (step == Check_pexor_delete) {
        send(DeleteCommand(a), "Deleting device ");
    } else if (step == Check_pexor_delp) {
        send(ZeroCommand(a), "Zeroing start value of device ");
    }
}

void TForm11::AdvancePexorWriteStep()
{
    if (QCheckBox* step = currentPexorStep())
        step->setChecked(false);
    if (PortOpen) {
        try {
            Comm1.PurgeRead();
        } catch (const std::exception& e) {
            Log.add(e.what());
        }
    }
    if (currentPexorStep())
        return;
    // The last step is done: the run ends as a stopped one does.
    Butt_pexor_info->setEnabled(true);
    stopPexorRun();
}

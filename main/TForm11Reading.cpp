// Reading meters: the selected one, every meter of the table, and every primary address of a
// range. Each exchange sends a request and lets a request timer take the reply once per
// response time-out, then resend, move on or stop.
#include "TForm11.h"

#include "EnableTimer.h"
#include "LanguageTexts.h"
#include "MeterRowUpdate.h"
#include "Prompts.h"
#include "StringGridView.h"
#include "TSettings.h"
#include "Text8.h"
#include "UpDownEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <exception>

UiLanguage TForm11::TickedLanguage() const
{
    if (Polish1->isChecked())
        return UiLanguage::Polish;
    if (English1->isChecked())
        return UiLanguage::English;
    return UiLanguage::Italian;
}

int TForm11::retries() const
{
    return Settings ? Settings->UD_retry_read->value() : 0;
}

bool TForm11::purgeComm()
{
    try {
        Comm1.PurgeReadWrite();
        return true;
    } catch (const std::exception& e) {
        Log.add(e.what());
        return false;
    }
}

std::optional<std::string> TForm11::linkReply()
{
    if (EthernetTicked() || TovekServerTicked())
        return Link.EthReplyText;
    if (XportTicked())
        return Link.LanxpReplyText;
    if (PortOpen)
        return Comm1.ReadText();
    return std::nullopt;
}

std::string TForm11::takeReply()
{
    try {
        if (std::optional<std::string> reply = linkReply())
            return *reply;
    } catch (const std::exception& e) {
        Log.add(e.what());
        return {};
    }
    Log.add("No valid connection...");
    return {};
}

void TForm11::clearTickedReplyText()
{
    if (EthernetTicked() || TovekServerTicked())
        Link.EthReplyText.clear();
    if (XportTicked())
        Link.LanxpReplyText.clear();
}

void TForm11::clearReplyTexts()
{
    Link.EthReplyText.clear();
    Link.LanxpReplyText.clear();
}

void TForm11::clearReplyBuffers()
{
    clearTickedReplyText();
    purgeComm();
}

void TForm11::sendRequest(int address)
{
    if (Check_nke->isChecked())
        Frames.SendSndNke(address);
    else
        Frames.SendReqUd2(address);
}

bool TForm11::processReply(const std::string& reply)
{
    MeterRowUpdate update(meterOwner_, Grid_vantrel->grid(), Log);
    return ProcessMeterReply(Log, reply, Link.FullReportMode, decimalSeparator(), ReplyState, &update);
}

// --- the selected meter ---

void TForm11::Butt_readonceClick()
{
    readSelected();
}

// True when a request went out.
bool TForm11::readSelected()
{
    // A click during a single read asks again, on the same reply timer; while that timer
    // serves another exchange, the click is refused like any other start.
    if (linkBusy(respondUse_ == RespondUse::SingleRead ? Timer_respond : nullptr)) {
        refuseWhileBusy();
        return false;
    }
    if (!PrepareLink())
        return false;
    if (Check_broadcast->isChecked()) {
        sendRequest(Broadcast);
        SearchActive = false;
        startRespond(RespondUse::SingleRead);
        return true;
    }
    if (CurAddr == "256")
        return false;
    const int address = MeterAddressNumber(CurAddr);
    SearchActive = false;
    if (address >= 0)
        sendRequest(address);
    startRespond(RespondUse::SingleRead);
    return address >= 0;
}

void TForm11::startRespond(RespondUse use)
{
    respondUse_ = use;
    enableTimer(*Timer_respond);
}

void TForm11::Timer_respondTimer()
{
    try {
        respondTick();
    } catch (const std::exception& e) {
        Log.add(e.what());
    }
}

void TForm11::respondTick()
{
    const std::string reply = takeReply();
    if (reply.empty()) {
        if (!SearchActive) {
            Log.add("No response from address " + CurAddr);
            Timer_respond->stop();
            Link.FullReportMode = false;
            ReadAfterWrite = false;
            return;
        }
        if (++RetryCount <= retries()) {
            Link.EthReplyText.clear();
            sendRequest(CurrentAddress);
            return;
        }
        respondMoveOn();
        return;
    }
    if (reply == Acknowledge) {
        Log.add("0xE5 (Acknowledge)");
        // Only the acknowledge of an SND_NKE asks for the read-out; a meter that answers
        // REQ_UD2 with E5 would otherwise be asked for ever.
        const int target = SearchActive ? CurrentAddress
                         : Check_broadcast->isChecked() ? Broadcast
                                                        : MeterAddressNumber(CurAddr);
        if (Check_nke->isChecked() && lastFrame_.lastWasSndNkeTo(target)) {
            Frames.SendReqUd2(target);
            Link.EthReplyText.clear();
            return;
        }
        respondMoveOn();
        return;
    }
    const bool valid = processReply(reply);
    if (!valid && SearchActive && ++RetryCount <= retries()) {
        if (Check_nke->isChecked()) {
            Frames.SendSndNke(CurrentAddress);
        } else {
            Frames.SendReqUd2(CurrentAddress);
            Log.add("Reading device " + std::to_string(CurrentAddress));
            if (EthernetTicked() || TovekServerTicked())
                Link.EthReplyText.clear();
        }
        return;
    }
    respondMoveOn();
}

void TForm11::respondMoveOn()
{
    if (SearchActive) {
        ++CurrentAddress;
        RetryCount = 0;
        if (CurrentAddress > UD_address_max->value()) {
            stopSearch();
            return;
        }
        clearReplyBuffers();
        sendRequest(CurrentAddress);
        progress_->advance();
        progress_->show(true);
        return;
    }
    if (ReadAfterWrite) {
        clearReplyBuffers();
        const int target = Check_broadcast->isChecked() ? Broadcast : MeterAddressNumber(CurAddr);
        if (target >= 0)
            Frames.SendReqUd2(target);
        ReadAfterWrite = false;
        return;
    }
    Timer_respond->stop();
    ReleaseLink();
}

// --- the primary search ---

void TForm11::Butt_find_primaryClick()
{
    if (SearchActive) {
        stopSearch();
        return;
    }
    if (refuseWhileBusy() || Edit_address_min->text().isEmpty() || Edit_address_max->text().isEmpty())
        return;

    if (EthernetTicked() && Settings->Check_autombus->isChecked()) {
        Butt_clear_gridClick();
    } else {
        const Question q = ClearTableQuestion(TickedLanguage());
        const Prompts::Answer answer =
            prompts_.ask(this, Prompts::Icon::Warning, q.caption, q.text, Prompts::Buttons::YesNoCancel);
        if (answer == Prompts::Answer::Cancel)
            return;
        // The box ran the event loop: a timer or a gateway may have started an exchange.
        if (refuseWhileBusy())
            return;
        if (answer == Prompts::Answer::Yes)
            Butt_clear_gridClick();
    }
    if (!PrepareLink())
        return;

    const int first = UD_address_min->value();
    const int last = UD_address_max->value();
    if (first > last) {
        UD_address_min->setValue(last);
        UD_address_max->setValue(first);
    }
    CurrentAddress = UD_address_min->value();
    if (Settings->Global_init->isChecked())
        sendGlobalReset();
    purgeComm();
    sendRequest(CurrentAddress);

    RetryCount = 0;
    SearchActive = true;
    Butt_find_primary->setText(SearchStopCaption);
    // Automatic addressing and custom commands would take the link in the middle of it.
    setRunEnabled({Butt_readall, Butt_readonce, Group_ops, Group_advanced, Butt_find_id, Butt_find_all,
                   BitBtn21, Butt_command_send},
                  false);
    try {
        progress_->setup(0, UD_address_max->value() - UD_address_min->value(), 0);
        progress_->show(true);
    } catch (const std::exception& e) {
        Log.add(std::string("Exception starting progress Bar - ") + e.what());
    }
    Timer_readall->stop();
    Timer_secondary->stop();
    SetAddrPending = false;   // a stopped selection must not give the next one a new address
    startRespond(RespondUse::OtherExchange);
}

// The end of a search, after its last address or on "Stop".
void TForm11::stopSearch()
{
    Timer_respond->stop();
    purgeComm();
    SearchActive = false;
    Butt_find_primary->setText(Text8::toUnicode(FindButtonCaption(TickedLanguage())));
    setRunEnabled({Butt_readall, Butt_readonce, Group_ops, Group_advanced, Butt_find_id, Butt_find_all,
                   BitBtn21, Butt_command_send},
                  true);
    progress_->setPosition(0);
    progress_->show(false);
    Link.FullReportMode = false;
    ReadAfterWrite = false;
    ReleaseLink();
}

// --- every meter of the table ---

void TForm11::Butt_readallClick()
{
    // A click during a read of all meters starts that read again.
    if (linkBusy(Timer_readall)) {
        refuseWhileBusy();
        return;
    }
    const StringGrid& grid = Grid_vantrel->grid();
    const bool hasMeter = grid.RowCount() != 2 || !grid.cell(1, 1).empty();
    if (!hasMeter || !PrepareLink())
        return;
    ReadAllRow = 1;
    RetryCount = 0;
    setRunEnabled({Group_search, Group_ops, Group_advanced, Butt_readonce, Butt_command_send, BitBtn21}, false);
    const int address = MeterAddressNumber(grid.cell(1, 1));
    purgeComm();
    try {
        if (address >= 0)
            sendRequest(address);
    } catch (const std::exception& e) {
        Log.add(e.what());
    }
    enableTimer(*Timer_readall);
    if (!Check_nke->isChecked()) {
        try {
            progress_->setup(1, grid.RowCount() <= 3 ? 2 : grid.RowCount() - 1, 1);
            progress_->show(true);
        } catch (const std::exception& e) {
            Log.add(std::string("Exception starting progress Bar - ") + e.what());
        }
    }
}

void TForm11::Timer_readallTimer()
{
    try {
        readAllTick();
    } catch (const std::exception& e) {
        Log.add(e.what());
    }
}

void TForm11::readAllTick()
{
    const std::string reply = takeReply();
    SearchActive = false;
    MatchById = false;
    if (reply == Acknowledge) {
        Log.add("0xE5 (Acknowledge)");
        const int address = MeterAddressNumber(Grid_vantrel->grid().cell(1, ReadAllRow));
        if (lastFrame_.lastWasSndNkeTo(address)) {
            purgeComm();
            Link.EthReplyText.clear();
            Frames.SendReqUd2(address);
            return;
        }
        readAllMissed();   // an acknowledge where a telegram was asked for
        return;
    }
    if (reply.size() >= 2 && processReply(reply)) {
        progress_->advance();
        readAllNextRow();
        return;
    }
    readAllMissed();
}

// No reply, or no valid one: the row's request again, or the next row once the retries are used.
void TForm11::readAllMissed()
{
    if (++RetryCount > retries()) {
        progress_->advance();
        readAllNextRow();
        return;
    }
    readAllResend();
}

void TForm11::readAllResend()
{
    const std::string& cell = Grid_vantrel->grid().cell(1, ReadAllRow);
    if (cell.empty())
        return;
    purgeComm();
    if (EthernetTicked() || TovekServerTicked())
        Link.EthReplyText.clear();
    if (const int address = MeterAddressNumber(cell); address >= 0)
        sendRequest(address);
}

void TForm11::readAllNextRow()
{
    ++ReadAllRow;
    // Past the end: a clear or a delete during the run may have left the row beyond it.
    if (ReadAllRow >= Grid_vantrel->grid().RowCount() + 1) {
        endReadAll();
        return;
    }
    const std::string& cell = Grid_vantrel->grid().cell(1, ReadAllRow);
    if (cell.empty())
        return;   // passed once its retries run out
    if (const int address = MeterAddressNumber(cell); address >= 0)
        sendRequest(address);
    RetryCount = 0;
}

void TForm11::endReadAll()
{
    Timer_readall->stop();
    setRunEnabled({Group_search, Group_ops, Group_advanced, Butt_readonce, Butt_command_send, BitBtn21}, true);
    progress_->show(false);
    progress_->setPosition(0);
    ReadAfterWrite = false;
    ReleaseLink();
    Butt_readall->setText(Text8::toUnicode(ReadAllButtonCaption(TickedLanguage(), EncodingName)));
}

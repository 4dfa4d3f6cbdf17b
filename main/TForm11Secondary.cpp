// Meters by their identification number: one meter read through a selection by ID, the start
// and stop of the wildcard search, the exchange of Timer_secondary (which also finishes a
// change of primary address through a selection), and automatic addressing of the table.
#include "TForm11.h"

#include "EnableTimer.h"
#include "InsertionLimit.h"
#include "MainWindowControls.h"
#include "Prompts.h"
#include "StringGridView.h"
#include "TSettings.h"
#include "Text8.h"
#include "UpDownEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSizePolicy>
#include <QTimer>

#include <chrono>
#include <exception>
#include <thread>

namespace {

constexpr int Selected = 253;
constexpr auto AutoAddressPause = std::chrono::milliseconds(200);
constexpr int LastAutoAddress = 249;

} // namespace

// --- building ---

void TForm11::buildSecondaryControls(QGridLayout* search)
{
    Edit_id = new QLineEdit(Group_search);
    Edit_id->setObjectName("Edit_id");
    InsertionLimit::attach(Edit_id, 8, "0123456789F");
    Button1 = button(Group_search, "Button1", "Stop Secondary");
    // Its row keeps its height while the button is hidden: the controls below stay where the
    // user aims while it shows and hides.
    QSizePolicy keepPlace = Button1->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    Button1->setSizePolicy(keepPlace);
    Button1->hide();
    search->addWidget(Label7, 2, 0);
    search->addWidget(Edit_id, 2, 1);
    search->addWidget(Butt_find_id, 2, 2);
    search->addWidget(Butt_find_all, 2, 3);
    search->addWidget(Button1, 3, 1, 1, 2);

    connectClicked(Butt_find_id, &TForm11::Butt_find_idClick);
    connectClicked(Butt_find_all, &TForm11::Butt_find_allClick);
    connectClicked(Button1, &TForm11::Button1Click);
    connectClicked(BitBtn21, &TForm11::BitBtn21Click);
}

QWidget* TForm11::buildAutoPrimary(QWidget* parent)
{
    UD_AutoPrimary = upDown(parent, "UD_AutoPrimary", "Edit_auto_primary", 1, LastAutoAddress, false, 72);
    Edit_auto_primary = UD_AutoPrimary->edit();
    return UD_AutoPrimary;
}

// --- Find by ID ---

void TForm11::Butt_find_idClick()
{
    if (refuseWhileBusy())
        return;
    const std::string id = Text8::fromUnicode(Edit_id->text());
    if (id.size() != 8) {
        Log.add("Incorrect ID entered");
        return;
    }
    if (id != WildcardId) {
        selectSingleId(id);
        return;
    }
    const Question q = ClearTableQuestion(TickedLanguage());
    const Prompts::Answer answer =
        prompts_.ask(this, Prompts::Icon::Warning, q.caption, q.text, Prompts::Buttons::YesNoCancel);
    // The box lets timers and socket events run while it waits: an exchange may have begun.
    if (answer == Prompts::Answer::Cancel || refuseWhileBusy() || !PrepareLink())
        return;
    if (answer == Prompts::Answer::Yes)
        Butt_clear_gridClick();
    if (Settings->Global_init->isChecked())
        sendGlobalReset();
    purgeComm();
    repaint();
    progress_->setup(1, 10, 1);
    progress_->show(true);
    setSearchControls(false);
    Button1->show();
    startWildcardSearch();
}

// One meter by its ID: the selection, then Timer_secondary takes the exchange.
void TForm11::selectSingleId(const std::string& id)
{
    // A change of address left waiting by a stopped exchange is not this one's.
    SetAddrPending = false;
    if (!PrepareLink())
        return;
    dropSerialInput();
    if (EthernetTicked() || TovekServerTicked())
        Link.EthReplyText.clear();
    Frames.SendSelectById(id);
    enableTimer(*Timer_secondary);
}

void TForm11::Butt_find_allClick()
{
    if (refuseWhileBusy())
        return;
    Edit_id->setText(Text8::toUnicode(WildcardId));
    Butt_find_idClick();
}

void TForm11::Button1Click()
{
    StopSecondary = true;
}

void TForm11::dropSerialInput()
{
    if (!PortOpen)
        return;
    try {
        Comm1.PurgeRead();
    } catch (const std::exception& e) {
        Log.add(e.what());
    }
}

// --- the exchange of a selection by ID ---

void TForm11::Timer_secondaryTimer()
{
    try {
        secondaryTick();
    } catch (const std::exception& e) {
        MatchById = false;
        Log.add(e.what());
    }
}

void TForm11::secondaryTick()
{
    const std::string reply = takeReply();
    if (reply.empty()) {
        Log.add("No response from device " + (SetAddrPending ? CurId : Text8::fromUnicode(Edit_id->text())));
        Timer_secondary->stop();
        SetAddrPending = false;
        if (AutoAddressing)
            enableTimer(*Timer_auto_address);
        else
            ReleaseLink();
        return;
    }
    // An acknowledge selects the meter only as the answer to the selection or to its new
    // address; after the request for its telegram it ends the exchange like any bad reply.
    const bool selected = lastFrame_.lastWas(FrameBuilder::SelectById) || lastFrame_.lastWas(FrameBuilder::SetPrimary);
    if (reply == Acknowledge) {
        Log.add("0xE5 (Acknowledge)");
        if (selected) {
            dropSerialInput();
            clearTickedReplyText();
            if (SetAddrPending) {
                Frames.SendSetPrimary(Selected, UD_new_address->value());
                SetAddrPending = false;
            } else {
                Frames.SendReqUd2(Selected);
            }
            return;
        }
    } else {
        MatchById = true;
        processReply(reply);
    }
    Timer_secondary->stop();
    MatchById = SetAddrPending = SearchActive = false;
    Frames.SendSndNke(Selected);   // ends the selection
    if (AutoAddressing) {
        std::this_thread::sleep_for(AutoAddressPause);
        purgeComm();
        enableTimer(*Timer_auto_address);
    } else {
        startRespond(RespondUse::OtherExchange);
    }
}

// --- automatic addressing ---

void TForm11::setAutoAddressControls(bool enabled)
{
    setRunEnabled({Butt_find_primary, Butt_readall, Butt_readonce, Group_ops, Group_advanced, Butt_find_id,
                   Butt_find_all, Butt_command_send},
                  enabled);
    // Ticked mid-run, broadcast would give every meter the same address.
    Check_broadcast->setEnabled(enabled);
}

void TForm11::BitBtn21Click()
{
    if (BitBtn21->text() != "Stop addr") {
        if (refuseWhileBusy())
            return;
        const Prompts::Answer answer = prompts_.ask(
            this, Prompts::Icon::Warning, English1->isChecked() ? "Address confirmation" : "Conferma addressing",
            "This will address automatically ALL devices (primary), OK?", Prompts::Buttons::YesNoCancel);
        // The box lets timers and socket events run while it waits: an exchange may have begun.
        if (answer != Prompts::Answer::Yes || refuseWhileBusy())
            return;
        Check_broadcast->setChecked(false);
        setAutoAddressControls(false);
        AutoAddrNext = UD_AutoPrimary->value();
        AutoAddrRow = 1;
        BitBtn21->setText("Stop addr");
        addressRow(AutoAddrRow);
        return;
    }
    Timer_secondary->stop();
    Timer_auto_address->stop();
    SetAddrPending = false;   // the stopped selection's new address is not the next Find's
    endAutoAddressing();
}

void TForm11::addressRow(int row)
{
    const StringGrid& grid = Grid_vantrel->grid();
    CurId = grid.cell(0, row).substr(0, SelectionWidth);
    CurAddr = grid.cell(1, row).substr(0, SelectionWidth);
    ShowCurrentDevice();
    AutoAddressing = true;
    UD_new_address->setValue(AutoAddrNext);
    setPrimaryAddress();
}

void TForm11::endAutoAddressing()
{
    AutoAddressing = false;
    setAutoAddressControls(true);
    BitBtn21->setText("Auto address");
}

void TForm11::Timer_auto_addressTimer()
{
    try {
        Timer_auto_address->stop();
        ++AutoAddrRow;
        ++AutoAddrNext;
        if (AutoAddrNext > LastAutoAddress) {
            Log.add("Primary address can not be above 249, aborting...");
            endAutoAddressing();
            return;
        }
        if (AutoAddrRow < Grid_vantrel->grid().RowCount() - 1) {
            addressRow(AutoAddrRow);
            return;
        }
        endAutoAddressing();
        Log.add("Auto addressing has finished...");
    } catch (const std::exception& e) {
        Log.add(e.what());
    }
}

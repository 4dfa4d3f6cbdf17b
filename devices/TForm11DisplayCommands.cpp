// The display's single commands (date and time, refresh time, lock, sort table and sort) and
// the one routine by which every display command reaches the display.
#include "TForm11.h"

#include "Clock.h"
#include "DisplayCommands.h"
#include "EnableTimer.h"
#include "MainWindowControls.h"
#include "SioCommError.h"
#include "Text8.h"
#include "UpDownEdit.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <exception>

void TForm11::buildDisplayCommands(QBoxLayout* rows)
{
    auto* line = new QHBoxLayout;
    BitBtn11 = button(TabSheet3, "BitBtn11", "Date and Time");
    BitBtn12 = button(TabSheet3, "BitBtn12", "Time");
    BitBtn12->hide();
    Label32 = new QLabel("Set display refresh time", TabSheet3);
    Label32->setObjectName("Label32");
    UD_pexor_refresh = upDown(TabSheet3, "UD_pexor_refresh", "Edit_pexor_refresh", 4, 12, true, 60);
    Edit_pexor_refresh = UD_pexor_refresh->edit();
    Edit_pexor_refresh->setMaxLength(2);
    Butt_pexor_refresh = button(TabSheet3, "Butt_pexor_refresh", "Set Refresh time");
    BitBtn14 = button(TabSheet3, "BitBtn14", "Lock");
    BitBtn14->hide();
    BitBtn15 = button(TabSheet3, "BitBtn15", "Create sort table");
    BitBtn16 = button(TabSheet3, "BitBtn16", "Sort");
    Check_sort_address = new QCheckBox("by address", TabSheet3);
    Check_sort_address->setObjectName("Check_sort_address");
    Check_sort_address->hide();
    Check_sort_user = new QCheckBox("by user numb.", TabSheet3);
    Check_sort_user->setObjectName("Check_sort_user");
    Check_sort_user->hide();
    for (QWidget* w : std::initializer_list<QWidget*> {BitBtn11, Label32, UD_pexor_refresh, Butt_pexor_refresh})
        line->addWidget(w);
    line->addStretch(1);
    rows->addLayout(line);

    connectClicked(BitBtn11, &TForm11::BitBtn11Click);
    connectClicked(BitBtn12, &TForm11::BitBtn12Click);
    connectClicked(Butt_pexor_refresh, &TForm11::Butt_pexor_refreshClick);
    connectClicked(BitBtn14, &TForm11::BitBtn14Click);
    connectClicked(BitBtn15, &TForm11::BitBtn15Click);
    connectClicked(BitBtn16, &TForm11::BitBtn16Click);
    connect(Check_sort_address, &QCheckBox::toggled, this, [this] { Check_sort_addressClick(); });
    connect(Check_sort_user, &QCheckBox::toggled, this, [this] { Check_sort_userClick(); });
}

// --- the transport ---

bool TForm11::sendPexor(const std::string& text, PexorSend mode)
{
    try {
        if (EthernetTicked() || TovekServerTicked()) {
            // The gateway server is connected for a single command, as for a custom one.
            if (mode == PexorSend::Single && TovekServerTicked()) {
                Butt_tovekClick();
                if (!Link.TovekClientConnected)
                    return false;
            }
            return writePexorGateway(text);
        }
        if (XportTicked()) {
            if (mode != PexorSend::InExchange) {
                Link.LanxpReplyText.clear();
                Butt_connect_xportClick();
                if (!Link.LanxpConnected)
                    return false;
            }
            return writePexorModule(text);
        }
        if (mode == PexorSend::Single && !PortOpen)
            ToggleComPort();
        if (mode == PexorSend::Single && !PortOpen)
            return false;
        return writePexorSerial(text);
    } catch (const std::exception& e) {
        Log.add(e.what());
        return false;
    }
}

bool TForm11::writePexorSerial(const std::string& text)
{
    try {
        const auto before = std::chrono::steady_clock::now();
        if (Comm1.WriteText(text)) {
            sentForTest(text, before);
            return true;
        }
        Log.add("Can not write to COM port - " + text);
    } catch (const ESioCommError& e) {
        Log.add(e.what());
    }
    return false;
}

bool TForm11::writePexorGateway(const std::string& text)
{
    const auto before = std::chrono::steady_clock::now();
    if (!SendPexorCommand(text))
        return false;
    sentForTest(text, before);
    return true;
}

bool TForm11::writePexorModule(const std::string& text)
{
    std::string error;
    const auto before = std::chrono::steady_clock::now();
    if (sendOn(NetLink::Xport, text, error)) {
        sentForTest(text, before);
        return true;
    }
    Log.add("Socket exception during setting Pexor parameters - " + error);
    return false;
}

void TForm11::enableReplyTimer()
{
    customReply_ = false;
    Timer_free_command->setInterval(responseTimeout());
    enableTimer(*Timer_free_command);
}

// --- date and time ---

void TForm11::BitBtn11Click()
{
    if (refuseWhileBusy())
        return;
    const LocalDateTime now = clock_.now();
    if (!sendPexor(DateCommand(now.day, now.month, now.year), PexorSend::Single))
        return;
    // The time follows the date's reply only when the date went out.
    TimePending = true;
    Log.add("Setting date of Pexor-V48...");
    enableReplyTimer();
}

void TForm11::BitBtn12Click()
{
    if (refuseWhileBusy())
        return;
    const LocalDateTime now = clock_.now();
    const bool sent = sendPexor(TimeCommand(now.hour, now.minute), PexorSend::Single);
    TimePending = false;
    if (!sent) {
        ReleaseLink();
        return;
    }
    Log.add("Setting time of Pexor-V48...");
    enableReplyTimer();
}

// --- refresh time, lock, sort ---

void TForm11::Butt_pexor_refreshClick()
{
    if (refuseWhileBusy())
        return;
    const RefreshCommand refresh = RefreshCommandFor(Text8::fromUnicode(Edit_pexor_refresh->text()));
    if (refresh.action == RefreshCommand::Action::WrongValue) {
        Log.add("Wrong value for refresh time of Pexor-V48...");
        return;
    }
    if (refresh.action != RefreshCommand::Action::Send || !sendPexor(refresh.command, PexorSend::Single))
        return;
    Log.add("Setting refresh time of Pexor-V48...");
    enableReplyTimer();
}

void TForm11::BitBtn14Click()
{
    if (refuseWhileBusy())
        return;
    // The lock goes out on the serial port whatever the link.
    if (!PortOpen)
        ToggleComPort();
    if (!PortOpen || !writePexorSerial(LockCommand))
        return;
    Log.add("Locking Pexor-V48...");
    enableReplyTimer();
}

void TForm11::BitBtn15Click()
{
    if (refuseWhileBusy())
        return;
    // No reply is read, and the link stays as it is.
    if (sendPexor(SortTableCommand, PexorSend::Single))
        Log.add("Creating sort table in Pexor-V48, please wait...");
}

void TForm11::BitBtn16Click()
{
    if (refuseWhileBusy())
        return;
    Check_sort_user->setChecked(true);
    Check_sort_address->setChecked(false);
    if (!PrepareLink())
        return;
    if (!sendPexor(SortCommand, PexorSend::Sort)) {
        ReleaseLink();
        return;
    }
    Log.add("Sorting Pexor-V48 by user number...");
    enableReplyTimer();
}

void TForm11::Check_sort_addressClick()
{
    Check_sort_user->setChecked(!Check_sort_address->isChecked());
}

void TForm11::Check_sort_userClick()
{
    Check_sort_address->setChecked(!Check_sort_user->isChecked());
}

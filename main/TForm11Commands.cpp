// Custom commands: a free command typed below the pages goes out on the active link as text
// or as hex bytes; one response time-out later the reply is shown in the log.
#include "TForm11.h"

#include "EnableTimer.h"
#include "EthPacket.h"
#include "HexCommand.h"
#include "HexText.h"
#include "InsertionLimit.h"
#include "SioCommError.h"
#include "TSettings.h"
#include "Text8.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <exception>

namespace {

constexpr int CommandLength = 250;

} // namespace

QLineEdit* TForm11::buildCommandEdit(QWidget* parent)
{
    Edit_command = new QLineEdit(parent);
    Edit_command->setObjectName("Edit_command");
    InsertionLimit::attach(Edit_command, CommandLength);
    return Edit_command;
}

void TForm11::connectCustomCommand()
{
    // On toggled: the page show handlers' settings of the boxes run the rule too.
    connect(Check_ascii, &QCheckBox::toggled, this, [this] { Check_asciiClick(); });
    connect(Check_hex, &QCheckBox::toggled, this, [this] { Check_hexClick(); });
    connect(Butt_command_send, &QPushButton::clicked, this, [this] {
        try {
            Butt_command_sendClick();
        } catch (const std::exception& e) {
            Log.add(e.what());
        }
    });
    connect(Timer_free_command, &QTimer::timeout, this, &TForm11::Timer_free_commandTimer);
}

void TForm11::Check_asciiClick() { Check_hex->setChecked(!Check_ascii->isChecked()); }

void TForm11::Check_hexClick() { Check_ascii->setChecked(!Check_hex->isChecked()); }

void TForm11::Butt_command_sendClick()
{
    // Not inside another exchange; a second command within a custom command's time-out may
    // go. The reply display of a display or gateway command is another exchange.
    const bool ownDisplay = customReply_ && Timer_free_command->isActive();
    if (linkBusy(ownDisplay ? Timer_free_command : nullptr)) {
        refuseWhileBusy();
        return;
    }
    const std::string text = Text8::fromUnicode(Edit_command->text());
    if (text.empty())
        return;
    if (Check_ascii->isChecked())
        sendAsciiCommand(text);
    else
        sendHexCommand(text);
}

bool TForm11::readyCommandLink()
{
    if (EthernetTicked())
        return true;   // the listening link is used as it is
    if (TovekServerTicked()) {
        Butt_tovekClick();
        return Link.TovekClientConnected;
    }
    if (XportTicked()) {
        Link.LanxpReplyText.clear();
        Butt_connect_xportClick();
        return Link.LanxpConnected;
    }
    if (!PortOpen)
        ToggleComPort();
    return PortOpen;
}

void TForm11::sendAsciiCommand(const std::string& text)
{
    if (!readyCommandLink())
        return;
    if (EthernetTicked() || TovekServerTicked()) {
        // Bare to a gateway on the listening socket, wrapped to the gateway server, whose reply
        // comes back in the reply text. A failure is logged there, and the reply display runs
        // all the same.
        SendPexorCommand(text);
    } else if (XportTicked()) {
        std::string error;
        sendOn(NetLink::Xport, text, error);
    } else {
        try {
            Comm1.WriteText(text);   // unchanged, no terminator
        } catch (const ESioCommError& e) {
            Log.add(e.what());
        }
    }
    customReply_ = true;
    enableTimer(*Timer_free_command);
}

void TForm11::sendHexCommand(const std::string& text)
{
    // Every check runs before a port is opened or a byte sent.
    const HexCommand command = ParseHexCommand(text);
    if (!command.error.empty()) {
        Log.add(command.error);
        return;
    }
    if (!readyCommandLink())
        return;
    const std::string& bytes = command.bytes;
    const char* const errorText = "Socket exception during free hex command";

    if (EthernetTicked()) {
        try {
            if (Link.ListenOpen && Link.ClientOnListen)
                sendPath_.sendTextPacket(NetLink::Listening, bytes, errorText);
        } catch (const std::exception& e) {
            Log.add(Concat({errorText, " - ", e.what()}));
        }
    } else if (TovekServerTicked()) {
        // Cleared first, so that no older reply stands for this command's answer.
        Link.EthReplyText.clear();
        try {
            // The check's answer is not used; a part that is no number ends the send.
            IsValidIp(NetNumberText());
            sendPath_.sendTextPacket(NetLink::TovekServer, bytes, errorText);
        } catch (const std::exception& e) {
            Log.add(Concat({errorText, " - ", e.what()}));
        }
    } else if (XportTicked()) {
        std::string error;
        if (!sendOn(NetLink::Xport, bytes, error))
            Log.add(Concat({errorText, " - ", error}));
    } else {
        try {
            for (const char b : bytes)
                Comm1.WriteChar(b);
        } catch (const ESioCommError& e) {
            Log.add(e.what());
        }
    }
    customReply_ = true;
    enableTimer(*Timer_free_command);
}

void TForm11::Timer_free_commandTimer()
{
    // A gateway command's reply comes on the serial port whatever the link.
    if (ShowGatewayReply())
        return;
    try {
        const std::string reply = takeReply();
        if (!reply.empty())
            Log.add(Check_ascii->isChecked() ? reply : SpacedHex(reply));
        Timer_free_command->stop();
        if (TimePending)
            BitBtn12Click();
        else
            ReleaseLink();
    } catch (const std::exception& e) {
        Log.add(e.what());
    }
}

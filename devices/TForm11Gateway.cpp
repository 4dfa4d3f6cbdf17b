// The gateways' text commands: one button each on the gateways' page. Every command goes out
// on the serial port (the gateways are set up over their RS-232 service port), one exchange at
// a time, and its reply is shown in the log one response time-out later.
#include "TForm11.h"

#include "Clock.h"
#include "ConversionError.h"
#include "EthPacket.h"
#include "GatewayCommands.h"
#include "HexText.h"
#include "Prompts.h"
#include "Text8.h"
#include "UpDownEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

#include <exception>
#include <optional>

namespace {

const char* const OnlyRs232 = "Setting of Tovek-2 or Sarnel-1A is only RS-232!";

// The request of a text edit whose value goes between double quotes. A character that
// Windows-1250 lacks would go out as "?", a value other than the one typed: refused.
GatewayRequest quotedRequest(const QLineEdit* edit, std::string_view key, bool zeroDeletes)
{
    const std::optional<std::string> value = Text8::fromUnicodeChecked(edit->text());
    if (!value)
        return {GatewayWrongValue, {}};
    return QuotedRequest(key, *value, zeroDeletes);
}

// An up-down's position, or nothing when its edit is empty.
std::optional<int> positionOf(const UpDownEdit* upDown)
{
    if (upDown->edit()->text().isEmpty())
        return std::nullopt;
    return upDown->value();
}

} // namespace

// --- the exchange ---

bool TForm11::gatewayGate()
{
    // The gateway-server link does not block: its commands still go out on the serial port.
    if (!EthernetTicked() && !XportTicked())
        return true;
    Log.add(OnlyRs232);
    return false;
}

bool TForm11::gatewayReplyRunning() const
{
    return gatewayReply_ && Timer_free_command->isActive();
}

bool TForm11::startGatewayExchange()
{
    // A gateway command's running reply display takes the next command's answer as well.
    if (linkBusy(gatewayReplyRunning() ? Timer_free_command : nullptr)) {
        refuseWhileBusy();
        return false;
    }
    if (!PortOpen)
        ToggleComPort();
    return PortOpen;   // a port that cannot be opened was reported by the port routine
}

void TForm11::writeGateway(const std::string& text, const std::string& logLine, bool replyDisplay)
{
    if (!logLine.empty())
        Log.add(logLine);
    bool written = false;
    try {
        written = Comm1.WriteText(text);
    } catch (const std::exception&) {
        written = false;
    }
    if (!written) {
        Log.add("Can not write to COM port - " + (logLine.empty() ? text : logLine));
        // The exchange ends here; a line that took nothing is of no use to the next one.
        if (!gatewayReplyRunning())
            releaseComPort();
        return;
    }
    if (replyDisplay) {
        gatewayReply_ = true;
        // A display that runs already keeps its time: a new interval would restart it.
        if (!Timer_free_command->isActive())
            enableReplyTimer();
    } else if (TovekServerTicked() && !gatewayReplyRunning()) {
        // Nothing else closes the serial port while the gateway server is the link.
        closeGatewayPort();
    }
}

void TForm11::sendGatewayRequest(const GatewayRequest& request, const char* logLine, bool replyDisplay)
{
    if (!gatewayGate())
        return;
    if (!request.refusal.empty()) {
        Log.add(request.refusal);
        return;
    }
    if (request.command.empty() || !startGatewayExchange())
        return;
    writeGateway(request.command, logLine, replyDisplay);
}

void TForm11::closeGatewayPort()
{
    // The command's write returned once its bytes had left; only the input is purged.
    try {
        Comm1.PurgeRead();
    } catch (const std::exception&) {
        // closed all the same
    }
    if (PortOpen)
        ToggleComPort();
}

bool TForm11::ShowGatewayReply()
{
    if (!gatewayReply_)
        return false;
    gatewayReply_ = false;
    try {
        // The answer comes on the serial port whatever link the settings choose.
        const std::string reply = PortOpen ? Comm1.ReadText() : std::string();
        if (!reply.empty())
            Log.add(Check_ascii->isChecked() ? reply : SpacedHex(reply));
    } catch (const std::exception& e) {
        Log.add(e.what());
    }
    Timer_free_command->stop();
    Link.FullReportMode = false;
    releaseComPort();   // the network links stay as they are
    return true;
}

// --- the two senders ---

void TForm11::SendGatewaySet(const std::string& value, const std::string& key, const std::string& logText)
{
    if (value.empty())
        return;
    if (!IsValidIp(value)) {
        Log.add("Wrong IP value, please correct...");
        return;
    }
    if (!gatewayGate() || !startGatewayExchange())
        return;
    writeGateway(GatewaySetCommand(key, value), logText, true);
}

void TForm11::SendGatewayCommand(const std::string& text)
{
    if (text.empty() || !gatewayGate() || !startGatewayExchange())
        return;
    writeGateway(text, {}, true);
}

// --- the address buttons ---

bool TForm11::sendAddress(const QLineEdit* edit, const std::string& key, const std::string& logText)
{
    try {
        SendGatewaySet(Text8::fromUnicode(edit->text()), key, logText);
        return true;
    } catch (const ConversionError& e) {
        prompts_.message(this, Prompts::Icon::Error, "Ferolt", e.what());
        return false;
    }
}

void TForm11::Butt_CMTClick() { sendAddress(Edit_own_ip, "IPV4", "Changing own IP of Tovek2..."); }

void TForm11::Butt_METClick() { sendAddress(Edit_gw_ip, "GATE", "Changing gateway IP of Tovek-2..."); }

void TForm11::Butt_CETClick() { sendAddress(Edit_mask_ip, "MASK", "Changing netmask of Tovek-2..."); }

void TForm11::Butt_tovek_nnClick() { sendAddress(Edit_network, "NETN", "Changing network ID of Tovek-2..."); }

void TForm11::Butt_tovek_manipClick() { sendAddress(Edit_man_ip, "IPMA", "Setting manufacturer IP..."); }

void TForm11::Butt_tovek2_conipClick() { sendAddress(Edit_control_ip, "IPCO", "Setting control IP..."); }

void TForm11::Butt_tovek2_op1Click()
{
    if (!gatewayGate())
        return;
    const std::array<QCheckBox*, 4> boxes {Check_op1, Check_op2, Check_op3, Check_op4};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (!boxes[i]->isChecked())
            continue;
        const std::string n = std::to_string(i + 1);
        if (!sendAddress(Edit_op1_ip, "IPO" + n, "Setting IP Op #" + n + "..."))
            return;
    }
}

// --- the buttons with a value rule ---

void TForm11::Butt_DDTClick()
{
    sendGatewayRequest(SerialPortRequest(Text8::fromUnicode(Combo_com2_speed->currentText()),
                                         Text8::fromUnicode(Combo_com2_parity->currentText())),
                       "Changing Tovek-2 serial port settings...", true);
}

void TForm11::Butt_OHAClick()
{
    sendGatewayRequest(DueDateRequest(positionOf(UD_day), positionOf(UD_hour), positionOf(UD_minute)),
                       "Changing automatic readout time...", true);
}

void TForm11::Butt_TXGClick()
{
    sendGatewayRequest(TwoDigitRequest("RETN", positionOf(UD_retries), 16),
                       "Changing retry number for connection to server...", true);
}

void TForm11::Butt_RXGClick()
{
    sendGatewayRequest(TwoDigitRequest("RETI", positionOf(UD_retry_timeout), 50), "Changing Tovek-2 retry timeout...",
                       true);
}

void TForm11::Butt_DPPClick()
{
    sendGatewayRequest(TwoDigitRequest("PITO", positionOf(UD_ping), 48), "Changing ping server timeout...", true);
}

void TForm11::Butt_tovek_mbus_responseClick()
{
    sendGatewayRequest(TwoDigitRequest("NETO", positionOf(UD_tovek_mbus), 25),
                       "Changing Tovek-2 m-bus response timeout...", true);
}

void TForm11::Butt_eth_dateClick()
{
    const LocalDateTime now = clock_.now();
    sendGatewayRequest({{}, GatewayDateCommand(now.day, now.month, now.year)}, "Setting date of Tovek-2...", true);
}

void TForm11::Butt_eth_timeClick()
{
    // The port is opened before the clock is read.
    if (!gatewayGate() || !startGatewayExchange())
        return;
    const LocalDateTime now = clock_.now();
    writeGateway(GatewayTimeCommand(now.hour, now.minute), "Setting time of Tovek-2...", true);
}

void TForm11::Butt_apnClick()
{
    sendGatewayRequest(quotedRequest(Edit_apn, "APNM", false), "Setting Access point of GPRS connection...",
                       false);
}

void TForm11::Butt_phone_numberClick()
{
    sendGatewayRequest(quotedRequest(Edit_phone_number, "PHON", true),
                       "Setting phone number for GPRS connection...", false);
}

void TForm11::Butt_gprs_pinClick()
{
    sendGatewayRequest(PinRequest(Text8::fromUnicode(Edit_gprs_pin->text())),
                       "Changing PIN code for GPRS connection...", true);
}

void TForm11::Butt_gprs_userClick()
{
    sendGatewayRequest(quotedRequest(Edit_gprs_username, "USER", true),
                       "Changing username for GPRS connection...", true);
}

void TForm11::Butt_gprs_passClick()
{
    sendGatewayRequest(quotedRequest(Edit_gprs_pass, "PASS", true),
                       "Changing password for GPRS connection...", true);
}

// --- the commands without a value ---

void TForm11::Butt_tovek2_testClick() { SendGatewayCommand(GatewayTestCommand); }

void TForm11::Butt_eth_mainClick() { SendGatewayCommand(GatewayMainQuestion); }

void TForm11::Butt_eth_serviceClick() { SendGatewayCommand(GatewayServiceQuestion); }

void TForm11::Butt_eth_connClick() { SendGatewayCommand(GatewayConnectionQuestion); }

void TForm11::Butt_eth_operClick() { SendGatewayCommand(GatewayOperatorsQuestion); }

void TForm11::Butt_gprs_infoClick() { SendGatewayCommand(GatewayGprsQuestion); }

void TForm11::Butt_gprs_statClick() { SendGatewayCommand(GatewayStatusQuestion); }

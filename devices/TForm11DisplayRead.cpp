// Reading the display's table back: the address list, then five questions per address, each
// answered after one response time-out; and the "Get info" sequence.
#include "ExchangeHold.h"

#include "DisplayCommands.h"
#include "DisplayReplies.h"
#include "DisplayRows.h"
#include "EnableTimer.h"
#include "StringGridView.h"

#include <QTimer>

#include <exception>

namespace {

// The five questions of a row.
enum Question { Entry1, Entry2, Tariff0, Tariff1, Tariff3 };

const char* const FullTableLine = "Display table full (250 rows), the rest is left out...";

} // namespace

void TForm11::Butt_pexor_readClick()
{
    if (refuseWhileBusy())
        return;
    const ExchangeHold hold(*this);
    if (!PrepareLink())
        return;
    // Both tables are emptied before the display is known to answer.
    Butt_pexor_cleartableClick();
    Butt_clear_histClick();
    if (!ReadPexorAddresses()) {
        Log.add("Sorry, no active addresses in memory...");
        ReleaseLink();
        return;
    }
    StringGrid& pexor = Grid_pexor->grid();
    StringGrid& readings = Grid_historical->grid();
    const int rows = pexor.RowCount();
    for (int r = 1; r < rows; ++r) {
        const std::string a = pexor.cell(1, r);
        const std::optional<std::int32_t> number = ReadsAsInteger(a);
        if (!number || *number == -1)
            continue;
        if (!readPexorRow(a)) {
            ReleaseLink();
            return;
        }
    }
    if (DropEmptyLastRow(pexor) && readings.RowCount() > 2)
        readings.setRowCount(readings.RowCount() - 1);
    if (ReadAllMemory)
        historyRead();
    else
        ReleaseLink();
}

bool TForm11::ReadPexorAddresses()
{
    const bool serial = !EthernetTicked() && !TovekServerTicked() && !XportTicked();
    if (serial) {
        purgeComm();
    } else if (XportTicked()) {
        Link.LanxpReplyText.clear();
        if (!Link.LanxpConnected) {
            Log.add("Not connected through TCP/IP,aborting....");
            return false;
        }
    }
    if (!sendPexor(AddressListQuestion, PexorSend::InExchange))
        return false;
    displayReplyWait();
    std::string reply;
    if (EthernetTicked() || TovekServerTicked()) {
        reply = Link.EthReplyText;
    } else if (XportTicked()) {
        reply = Link.LanxpReplyText;
    } else {
        if (!PortOpen)
            return false;
        reply = takeReply();
    }
    const std::size_t first = Log.count();
    if (!reply.empty())
        Log.add(reply);
    clearReplyTexts();
    // An empty reply decodes nothing: an older list in the log is not this display's answer.
    if (Log.count() < 2 || reply.empty())
        return false;
    AddressList list;
    try {
        list = ReadAddressListForm(Log, first);
    } catch (const std::exception& e) {
        Log.add(std::string("Unknown exception decoding Pexor addresses - ") + e.what());
        return false;
    }
    if (!list.found) {
        try {
            list = ReadAddressLineForm(Log, first);
        } catch (const std::exception& e) {
            Log.add(std::string("Unknown exception when decoding Zorla addresses - ") + e.what());
            return false;
        }
    }
    if (!list.found)
        return false;
    if (list.truncated)
        Log.add(FullTableLine);
    ListAddresses(Grid_pexor->grid(), Grid_historical->grid(), list.addresses);
    return true;
}

// The five questions of one address; false when the read must end.
bool TForm11::readPexorRow(const std::string& address)
{
    for (int kind = Entry1; kind <= Tariff3; ++kind) {
        const DisplayReply reply = askTableQuestion(address, kind);
        if (reply.ended)
            return false;
        if (!reply.text.empty())
            decodeTableReply(reply, address, kind);
    }
    return true;
}

TForm11::DisplayReply TForm11::askTableQuestion(const std::string& address, int kind)
{
    static constexpr int tariffInputs[] = {0, 0, 0, 1, 3};
    const std::string question = kind == Entry1 || kind == Entry2 ? EntryQuestion(address, kind == Entry1 ? 1 : 2)
                                                                  : TariffQuestion(address, tariffInputs[kind]);
    DisplayReply reply;
    const bool serial = !EthernetTicked() && !TovekServerTicked() && !XportTicked();
    const bool entry = kind == Entry1 || kind == Entry2;
    if (serial && !PortOpen) {
        if (kind == Entry1) {
            reply.ended = true;
            return reply;
        }
        if (!entry) {
            Log.add("No valid connection...");
            reply.ended = true;
            return reply;
        }
    }
    // A question that does not go out (a hung-up line, a dropped socket) ends the read.
    if ((!serial || PortOpen) && !sendPexor(question, PexorSend::InExchange)) {
        reply.ended = true;
        return reply;
    }
    if (kind == Tariff0)
        Log.add("Reading Pulse Input 1 of device " + address + "...");
    else if (kind == Tariff3)
        Log.add("Reading Cooling/T4 value of device " + address + "...");
    reply.sent = true;
    displayReplyWait();
    if (EthernetTicked() || TovekServerTicked()) {
        reply.text = Link.EthReplyText;
    } else if (XportTicked()) {
        reply.text = Link.LanxpReplyText;
    } else if (PortOpen) {
        reply.text = takeReply();
    } else if (entry) {
        Log.add("No valid physical connection...");
        reply.ended = true;
        return reply;
    }
    reply.first = Log.count();
    if (entry || !reply.text.empty())
        Log.add(reply.text);
    clearReplyTexts();
    return reply;
}

void TForm11::decodeTableReply(const DisplayReply& reply, const std::string& address, int kind)
{
    StringGrid& pexor = Grid_pexor->grid();
    StringGrid& readings = Grid_historical->grid();
    const bool tariff = kind >= Tariff0;
    const std::string readError = (tariff ? "Unexpected error in tarriffs, addr " : "Unexpected error, addr ")
                                + address + "...";
    const std::string writeError = (tariff ? "Error writing tariff in the table, addr "
                                           : "Error writing in the table, addr ")
                                 + address + "...";
    std::optional<TotalPulsesFields> pulses;
    std::optional<UserNumberFields> user;
    std::optional<TariffFields> tariffFields;
    try {
        if (kind == Entry1)
            pulses = DecodeTotalPulses(Log, reply.first, address);
        else if (kind == Entry2)
            user = DecodeUserNumber(Log, reply.first, address);
        else
            tariffFields = DecodeTariff(Log, reply.first, address, kind == Tariff0 ? 11 : kind == Tariff1 ? 12 : 13);
    } catch (const std::exception&) {
        Log.add(readError);
        return;
    }
    try {
        if (pulses)
            WriteTotalPulses(pexor, readings, *pulses);
        if (user)
            WriteUserNumber(pexor, readings, *user);
        if (tariffFields)
            WriteTariff(pexor, readings, *tariffFields);
    } catch (const std::exception&) {
        Log.add(writeError);
    }
}

// --- "Get info" ---

void TForm11::Butt_pexor_infoClick()
{
    if (refuseWhileBusy() || !PrepareLink())
        return;
    Info.clear();
    if (!sendInfoQuestion(MainInfoQuestion)) {
        ReleaseLink();
        return;
    }
    InfoStep = 1;
    Timer_pexor_info->setInterval(responseTimeout());
    enableTimer(*Timer_pexor_info);
}

bool TForm11::sendInfoQuestion(const char* question)
{
    if (EthernetTicked() || TovekServerTicked())
        return writePexorGateway(question);
    if (XportTicked()) {
        Link.LanxpReplyText.clear();
        Butt_connect_xportClick();
        return Link.LanxpConnected && writePexorModule(question);
    }
    return PortOpen && writePexorSerial(question);
}

void TForm11::Timer_pexor_infoTimer()
{
    try {
        infoTick();
    } catch (const std::exception& e) {
        Log.add(e.what());
    }
}

void TForm11::infoTick()
{
    const std::string reply = takeReply();
    // The reply without its final line end: a last line without one is kept.
    if (reply.ends_with("\r\n"))
        Info.add(std::string_view(reply).substr(0, reply.size() - 2));
    else if (!reply.empty())
        Info.add(reply);
    const int step = InfoStep;
    InfoStep = step + 1;
    if (step == 1 && !sendInfoQuestion(ServiceInfoQuestion))
        return;
    if (InfoStep == 3) {
        sendInfoQuestion(AddressListQuestion);
        return;
    }
    if (InfoStep > 3) {
        Timer_pexor_info->stop();
        ReleaseLink();
    }
}

#include "DisplayAppFixture.h"

#include "SimDisplayTcp.h"
#include "StringGridView.h"
#include "TForm11.h"

#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {

// Log lines that the write machine adds after each command it sent.
bool isSendLine(const std::string& line)
{
    for (const char* head : {"Activating device ", "Setting unit of device ", "Setting multiplier of device ",
                             "Setting divider of device ", "Setting initial value", "Setting user number of device ",
                             "Setting free text of device ", "Deleting device ", "Zeroing start value of device "})
        if (line.starts_with(head))
            return true;
    return false;
}

} // namespace

DisplayAppFixture::DisplayAppFixture()
{
    clock.set({2026, 3, 5, 9, 7, 30, 0});
}

void DisplayAppFixture::startDisplay(DisplayLink link, int retries, int port, bool autoDisplay,
                                     std::string_view extraMisc)
{
    const std::string portText = std::to_string(port);
    std::string misc = "Retry=" + std::to_string(retries) + "\r\n" + std::string(extraMisc);
    std::string lanxp = "Port=" + portText + "\r\n";
    std::string ethernet = "AutoOpen=1\r\nAutoMbus=0\r\nAutoDisplay=" + std::string(autoDisplay ? "1" : "0") + "\r\n";
    switch (link) {
    case DisplayLink::Serial:
        break;
    case DisplayLink::Module:
        misc += "UseLANXP=1\r\n";
        break;
    case DisplayLink::GatewayServer:
        misc += "TovekServer=1\r\n";
        break;
    case DisplayLink::CallingIn:
        misc += "UseEthernet=1\r\n";
        ethernet += "port=" + portText + "\r\n";
        break;
    }
    writeIni(Com1Ini + misc + "[Mbus]\r\nTimeout=300\r\n[Ethernet]\r\n"
             + ethernet + "[LANXP]\r\n" + lanxp);
    start();
    form11().setResponseTimeoutForTest(Timeout);
}

void DisplayAppFixture::startOn(DisplayLink link, int retries, bool autoDisplay, std::string_view extraMisc)
{
    switch (link) {
    case DisplayLink::Serial:
        pty = std::make_unique<DisplayPtySimulator>(display, DisplayPtyOptions {folder(), "COM1"});
        pty->start();
        startDisplay(link, retries, 0, autoDisplay, extraMisc);
        peer.follow(form11(), display);
        break;
    case DisplayLink::Module:
        module = std::make_unique<SimDisplayModule>();
        simAttachDisplay(*module, display);
        startDisplay(link, retries, module->port(), autoDisplay, extraMisc);
        peer.follow(form11(), display, *module);
        break;
    case DisplayLink::GatewayServer:
        gateway = std::make_unique<SimGateway>(SimGateway::Mode::Server);
        simAttachDisplay(*gateway, display);
        startDisplay(link, retries, gateway->port(), autoDisplay, extraMisc);
        peer.follow(form11(), display, *gateway);
        break;
    case DisplayLink::CallingIn:
        gateway = std::make_unique<SimGateway>(SimGateway::Mode::CallingIn);
        simAttachDisplay(*gateway, display);
        startDisplay(link, retries, 0, autoDisplay, extraMisc);
        peer.follow(form11(), display, *gateway);
        form11().FormActivate();
        ASSERT_TRUE(form11().Link.ListenOpen);
        ASSERT_TRUE(gateway->callIn(form11().Socket1->serverPort()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return form11().Link.ClientOnListen; }, 10000));
        break;
    }
}

void DisplayAppFixture::beginRun()
{
    const auto& lines = form11().Log.lines();
    sendBase_ = static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), isSendLine));
    commandBase_ = display.commandCount();
    sentAtLastTick_ = 0;
}

void DisplayAppFixture::tickPexor(Await await)
{
    TForm11& f = form11();
    f.Timer_pexor->stop();
    const auto& lines = f.Log.lines();
    const std::size_t sent = static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), isSendLine)) - sendBase_;
    // A tick that sent nothing (the end of a step) has no reply to wait for.
    const bool fresh = sent > sentAtLastTick_;
    sentAtLastTick_ = sent;
    if (await != Await::Nothing) {
        // The window's events run meanwhile: a socket writes what it was given from them.
        ASSERT_TRUE(QTest::qWaitFor([&] { return display.commandCount() >= commandBase_ + sent; }, 10000))
            << sent << " commands";
    }
    if (await == Await::Reply && fresh) {
        // The newest command has its reply written...
        ASSERT_TRUE(QTest::qWaitFor([&] {
            const std::vector<SimDisplayLogEntry> log = display.log();
            const auto command = std::find_if(log.rbegin(), log.rend(), [](const SimDisplayLogEntry& e) {
                return e.kind == SimDisplayLogEntry::Kind::Command;
            });
            return command != log.rbegin() && command != log.rend();
        }, 10000));
        // ...and it has reached the program's side of the link.
        const bool arrived = QTest::qWaitFor([&] {
            if (f.Link.TovekClientConnected || f.Link.ClientOnListen)
                return !f.Link.EthReplyText.empty();
            if (f.Link.LanxpConnected)
                return !f.Link.LanxpReplyText.empty();
            return f.Comm1.InQueCount() > 0;
        }, 10000);
        ASSERT_TRUE(arrived);
    }
    f.Timer_pexorTimer();
}

int DisplayAppFixture::runPexor(int maxTicks, Await await)
{
    for (int ticks = 1; ticks <= maxTicks; ++ticks) {
        tickPexor(await);
        if (::testing::Test::HasFatalFailure())
            return -1;
        if (!form11().WriteTableActive)
            return ticks;
    }
    return -1;
}

bool DisplayAppFixture::released()
{
    const TForm11& f = form11();
    return !f.PortOpen && !f.Link.LanxpConnected && !f.Link.TovekClientConnected && !f.linkBusy();
}

StringGrid& DisplayAppFixture::pexor()
{
    return form11().Grid_pexor->grid();
}

StringGrid& DisplayAppFixture::readings()
{
    return form11().Grid_historical->grid();
}

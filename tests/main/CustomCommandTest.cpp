// Custom commands on each link, as text and as hex bytes, and the reply display that ends
// each exchange. The reply timer is stepped by hand once the reply is in.
#include "ClosedPort.h"
#include "LinkAppFixture.h"
#include "PtyPair.h"
#include "TLogin.h"
#include "TSettings.h"
#include "TtyState.h"
#include "UpDownEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

class CustomCommands : public LinkAppFixture {
protected:
    // Types the command and presses "Send"; the reply timer is then stepped by hand.
    void send(const char* text, bool hex)
    {
        TForm11& w = f();
        (hex ? w.Check_hex : w.Check_ascii)->setChecked(true);
        w.Edit_command->setText(QString::fromLatin1(text));
        w.Butt_command_send->click();
        sent = w.Timer_free_command->isActive();
        w.Timer_free_command->stop();
    }
    // One tick of the reply timer, when cond says the reply is in.
    template <class Cond>
    void tickWhen(Cond&& cond)
    {
        ASSERT_TRUE(QTest::qWaitFor(cond, 10000));
        f().Timer_free_commandTimer();
    }

    bool sent = false;   // the reply timer was started
};

TEST_F(CustomCommands, TheTwoBoxesExcludeEachOtherAndTheButtonFollowsTheSearch)
{
    startWith("");
    TForm11& w = f();
    EXPECT_TRUE(w.Check_hex->isChecked());
    EXPECT_FALSE(w.Check_ascii->isChecked());
    w.Check_ascii->setChecked(true);
    EXPECT_FALSE(w.Check_hex->isChecked());
    w.Check_ascii->setChecked(false);
    EXPECT_TRUE(w.Check_hex->isChecked());
    w.Check_hex->setChecked(false);
    EXPECT_TRUE(w.Check_ascii->isChecked());
    w.TabSheet1Show();
    EXPECT_TRUE(w.Check_hex->isChecked() && !w.Check_ascii->isChecked());
    w.TabSheet3Show();
    EXPECT_TRUE(w.Check_ascii->isChecked() && !w.Check_hex->isChecked());

    // At most 250 characters typed.
    QTest::keyClicks(w.Edit_command, QString(260, QChar('A')));
    EXPECT_EQ(w.Edit_command->text().size(), 250);

    // A search disables the button and gives it back.
    EXPECT_TRUE(w.Butt_command_send->isEnabled());
    prompts.queueAnswer(Prompts::Answer::No);
    w.UD_address_min->setValue(1);
    w.UD_address_max->setValue(2);
    w.Butt_find_primaryClick();
    ASSERT_TRUE(w.SearchActive);
    EXPECT_FALSE(w.Butt_command_send->isEnabled());
    w.Butt_find_primaryClick();
    EXPECT_TRUE(w.Butt_command_send->isEnabled());
}

TEST_F(CustomCommands, OnTheSerialPortHexGoesByteByByteAndTextUnchanged)
{
    startWith("");
    TForm11& w = f();
    PtyPair line;
    settings().Combo_com_name->setEditText(QString::fromStdString(line.slavePath()));
    login().IsAdministrator = true;   // the hex path logs no "Sent:" line even then

    send("10 7B 01 7C 16", true);
    EXPECT_TRUE(sent);
    EXPECT_EQ(line.readMaster(5, std::chrono::seconds(5)), std::string("\x10\x7B\x01\x7C\x16", 5));
    line.writeMaster("\xE5");
    tickWhen([&] { return w.Comm1.InQueCount() == 1; });
    EXPECT_EQ(lastLogLine(), "E5 ");
    EXPECT_FALSE(w.PortOpen);   // released after the tick
    EXPECT_EQ(std::count_if(w.Log.lines().begin(), w.Log.lines().end(),
                            [](const std::string& l) { return l.starts_with("Sent:"); }),
              0);

    send("AT+X 1", false);
    EXPECT_TRUE(sent);
    EXPECT_EQ(line.readMaster(6, std::chrono::seconds(10)), "AT+X 1");
    EXPECT_EQ(line.readMaster(1, std::chrono::milliseconds(300)), "");   // no terminator
    line.writeMaster("OK\r\nX");
    const std::size_t from = w.Log.count();
    tickWhen([&] { return w.Comm1.InQueCount() == 5; });
    EXPECT_EQ(logFrom(from), (std::vector<std::string> {"OK", "X"}));
    EXPECT_FALSE(w.PortOpen);

    // No reply: nothing logged for it, the port closed all the same.
    send("01", true);
    EXPECT_EQ(line.readMaster(1, std::chrono::seconds(5)), "\x01");
    const std::size_t silent = w.Log.count();
    w.Timer_free_commandTimer();
    EXPECT_EQ(w.Log.count(), silent);
    EXPECT_FALSE(w.PortOpen);

    // Blanks only: the port opens and nothing is written.
    send("   ", true);
    EXPECT_TRUE(sent);
    EXPECT_TRUE(w.PortOpen);
    w.Timer_free_commandTimer();
    EXPECT_EQ(line.drainMaster(), "");
}

TEST_F(CustomCommands, RefusedCommandsOpenNothingAndSendNothing)
{
    startWith("");
    TForm11& w = f();
    PtyPair line;
    settings().Combo_com_name->setEditText(QString::fromStdString(line.slavePath()));
    const struct {
        const char* text;
        const char* line;
    } refused[] = {
        {"A", "Wrong custom hex command, 2 symbols at least..."},
        {"68 3 0a", "Wrong custom hex command, 0..F uppercase allowed"},
        {"107B017C16", "Wrong custom hex command, 2 hex digits per byte..."},
        {"1 234", "Wrong custom hex command, 2 hex digits per byte..."},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.text);
        const std::size_t from = w.Log.count();
        send(r.text, true);
        EXPECT_FALSE(sent);
        EXPECT_EQ(logFrom(from), std::vector<std::string> {r.line});
        EXPECT_FALSE(w.PortOpen);
    }
    // An empty command does nothing at all.
    const std::size_t from = w.Log.count();
    send("", false);
    EXPECT_FALSE(sent);
    EXPECT_EQ(w.Log.count(), from);

    // A port that does not open: nothing sent, no reply display.
    LockHolder holder(line.slavePath());
    send("AT", false);
    EXPECT_FALSE(sent);
    send("10 7B", true);
    EXPECT_FALSE(sent);
    holder.release();
    EXPECT_EQ(line.drainMaster(), "");
}

TEST_F(CustomCommands, TheListeningGatewayTakesTextBareAndHexAsATextPacket)
{
    startListening();
    TForm11& w = f();
    // Without a gateway: the text command's error, and the reply display runs.
    send("GET TIME", false);
    EXPECT_EQ(lastLogLine(), "Socket exception during setting Pexor parameters - not connected");
    EXPECT_TRUE(sent);
    EXPECT_TRUE(w.Link.ListenOpen);
    EXPECT_FALSE(w.Link.ClientOnListen);
    EXPECT_EQ(w.Link.PacketNo, 1);
    w.Timer_free_commandTimer();

    // The flags say a gateway is there, but no connection is: the hex command's error,
    // nothing counted, the flags left, and the reply display runs.
    w.Link.ClientOnListen = true;
    send("68 03", true);
    EXPECT_EQ(lastLogLine(), "Socket exception during free hex command - not connected");
    EXPECT_TRUE(sent);
    EXPECT_EQ(w.Link.PacketNo, 1);
    EXPECT_TRUE(w.Link.ListenOpen && w.Link.ClientOnListen);
    w.Timer_free_commandTimer();
    w.Link.ClientOnListen = false;

    Peer gateway = gatewayCallsIn();
    send("GET TIME", false);
    EXPECT_TRUE(sent);
    ASSERT_TRUE(gateway.waitReceived(8));
    EXPECT_EQ(gateway.take(8), "GET TIME");
    EXPECT_EQ(w.Link.PacketNo, 2);   // a bare text counts too
    ASSERT_TRUE(gateway.send(replyWith("12:00:00")));
    tickWhen([&] { return !w.Link.EthReplyText.empty(); });
    EXPECT_EQ(lastLogLine(), "12:00:00");
    EXPECT_EQ(w.Link.EthReplyText, "");   // released: the listening link clears its reply
    EXPECT_TRUE(w.Link.ClientOnListen);   // ... and stays

    send("68 03", true);
    ASSERT_TRUE(gateway.waitReceived(300));
    const std::string packet = gateway.take(300);
    EXPECT_EQ(at(packet, 12), 0xA1);
    EXPECT_EQ(packet.substr(16, 2), "\x68\x03");
    EXPECT_EQ(at(packet, 6) * 256 + at(packet, 7), 2);
    EXPECT_EQ(packet.substr(1, 4), std::string("\x0A\x00\x00\x07", 4));   // the replier's number
    EXPECT_EQ(w.Link.PacketNo, 3);
    ASSERT_TRUE(gateway.send(replyWith("\x68\x03")));
    tickWhen([&] { return !w.Link.EthReplyText.empty(); });
    EXPECT_EQ(lastLogLine(), "68 03 ");
}

TEST_F(CustomCommands, TheGatewayServerTakesBothWrappedAfterAConnect)
{
    Server server;
    startWith("TovekServer=1\r\n", "[LANXP]\r\nPort=" + server.portText() + "\r\nNetNumber=10.0.0.1\r\n");
    TForm11& w = f();

    send("GET TIME", false);
    EXPECT_TRUE(sent);
    Peer gw = server.accept();
    ASSERT_TRUE(gw.waitReceived(300));
    std::string packet = gw.take(300);
    EXPECT_EQ(at(packet, 12), 0xA1);
    EXPECT_EQ(packet.substr(16, 8), "GET TIME");
    EXPECT_EQ(packet.substr(1, 4), std::string("\x0A\x00\x00\x01", 4));
    EXPECT_EQ(at(packet, 7), 1);
    ASSERT_TRUE(gw.send(replyWith("OK")));
    tickWhen([&] { return !w.Link.EthReplyText.empty(); });
    EXPECT_EQ(lastLogLine(), "");   // after "OK" the disconnect's empty line
    EXPECT_EQ(w.Log.line(w.Log.count() - 2), "Disconnected TCP/IP connection at 2:05:09 PM, from server 127.0.0.1");
    EXPECT_TRUE(logCount("OK") == 1);
    EXPECT_TRUE(gw.waitClosed());

    // Hex: an older reply is never shown as this command's answer; the packet carries the
    // number as it stands, the last replier's (the edit is not read for it).
    settings().Edit_net_number->setText("5.5.5.5");
    w.Link.EthReplyText = "old";
    send("10 7B", true);
    EXPECT_TRUE(sent);
    EXPECT_EQ(w.Link.EthReplyText, "");
    Peer gw2 = server.accept();
    ASSERT_TRUE(gw2.waitReceived(300));
    packet = gw2.take(300);
    EXPECT_EQ(packet.substr(16, 2), "\x10\x7B");
    EXPECT_EQ(packet.substr(1, 4), std::string("\x0A\x00\x00\x07", 4));
    EXPECT_EQ(w.Link.PacketNo, 2);
    const std::size_t from = w.Log.count();
    w.Timer_free_commandTimer();   // the gateway is silent: only the link's end is logged
    EXPECT_EQ(logFrom(from),
              (std::vector<std::string> {"Disconnected TCP/IP connection at 2:05:09 PM, from server 127.0.0.1", ""}));
    EXPECT_FALSE(w.Link.TovekClientConnected);

    // A network number that is not one: the free-hex error, nothing sent, the display runs;
    // the older reply is gone all the same.
    settings().Edit_net_number->setText("1..2.3");
    w.Link.EthReplyText = "old";
    send("10 7B", true);
    EXPECT_TRUE(sent);
    EXPECT_EQ(lastLogLine(), "Socket exception during free hex command - '' is not a valid integer value");
    EXPECT_EQ(w.Link.EthReplyText, "");
    Peer gw3 = server.accept();
    EXPECT_EQ(w.Link.PacketNo, 1);
    w.Timer_free_commandTimer();
    EXPECT_TRUE(gw3.waitClosed());
    EXPECT_EQ(gw3.received(), "");

    // Nobody there: nothing sent, no reply display.
    const ClosedPort closed;
    settings().Edit_lanxp_port->setText(QString::fromStdString(closed.text()));
    send("GET TIME", false);
    EXPECT_FALSE(sent);
    EXPECT_EQ(logCount("Socket error #10061"), 1u);
    send("10 7B", true);
    EXPECT_FALSE(sent);
}

TEST_F(CustomCommands, TheDisplayModuleTakesBothRawAfterAConnect)
{
    Server module;
    startWith("UseLANXP=1\r\n", "[LANXP]\r\nPort=" + module.portText() + "\r\n");
    TForm11& w = f();

    send("GET SERV", false);
    EXPECT_TRUE(sent);
    Peer peer = module.accept();
    ASSERT_TRUE(peer.waitReceived(8));
    EXPECT_EQ(peer.take(8), "GET SERV");
    ASSERT_TRUE(peer.send("V48 ready"));
    tickWhen([&] { return w.Link.LanxpReplyText.size() == 9; });
    EXPECT_EQ(logCount("V48 ready"), 1u);
    EXPECT_FALSE(w.Link.LanxpConnected);
    EXPECT_TRUE(peer.waitClosed());

    w.Link.LanxpReplyText = "old";
    send("10 7B 01 7C 16", true);
    EXPECT_TRUE(sent);
    EXPECT_EQ(w.Link.LanxpReplyText, "");
    Peer again = module.accept();
    ASSERT_TRUE(again.waitReceived(5));
    EXPECT_EQ(again.take(5), std::string("\x10\x7B\x01\x7C\x16", 5));
    ASSERT_TRUE(again.send("\xE5"));
    tickWhen([&] { return w.Link.LanxpReplyText == "\xE5"; });
    EXPECT_EQ(logCount("E5 "), 1u);
    EXPECT_TRUE(again.waitClosed());

    const ClosedPort closed;
    settings().Edit_lanxp_port->setText(QString::fromStdString(closed.text()));
    send("GET SERV", false);
    EXPECT_FALSE(sent);
    send("10 7B", true);
    EXPECT_FALSE(sent);
}

} // namespace

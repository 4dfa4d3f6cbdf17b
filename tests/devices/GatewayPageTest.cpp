// The gateways' page on a simulated service port: every command's bytes, the value checks and
// the gate, the rules and key filters, the hidden tab, and the sound endings of the faults
// (quotes refused, the reply and the port's close in gateway-server mode, failed writes,
// one exchange at a time, one reply display for quick commands).
#include "BusSimulator.h"
#include "GatewayAppFixture.h"
#include "LogModel.h"
#include "SimGateway.h"
#include "SioOsCalls.h"
#include "StringGridView.h"
#include "TForm11.h"
#include "TSettings.h"
#include "TelegramBuilder.h"
#include "TtyState.h"
#include "UpDownEdit.h"
#include "WaitUntil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

const std::string PortLine = "COM1 - 2400,8,Even";
const std::string WrongIp = "Wrong IP value, please correct...";
const std::string OnlyRs232 = "Setting of Tovek-2 or Sarnel-1A is only RS-232!";
const std::string Busy = "Another exchange is running, please wait...";

// The log lines a reply adds, as the log splits them.
Lines replyLines(const std::string& reply)
{
    LogModel log;
    log.add(reply);
    return log.lines();
}

// The real calls, with the output queue the window's thread looks at held above zero for a
// number of looks, as on a real line whose bytes are still going out; the looks, writes,
// purges and closes are recorded in their order.
class SlowLineOs : public SioOsCalls {
public:
    std::atomic<int> fullLooks {0};

    std::vector<std::string> events()
    {
        const std::lock_guard lock(mutex_);
        return events_;
    }
    void clearEvents()
    {
        const std::lock_guard lock(mutex_);
        events_.clear();
    }

    ssize_t write(int fd, const void* buffer, std::size_t count) override
    {
        record("write");
        return SioOsCalls::write(fd, buffer, count);
    }
    int ioctl(int fd, unsigned long request, void* argument) override
    {
        if (request != TIOCOUTQ || std::this_thread::get_id() != windowThread_)
            return SioOsCalls::ioctl(fd, request, argument);
        if (fullLooks.load() > 0) {
            --fullLooks;
            *static_cast<int*>(argument) = 9;
            record("queue 9");
            return 0;
        }
        const int result = SioOsCalls::ioctl(fd, request, argument);
        record("queue " + std::to_string(*static_cast<int*>(argument)));
        return result;
    }
    int tcflush(int fd, int queue) override
    {
        record(queue == TCIFLUSH ? "purge input" : queue == TCOFLUSH ? "purge output" : "purge both");
        return SioOsCalls::tcflush(fd, queue);
    }
    int close(int fd) override
    {
        record("close");
        return SioOsCalls::close(fd);
    }

private:
    void record(std::string event)
    {
        const std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }

    const std::thread::id windowThread_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::vector<std::string> events_;
};

class GatewayPage : public GatewayAppFixture {
protected:
    TForm11& f() { return form11(); }
    QPushButton* button(const char* name)
    {
        auto* b = f().findChild<QPushButton*>(name);
        EXPECT_NE(b, nullptr) << name;
        return b;
    }
    // Nothing of the commands before reached the gateway: the next one is the first it gets.
    void expectNothingSent()
    {
        EXPECT_FALSE(f().Timer_free_command->isActive());
        gateway->clearLog();
        f().Butt_tovek2_test->click();
        ASSERT_TRUE(gateway->waitForReplies(1, 5s));
        ASSERT_EQ(gateway->commands().size(), 1u);
        EXPECT_EQ(gateway->commands()[0].bytes, "SET TEST");
        endReplyDisplay(2);
    }
};

} // namespace

// --- every command's bytes ---

TEST_F(GatewayPage, EveryButtonSendsItsCommandAfterItsLogLineAndShowsTheReply)
{
    struct Row {
        const char* button;
        bool sarnel;   // the model whose layout enables the button
        std::function<void(TForm11&)> values;
        const char* logLine;   // none: nullptr
        const char* bytes;
        bool display;
    };
    const auto edit = [](QLineEdit* TForm11::*e, const char* text) {
        return [e, text](TForm11& f) { (f.*e)->setText(text); };
    };
    const auto position = [](UpDownEdit* TForm11::*u, int value) {
        return [u, value](TForm11& f) { (f.*u)->setValue(value); };
    };
    const std::vector<Row> rows = {
        {"Butt_CMT", false, edit(&TForm11::Edit_own_ip, "192.168.1.10"), "Changing own IP of Tovek2...",
         "SET IPV4=192.168.1.10", true},
        {"Butt_MET", false, edit(&TForm11::Edit_gw_ip, "192.168.1.1"), "Changing gateway IP of Tovek-2...",
         "SET GATE=192.168.1.1", true},
        {"Butt_CET", false, edit(&TForm11::Edit_mask_ip, "255.255.255.0"), "Changing netmask of Tovek-2...",
         "SET MASK=255.255.255.0", true},
        {"Butt_tovek_nn", false, edit(&TForm11::Edit_network, "10.0.0.7"), "Changing network ID of Tovek-2...",
         "SET NETN=10.0.0.7", true},
        {"Butt_tovek_manip", true, edit(&TForm11::Edit_man_ip, "81.2.3.4"), "Setting manufacturer IP...",
         "SET IPMA=81.2.3.4", true},
        {"Butt_tovek2_conip", false, edit(&TForm11::Edit_control_ip, "81.2.3.5"), "Setting control IP...",
         "SET IPCO=81.2.3.5", true},
        {"Butt_tovek2_op1", false,
         [](TForm11& f) {
             f.Check_op3->setChecked(true);
             f.Edit_op1_ip->setText("10.0.0.1");
         },
         "Setting IP Op #3...", "SET IPO3=10.0.0.1", true},
        {"Butt_DDT", true,
         [](TForm11& f) {
             f.Combo_com2_speed->setEditText("9600");
             f.Combo_com2_parity->setEditText("None");
         },
         "Changing Tovek-2 serial port settings...", "SET COM2=4,2", true},
        {"Butt_OHA", false,
         [](TForm11& f) {
             f.UD_day->setValue(5);
             f.UD_hour->setValue(7);
             f.UD_minute->setValue(30);
         },
         "Changing automatic readout time...", "SET DUED=05/07/30", true},
        {"Butt_TXG", false, position(&TForm11::UD_retries, 16), "Changing retry number for connection to server...",
         "SET RETN=16", true},
        {"Butt_RXG", false, position(&TForm11::UD_retry_timeout, 7), "Changing Tovek-2 retry timeout...",
         "SET RETI=07", true},
        {"Butt_DPP", true, position(&TForm11::UD_ping, 48), "Changing ping server timeout...", "SET PITO=48", true},
        {"Butt_tovek_mbus_response", false, position(&TForm11::UD_tovek_mbus, 3),
         "Changing Tovek-2 m-bus response timeout...", "SET NETO=03", true},
        {"Butt_eth_date", false, {}, "Setting date of Tovek-2...", "SET DATE=03,03,26", true},
        {"Butt_eth_time", true, {}, "Setting time of Tovek-2...", "SET TIME=09,05", true},
        {"Butt_apn", true, edit(&TForm11::Edit_apn, "internet"), "Setting Access point of GPRS connection...",
         "SET APNM=\"internet\"", false},
        {"Butt_phone_number", true, edit(&TForm11::Edit_phone_number, "0"),
         "Setting phone number for GPRS connection...", "SET PHON=0", false},
        {"Butt_gprs_pin", true, edit(&TForm11::Edit_gprs_pin, "1234"), "Changing PIN code for GPRS connection...",
         "SET PINC=1234", true},
        {"Butt_gprs_user", true, edit(&TForm11::Edit_gprs_username, "meter"),
         "Changing username for GPRS connection...", "SET USER=\"meter\"", true},
        {"Butt_gprs_pass", true, edit(&TForm11::Edit_gprs_pass, "0"), "Changing password for GPRS connection...",
         "SET PASS=0", true},
        {"Butt_tovek2_test", false, {}, nullptr, "SET TEST", true},
        {"Butt_eth_main", false, {}, nullptr, "GET MAIN", true},
        {"Butt_eth_service", true, {}, nullptr, "GET SERV", true},
        {"Butt_eth_conn", false, {}, nullptr, "GET CONN", true},
        {"Butt_eth_oper", true, {}, nullptr, "GET OPER", true},
        {"Butt_gprs_info", true, {}, nullptr, "GET GPRS", true},
        {"Butt_gprs_stat", true, {}, nullptr, "GET STAT", true},
    };

    startGateway();
    // Every button of the page has its row, and every row its button there; the hidden
    // "Set All" does nothing (see the page's start).
    std::set<std::string> onPage;
    for (const QPushButton* b : f().TabSheet2->findChildren<QPushButton*>())
        if (b != f().Butt_saveall)
            onPage.insert(b->objectName().toStdString());
    std::set<std::string> tested;
    for (const Row& row : rows)
        tested.insert(row.button);
    ASSERT_EQ(tested, onPage);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.button);
        f().Check_sarnel->setChecked(row.sarnel);
        if (row.values)
            row.values(f());
        gateway->clearLog();
        const std::size_t first = logSize();
        button(row.button)->click();

        ASSERT_TRUE(gateway->waitForReplies(1, 5s));
        const auto commands = gateway->commands();
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_EQ(commands[0].bytes, row.bytes);
        EXPECT_EQ(commands[0].bytes.find_first_of("\r\n"), std::string::npos);
        EXPECT_EQ(f().Timer_free_command->isActive(), row.display);

        Lines expected {PortLine};
        if (row.logLine)
            expected.push_back(row.logLine);
        if (row.display) {
            const std::string answer = GatewayTextSimulator::answerTo(row.bytes);
            endReplyDisplay(answer.size());
            for (const std::string& line : replyLines(answer))
                expected.push_back(line);
            EXPECT_FALSE(f().PortOpen);
            EXPECT_EQ(f().StatusText(), "COM1 is closed");
        } else {
            // Without a reply display the serial port stays open for the next exchange.
            EXPECT_TRUE(f().PortOpen);
            f().ReleaseLink();
        }
        EXPECT_EQ(logFrom(first), expected);
    }
    // What the gateway kept of the address commands.
    EXPECT_EQ(gateway->store().at("IPO3"), "10.0.0.1");
    EXPECT_EQ(gateway->store().at("APNM"), "\"internet\"");
}

// --- checks and gate ---

TEST_F(GatewayPage, DottedAddressesAreCheckedBeforeAnythingIsSent)
{
    startGateway();
    f().Edit_own_ip->setText("0.0.0.0");   // no lower bound
    f().Butt_CMT->click();
    ASSERT_TRUE(gateway->waitForReplies(1, 5s));
    EXPECT_EQ(gateway->commands().at(0).bytes, "SET IPV4=0.0.0.0");
    endReplyDisplay(2);

    std::size_t first = logSize();
    for (const char* wrong : {"192.168.1", "1.2.3.256"}) {
        f().Edit_own_ip->setText(wrong);
        f().Butt_CMT->click();
    }
    EXPECT_EQ(logFrom(first), (Lines {WrongIp, WrongIp}));
    // An empty edit does nothing at all; a part that is no number shows the conversion error.
    first = logSize();
    f().Edit_own_ip->clear();
    f().Butt_CMT->click();
    EXPECT_TRUE(prompts.boxes.empty());
    f().Edit_own_ip->setText("1..2.3");
    f().Butt_CMT->click();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].icon, Prompts::Icon::Error);
    EXPECT_EQ(prompts.boxes[0].caption, "Ferolt");
    EXPECT_EQ(prompts.boxes[0].text, "'' is not a valid integer value");
    EXPECT_EQ(logSize(), first);
    EXPECT_FALSE(f().PortOpen);
    expectNothingSent();
}

TEST_F(GatewayPage, WrongSpeedParityAndPinAreLoggedAndNothingIsSent)
{
    startGateway();
    const std::size_t first = logSize();
    f().Combo_com2_speed->setEditText("9600 ");
    f().Combo_com2_parity->setEditText("None");
    f().Butt_DDT->click();
    f().Combo_com2_speed->setEditText("9600");
    f().Combo_com2_parity->setEditText("even");
    f().Butt_DDT->click();
    f().Check_sarnel->setChecked(true);
    f().Edit_gprs_pin->setText("123");
    f().Butt_gprs_pin->click();
    EXPECT_EQ(logFrom(first),
              (Lines {"Wrong speed, skipping...", "Wrong parity, skipping...", "PIN must be 4 digits, skipping..."}));
    EXPECT_FALSE(f().PortOpen);
    expectNothingSent();
}

TEST_F(GatewayPage, TheNetworkLinksBlockAndTheGatewayServerLinkDoesNot)
{
    startGateway();
    settings().Check_ethernet->setChecked(true);
    std::size_t first = logSize();
    // The address is checked before the gate, and an empty one ends the command before both:
    // nothing is logged for it. The operator command runs the gate first.
    f().Edit_own_ip->setText("");
    f().Butt_CMT->click();
    f().Edit_own_ip->setText("1.2.3.256");
    f().Butt_CMT->click();
    f().Edit_own_ip->setText("1.2.3.4");
    f().Butt_CMT->click();
    f().Check_op1->setChecked(true);
    f().Edit_op1_ip->setText("1.2.3.256");
    f().Butt_tovek2_op1->click();
    f().Butt_eth_main->click();
    f().Combo_com2_speed->setEditText("bad");
    f().Butt_DDT->click();
    EXPECT_EQ(logFrom(first), (Lines {WrongIp, OnlyRs232, OnlyRs232, OnlyRs232, OnlyRs232}));

    settings().Check_xport->setChecked(true);
    ASSERT_FALSE(settings().Check_ethernet->isChecked());
    first = logSize();
    f().Butt_eth_main->click();
    f().Butt_eth_timeClick();
    EXPECT_EQ(logFrom(first), (Lines {OnlyRs232, OnlyRs232}));
    EXPECT_FALSE(f().PortOpen);

    settings().Check_tovek_server->setChecked(true);
    ASSERT_FALSE(settings().Check_xport->isChecked());
    expectNothingSent();
}

TEST_F(GatewayPage, APortHeldByAnotherProgramSendsNothing)
{
    startGateway();
    {
        LockHolder holder(gateway->slavePath());
        const std::size_t first = logSize();
        f().Butt_eth_main->click();
        f().Edit_own_ip->setText("1.2.3.4");
        f().Butt_CMT->click();
        const std::string inUse = "The selected serial port (COM1) is in use by another program!";
        const std::string held = "COM1 is " + paths().portsDir() + "/COM1 -> " + gateway->slavePath()
            + ": locked by another program";
        EXPECT_EQ(logFrom(first), (Lines {inUse, held, inUse, held}));
        EXPECT_FALSE(f().PortOpen);
    }
    expectNothingSent();
}

// --- rules, filters, start values, the hidden tab ---

TEST_F(GatewayPage, OperatorBoxesAllowAtMostOne)
{
    startGateway();
    const std::vector<QCheckBox*> boxes {f().Check_op1, f().Check_op2, f().Check_op3, f().Check_op4};
    const auto ticked = [&] {
        std::string t;
        for (QCheckBox* b : boxes)
            t += b->isChecked() ? '1' : '0';
        return t;
    };
    EXPECT_EQ(ticked(), "0000");
    f().Check_op2->setChecked(true);
    EXPECT_EQ(ticked(), "0100");
    f().Check_op4->click();
    EXPECT_EQ(ticked(), "0001");
    f().Check_op1->setChecked(true);
    EXPECT_EQ(ticked(), "1000");
    f().Check_op1->click();   // unticking leaves none
    EXPECT_EQ(ticked(), "0000");
    // No box: the operator command sends nothing and logs nothing.
    const std::size_t first = logSize();
    f().Edit_op1_ip->setText("10.0.0.1");
    f().Butt_tovek2_op1->click();
    EXPECT_EQ(logSize(), first);
    expectNothingSent();
}

TEST_F(GatewayPage, TheModelSwitchFlipsTheEthernetAndTheGprsControls)
{
    startGateway();
    const char* ethernet[] = {"Edit_own_ip", "Butt_CMT", "Edit_mask_ip", "Butt_CET", "Edit_retries",
                              "UD_retries", "Butt_TXG", "Edit_retry_timeout", "UD_retry_timeout", "Butt_RXG"};
    const char* gprs[] = {"Edit_gprs_pin", "Butt_gprs_pin", "Edit_gprs_username", "Butt_gprs_user",
                          "Edit_gprs_pass", "Butt_gprs_pass", "Edit_apn", "Butt_apn", "Edit_phone_number",
                          "Butt_phone_number", "Butt_gprs_info", "Butt_gprs_stat"};
    const char* either[] = {"Edit_gw_ip", "Butt_MET", "Edit_op1_ip", "UD_ping", "Butt_eth_main", "Combo_com2_speed"};
    const auto expectLayout = [&](bool sarnel) {
        EXPECT_EQ(f().Check_sarnel->isChecked(), sarnel);
        EXPECT_EQ(f().Check_tovek2->isChecked(), !sarnel);
        for (const char* name : ethernet)
            EXPECT_EQ(f().findChild<QWidget*>(name)->isEnabled(), !sarnel) << name;
        for (const char* name : gprs)
            EXPECT_EQ(f().findChild<QWidget*>(name)->isEnabled(), sarnel) << name;
        for (const char* name : either)
            EXPECT_TRUE(f().findChild<QWidget*>(name)->isEnabled()) << name;
    };
    expectLayout(false);   // the start layout is the Tovek-2's
    f().Check_tovek2->click();
    expectLayout(true);
    f().Check_tovek2->click();
    expectLayout(false);
    f().Check_sarnel->setChecked(true);
    expectLayout(true);
    f().Check_sarnel->setChecked(false);
    expectLayout(false);
}

TEST_F(GatewayPage, KeyFiltersAndTypingLimits)
{
    startGateway();
    QTest::keyClicks(f().Edit_own_ip, "1a2.3-");
    EXPECT_EQ(f().Edit_own_ip->text(), "12.3");
    f().Check_sarnel->setChecked(true);
    f().Edit_gprs_pin->insert("12a4");   // pasted: a letter in it refuses the whole paste
    EXPECT_EQ(f().Edit_gprs_pin->text(), "");
    f().Edit_gprs_pin->clear();
    QTest::keyClicks(f().Edit_gprs_pin, "9x8.7");
    EXPECT_EQ(f().Edit_gprs_pin->text(), "987");

    struct Limit {
        QLineEdit* edit;
        int length;
    };
    for (const Limit& l : {Limit {f().Edit_own_ip, 15}, Limit {f().Edit_mask_ip, 15}, Limit {f().Edit_gw_ip, 15},
                           Limit {f().Edit_network, 15}, Limit {f().Edit_man_ip, 15}, Limit {f().Edit_control_ip, 15},
                           Limit {f().Edit_op1_ip, 15}, Limit {f().Edit_gprs_pin, 4},
                           Limit {f().Edit_gprs_username, 19}, Limit {f().Edit_gprs_pass, 19},
                           Limit {f().Edit_apn, 27}, Limit {f().Edit_phone_number, 20}}) {
        SCOPED_TRACE(l.edit->objectName().toStdString());
        f().Check_sarnel->setChecked(l.edit != f().Edit_own_ip && l.edit != f().Edit_mask_ip);
        l.edit->clear();
        QTest::keyClicks(l.edit, QString(40, '7'));
        EXPECT_EQ(l.edit->text().size(), l.length);
    }
    // The four text edits take any character, the quote included; the send refuses it.
    f().Edit_apn->clear();
    QTest::keyClicks(f().Edit_apn, "a\"b c");
    EXPECT_EQ(f().Edit_apn->text(), "a\"b c");
}

TEST_F(GatewayPage, ThePageStartsWithItsEnglishCaptionsListsRangesAndValues)
{
    startGateway();
    struct Range {
        UpDownEdit* ud;
        const char* edit;
        int minimum, maximum;
    };
    for (const Range& r : {Range {f().UD_day, "Edit_day", 1, 31}, Range {f().UD_hour, "Edit_hour", 0, 23},
                           Range {f().UD_minute, "Edit_minute", 0, 59}, Range {f().UD_retries, "Edit_retries", 1, 16},
                           Range {f().UD_retry_timeout, "Edit_retry_timeout", 1, 50},
                           Range {f().UD_ping, "Edit_ping", 1, 48},
                           Range {f().UD_tovek_mbus, "Edit_tovek_mbus_response", 3, 25}}) {
        SCOPED_TRACE(r.edit);
        EXPECT_EQ(r.ud->minimum(), r.minimum);
        EXPECT_EQ(r.ud->maximum(), r.maximum);
        EXPECT_EQ(r.ud->value(), r.minimum);
        EXPECT_EQ(r.ud->edit()->objectName(), r.edit);
        EXPECT_TRUE(r.ud->edit()->isReadOnly());
    }
    const auto items = [](QComboBox* c) {
        QStringList list;
        for (int i = 0; i < c->count(); ++i)
            list << c->itemText(i);
        return list.join(',');
    };
    EXPECT_EQ(items(f().Combo_com2_speed), "300,1200,2400,4800,9600,19200,38400");
    EXPECT_EQ(items(f().Combo_com2_parity), "Even,Odd,None");
    for (QComboBox* c : {f().Combo_com2_speed, f().Combo_com2_parity}) {
        EXPECT_TRUE(c->isEditable());
        EXPECT_TRUE(c->currentText().isEmpty());
    }
    EXPECT_EQ(f().GroupBox1->title(), "   Network related options   ");
    EXPECT_EQ(f().GroupBox2->title(), "   Other options   ");
    EXPECT_EQ(f().Check_sarnel->text(), "Sarnel");
    EXPECT_EQ(f().Check_tovek2->text(), "Tovek");
    EXPECT_EQ(f().Label28->text(), "m-bus response time (0.3 - 2.5s)");
    EXPECT_EQ(f().Butt_gprs_stat->text(), "Get GPRS status");
    for (const char* name : {"Butt_CMT", "Butt_CET", "Butt_MET", "Butt_tovek_nn", "Butt_apn", "Butt_phone_number",
                             "Butt_tovek_manip", "Butt_tovek2_conip", "Butt_tovek2_op1", "Butt_gprs_pin",
                             "Butt_gprs_user", "Butt_gprs_pass", "Butt_DDT", "Butt_OHA", "Butt_TXG", "Butt_RXG",
                             "Butt_DPP", "Butt_tovek_mbus_response"})
        EXPECT_EQ(button(name)->text(), "Set") << name;
    EXPECT_TRUE(f().Edit_own_ip->text().isEmpty() && f().Edit_apn->text().isEmpty());
    // "Set All" is hidden and does nothing.
    EXPECT_TRUE(f().Butt_saveall->isHidden());
    const std::size_t first = logSize();
    f().Butt_saveall->click();
    EXPECT_EQ(logSize(), first);
    EXPECT_FALSE(f().PortOpen);
}

TEST_F(GatewayPage, TheTabStaysHiddenForEveryAccount)
{
    startGateway();
    QTabWidget* pages = f().PageControl1;
    const int tab = pages->indexOf(f().TabSheet2);
    // Shown from code: the page is current, its tab hidden, and text commands are typed as text.
    EXPECT_EQ(pages->currentWidget(), f().TabSheet2);
    EXPECT_TRUE(f().Check_ascii->isChecked());
    EXPECT_FALSE(pages->isTabVisible(tab));
    for (const char* level : {"Operator", "Setup", "Administrator", "Unknown"})
        for (const UserRights rights : {UserRights::all(), UserRights {}, UserRights {false, true, false}}) {
            loginAs(level, rights);
            EXPECT_FALSE(pages->isTabVisible(tab)) << level << rights.communication;
        }
}

// --- the faults ---

TEST_F(GatewayPage, AQuoteOrAControlCharacterInATextValueIsRefused)
{
    startGateway();
    f().Check_sarnel->setChecked(true);
    struct Case {
        QLineEdit* edit;
        QPushButton* set;
        const char* value;
    };
    const std::size_t first = logSize();
    for (const Case& c : {Case {f().Edit_apn, f().Butt_apn, "inter\"net"}, Case {f().Edit_phone_number, f().Butt_phone_number, "\"0"},
                          Case {f().Edit_gprs_username, f().Butt_gprs_user, "me\"ter"},
                          Case {f().Edit_gprs_pass, f().Butt_gprs_pass, "pw\""},
                          Case {f().Edit_gprs_pass, f().Butt_gprs_pass, "pw\tx"},
                          // A letter the line's code page lacks would go out as "?".
                          Case {f().Edit_gprs_pass, f().Butt_gprs_pass, "pw\u0416"},
                          Case {f().Edit_apn, f().Butt_apn, "intern\u0416t"}}) {
        c.edit->setText(QString::fromUtf8(c.value));
        c.set->click();
    }
    EXPECT_EQ(logFrom(first), Lines(7, "Wrong value, skipping..."));
    EXPECT_FALSE(f().PortOpen);
    expectNothingSent();
}

TEST_F(GatewayPage, InGatewayServerModeTheReplyComesFromTheSerialPortWhichIsClosedAfterwards)
{
    SimGateway server(SimGateway::Mode::Server);
    startGateway("TovekServer=1\r\n");
    ASSERT_TRUE(settings().Check_tovek_server->isChecked());
    settings().Edit_lanxp_port->setText(QString::number(server.port()));
    f().Butt_tovekClick();
    ASSERT_TRUE(f().Link.TovekClientConnected);
    f().Butt_eth_main->click();
    ASSERT_TRUE(gateway->waitForReplies(1, 5s));
    endReplyDisplay(GatewayTextSimulator::cannedAnswer("MAIN").size());
    for (const std::string& line : replyLines(GatewayTextSimulator::cannedAnswer("MAIN"))) {
        if (!line.empty()) {
            EXPECT_EQ(logCount(line), 1u) << line;
        }
    }
    EXPECT_FALSE(f().PortOpen);
    EXPECT_EQ(f().StatusText(), "COM1 is closed");
    EXPECT_TRUE(f().Link.TovekClientConnected);   // the network link is left as it is
    EXPECT_EQ(server.connectionCount(), 1u);

    // The two commands without a reply display close the port once their bytes have left.
    f().Check_sarnel->setChecked(true);
    gateway->clearLog();
    f().Edit_phone_number->setText("00");
    f().Butt_phone_number->click();
    EXPECT_FALSE(f().PortOpen);
    ASSERT_TRUE(gateway->waitForCommands(1, 5s));   // a user's next click comes later
    f().Edit_apn->setText(QString(27, 'a'));
    f().Butt_apn->click();
    EXPECT_FALSE(f().PortOpen);
    ASSERT_TRUE(gateway->waitForReplies(2, 5s));
    const auto commands = gateway->commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].bytes, "SET PHON=\"00\"");
    EXPECT_EQ(commands[1].bytes, "SET APNM=\"" + std::string(27, 'a') + "\"");
    EXPECT_FALSE(f().Timer_free_command->isActive());
}

TEST_F(GatewayPage, InGatewayServerModeThePortClosesOnlyOnceItsOutputHasDrained)
{
    auto os = std::make_unique<SlowLineOs>();
    SlowLineOs& line = *os;
    useSerialOs(std::move(os));
    SimGateway server(SimGateway::Mode::Server);
    startGateway("TovekServer=1\r\n");
    settings().Edit_lanxp_port->setText(QString::number(server.port()));
    f().Check_sarnel->setChecked(true);
    f().Edit_phone_number->setText("00");
    f().Edit_apn->setText("internet");
    std::size_t sent = 0;
    for (QPushButton* b : {f().Butt_phone_number, f().Butt_apn}) {
        const std::string name = b->objectName().toStdString();
        line.clearEvents();
        line.fullLooks = 3;
        b->click();
        EXPECT_FALSE(f().PortOpen) << name;
        // From the command's write on: the queue looked at until it is empty (the reply's
        // arrival may look once more), then the input alone purged, then the close.
        std::vector<std::string> events = line.events();
        const auto write = std::find(events.begin(), events.end(), "write");
        ASSERT_NE(write, events.end()) << name;
        events.erase(events.begin(), write);
        EXPECT_EQ(std::count(events.begin(), events.end(), "queue 9"), 3) << name;
        events.erase(std::unique(events.begin(), events.end()), events.end());
        EXPECT_EQ(events, (Lines {"write", "queue 9", "queue 0", "purge input", "close"})) << name;
        ASSERT_TRUE(gateway->waitForCommands(++sent, 5s)) << name;   // a user's next click comes later
    }
    const auto commands = gateway->commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].bytes, "SET PHON=\"00\"");
    EXPECT_EQ(commands[1].bytes, "SET APNM=\"internet\"");
}

TEST_F(GatewayPage, AFailedWriteIsLoggedWithTheCommandsLogLineAndStartsNoReplyDisplay)
{
    startGateway();
    f().ToggleComPort();
    ASSERT_TRUE(f().PortOpen);
    gateway->hangUp();
    ASSERT_TRUE(waitUntil([&] { return gateway->hungUp(); }, 5s));
    std::size_t first = logSize();
    f().Edit_own_ip->setText("192.168.1.10");
    f().Butt_CMT->click();
    EXPECT_EQ(logFrom(first), (Lines {"Changing own IP of Tovek2...", "Can not write to COM port - Changing own IP of Tovek2..."}));
    EXPECT_FALSE(f().Timer_free_command->isActive());
    EXPECT_FALSE(f().PortOpen);   // the exchange is over

    // A command without a log line names its text; a fresh line to hang up first.
    gateway = std::make_unique<GatewayTextSimulator>(folder());
    gateway->start();
    f().ToggleComPort();
    ASSERT_TRUE(f().PortOpen);
    gateway->hangUp();
    ASSERT_TRUE(waitUntil([&] { return gateway->hungUp(); }, 5s));
    first = logSize();
    f().Butt_eth_main->click();
    EXPECT_EQ(logFrom(first), (Lines {"Can not write to COM port - GET MAIN"}));
    EXPECT_FALSE(f().Timer_free_command->isActive());
    EXPECT_FALSE(f().PortOpen);
}

TEST_F(GatewayPage, TwoQuickCommandsShareOneReplyDisplay)
{
    startGateway();
    const std::size_t first = logSize();
    f().Butt_eth_main->click();
    ASSERT_TRUE(gateway->waitForReplies(1, 5s));
    // The display runs: the second command is no other exchange, and the port is open already.
    f().Butt_eth_conn->click();
    ASSERT_TRUE(gateway->waitForReplies(2, 5s));
    const std::string both = GatewayTextSimulator::cannedAnswer("MAIN") + GatewayTextSimulator::cannedAnswer("CONN");
    endReplyDisplay(both.size());
    Lines expected {PortLine};
    for (const std::string& line : replyLines(both))
        expected.push_back(line);
    EXPECT_EQ(logFrom(first), expected);
    EXPECT_EQ(logCount(Busy), 0u);
    EXPECT_FALSE(f().PortOpen);
}

TEST_F(GatewayPage, ASecondCommandDoesNotPushTheReplyDisplayBack)
{
    startGateway();
    f().setResponseTimeoutForTest(3000);   // long enough that the display cannot end meanwhile
    f().Butt_eth_main->click();
    ASSERT_TRUE(gateway->waitForReplies(1, 5s));
    ASSERT_TRUE(f().Timer_free_command->isActive());
    // Some of the display's time has gone when the second command follows.
    ASSERT_TRUE(QTest::qWaitFor([&] { return f().Timer_free_command->remainingTime() < 2900; }, 10000));
    const int left = f().Timer_free_command->remainingTime();
    f().Butt_eth_conn->click();
    ASSERT_TRUE(gateway->waitForReplies(2, 5s));
    ASSERT_TRUE(f().Timer_free_command->isActive());
    EXPECT_LE(f().Timer_free_command->remainingTime(), left);
    endReplyDisplay(GatewayTextSimulator::cannedAnswer("MAIN").size() + GatewayTextSimulator::cannedAnswer("CONN").size());
}

TEST_F(GatewayPage, DuringAReadOfAllMetersAGatewayCommandSendsNothing)
{
    // The meter bus on the line in place of the gateway.
    gateway->stop();
    BusSimulatorOptions options;
    options.programFolder = folder();
    BusSimulator bus(options);
    bus.start();
    bus.addMeter(SimMeter(5, "00000005", "EMH", 1, 0x04, hexBytes("0C 06 27 04 00 00")));
    startGateway("Retry=0\r\n");
    StringGrid& meters = f().Grid_vantrel->grid();
    meters.setRowCount(3);
    meters.setCell(1, 1, "5");
    meters.setCell(1, 2, "6");
    f().Butt_readall->click();
    ASSERT_TRUE(bus.waitForFrames(1, 5s));
    ASSERT_TRUE(f().Timer_readall->isActive());
    f().Edit_own_ip->setText("1.2.3.4");
    for (QPushButton* b : {f().Butt_eth_main, f().Butt_CMT, f().Butt_eth_time, f().Butt_tovek_mbus_response})
        b->click();
    EXPECT_EQ(logCount(Busy), 4u);
    EXPECT_FALSE(f().Timer_free_command->isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f().Timer_readall->isActive(); }, 10000));
    EXPECT_EQ(bus.receivedBytes().find("GET "), std::string::npos);
    EXPECT_EQ(bus.receivedBytes().find("SET "), std::string::npos);
}

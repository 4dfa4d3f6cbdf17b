#include "AppFixture.h"
#include "BusSimulator.h"
#include "ClosedPort.h"
#include "MasterFrames.h"
#include "PtyPair.h"
#include "SioOsCalls.h"
#include "TForm11.h"
#include "TLogin.h"
#include "TSettings.h"
#include "TtyState.h"

#include <QComboBox>
#include <QCheckBox>
#include <QPushButton>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace {

using namespace std::chrono_literals;

std::size_t openDescriptors()
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                                  std::filesystem::directory_iterator()));
}

// The real calls, with a port's open or lock refused with a scripted error (0: not refused).
class RefusingOs : public SioOsCalls {
public:
    std::atomic<int> openErrno {0};
    std::atomic<int> flockErrno {0};

    int open(const char* path, int flags) override
    {
        if (const int e = openErrno.load()) {
            errno = e;
            return -1;
        }
        return SioOsCalls::open(path, flags);
    }
    int flock(int fd, int operation) override
    {
        if (const int e = flockErrno.load()) {
            errno = e;
            return -1;
        }
        return SioOsCalls::flock(fd, operation);
    }
};

class LinkTest : public AppFixture {
protected:
    LinkTest()
    {
        BusSimulatorOptions options;
        options.programFolder = folder();
        bus = std::make_unique<BusSimulator>(options);
        bus->start();
    }

    void startWith(const std::string& ini)
    {
        writeIni(ini);
        start();
    }

    // The bytes the bus took, once n frames that passed its checks have arrived.
    std::string received(std::size_t n)
    {
        EXPECT_TRUE(bus->waitForFrames(n, 10s)) << "frames so far: " << bus->frameCount();
        return bus->receivedBytes();
    }

    std::unique_ptr<BusSimulator> bus;
};

TEST_F(LinkTest, EachExchangeOpensThePortAndClosesItAgain)
{
    startWith("[Com port]\r\nSpeed=2400\r\n");
    TForm11& f = form11();
    TSettings& s = settings();
    const std::size_t descriptors = openDescriptors();
    const std::string frame("\x10\x7B\x01\x7C\x16", 5);
    std::string sent;
    for (std::size_t i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        login().IsAdministrator = i == 1;   // only then is the frame logged
        ASSERT_TRUE(f.PrepareLink());
        EXPECT_TRUE(f.PortOpen);
        EXPECT_EQ(f.StatusText(), "COM1 - 2400,8,Even");
        EXPECT_EQ(f.Log.line(f.Log.count() - 1), "COM1 - 2400,8,Even");
        EXPECT_FALSE(s.Combo_com_name->isEnabled() || s.Combo_com_speed->isEnabled()
                     || s.Combo_com_parity->isEnabled());
        EXPECT_EQ(s.Butt_open_port->text(), "Disconnect");
        f.Frames.SendReqUd2(1);
        sent += frame;
        EXPECT_EQ(received(i), sent);
        f.ReleaseLink();
        EXPECT_FALSE(f.PortOpen);
        EXPECT_FALSE(f.Comm1.Active());
        EXPECT_EQ(f.StatusText(), "COM1 is closed");
        EXPECT_TRUE(s.Combo_com_name->isEnabled() && s.Combo_com_speed->isEnabled()
                    && s.Combo_com_parity->isEnabled());
        EXPECT_EQ(s.Butt_open_port->text(), "Connect to port");
    }
    EXPECT_EQ(logCount("COM1 - 2400,8,Even"), 3u);
    EXPECT_EQ(logCount("Sent:10 7B 01 7C 16 "), 1u);
    EXPECT_EQ(openDescriptors(), descriptors);
}

TEST_F(LinkTest, EveryBuilderSendsItsFrameOnTheSerialLink)
{
    startWith("");
    TForm11& f = form11();
    MasterFrames& m = f.Frames;
    const std::pair<std::function<void()>, std::string> builders[] = {
        {[&] { m.SendReqUd2(5); }, ReqUd2Frame(5, false)},
        {[&] { m.SendSndNke(5); }, SndNkeFrame(5)},
        {[&] { m.SendApplicationReset(5); }, ApplicationResetFrame(5)},
        {[&] { m.SendSetBaud(5, 0xBB); }, SetBaudFrame(5, 0xBB)},
        {[&] { m.SendSetPrimary(5, 6); }, SetPrimaryFrame(5, 6)},
        {[&] { m.SendSetId(5, "12345678"); }, SetIdFrame(5, "12345678")},
        {[&] { m.SendSetLiters(5, "00001234"); }, SetLitersFrame(5, "00001234", false)},
        {[&] { m.SendSetValueVif(5, "00001234", 0x13); }, SetValueVifFrame(5, "00001234", 0x13)},
        {[&] { m.SendSelectById("12345678"); }, SelectByIdFrame("12345678")},
        {[&] { m.SendSetMedium(5, 0x07, "12345678"); }, SetMediumFrame(5, 0x07, "12345678")},
        {[&] { m.SendSetUnit(5, 0x07, 0x13); }, SetUnitFrame(5, 0x07, 0x13)},
    };
    std::string expected;
    std::size_t n = 0;
    for (const auto& [send, frame] : builders) {
        ASSERT_TRUE(f.PrepareLink());
        send();
        expected += frame;
        EXPECT_EQ(received(++n), expected);
        f.ReleaseLink();
        EXPECT_FALSE(f.PortOpen);
    }
    // The settings window's "5B" is read at every frame.
    settings().Check_5B->setChecked(true);
    ASSERT_TRUE(f.PrepareLink());
    m.SendReqUd2(5);
    EXPECT_EQ(received(++n), expected + ReqUd2Frame(5, true));
    f.ReleaseLink();
}

TEST_F(LinkTest, UnsupportedSpeedsOpenAt2400AndParityMatchesExactly)
{
    const struct {
        const char* speed;
        const char* parity;
        speed_t expected;
        const char* line;
    } cases[] = {
        {"1200", "Even", B2400, "COM1 - 2400,8,Even"},
        {"abc", "even", B2400, "COM1 - 2400,8,Even"},
        {"", "Odd", B2400, "COM1 - 2400,8,Odd"},
        {"9600", "Space", B9600, "COM1 - 9600,8,Space"},
        {"19200", "none", B19200, "COM1 - 19200,8,Even"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speed);
        startWith(std::string("[Com port]\r\nSpeed=") + c.speed + "\r\nParity=" + c.parity + "\r\n");
        ASSERT_TRUE(form11().PrepareLink());
        EXPECT_EQ(form11().StatusText(), c.line);
        const int fd = ::open(bus->slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        const termios line = readTermios(fd);
        EXPECT_EQ(cfgetospeed(&line), c.expected);
        ::close(fd);
        form11().ReleaseLink();
    }
}

TEST_F(LinkTest, APortHeldByAnotherProgramIsReportedInTheTickedLanguage)
{
    startWith("");
    TForm11& f = form11();
    LockHolder holder(bus->slavePath());
    const struct {
        void (TForm11::*language)();
        const char* port;
        std::string message;
    } cases[] = {
        {&TForm11::English1Click, "COM1", "The selected serial port (COM1) is in use by another program!"},
        {&TForm11::Polish1Click, "COM1", "Wybrany port jest u\xBFywany przez inny program"},
        {&TForm11::Italian1Click, "COM1",
         "La porta selezionata (COM1) e utilizzata da un\"altra applicazione!"},
        // A name that is neither COMn nor a path names no device.
        {&TForm11::English1Click, "tty1", "The selected serial port (tty1) is in use by another program!"},
    };
    const std::string held = "COM1 is " + paths().portsDir() + "/COM1 -> " + bus->slavePath() + ": locked by another program";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        (f.*c.language)();
        settings().Combo_com_name->setEditText(c.port);
        EXPECT_FALSE(f.PrepareLink());
        EXPECT_FALSE(f.PortOpen);
        ASSERT_GE(f.Log.count(), 2u);
        EXPECT_EQ(f.Log.line(f.Log.count() - 2), c.message);
        EXPECT_EQ(f.Log.line(f.Log.count() - 1),
                  std::string(c.port) == "COM1" ? held : "tty1 is no port name: COMn or a device path");
        EXPECT_EQ(f.StatusText(), std::string(c.port) + " is closed");
    }
    holder.release();
    settings().Combo_com_name->setEditText("COM1");
    EXPECT_TRUE(f.PrepareLink());
    f.ReleaseLink();
    // Port names are case-blind: "com1" is the port COM1.
    settings().Combo_com_name->setEditText("com1");
    ASSERT_TRUE(f.PrepareLink());
    EXPECT_EQ(f.StatusText(), "com1 - 300,8,Even");
    f.Frames.SendReqUd2(1);
    EXPECT_EQ(received(1), std::string("\x10\x7B\x01\x7C\x16", 5));
    f.ReleaseLink();
}

TEST_F(LinkTest, ARefusedPortIsNamedWithItsDeviceAndTheSystemsReasonAfterTheInUseLine)
{
    auto calls = std::make_unique<RefusingOs>();
    RefusingOs& os = *calls;
    useSerialOs(std::move(calls));
    startWith("");
    TForm11& f = form11();
    const std::string com1 = paths().portsDir() + "/COM1 -> " + bus->slavePath();
    const std::string unplugged = folder() + "/ttyUSB9";
    const struct {
        const char* port;
        int openError;
        int flockError;
        bool dangling;   // ports/COM7 leads to a device that is not there
        std::string reason;
    } reasons[] = {
        // No device behind the name: no link ports/COM7, so the machine's /dev/ttyS6.
        {"COM7", ENOENT, 0, false, "COM7 is /dev/ttyS6: No such file or directory"},
        {"COM7", 0, 0, true, "COM7 is " + paths().portsDir() + "/COM7 -> " + unplugged + ": No such file or directory"},
        // A user outside the group the device belongs to.
        {"COM1", EACCES, 0, false, "COM1 is " + com1 + ": Permission denied"},
        // Another program holds the port's lock.
        {"COM1", 0, EWOULDBLOCK, false, "COM1 is " + com1 + ": locked by another program"},
    };
    const struct {
        void (TForm11::*language)();
        std::function<std::string(const std::string&)> inUse;
    } languages[] = {
        {&TForm11::English1Click,
         [](const std::string& port) { return "The selected serial port (" + port + ") is in use by another program!"; }},
        {&TForm11::Polish1Click, [](const std::string&) { return std::string("Wybrany port jest u\xBFywany przez inny program"); }},
        {&TForm11::Italian1Click,
         [](const std::string& port) { return "La porta selezionata (" + port + ") e utilizzata da un\"altra applicazione!"; }},
    };
    for (const auto& language : languages) {
        (f.*language.language)();
        for (const auto& r : reasons) {
            SCOPED_TRACE(r.reason);
            os.openErrno = r.openError;
            os.flockErrno = r.flockError;
            if (r.dangling)
                std::filesystem::create_symlink(unplugged, paths().portsDir() + "/COM7");
            settings().Combo_com_name->setEditText(r.port);
            const std::size_t first = f.Log.count();
            EXPECT_FALSE(f.PrepareLink());
            EXPECT_FALSE(f.PortOpen);
            ASSERT_EQ(f.Log.count(), first + 2);
            EXPECT_EQ(f.Log.line(first), language.inUse(r.port));
            EXPECT_EQ(f.Log.line(first + 1), r.reason);
            EXPECT_EQ(f.StatusText(), std::string(r.port) + " is closed");
            std::filesystem::remove(paths().portsDir() + "/COM7");
        }
    }
    // Nothing refused: the port opens.
    os.openErrno = 0;
    os.flockErrno = 0;
    settings().Combo_com_name->setEditText("COM1");
    EXPECT_TRUE(f.PrepareLink());
    f.ReleaseLink();
}

TEST_F(LinkTest, AFailedOpenAfterAFreeProbeIsLoggedAndThePortStaysClosed)
{
    startWith("");
    TForm11& f = form11();
    // A plain file opens and locks like a free port, but it is no terminal to set up.
    const std::string plain = folder() + "/not-a-port";
    std::ofstream(plain).put('x');
    std::filesystem::create_symlink(plain, paths().portsDir() + "/COM2");
    for (const std::string& name : {std::string("COM2"), plain}) {
        SCOPED_TRACE(name);
        settings().Combo_com_name->setEditText(QString::fromStdString(name));
        EXPECT_FALSE(f.PrepareLink());
        EXPECT_EQ(f.Log.line(f.Log.count() - 1), "Unknown Exception on opening serial port...");
        EXPECT_EQ(f.StatusText(), name + " is closed");
        EXPECT_FALSE(f.PortOpen);
        EXPECT_FALSE(f.Comm1.Active());
        EXPECT_TRUE(settings().Combo_com_name->isEnabled());
        EXPECT_EQ(settings().Butt_open_port->text(), "Connect to port");
    }
    // The next exchange on a real port opens it.
    settings().Combo_com_name->setEditText("COM1");
    ASSERT_TRUE(f.PrepareLink());
    EXPECT_EQ(f.StatusText(), "COM1 - 300,8,Even");
    f.ReleaseLink();
}

TEST_F(LinkTest, AHungUpLineFailsTheWriteAndTheExchangeStillClosesThePort)
{
    startWith("");
    TForm11& f = form11();
    PtyPair line;
    // A device path is used as it stands.
    settings().Combo_com_name->setEditText(QString::fromStdString(line.slavePath()));
    ASSERT_TRUE(f.PrepareLink());
    EXPECT_EQ(f.StatusText(), line.slavePath() + " - 300,8,Even");

    // The far end goes away: the master's descriptor number now holds /dev/null.
    const int devnull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    ASSERT_GE(devnull, 0);
    ASSERT_EQ(::dup2(devnull, line.masterFd()), line.masterFd());
    ::close(devnull);
    login().IsAdministrator = true;
    f.Frames.SendReqUd2(1);
    EXPECT_EQ(f.Log.line(f.Log.count() - 1), "Can not write to COM port - reading device 1");
    // The next exchange on the open port: its purge fails and is logged, nothing is thrown.
    const std::size_t lines = f.Log.count();
    EXPECT_TRUE(f.PrepareLink());
    ASSERT_EQ(f.Log.count(), lines + 1);
    EXPECT_TRUE(f.Log.line(lines).starts_with("Error clearing buffers")) << f.Log.line(lines);

    f.ReleaseLink();
    EXPECT_FALSE(f.PortOpen);
    EXPECT_FALSE(f.Comm1.Active());
    EXPECT_EQ(f.StatusText(), line.slavePath() + " is closed");
}

TEST_F(LinkTest, TheLinkBoxesChooseTheRouteAtEverySend)
{
    const ClosedPort closed;   // the client links find nobody there
    ASSERT_NE(closed.port(), 0);
    startWith("[Misc]\r\nUseLANXP=0\r\n[LANXP]\r\nPort=" + closed.text() + "\r\n");
    TForm11& f = form11();
    TSettings& s = settings();
    f.ToggleComPort();
    ASSERT_TRUE(f.PortOpen);

    // Changed and cancelled: the display module is the link from now on.
    s.show();
    s.Check_xport->setChecked(true);
    s.BitBtn2Click();
    f.Link.LanxpReplyText = "old";
    f.Frames.SendReqUd2(1);
    EXPECT_EQ(f.Link.LanxpReplyText, "");
    EXPECT_FALSE(f.PrepareLink());

    s.Check_tovek_server->setChecked(true);
    f.Frames.SendSndNke(1);
    EXPECT_FALSE(f.PrepareLink());

    s.Check_ethernet->setChecked(true);
    f.Link.EthReplyText = "old";
    EXPECT_FALSE(f.PrepareLink());
    EXPECT_EQ(f.Link.EthReplyText, "");
    f.Frames.SendSndNke(1);

    // Activation brings the file's choice back: the serial port.
    s.FormActivate();
    EXPECT_FALSE(s.Check_xport->isChecked() || s.Check_tovek_server->isChecked()
                 || s.Check_ethernet->isChecked());
    ASSERT_TRUE(f.PortOpen);
    f.Frames.SendReqUd2(2);
    EXPECT_EQ(received(1), ReqUd2Frame(2, false));
    f.ReleaseLink();
    EXPECT_FALSE(f.PortOpen);
}

} // namespace

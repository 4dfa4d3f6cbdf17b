#include "LinkSendPath.h"
#include "LogModel.h"
#include "ManualDispatcher.h"
#include "MasterFrames.h"
#include "PtyPair.h"
#include "SioComm.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <functional>

namespace {

using namespace std::chrono_literals;

struct Controls : LinkControls {
    bool ethernet = false, tovek = false, xport = false, admin = false;
    bool EthernetTicked() const override { return ethernet; }
    bool TovekServerTicked() const override { return tovek; }
    bool XportTicked() const override { return xport; }
    std::string NetNumberText() const override { return "1.2.3.4"; }
    bool IsAdministrator() const override { return admin; }
};

struct NoOptions : FrameSettings {
    bool Check_5B() const override { return false; }
    bool Check_value_wendix() const override { return false; }
};

class LinkSendPathTest : public ::testing::Test {
protected:
    LinkSendPathTest() : comm(owner)
    {
        comm.SetDirectWrite(true);
        comm.SetDeviceName(pty.slavePath());
        comm.SetBaudrate(br2400);
    }

    // Everything the line has taken, once the sentinel REQ_UD2 to 99 has arrived behind it.
    std::string lineUpToSentinel()
    {
        const Controls saved = controls;
        controls = Controls {};
        frames.SendReqUd2(99);
        controls = saved;
        const std::string sentinel = ReqUd2Frame(99, false);
        std::string got;
        while (!got.ends_with(sentinel)) {
            const std::string more = pty.readMaster(1, 10s);
            if (more.empty())
                break;
            got += more;
        }
        EXPECT_TRUE(got.ends_with(sentinel)) << "the line took no sentinel";
        return got.substr(0, got.size() - std::min(got.size(), sentinel.size()));
    }

    PtyPair pty;
    ManualDispatcher owner;
    TSioComm comm;
    Controls controls;
    LinkState link;
    LogModel log;
    LinkSendPath path {controls, link, comm, log};
    NoOptions options;
    MasterFrames frames {path, options};
};

TEST_F(LinkSendPathTest, TheSerialLineLogsOnlyWhatWasWrittenForAnAdministrator)
{
    const std::string frame("\x10\x7B\x01\x7C\x16", 5);
    const struct {
        bool admin, open;
        const char* logged;   // nullptr: nothing
        bool written;
    } cases[] = {
        {true, true, "Sent:10 7B 01 7C 16 ", true},
        {false, true, nullptr, true},
        {true, false, nullptr, false},
        {false, false, nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "admin " << c.admin << " open " << c.open);
        log.clear();
        controls.admin = c.admin;
        if (c.open)
            comm.Open();
        frames.SendReqUd2(1);
        if (c.logged) {
            ASSERT_EQ(log.count(), 1u);
            EXPECT_EQ(log.line(0), c.logged);
        } else {
            EXPECT_EQ(log.count(), 0u);
        }
        if (!c.open)
            comm.Open();
        controls.admin = false;
        EXPECT_EQ(lineUpToSentinel(), c.written ? frame : "");
        comm.Close();
    }
}

TEST_F(LinkSendPathTest, AFailedWriteOnAnOpenPortNamesTheOperationAndTarget)
{
    controls.admin = true;
    comm.Open();
    // The far end goes away: the master's descriptor number now holds /dev/null.
    const int devnull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    ASSERT_GE(devnull, 0);
    ASSERT_EQ(::dup2(devnull, pty.masterFd()), pty.masterFd());
    ::close(devnull);

    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { frames.SendReqUd2(1); }, "Can not write to COM port - reading device 1"},
        {[&] { frames.SendSelectById("12345678"); },
         "Can not write to COM port - reading by secondary 12345678"},
        {[&] { frames.SendSetPrimary(7, 9); },
         "Can not write to COM port - setting primary address, old is 7"},
    };
    for (const auto& [send, message] : cases) {
        log.clear();
        send();
        ASSERT_EQ(log.count(), 1u) << message;
        EXPECT_EQ(log.line(0), message);
    }
}

TEST_F(LinkSendPathTest, ALinkThatIsNotReadyDropsTheFrame)
{
    comm.Open();
    const std::pair<std::function<void()>, const char*> builders[] = {
        {[&] { frames.SendReqUd2(1); }, "ReqUd2"},
        {[&] { frames.SendSndNke(1); }, "SndNke"},
        {[&] { frames.SendSetPrimary(1, 2); }, "SetPrimary"},
    };
    const std::pair<std::function<void()>, const char*> boxes[] = {
        {[&] { controls.xport = true; }, "xport"},
        {[&] { controls.tovek = true; }, "tovek"},
        {[&] { controls.ethernet = true; }, "ethernet"},
        {[&] { controls.xport = controls.tovek = true; }, "tovek and xport"},
    };
    for (const auto& [tick, box] : boxes) {
        for (const auto& [send, builder] : builders) {
            SCOPED_TRACE(testing::Message() << box << " " << builder);
            controls = Controls {};
            controls.admin = true;
            tick();
            link.LanxpReplyText = "old";
            log.clear();
            send();
            EXPECT_EQ(log.count(), 0u);
            EXPECT_EQ(lineUpToSentinel(), "");
            // Only the display module's route clears its reply, ready or not.
            EXPECT_EQ(link.LanxpReplyText, controls.xport && !controls.tovek ? "" : "old");
        }
    }
}

} // namespace

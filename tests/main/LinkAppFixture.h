#pragma once

// The program's windows for the link tests: the meter bus on COM1 as in BusAppFixture, the
// link boxes and ports of a test in the settings file, plain peers of the test on 127.0.0.1.

#include "BusAppFixture.h"
#include "EthReplyPacket.h"
#include "NetPeers.h"
#include "TForm11.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using netpeers::Peer;
using netpeers::Server;

// The process's open socket descriptors (other descriptors come and go with threads).
inline std::size_t openSockets()
{
    std::size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        n += std::filesystem::read_symlink(e.path(), ec).string().starts_with("socket:");
    }
    return n;
}

class LinkAppFixture : public BusAppFixture {
protected:
    TForm11& f() { return form11(); }

    // The program with the given link keys in [Misc] and further sections; the serial port
    // is COM1 on the meter bus.
    void startWith(const std::string& misc, const std::string& sections = "")
    {
        writeIni(busIni(0, misc, sections));
        start();
    }
    // A gateway box ticked and the listening socket opened at a port the system chooses, as
    // the window's activation opens it.
    void startListening(const std::string& automatic = "AutoDisplay=0\r\nAutoMbus=0\r\n")
    {
        startWith("UseEthernet=1\r\n", "[Ethernet]\r\nPort=0\r\n" + automatic);
        f().FormActivate();
        ASSERT_TRUE(f().Link.ListenOpen);
        ASSERT_NE(port(), 0);
    }
    int port() { return f().Socket1->serverPort(); }

    // A gateway calling in; waits until the program has taken it.
    Peer gatewayCallsIn()
    {
        Peer p = Peer::connectTo(port());
        EXPECT_TRUE(p.valid());
        EXPECT_TRUE(QTest::qWaitFor([&] { return f().Link.ClientOnListen; }, 10000));
        return p;
    }

    // Connections made to the listening port queue in the system until the program takes
    // them: once it has taken one more made now as its gateway, it has taken every one before
    // it. While an earlier one is still its gateway, the newcomer is closed: then another.
    void takeQueuedConnections()
    {
        bool taken = false;
        for (int attempt = 0; attempt < 100 && !taken; ++attempt) {
            Peer probe = Peer::connectTo(port());
            sockaddr_in local {};
            socklen_t len = sizeof local;
            ASSERT_EQ(::getsockname(probe.fd(), reinterpret_cast<sockaddr*>(&local), &len), 0);
            const auto isGateway = [&] { return f().Link.ClientOnListen && f().GatewayRemotePort == ntohs(local.sin_port); };
            ASSERT_TRUE(QTest::qWaitFor([&] { return isGateway() || (probe.poll(), probe.isClosed()); }, 30000));
            taken = isGateway();
        }
        ASSERT_TRUE(taken);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !f().Link.ClientOnListen && f().Socket1Connections.empty(); }, 10000));
    }

    bool waitLine(const std::string& text, std::size_t from = 0)
    {
        return QTest::qWaitFor([&] { return logCount(text, from) > 0; }, 10000);
    }
    // Everything peer sent has been read by the program's socket.
    static bool allRead(Peer& peer, QTcpSocket& socket)
    {
        const int fd = static_cast<int>(socket.socketDescriptor());
        return QTest::qWaitFor([&] {
            int unsent = 0, unread = 0;
            return ::ioctl(peer.fd(), SIOCOUTQ, &unsent) == 0 && unsent == 0 && ::ioctl(fd, FIONREAD, &unread) == 0
                && unread == 0 && socket.bytesAvailable() == 0;
        }, 60000);
    }
    std::size_t programSockets() { return static_cast<std::size_t>(f().findChildren<QTcpSocket*>().size()); }
};


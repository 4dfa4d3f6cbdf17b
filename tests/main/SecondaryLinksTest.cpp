// The wildcard search through a gateway calling in on the listening socket, through the
// gateway server and through the display's Ethernet module: the answers to the select frames
// come by the link's own reply text, so two meters that collide down to their last digit are
// both found.
#include "SecondaryFixture.h"

#include "SimDisplayModule.h"
#include "SimGateway.h"

#include <QTcpServer>

namespace {

using namespace std::chrono_literals;

class SecondaryLinks : public SecondaryFixture {
protected:
    // Both meters answer every mask down to their last digit, most significant first.
    static SimMeter meter(const char* id, std::uint8_t address)
    {
        return SimMeter(address, id, "ABC", 1, 0x07, hexBytes(WaterRecords));
    }
    void startWith(const std::string& misc, const std::string& sections)
    {
        writeIni(busIni(0, "MSBSearch=1\r\nLSBSearch=0\r\n" + misc, sections));
        AppFixture::start();   // this settings file, not the serial one
        f().setResponseTimeoutForTest(Wait);
    }
    static int count(const std::vector<SimLogEntry>& log, const std::function<bool(const SimLogEntry&)>& what)
    {
        return static_cast<int>(std::count_if(log.begin(), log.end(), what));
    }
    void expectBothFound(const std::vector<SimLogEntry>& log)
    {
        EXPECT_EQ(count(log, [](const SimLogEntry& e) { return e.isLongFrame(0x53, 0x52); }), 80);
        EXPECT_EQ(count(log, [](const SimLogEntry& e) { return e.isReqUd2(253); }), 9);
        EXPECT_EQ(tableIds(), std::multiset<std::string>({"12345678", "12345679"}));
        EXPECT_EQ(logCount("Collision"), 7u);
        EXPECT_EQ(logCount("No valid physical connection..."), 0u);
        EXPECT_EQ(logCount(EndLine), 1u);
        EXPECT_FALSE(f().PortOpen);   // the serial port took no part
        EXPECT_EQ(bus->frameCount(), 0u);
    }
};

TEST_F(SecondaryLinks, FindAllThroughAGatewayCallingIn)
{
    SimGateway gateway(SimGateway::Mode::CallingIn);
    gateway.addMeter(meter("12345678", 1));
    gateway.addMeter(meter("12345679", 2));
    startWith("UseEthernet=1\r\n", "[Ethernet]\r\nPort=0\r\nAutoDisplay=0\r\nAutoMbus=0\r\n");
    f().FormActivate();
    ASSERT_TRUE(f().Link.ListenOpen);
    ASSERT_TRUE(gateway.callIn(f().Socket1->serverPort()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return f().Link.ClientOnListen; }, 10000));
    const std::int32_t packets = f().Link.PacketNo;
    peer.follow(f(), gateway);

    findAll();
    ASSERT_TRUE(waitForEnd());
    expectBothFound(gateway.log());
    EXPECT_EQ(f().Link.PacketNo, packets + 89);   // every select and read went as one packet
    EXPECT_TRUE(f().Link.ClientOnListen);         // the listening link stays
}

TEST_F(SecondaryLinks, FindAllThroughTheGatewayServer)
{
    SimGateway gateway(SimGateway::Mode::Server);
    gateway.addMeter(meter("12345678", 1));
    gateway.addMeter(meter("12345679", 2));
    startWith("TovekServer=1\r\n",
              "[LANXP]\r\nPort=" + std::to_string(gateway.port()) + "\r\nNetNumber=10.0.0.1\r\n");
    peer.follow(f(), gateway);

    findAll();
    ASSERT_TRUE(waitForEnd());
    expectBothFound(gateway.log());
    EXPECT_EQ(f().Link.PacketNo, 1 + 89);          // counted from the connection, one packet each
    EXPECT_FALSE(f().Link.TovekClientConnected);   // released at the end
}

TEST_F(SecondaryLinks, FindAllThroughTheDisplayModule)
{
    SimDisplayModule module;
    module.addMeter(meter("12345678", 1));
    module.addMeter(meter("12345679", 2));
    startWith("UseLANXP=1\r\n", "[LANXP]\r\nIP=127.0.0.1\r\nPort=" + std::to_string(module.port()) + "\r\n");
    peer.follow(f(), module);

    findAll();
    ASSERT_TRUE(waitForEnd());
    expectBothFound(module.frames());
    EXPECT_FALSE(f().Link.LanxpConnected);   // released at the end
}

} // namespace

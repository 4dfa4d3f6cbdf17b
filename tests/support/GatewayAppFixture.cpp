#include "GatewayAppFixture.h"

#include "TForm11.h"
#include "WaitUntil.h"

#include <QTabWidget>
#include <QTimer>

GatewayAppFixture::GatewayAppFixture()
{
    clock.set({2026, 3, 3, 9, 5, 0, 0});
    gateway = std::make_unique<GatewayTextSimulator>(folder());
    gateway->start();
}

void GatewayAppFixture::startGateway(std::string_view extraMisc, int languageNo, bool unicode)
{
    writeIni(Com1Ini + "Language=" + std::to_string(languageNo)
             + "\r\nEncoding=" + (unicode ? "1" : "0") + "\r\n" + std::string(extraMisc)
             + "[Mbus]\r\nTimeout=300\r\n[Ethernet]\r\nPort=0\r\n");
    start();
    form11().setResponseTimeoutForTest(Timeout);
    form11().PageControl1->setCurrentWidget(form11().TabSheet2);
}

void GatewayAppFixture::endReplyDisplay(std::size_t waiting)
{
    TForm11& f = form11();
    EXPECT_TRUE(waitUntil([&] { return !f.PortOpen || f.Comm1.InQueCount() >= static_cast<int>(waiting); }))
        << waiting << " bytes";
    f.Timer_free_command->stop();
    f.Timer_free_commandTimer();
}

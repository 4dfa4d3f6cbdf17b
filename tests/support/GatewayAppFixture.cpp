#include "GatewayAppFixture.h"

#include "TForm11.h"
#include "WaitUntil.h"

#include <QTabWidget>
#include <QTimer>

#include <algorithm>

GatewayAppFixture::GatewayAppFixture()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    clock.set({2026, 3, 3, 9, 5, 0, 0});
    gateway = std::make_unique<GatewayTextSimulator>(folder());
    gateway->start();
}

GatewayAppFixture::~GatewayAppFixture()
{
    QLocale::setDefault(oldLocale_);
}

void GatewayAppFixture::startGateway(std::string_view extraMisc, int languageNo, bool unicode)
{
    writeIni("[Com port]\r\nName=COM1\r\nSpeed=2400\r\n[Misc]\r\nLanguage=" + std::to_string(languageNo)
             + "\r\nEncoding=" + (unicode ? "1" : "0") + "\r\n" + std::string(extraMisc)
             + "[Mbus]\r\nTimeout=300\r\n[Ethernet]\r\nPort=0\r\n");
    start();
    form11().setResponseTimeoutForTest(Timeout);
    form11().PageControl1->setCurrentWidget(form11().TabSheet2);
}

void GatewayAppFixture::endReplyDisplay(std::size_t waiting)
{
    TForm11& f = form11();
    EXPECT_TRUE(waitUntil([&] { return !f.PortOpen || f.Comm1.InQueCount() >= static_cast<int>(waiting); },
                          std::chrono::seconds(5)))
        << waiting << " bytes";
    f.Timer_free_command->stop();
    f.Timer_free_commandTimer();
}

std::vector<std::string> GatewayAppFixture::logFrom(std::size_t first)
{
    const auto& lines = form11().Log.lines();
    if (first >= lines.size())
        return {};
    return {lines.begin() + static_cast<std::ptrdiff_t>(first), lines.end()};
}

std::size_t GatewayAppFixture::logCount(const std::string& text)
{
    const auto& lines = form11().Log.lines();
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), text));
}

std::size_t GatewayAppFixture::logSize()
{
    return form11().Log.lines().size();
}

#include "DisplayAppFixture.h"

#include "StringGridView.h"
#include "TForm11.h"

#include <algorithm>

DisplayAppFixture::DisplayAppFixture()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    clock.set({2026, 3, 5, 9, 7, 30, 0});
}

DisplayAppFixture::~DisplayAppFixture()
{
    QLocale::setDefault(oldLocale_);
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
    writeIni("[Com port]\r\nName=COM1\r\nSpeed=2400\r\n[Misc]\r\n" + misc + "[Mbus]\r\nTimeout=300\r\n[Ethernet]\r\n"
             + ethernet + "[LANXP]\r\n" + lanxp);
    start();
    form11().setResponseTimeoutForTest(Timeout);
}

StringGrid& DisplayAppFixture::pexor()
{
    return form11().Grid_pexor->grid();
}

StringGrid& DisplayAppFixture::readings()
{
    return form11().Grid_historical->grid();
}

std::string DisplayAppFixture::rowText(const StringGrid& grid, int row)
{
    std::string text;
    for (int c = 0; c < grid.ColCount(); ++c)
        text += (c ? "|" : "") + grid.cell(c, row);
    return text;
}

std::size_t DisplayAppFixture::logCount(const std::string& text)
{
    const auto& lines = form11().Log.lines();
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), text));
}

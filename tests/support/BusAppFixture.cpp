#include "BusAppFixture.h"

#include "StringGridView.h"
#include "TForm11.h"

#include <algorithm>
#include <cstdio>

BusAppFixture::BusAppFixture()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    clock.set({2026, 2, 3, 14, 5, 9, 0});
    BusSimulatorOptions options;
    options.programFolder = folder();
    bus = std::make_unique<BusSimulator>(options);
    bus->start();
}

BusAppFixture::~BusAppFixture()
{
    QLocale::setDefault(oldLocale_);
}

void BusAppFixture::startProgram(int retries, std::string_view extraIni)
{
    writeIni("[Com port]\r\nName=COM1\r\nSpeed=2400\r\n[Misc]\r\nRetry=" + std::to_string(retries)
             + "\r\n[Mbus]\r\nTimeout=" + std::to_string(Timeout) + "\r\n" + std::string(extraIni));
    start();
    peer.follow(form11(), *bus);
}

bool BusAppFixture::waitBus(std::size_t frames, std::size_t replies, std::chrono::milliseconds timeout)
{
    return bus->waitForFrames(frames, timeout) && bus->waitForReplies(replies, timeout);
}

std::vector<std::string> BusAppFixture::frameNames() const
{
    std::vector<std::string> names;
    for (const SimLogEntry& e : bus->frames()) {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(e.bytes[i]); };
        if (e.isReqUd2())
            names.push_back("REQ " + std::to_string(byte(2)));
        else if (e.isSndNke())
            names.push_back("NKE " + std::to_string(byte(2)));
        else if (e.bytes.size() > 6) {
            char name[32];
            std::snprintf(name, sizeof name, "LONG %02X/%02X", byte(4), byte(6));
            names.emplace_back(name);
        } else {
            names.push_back("OTHER");
        }
    }
    return names;
}

std::string BusAppFixture::gridRow(int row)
{
    const StringGrid& grid = form11().Grid_vantrel->grid();
    std::string text;
    for (int c = 0; c < grid.ColCount(); ++c)
        text += (c ? "|" : "") + grid.cell(c, row);
    return text;
}

std::size_t BusAppFixture::logCount(const std::string& text)
{
    const auto& lines = form11().Log.lines();
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), text));
}

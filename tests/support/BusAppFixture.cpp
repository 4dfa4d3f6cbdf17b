#include "BusAppFixture.h"

#include "StringGridView.h"
#include "TForm11.h"
#include "WaitUntil.h"

#include <cstdio>

BusAppFixture::BusAppFixture()
{
    clock.set({2026, 2, 3, 14, 5, 9, 0});
    BusSimulatorOptions options;
    options.programFolder = folder();
    bus = std::make_unique<BusSimulator>(options);
    bus->start();
}

std::string BusAppFixture::busIni(int retries, std::string_view misc, std::string_view sections)
{
    return Com1Ini + "Retry=" + std::to_string(retries) + "\r\n" + std::string(misc) + "[Mbus]\r\nTimeout="
        + std::to_string(Timeout) + "\r\n" + std::string(sections);
}

void BusAppFixture::startProgram(int retries, std::string_view extraIni)
{
    writeIni(busIni(retries, {}, extraIni));
    start();
    peer.follow(form11(), *bus);
}

bool BusAppFixture::waitBus(std::size_t frames, std::size_t replies, std::chrono::milliseconds timeout)
{
    return bus->waitForFrames(frames, timeout) && bus->waitForReplies(replies, timeout);
}

bool BusAppFixture::waitForLastReplyOnPort()
{
    std::size_t size = 0;
    for (const SimLogEntry& e : bus->log())
        if (e.kind == SimLogEntry::Kind::Reply)
            size = e.bytes.size();
    return size > 0 && waitUntil([&] { return form11().Comm1.InQueCount() >= static_cast<int>(size); });
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
    return rowText(form11().Grid_vantrel->grid(), row);
}

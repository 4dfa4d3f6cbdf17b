#pragma once

// The program on the simulated bus for the tests of selection by ID, the wildcard search,
// automatic addressing and the configuration commands: meters, the search's short wait,
// the frames the bus took, and timers stepped by hand.
#include "BusAppFixture.h"
#include "StringGridView.h"
#include "TForm11.h"
#include "TSettings.h"
#include "TelegramBuilder.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

inline const std::string EndLine = "Secondary search thread terminated normally.";
inline const std::string WaterRecords = "0C 13 11 00 00 00";

// The process's threads but Qt's pooled workers (painting starts them; they idle until they
// expire): the search's, the port's and the simulator's threads are all counted.
inline int threadCount()
{
    std::thread([] {}).join();   // the runtime's own helpers are running before the count
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        std::getline(comm, name);
        n += name != "Thread (pooled)";
    }
    return n;
}

class SecondaryFixture : public BusAppFixture {
protected:
    // The response time-out of the selections' timers. The search's wait after each frame
    // ends once the bus has answered it or stayed silent (see PeerWaits), before this; a tick
    // of Timer_secondary that comes before the bus's answer has reached the port is passed
    // over, so a busy machine only makes a selection slower.
    static constexpr int Wait = 100;

    TForm11& f() { return form11(); }
    StringGrid& grid() { return form11().Grid_vantrel->grid(); }

    std::size_t addMeter(const std::string& id, int address, const std::string& records = WaterRecords,
                         std::uint8_t medium = 0x07, const char* manufacturer = "ABC")
    {
        return bus->addMeter(
            SimMeter(static_cast<std::uint8_t>(address), id, manufacturer, 1, medium, hexBytes(records)));
    }
    // Waits for the bus to take n frames while the window's thread runs the search's hand-overs.
    bool waitForFrames(std::size_t n)
    {
        return QTest::qWaitFor([&] { return bus->frameCount() >= n; }, 5000);
    }
    void start(bool lsbFirst = false, std::string_view ini = {})
    {
        startProgram(0, ini);
        f().setResponseTimeoutForTest(Wait);
        settings().Check_LSB->setChecked(lsbFirst);
    }
    void findAll()
    {
        prompts.queueAnswer(Prompts::Answer::Yes);
        f().Butt_find_allClick();
    }
    // The end line is logged and the thread joined.
    bool waitForEnd(std::chrono::milliseconds timeout = std::chrono::seconds(60))
    {
        return QTest::qWaitFor([&] { return logCount(EndLine) > 0 && !f().SearchThread; },
                               static_cast<int>(timeout.count()));
    }
    int selects()
    {
        int n = 0;
        for (const SimLogEntry& e : bus->frames())
            n += e.isLongFrame(0x53, 0x52) && static_cast<unsigned char>(e.bytes[5]) == 0xFD;
        return n;
    }
    int reads()
    {
        int n = 0;
        for (const SimLogEntry& e : bus->frames())
            n += e.isReqUd2(253);
        return n;
    }
    // The masks of the select frames received, d8 down to d1.
    std::vector<std::string> masks()
    {
        std::vector<std::string> out;
        for (const SimLogEntry& e : bus->frames()) {
            if (!e.isLongFrame(0x53, 0x52))
                continue;
            std::string m;
            for (int k = 10; k >= 7; --k) {
                const unsigned b = static_cast<unsigned char>(e.bytes[static_cast<std::size_t>(k)]);
                for (unsigned nibble : {b >> 4, b & 0xFu})
                    m += nibble == 0xF ? 'F' : static_cast<char>('0' + nibble);
            }
            out.push_back(m);
        }
        return out;
    }
    std::multiset<std::string> tableIds()
    {
        std::multiset<std::string> ids;
        for (int r = 1; r < grid().RowCount() - 1; ++r)
            ids.insert(grid().cell(0, r));
        return ids;
    }
    // The thirteen controls the search takes are back.
    void expectSearchControlsBack()
    {
        for (QWidget* w : {static_cast<QWidget*>(f().Group_advanced), static_cast<QWidget*>(f().Group_ops),
                           static_cast<QWidget*>(f().Butt_find_primary), static_cast<QWidget*>(f().Butt_find_id),
                           static_cast<QWidget*>(f().Butt_find_all), static_cast<QWidget*>(f().Edit_id),
                           static_cast<QWidget*>(f().Butt_readall), static_cast<QWidget*>(f().Butt_readonce),
                           static_cast<QWidget*>(f().BitBtn21), static_cast<QWidget*>(f().Butt_load_data),
                           static_cast<QWidget*>(f().Butt_save_data), static_cast<QWidget*>(f().Check_broadcast),
                           static_cast<QWidget*>(f().Butt_command_send)})
            EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
        EXPECT_TRUE(f().Button1->isHidden());
        EXPECT_TRUE(f().ProgressBar1->isHidden());
        EXPECT_FALSE(f().PortOpen);
        EXPECT_EQ(f().StatusText(), "COM1 is closed");
    }
    void runFindAll(std::chrono::milliseconds timeout = std::chrono::seconds(60))
    {
        findAll();
        ASSERT_TRUE(waitForEnd(timeout));
        EXPECT_EQ(logCount(EndLine), 1u);
    }

    // The timers of a selection, stepped by hand: they run, but never tick by themselves.
    void byHand()
    {
        f().Timer_secondary->setInterval(3600 * 1000);
        f().Timer_respond->setInterval(3600 * 1000);
    }
    // Waits until the bus has taken `frames` frames and written `replies` replies, and the
    // last of them has reached the program's port; then runs tick.
    void tickAfter(std::size_t frames, std::size_t replies, void (TForm11::*tick)())
    {
        ASSERT_TRUE(waitBus(frames, replies)) << frames << " frames, " << replies << " replies";
        if (replies > 0) {
            ASSERT_TRUE(waitForLastReplyOnPort());
        }
        (f().*tick)();
    }
    void setRows(std::initializer_list<std::pair<const char*, const char*>> rows)
    {
        grid().setRowCount(static_cast<int>(rows.size()) + 2);
        int r = 1;
        for (const auto& [id, address] : rows) {
            grid().setCell(0, r, id);
            grid().setCell(1, r++, address);
        }
        grid().selectRow(1);
    }
};


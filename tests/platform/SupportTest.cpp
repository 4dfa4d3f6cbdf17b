// The shared fixtures are used by every subsystem's tests; a fault here would hide faults there.
#include "HexFile.h"
#include "PtyPair.h"
#include "TelegramBuilder.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <unistd.h>

TEST(TestSupport, HexReaderIsTolerant)
{
    EXPECT_EQ(parseHexText("68 03\r\n03 68\n\n"), bytesOf({0x68, 0x03, 0x03, 0x68}));
    EXPECT_EQ(parseHexText("d 0a ff"), bytesOf({0x0D, 0x0A, 0xFF}));
    EXPECT_THROW(parseHexText("123"), std::runtime_error);
    EXPECT_THROW(parseHexText("zz"), std::runtime_error);
}

TEST(TestSupport, TelegramDataIsComplete)
{
    EXPECT_EQ(telegramFiles("meters").size(), 76u);
    EXPECT_EQ(telegramFiles("broken").size(), 20u);
    EXPECT_EQ(telegramFiles("master").size(), 7u);
    EXPECT_EQ(readHexFile(telegramDir() / "master" / "manual_frame4.hex"),
              hexBytes("68 06 06 68 53 FE 51 01 7A 08 25 16"));
}

TEST(TestSupport, BuildsFramesWithLengthAndSum)
{
    EXPECT_EQ(shortFrame(0x7B, 0x01), hexBytes("10 7B 01 7C 16"));
    EXPECT_EQ(longFrame(0x53, 0xFE, 0x51, hexBytes("01 7A 08")),
              hexBytes("68 06 06 68 53 FE 51 01 7A 08 25 16"));
    EXPECT_EQ(manufacturerValue("EMH"), 0x15A8);
    TelegramHeader h;
    h.address = 5;
    h.id = "12345678";
    const std::string t = telegram(h, hexBytes("04 13 39 30 00 00"));
    ASSERT_EQ(t.size(), 6u + 3u + 12u + 6u);
    EXPECT_EQ(t.substr(7, 4), hexBytes("78 56 34 12"));
    EXPECT_EQ(spacedHex(hexBytes("10 7b")), "10 7B ");
}

TEST(TestSupport, PtyCarriesEveryByteBothWays)
{
    PtyPair pty;
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    pty.writeMaster(all);
    std::string got;
    waitUntil([&] {
        char buf[512];
        const ssize_t n = ::read(pty.slaveFd(), buf, sizeof buf);
        if (n > 0)
            got.append(buf, static_cast<std::size_t>(n));
        return got.size() >= all.size();
    });
    EXPECT_EQ(got, all);
    ASSERT_EQ(::write(pty.slaveFd(), all.data(), all.size()), 256);
    EXPECT_EQ(pty.readMaster(256, std::chrono::seconds(10)), all);
}

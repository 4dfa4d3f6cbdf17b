// Who answers a frame, and what reaches the master, decides every later end-to-end test:
// a bus that lets a collision pass, answers a broadcast or ignores a selection would let a
// faulty program look right.
#include "SimBus.h"

#include "HexFile.h"
#include "SimHex.h"
#include "TelegramBuilder.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

const std::string e5 = hexBytes("E5");

std::string reqUd2(std::uint8_t a, std::uint8_t c = 0x7B)
{
    return shortFrame(c, a);
}

std::string sndNke(std::uint8_t a)
{
    return shortFrame(0x40, a);
}

// Select frame with an eight-byte selection (ID least significant first, manufacturer,
// version, medium).
std::string select(const char* selection)
{
    return longFrame(0x53, 0xFD, 0x52, hexBytes(selection));
}

std::string sndUd(std::uint8_t a, std::uint8_t ci, const char* data = "", std::uint8_t c = 0x73)
{
    return longFrame(c, a, ci, hexBytes(data));
}

class Bus : public ::testing::Test {
protected:
    // Meters 0 and 1 differ in the lowest ID digit only; meter 2 shares meter 1's address.
    void SetUp() override
    {
        bus.addMeter(SimMeter(5, "12345678", "ABC", 1, 0x07, hexBytes("0C 13 11 00 00 00")));
        bus.addMeter(SimMeter(7, "12345679", "ABC", 1, 0x07, hexBytes("0C 13 22 00 00 00")));
        bus.addMeter(SimMeter(7, "87000000", "XYZ", 2, 0x04, hexBytes("0C 06 33 00 00 00")));
    }

    // The one answer the master gets, failing the test when there is not exactly one.
    std::string only(const SimOutcome& o, std::size_t meters = 1)
    {
        EXPECT_EQ(o.answers.size(), 1u) << o.what;
        if (o.answers.size() != 1)
            return {};
        EXPECT_EQ(o.answers[0].meters, meters) << o.what;
        EXPECT_EQ(o.answers[0].delay, 0ms) << o.what;
        return o.answers[0].bytes;
    }

    SimBus bus;
};

TEST_F(Bus, SndNkeIsAcknowledged)
{
    EXPECT_EQ(only(bus.handle(sndNke(5))), e5);
    EXPECT_EQ(only(bus.handle(sndNke(7)), 2), e5) << "two E5 at once are still E5";
    EXPECT_TRUE(bus.handle(sndNke(9)).answers.empty());
    EXPECT_TRUE(bus.handle(sndNke(255)).answers.empty()) << "255 is answered by nobody";
    EXPECT_EQ(only(bus.handle(sndNke(254)), 3), e5);
}

TEST_F(Bus, ReqUd2IsAnsweredWithTheTelegram)
{
    EXPECT_EQ(only(bus.handle(reqUd2(5))), bus.meter(0).telegram());
    EXPECT_EQ(only(bus.handle(reqUd2(5, 0x5B))), bus.meter(0).telegram());
    EXPECT_TRUE(bus.handle(reqUd2(6)).answers.empty());
    EXPECT_TRUE(bus.handle(reqUd2(255)).answers.empty());
    EXPECT_TRUE(bus.handle(reqUd2(253)).answers.empty()) << "nobody is selected yet";
}

TEST_F(Bus, MetersSharingAnAddressCollide)
{
    const std::string reply = only(bus.handle(reqUd2(7)), 2);
    EXPECT_FALSE(simPassesReplyChecks(reply));
    const std::string all = only(bus.handle(reqUd2(254)), 3);
    EXPECT_FALSE(simPassesReplyChecks(all));
}

TEST_F(Bus, UnknownControlFieldsAreNotAnswered)
{
    EXPECT_TRUE(bus.handle(shortFrame(0x5A, 5)).answers.empty()); // REQ_UD1
    EXPECT_TRUE(bus.handle(longFrame(0x08, 5, 0x72, std::string(12, '\0'))).answers.empty());
}

TEST_F(Bus, SelectionWithWildcardsSelectsAndDeselects)
{
    // Lowest digit open: meters 0 and 1 match, meter 2 does not.
    EXPECT_EQ(only(bus.handle(select("FF 56 34 12 FF FF FF FF")), 2), e5);
    EXPECT_TRUE(bus.meter(0).selected());
    EXPECT_TRUE(bus.meter(1).selected());
    EXPECT_FALSE(bus.meter(2).selected());
    EXPECT_FALSE(simPassesReplyChecks(only(bus.handle(reqUd2(253)), 2)));

    // A narrower selection replaces the last one.
    EXPECT_EQ(only(bus.handle(select("78 56 34 12 FF FF FF FF"))), e5);
    EXPECT_TRUE(bus.meter(0).selected());
    EXPECT_FALSE(bus.meter(1).selected());
    EXPECT_EQ(only(bus.handle(reqUd2(253))), bus.meter(0).telegram());

    // By manufacturer and medium only.
    EXPECT_EQ(only(bus.handle(select("FF FF FF FF 3A 63 FF 04"))), e5);
    EXPECT_EQ(only(bus.handle(reqUd2(253))), bus.meter(2).telegram());

    // No match deselects everybody, and nobody answers.
    EXPECT_TRUE(bus.handle(select("00 00 00 00 FF FF FF FF")).answers.empty());
    for (std::size_t i = 0; i < bus.size(); ++i)
        EXPECT_FALSE(bus.meter(i).selected());
}

TEST_F(Bus, SndNkeTo253Deselects)
{
    bus.handle(select("78 56 34 12 FF FF FF FF"));
    EXPECT_EQ(only(bus.handle(sndNke(253))), e5);
    EXPECT_FALSE(bus.meter(0).selected());
    EXPECT_TRUE(bus.handle(reqUd2(253)).answers.empty());
}

TEST_F(Bus, SelectionToAnotherAddressOrTooShortSelectsNobody)
{
    EXPECT_EQ(only(bus.handle(longFrame(0x53, 5, 0x52, hexBytes("78 56 34 12 FF FF FF FF")))), e5);
    EXPECT_FALSE(bus.meter(0).selected());
    EXPECT_TRUE(bus.handle(longFrame(0x53, 0xFD, 0x52, hexBytes("78 56 34 12 FF FF FF"))).answers.empty());
    EXPECT_FALSE(bus.meter(0).selected());
}

TEST_F(Bus, ConfigurationFramesChangeWhatTheMeterAnswers)
{
    // New primary address: the meter answers there and no longer at the old one.
    EXPECT_EQ(only(bus.handle(sndUd(5, 0x51, "01 7A 08"))), e5);
    EXPECT_TRUE(bus.handle(reqUd2(5)).answers.empty());
    const std::string at8 = only(bus.handle(reqUd2(8)));
    EXPECT_EQ(static_cast<unsigned char>(at8[5]), 8u);

    // New ID through a selection, as a master changes one meter among several.
    bus.handle(select("78 56 34 12 FF FF FF FF"));
    EXPECT_EQ(only(bus.handle(sndUd(253, 0x51, "0C 79 44 33 22 11"))), e5);
    EXPECT_EQ(simHex(only(bus.handle(reqUd2(8))).substr(7, 4)), "44 33 22 11");
    EXPECT_EQ(bus.meter(1).idText(), "12345679") << "only the selected meter changed";

    // Medium by broadcast: every meter takes it.
    EXPECT_EQ(only(bus.handle(sndUd(254, 0x51, "07 79 FF FF FF FF FF FF FF 16", 0x53)), 3), e5);
    for (std::size_t i = 0; i < bus.size(); ++i)
        EXPECT_EQ(bus.meter(i).medium(), 0x16);
    EXPECT_EQ(static_cast<unsigned char>(only(bus.handle(reqUd2(8)))[14]), 0x16u);
}

TEST_F(Bus, BroadcastWithoutReplyChangesButIsNotAnswered)
{
    EXPECT_TRUE(bus.handle(sndUd(255, 0x51, "01 7A 09")).answers.empty());
    for (std::size_t i = 0; i < bus.size(); ++i)
        EXPECT_EQ(bus.meter(i).address(), 9u);
}

TEST_F(Bus, BaudAndResetFramesChangeTheModel)
{
    struct Case {
        std::uint8_t ci;
        unsigned baud;
    };
    for (const Case c : {Case {0xB8, 300}, Case {0xBB, 2400}, Case {0xBD, 9600}, Case {0xBA, 1200}}) {
        EXPECT_EQ(only(bus.handle(sndUd(5, c.ci, "", 0x53))), e5);
        EXPECT_EQ(bus.meter(0).baud(), c.baud) << std::hex << int(c.ci);
    }
    EXPECT_EQ(bus.meter(1).baud(), 2400u);
    EXPECT_EQ(only(bus.handle(hexBytes("68 03 03 68 73 05 50 C8 16"))), e5);
    EXPECT_EQ(bus.meter(0).applicationResets(), 1u);
    EXPECT_EQ(bus.meter(1).applicationResets(), 0u);
}

TEST_F(Bus, OtherSndUdIsAcknowledgedAndDescribed)
{
    const std::string before = bus.meter(0).telegram();
    // A unit and a relay value: written to other VIFs than the counter's.
    const SimOutcome unit = bus.handle(sndUd(5, 0x51, "0F 0B 03 04 01 01", 0x53));
    EXPECT_EQ(only(unit), e5);
    EXPECT_NE(unit.what.find("manufacturer data 0F 0B 03 04 01 01 left alone"), std::string::npos) << unit.what;
    const SimOutcome relay = bus.handle(sndUd(5, 0x51, "0C 14 99 99 00 00", 0x53));
    EXPECT_EQ(only(relay), e5);
    EXPECT_NE(relay.what.find("0C 14 99 99 00 00 left alone"), std::string::npos) << relay.what;
    const SimOutcome unknown = bus.handle(sndUd(5, 0x5A, "01 02"));
    EXPECT_EQ(only(unknown), e5);
    EXPECT_NE(unknown.what.find("not modelled"), std::string::npos) << unknown.what;
    EXPECT_EQ(bus.meter(0).telegram(), before);
}

TEST_F(Bus, ACounterWriteIsReadBack)
{
    const SimOutcome write = bus.handle(sndUd(5, 0x51, "0C 13 23 01 00 00", 0x53));
    EXPECT_EQ(only(write), e5);
    EXPECT_NE(write.what.find("counter value -> 123"), std::string::npos) << write.what;
    const std::string t = only(bus.handle(reqUd2(5)));
    EXPECT_NE(t.find(hexBytes("0C 13 23 01 00 00")), std::string::npos);
    EXPECT_NE(bus.meter(1).telegram().find(hexBytes("0C 13 22 00 00 00")), std::string::npos);   // the others keep theirs
}

TEST_F(Bus, SilentMeterObeysButDoesNotAnswer)
{
    SimFaults silent;
    silent.silent = true;
    bus.meter(0).setFaults(silent);
    EXPECT_TRUE(bus.handle(reqUd2(5)).answers.empty());
    EXPECT_TRUE(bus.handle(select("78 56 34 12 FF FF FF FF")).answers.empty());
    EXPECT_TRUE(bus.meter(0).selected());
    bus.meter(0).setFaults({});
    EXPECT_EQ(only(bus.handle(reqUd2(253))), bus.meter(0).telegram());
}

TEST_F(Bus, FaultsShapeTheAnswer)
{
    SimFaults f;
    f.wrongChecksum = true;
    bus.meter(0).setFaults(f);
    const std::string bad = only(bus.handle(reqUd2(5)));
    const std::string good = bus.meter(0).telegram();
    ASSERT_EQ(bad.size(), good.size());
    EXPECT_FALSE(simPassesReplyChecks(bad));
    EXPECT_EQ(bad.substr(0, bad.size() - 2), good.substr(0, good.size() - 2));
    EXPECT_EQ(bad.back(), good.back());

    f = {};
    f.e5InsteadOfTelegram = true;
    bus.meter(0).setFaults(f);
    EXPECT_EQ(only(bus.handle(reqUd2(5))), e5);

    f = {};
    f.late = 250ms;
    bus.meter(0).setFaults(f);
    const SimOutcome late = bus.handle(sndNke(5));
    ASSERT_EQ(late.answers.size(), 1u);
    EXPECT_EQ(late.answers[0].delay, 250ms);
    EXPECT_EQ(late.answers[0].bytes, e5);
}

TEST_F(Bus, AnswersAtDifferentMomentsDoNotCollide)
{
    SimFaults f;
    f.late = 100ms;
    bus.meter(2).setFaults(f);
    const SimOutcome o = bus.handle(reqUd2(7));
    ASSERT_EQ(o.answers.size(), 2u);
    EXPECT_EQ(o.answers[0].delay, 0ms);
    EXPECT_EQ(o.answers[0].bytes, bus.meter(1).telegram());
    EXPECT_EQ(o.answers[1].delay, 100ms);
    EXPECT_EQ(o.answers[1].bytes, bus.meter(2).telegram());
}

TEST(Collision, IsTheAndOfTheAnswers)
{
    EXPECT_EQ(simCollide({}), "");
    const std::string t = telegram(TelegramHeader {}, hexBytes("04 13 39 30 00 00"));
    EXPECT_EQ(simCollide({t}), t) << "a single answer comes through unchanged";
    EXPECT_EQ(simCollide({e5, e5}), e5);
    EXPECT_EQ(simCollide({e5, e5, e5}), e5);
    EXPECT_EQ(simCollide({hexBytes("F0 0F"), hexBytes("3C")}), hexBytes("30 0F"))
        << "a missing byte is the idle line";

    // Identical telegrams AND to themselves: the sum must be damaged, nothing else.
    const std::string twice = simCollide({t, t});
    ASSERT_EQ(twice.size(), t.size());
    EXPECT_FALSE(simPassesReplyChecks(twice));
    EXPECT_EQ(twice.substr(0, t.size() - 2), t.substr(0, t.size() - 2));

    // An E5 under a telegram spoils the start byte only; a master does not look at it, so
    // the sum must still be damaged.
    const std::string mixed = simCollide({e5, t});
    ASSERT_EQ(mixed.size(), t.size());
    EXPECT_EQ(static_cast<unsigned char>(mixed[0]), 0x60u);
    EXPECT_FALSE(simPassesReplyChecks(mixed));
}

TEST(Collision, OfRecordedTelegramsNeverPassesTheChecks)
{
    std::vector<std::string> telegrams;
    for (const auto& file : telegramFiles("meters"))
        telegrams.push_back(readHexFile(file));
    ASSERT_FALSE(telegrams.empty());
    for (std::size_t i = 0; i < telegrams.size(); ++i) {
        const std::string& a = telegrams[i];
        const std::string& b = telegrams[(i + 1) % telegrams.size()];
        EXPECT_FALSE(simPassesReplyChecks(simCollide({a, b}))) << i;
        EXPECT_FALSE(simPassesReplyChecks(simCollide({a, a}))) << i;
        EXPECT_FALSE(simPassesReplyChecks(simCollide({a, e5}))) << i;
    }
}

TEST(Collision, TwoRecordedMetersOnOneAddressAreSeenAsACollision)
{
    // The same recorded telegram on two meters whose IDs differ in one digit: the
    // wildcard search finds them both in one selection, and their read must fail.
    const std::string recorded = readHexFile(telegramDir() / "meters" / "kamstrup_multical_601.hex");
    SimBus bus;
    SimMeter a = SimMeter::fromTelegram(0, recorded);
    SimMeter b = a;
    a.setId("10000001");
    b.setId("20000001");
    bus.addMeter(a);
    bus.addMeter(b);
    const SimOutcome sel = bus.handle(select("F1 FF FF FF FF FF FF FF"));
    ASSERT_EQ(sel.answers.size(), 1u);
    EXPECT_EQ(sel.answers[0].bytes, e5);
    EXPECT_EQ(sel.answers[0].meters, 2u);
    const SimOutcome read = bus.handle(reqUd2(253));
    ASSERT_EQ(read.answers.size(), 1u);
    EXPECT_FALSE(simPassesReplyChecks(read.answers[0].bytes));
    // One more digit separates them.
    bus.handle(select("01 00 00 2F FF FF FF FF"));
    const SimOutcome alone = bus.handle(reqUd2(253));
    ASSERT_EQ(alone.answers.size(), 1u);
    EXPECT_EQ(alone.answers[0].bytes, bus.meter(1).telegram());
}

} // namespace

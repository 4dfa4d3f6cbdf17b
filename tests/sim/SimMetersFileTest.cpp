// A meters file is how a person sets up mbus_sim; a field read wrongly, or a typing error
// accepted silently, would give a bus other than the one written down.
#include "SimMetersFile.h"

#include "HexFile.h"
#include "TelegramBuilder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

using namespace std::chrono_literals;

TEST(MetersFile, ReadsMetersCommentsAndDefaults)
{
    const auto meters = simParseMeters(
        "# three meters\r\n"
        "\n"
        "addr=1 id=12345678 mfr=EMH ver=0x21 medium=0x04 records=0C0627040000   # heat\n"
        "   addr=250\tid=00000009\n"
        "addr=3 id=11112222 ver=33 medium=22 silent=1 late=200 wrongsum=1 e5=1\n"
        "# addr=4 id=99999999\n",
        "/nowhere");
    ASSERT_EQ(meters.size(), 3u);
    EXPECT_EQ(meters[0].address(), 1u);
    EXPECT_EQ(meters[0].idText(), "12345678");
    EXPECT_EQ(meters[0].manufacturer(), "EMH");
    EXPECT_EQ(meters[0].version(), 0x21);
    EXPECT_EQ(meters[0].medium(), 0x04);
    EXPECT_EQ(meters[0].telegram().substr(19, 6), hexBytes("0C 06 27 04 00 00"));
    EXPECT_EQ(meters[0].faults(), SimFaults {});

    EXPECT_EQ(meters[1].address(), 250u);
    EXPECT_EQ(meters[1].manufacturer(), "ABC");
    EXPECT_EQ(meters[1].version(), 1);
    EXPECT_EQ(meters[1].medium(), 0x07);
    EXPECT_EQ(meters[1].telegram().size(), 6u + 3u + 12u) << "no records";

    EXPECT_EQ(meters[2].version(), 33);
    EXPECT_EQ(meters[2].medium(), 22);
    EXPECT_TRUE(meters[2].faults().silent);
    EXPECT_EQ(meters[2].faults().late, 200ms);
    EXPECT_TRUE(meters[2].faults().wrongChecksum);
    EXPECT_TRUE(meters[2].faults().e5InsteadOfTelegram);
}

TEST(MetersFile, TelegramPathStartsAtTheMetersFile)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "ferolt-meters-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path dir = pattern;
    std::filesystem::create_directories(dir / "t");
    std::filesystem::copy_file(telegramDir() / "meters" / "kamstrup_multical_601.hex", dir / "t" / "k.hex");
    {
        std::ofstream(dir / "meters.txt")
            << "addr=4 telegram=t/k.hex\n"
            << "addr=5 telegram=" << (dir / "t" / "k.hex").string() << " id=00000042 mfr=XYZ medium=0x16\n";
    }
    const auto meters = simReadMetersFile(dir / "meters.txt");
    const std::string recorded = readHexFile(dir / "t" / "k.hex");
    ASSERT_EQ(meters.size(), 2u);
    EXPECT_TRUE(meters[0].recorded());
    EXPECT_EQ(meters[0].address(), 4u);
    const std::string t = meters[0].telegram();
    EXPECT_EQ(t.substr(6, t.size() - 8), recorded.substr(6, recorded.size() - 8))
        << "the header is the recorded one";
    EXPECT_EQ(meters[1].idText(), "00000042");
    EXPECT_EQ(meters[1].manufacturer(), "XYZ");
    EXPECT_EQ(meters[1].medium(), 0x16);
    EXPECT_EQ(meters[1].version(), static_cast<unsigned char>(recorded[13])) << "kept from the recording";

    try {
        simReadMetersFile(dir / "missing.txt");
        ADD_FAILURE() << "a missing file must fail";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("missing.txt"), std::string::npos) << e.what();
    }
    std::filesystem::remove_all(dir);
}

struct BadLine {
    const char* text;
    const char* says;
};

void PrintTo(const BadLine& c, std::ostream* os)
{
    *os << c.text;
}

class MetersFileErrors : public ::testing::TestWithParam<BadLine> {};

TEST_P(MetersFileErrors, NameTheLineAndTheFault)
{
    const std::string text = std::string("addr=1 id=00000001\n# fine so far\n") + GetParam().text + "\n";
    try {
        simParseMeters(text, "/nowhere");
        ADD_FAILURE() << "accepted: " << GetParam().text;
    } catch (const std::runtime_error& e) {
        const std::string what = e.what();
        EXPECT_EQ(what.rfind("line 3: ", 0), 0u) << what;
        EXPECT_NE(what.find(GetParam().says), std::string::npos) << what;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, MetersFileErrors, ::testing::Values(
    BadLine {"id=00000002", "addr= is missing"},
    BadLine {"addr=251 id=00000002", "addr=251"},
    BadLine {"addr=-1 id=00000002", "addr=-1"},
    BadLine {"addr=0x05 id=00000002", "addr=0x05"},
    BadLine {"addr=5", "id= is missing"},
    BadLine {"addr=5 id=1234", "1234"},
    BadLine {"addr=5 id=0000000Z", "0000000Z"},
    BadLine {"addr=5 id=00000002 mfr=abc", "abc"},
    BadLine {"addr=5 id=00000002 ver=256", "ver=256"},
    BadLine {"addr=5 id=00000002 medium=0x1FF", "medium=0x1FF"},
    BadLine {"addr=5 id=00000002 records=0C1", "odd"},
    BadLine {"addr=5 id=00000002 records=0C13 telegram=x.hex", "exclude"},
    BadLine {"addr=5 telegram=no-such-file.hex", "no-such-file.hex"},
    BadLine {"addr=5 id=00000002 silent=yes", "silent=yes"},
    BadLine {"addr=5 id=00000002 late=soon", "late=soon"},
    BadLine {"addr=5 id=00000002 colour=red", "unknown key \"colour\""},
    BadLine {"addr=5 addr=6 id=00000002", "addr= given twice"},
    BadLine {"addr=5 id=00000002 silent", "\"silent\" is not key=value"},
    BadLine {"addr=5 id=", "\"id=\" is not key=value"}));

} // namespace

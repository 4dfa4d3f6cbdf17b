// Recorded telegrams of real meters, broken replies and master frames, and frames cut or
// made up at random: all decode without fault and without reading past the reply.
#include "HexFile.h"
#include "ReplyDecoder.h"
#include "TelegramBuilder.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <set>

namespace {

// The reply in a heap block of exactly its size, so that a read past its end is caught by
// the address sanitizer (a std::string's buffer has room beyond its size).
class ExactBuffer {
public:
    explicit ExactBuffer(const std::string& bytes)
        : size_(bytes.size()), data_(new char[bytes.size() ? bytes.size() : 1])
    {
        std::copy(bytes.begin(), bytes.end(), data_.get());
    }
    std::string_view view() const { return {data_.get(), size_}; }

private:
    std::size_t size_;
    std::unique_ptr<char[]> data_;
};

DecodedReply decodeExact(const std::string& bytes, bool report = false)
{
    const ExactBuffer buffer(bytes);
    return DecodeReply(buffer.view(), report, '.');
}

bool isHexGroups(const std::string& text)
{
    if (text.size() % 3 != 0)
        return false;
    for (std::size_t i = 0; i < text.size(); i += 3)
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))
            || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) || text[i + 2] != ' '
            || std::islower(static_cast<unsigned char>(text[i]))
            || std::islower(static_cast<unsigned char>(text[i + 1])))
            return false;
    return true;
}

// What every decoded record table must satisfy.
void expectWellFormedRows(const DecodedReply& d, std::size_t replySize, const std::string& what)
{
    if (!d.valid) {
        EXPECT_TRUE(d.records.empty()) << what;
        return;
    }
    ASSERT_GE(replySize, 21u) << what;
    EXPECT_LE(d.records.size(), replySize - 21) << what;
    for (std::size_t i = 0; i < d.records.size(); ++i) {
        const auto& c = d.records[i].cells;
        EXPECT_EQ(c[ColNumber], std::to_string(i + 1)) << what;
        EXPECT_TRUE(isHexGroups(c[ColDif])) << what << " row " << i + 1 << ": " << c[ColDif];
        EXPECT_TRUE(isHexGroups(c[ColVife])) << what << " row " << i + 1 << ": " << c[ColVife];
        const bool manufacturerData = c[ColDescription] == "Manf. secific" && c[ColDif].empty();
        if (manufacturerData) {
            EXPECT_EQ(i + 1, d.records.size()) << what << ": manufacturer data ends the walk";
            EXPECT_TRUE(isHexGroups(c[ColValue])) << what;
        } else {
            EXPECT_FALSE(c[ColDif].empty()) << what << " row " << i + 1;
            EXPECT_EQ(c[ColVif].size(), 2u) << what << " row " << i + 1;
            EXPECT_FALSE(d.records[i].reportLine().empty()) << what;
        }
    }
}

const std::map<std::string, std::array<std::string, 3>> kMediumUnits = {
    {"Other", {"N/A", "N/A", "N/A"}}, {"Oil", {"m3", "m3", "m3"}},
    {"Electricity", {"kWh", "kJ", "kJ"}}, {"Gas", {"m3", "m3", "m3"}},
    {"Heat (rt)", {"kWh", "kJ", "kJ"}}, {"Steam", {"N/A", "N/A", "N/A"}},
    {"Hot water", {"m3", "m3", "m3"}}, {"Water", {"m3", "m3", "m3"}},
    {"Heat C.A.", {"N/A", "N/A", "N/A"}}, {"Compr. Air", {"N/A", "N/A", "N/A"}},
    {"Cooling, rt", {"kWh", "kJ", "kJ"}}, {"Cooling, ft", {"kWh", "kJ", "kJ"}},
    {"Heat (ft)", {"kWh", "kJ", "kJ"}}, {"H/C load meter", {"kWh", "kJ", "kJ"}},
    {"Bus/System", {"N/A", "N/A", "N/A"}}, {"Unknown", {"N/A", "N/A", "N/A"}},
    {"Cold water", {"m3", "m3", "m3"}}, {"Dual water", {"m3", "m3", "m3"}},
    {"Pressure", {"mbar", "mbar", "mbar"}}, {"A/D converter", {"N/A", "N/A", "N/A"}},
};

TEST(RecordedTelegrams, EveryMeterTelegramDecodes)
{
    const auto files = telegramFiles("meters");
    ASSERT_EQ(files.size(), 76u);
    std::size_t records = 0;
    for (const auto& file : files) {
        const std::string name = file.filename().string();
        const std::string reply = readHexFile(file);
        const DecodedReply d = decodeExact(reply);
        ASSERT_TRUE(d.valid) << name;
        EXPECT_TRUE(d.failures.empty()) << name;
        const ReplyHeader& h = d.header;
        EXPECT_EQ(h.id.size(), 8u) << name;
        EXPECT_EQ(h.id.find_first_not_of("0123456789ABCDEF"), std::string::npos) << name;
        ASSERT_EQ(h.manufacturer.size(), 3u) << name;
        EXPECT_GE(static_cast<unsigned char>(h.manufacturer[0]), 64) << name;
        EXPECT_LE(static_cast<unsigned char>(h.manufacturer[0]), 127) << name;
        for (int i = 1; i < 3; ++i) {
            EXPECT_GE(static_cast<unsigned char>(h.manufacturer[i]), 64) << name;
            EXPECT_LE(static_cast<unsigned char>(h.manufacturer[i]), 95) << name;
        }
        const auto medium = kMediumUnits.find(h.medium);
        ASSERT_NE(medium, kMediumUnits.end()) << name << ": " << h.medium;
        EXPECT_EQ(h.expectedUnits, medium->second) << name;
        if (h.manufacturer != "QVX") {
            ASSERT_EQ(h.status.size(), 4u) << name;
            EXPECT_EQ(h.status.substr(0, 2), "0x") << name;
            EXPECT_TRUE(isHexGroups(h.status.substr(2) + " ")) << name;
        }
        EXPECT_FALSE(d.records.empty()) << name;
        expectWellFormedRows(d, reply.size(), name);
        records += d.records.size();
    }
    EXPECT_GE(records, 900u);
}

TEST(RecordedTelegrams, HeaderValuesOfKnownMeters)
{
    const struct {
        const char* file;
        int address;
        const char* id;
        const char* manufacturer;
        const char* medium;
        int access;
        const char* status;
    } cases[] = {
        {"ACW_Itron-BM-plus-m", 8, "11490378", "ACW", "Cold water", 10, "0x00"},
        {"EFE_Engelmann-Elster-SensoStar-2", 0, "24083345", "EFE", "Heat (rt)", 102, "0x27"},
        {"EMU_EMU-Professional-375-M-Bus", 0, "00032629", "EMU", "Electricity", 2, "0x00"},
        {"SEN_Pollustat", 4, "00011788", "SEN", "H/C load meter", 62, "0x00"},
        {"electricity-meter-1", 1, "0500023E", "SBC", "Electricity", 19, "0x00"},
        {"electricity-meter-2", 2, "050002E5", "@@@", "Electricity", 37, "0x00"},
        {"frame1", 0, "10060958", "LSE", "Bus/System", 123, "0x00"},
        {"manual_frame2", 5, "12345678", "@@J", "Unknown", 1, "0x00"},
        {"sen_pollusonic_2", 1, "90919293", "@@P", "Unknown", 49, "0x65"},
        {"siemens_rvd235", 0, "00291104", "LSZ", "Unknown", 12, "0x28"},
        {"wmbus-converted", 0, "17677731", "KAM", "Electricity", 0, "0x00"},
        {"tecson", 0, "78563412", "TEC", "Oil", 1, "0x00"},
    };
    for (const auto& c : cases) {
        const DecodedReply d = decodeExact(readHexFile(telegramDir() / "meters" / (std::string(c.file) + ".hex")));
        ASSERT_TRUE(d.valid) << c.file;
        EXPECT_EQ(d.header.primaryAddress, c.address) << c.file;
        EXPECT_EQ(d.header.id, c.id) << c.file;
        EXPECT_EQ(d.header.manufacturer, c.manufacturer) << c.file;
        EXPECT_EQ(d.header.medium, c.medium) << c.file;
        EXPECT_EQ(d.header.accessNumber, c.access) << c.file;
        EXPECT_EQ(d.header.status, c.status) << c.file;
    }
}

std::vector<std::string> cellsOf(const RecordRow& row)
{
    return {row.cells.begin(), row.cells.end()};
}

TEST(RecordedTelegrams, WholeRowsOfTwoSmallTelegrams)
{
    DecodedReply d = decodeExact(readHexFile(telegramDir() / "meters" / "GWF-MTKcoder.hex"));
    ASSERT_TRUE(d.valid);
    ASSERT_EQ(d.records.size(), 2u);
    EXPECT_EQ(cellsOf(d.records[0]), (std::vector<std::string>{"1", "00182007", "Fabr. No.", "", "0C ", "78", ""}));
    EXPECT_EQ(cellsOf(d.records[1]), (std::vector<std::string>{"2", "269.000", "m3", "", "0C ", "16", ""}));

    d = decodeExact(readHexFile(telegramDir() / "meters" / "tecson.hex"));
    ASSERT_TRUE(d.valid);
    ASSERT_EQ(d.records.size(), 3u);
    EXPECT_EQ(cellsOf(d.records[0]),
              (std::vector<std::string>{"1", "9.000", "deg. C", "External Temperature", "01 ", "67", ""}));
    EXPECT_EQ(cellsOf(d.records[1]), (std::vector<std::string>{"2", "45.600", "m3", "TX2", "0A ", "14", ""}));
    EXPECT_EQ(cellsOf(d.records[2]), (std::vector<std::string>{"3", "50.000", "m3", "TX2", "92 10 ", "14", ""}));
    EXPECT_EQ(d.records[2].reportLine(),
              "DIF,DIFE=92 10 ; VIF, VIFE=14 ; Maximum value, Extension Storage is: 0, Tariff is: 1 , "
              "50.000 m3, TX2");
}

TEST(RecordedTelegrams, FillersEndTheWalkAsManufacturerData)
{
    const std::string reply = readHexFile(telegramDir() / "meters" / "filler.hex");
    const DecodedReply d = decodeExact(reply);
    ASSERT_TRUE(d.valid);
    std::size_t firstFiller = 19;
    while (firstFiller < reply.size() - 2 && reply[firstFiller] != 0x2F)
        ++firstFiller;
    ASSERT_LT(firstFiller, reply.size() - 2);
    ASSERT_FALSE(d.records.empty());
    const RecordRow& last = d.records.back();
    EXPECT_EQ(last.cells[ColDescription], "Manf. secific");
    EXPECT_EQ(last.cells[ColValue], spacedHex(reply.substr(firstFiller + 1, reply.size() - 3 - firstFiller)));
    EXPECT_EQ(last.cells[ColUnit], "");
    EXPECT_EQ(last.cells[ColDif], "");
}

TEST(RecordedTelegrams, BrokenRepliesAndMasterFramesDecodeWithoutFault)
{
    for (const char* folder : {"broken", "master"}) {
        const auto files = telegramFiles(folder);
        ASSERT_FALSE(files.empty()) << folder;
        for (const auto& file : files) {
            const std::string reply = readHexFile(file);
            for (bool report : {false, true}) {
                const DecodedReply d = decodeExact(reply, report);
                expectWellFormedRows(d, reply.size(), file.filename().string());
                for (const auto& f : d.failures)
                    EXPECT_TRUE(f == "Wrong CRC" || f == "Wrong STOP byte" || f == "Wrong length in the header")
                        << f;
            }
        }
    }
    // Every frame here passes the three checks; the cut ones end their walk early.
    const struct {
        const char* file;
        bool valid;
        std::size_t rows;
        const char* lastValue;
    } cases[] = {
        {"master/invalid_length.hex", false, 0, ""},
        {"broken/too_short_header.hex", false, 0, ""},
        {"broken/premature_end_of_data1.hex", true, 3, "Exception "},
        {"broken/premature_end_of_dif1.hex", true, 2, "113.000"},
        {"broken/premature_end_of_vif1.hex", true, 2, "113.000"},
        {"broken/too_many_dife.hex", true, 3, "218.370"},
        {"broken/too_many_vife.hex", true, 3, "218.370"},
        {"master/invalid_length2.hex", true, 1, "0.000"},
    };
    for (const auto& c : cases) {
        const DecodedReply d = decodeExact(readHexFile(telegramDir() / c.file));
        EXPECT_EQ(d.valid, c.valid) << c.file;
        EXPECT_TRUE(d.failures.empty()) << c.file;
        ASSERT_EQ(d.records.size(), c.rows) << c.file;
        if (c.rows > 0) {
            EXPECT_EQ(d.records.back().cells[ColValue], c.lastValue) << c.file;
        }
    }
}

// A meter telegram cut after `keep` bytes, made a valid frame again (L and CS recomputed).
std::string cutTelegram(const std::string& reply, std::size_t keep)
{
    return longFrame(static_cast<std::uint8_t>(reply[4]), static_cast<std::uint8_t>(reply[5]),
                     static_cast<std::uint8_t>(reply[6]), reply.substr(7, keep - 7));
}

TEST(Robustness, EveryMeterTelegramCutAtEveryLength)
{
    for (const auto& file : telegramFiles("meters")) {
        const std::string reply = readHexFile(file);
        for (std::size_t keep = 19; keep <= reply.size() - 2; ++keep) {
            const std::string frame = cutTelegram(reply, keep);
            const DecodedReply d = decodeExact(frame);
            const std::string what = file.filename().string() + " cut at " + std::to_string(keep);
            ASSERT_TRUE(d.valid) << what;
            expectWellFormedRows(d, frame.size(), what);
        }
    }
}

TEST(Robustness, RandomFrames)
{
    std::mt19937 random(20240611u);
    // Bytes drawn mostly from record-like values, so that chains, texts and long data occur.
    const std::vector<int> interesting = {0x00, 0x01, 0x02, 0x04, 0x05, 0x06, 0x07, 0x0C, 0x0D,
                                          0x0E, 0x0F, 0x2F, 0x6C, 0x6D, 0x78, 0x7C, 0x7F, 0x80,
                                          0x84, 0x8B, 0xBF, 0xC4, 0xEC, 0xED, 0xFB, 0xFC, 0xFD,
                                          0xFE, 0xFF};
    std::uniform_int_distribution<int> byte(0, 255), pick(0, static_cast<int>(interesting.size()) - 1),
        coin(0, 1), length(0, 240);
    for (int i = 0; i < 20000; ++i) {
        std::string records;
        const int n = length(random);
        for (int k = 0; k < n; ++k)
            records.push_back(static_cast<char>(coin(random) ? interesting[static_cast<std::size_t>(pick(random))]
                                                             : byte(random)));
        const std::string frame = telegram(TelegramHeader{}, records);
        const DecodedReply d = decodeExact(frame, coin(random) == 1);
        ASSERT_TRUE(d.valid);
        expectWellFormedRows(d, frame.size(), "random frame " + std::to_string(i));
        if (HasFailure())
            break;
    }
}

} // namespace

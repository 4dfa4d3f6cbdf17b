#include "IniFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

IniFile ini(std::string_view text) { return IniFile::fromText(text); }

struct TempDir {
    std::filesystem::path path;
    TempDir()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "ferolt-ini-XXXXXX").string();
        path = ::mkdtemp(tmpl.data());
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

} // namespace

TEST(IniFile, OneChangedKeyKeepsEveryOtherByte)
{
    const std::string before =
        "; settings of the program\r\n"
        "stray line before any section\n"
        "\r\n"
        "[Com port]\r\n"
        "Name=COM1\r\n"
        "  sPeEd = 300   \n"
        "Unknown=kept ; as it is\r\n"
        "\n"
        "[Vendor]\r\n"
        "Foo=bar\n"
        "[Misc]\r\n"
        ";Retry=7\r\n"
        "Retry=2";
    IniFile f = ini(before);
    f.writeString("Com port", "Speed", "2400");
    const std::string expected =
        "; settings of the program\r\n"
        "stray line before any section\n"
        "\r\n"
        "[Com port]\r\n"
        "Name=COM1\r\n"
        "Speed=2400\r\n"
        "Unknown=kept ; as it is\r\n"
        "\n"
        "[Vendor]\r\n"
        "Foo=bar\n"
        "[Misc]\r\n"
        ";Retry=7\r\n"
        "Retry=2";
    EXPECT_EQ(f.text(), expected);
    EXPECT_EQ(ini(before).text(), before);   // reading alone changes nothing
}

TEST(IniFile, NamesMatchCaseBlindAndTheWriterSpellingWins)
{
    IniFile f = ini("[ETHERNET]\r\nport=1234\r\nAutoOpen=1\r\n");
    EXPECT_EQ(f.readString("Ethernet", "Port", "59615"), "1234");
    EXPECT_EQ(f.readString("  ethernet ", "PORT", "59615"), "1234");
    f.writeString("Ethernet", "Port", "1234");
    EXPECT_EQ(f.text(), "[ETHERNET]\r\nPort=1234\r\nAutoOpen=1\r\n");
}

TEST(IniFile, OnlyKeyLinesInsideTheFirstMatchingSectionAreMatched)
{
    const IniFile f = ini("Name=outside\r\n"
                          "[A]\r\n"
                          ";Name=comment\r\n"
                          "Name\r\n"
                          "  [B]  \r\n"
                          "Name=in B\r\n"
                          "Name=second in B\r\n"
                          "[a]\r\n"
                          "Other=in the second A\r\n");
    EXPECT_EQ(f.readString("A", "Name", "dflt"), "dflt");
    EXPECT_EQ(f.readString("B", "Name", "dflt"), "in B");
    EXPECT_EQ(f.readString("A", "Other", "dflt"), "dflt");
    EXPECT_EQ(f.readString("", "Name", "dflt"), "dflt");
}

TEST(IniFile, WritesTheFirstMatchingKeyAndSection)
{
    IniFile f = ini("[B]\nName=1\nName=2\n[b]\nName=3\n");
    f.writeString("b", "name", "x");
    EXPECT_EQ(f.text(), "[B]\nname=x\r\nName=2\n[b]\nName=3\n");
}

TEST(IniFile, StringValues)
{
    struct Case { const char* line; const char* value; };
    const std::vector<Case> cases = {
        {"K=;", ";"},
        {"K=", ""},
        {"K=   \t", ""},
        {"K = \t a b \t ", "a b"},
        {"K=a=b=c", "a=b=c"},
        {"K=x ; not a comment", "x ; not a comment"},
        {"K=\xB9\xE6\x9C", "\xB9\xE6\x9C"},
    };
    for (const Case& c : cases) {
        const IniFile f = ini(std::string("[S]\r\n") + c.line + "\r\n");
        EXPECT_EQ(f.readString("S", "K", "default"), c.value) << c.line;
    }
    EXPECT_EQ(ini("[S]\r\n").readString("S", "K", "default"), "default");
    EXPECT_EQ(ini("[Misc]\r\nExportSeparator=;\n").readString("Misc", "ExportSeparator", ","), ";");
    EXPECT_EQ(ini("[S]\r\nK=v\r").readString("S", "K", "default"), "v\r");   // a lone CR is data
}

TEST(IniFile, IntegerValues)
{
    struct Case { const char* value; int expected; };
    const int d = -77;   // the default
    const std::vector<Case> cases = {
        {"0x1F", 31}, {"0X1f", 31}, {"12", 12}, {" 12\t", 12}, {"-5", -5}, {"+7", 7}, {"007", 7},
        {"2147483647", INT_MAX}, {"-2147483648", INT_MIN}, {"0x7FFFFFFF", INT_MAX},
        {"2147483648", d}, {"-2147483649", d}, {"0x80000000", d}, {"99999999999999999999", d},
        {"abc", d}, {"12abc", d}, {"", d}, {"1 2", d}, {"0x", d}, {"0x1G", d}, {"--5", d}, {"+-5", d},
        {"-0x10", d}, {"+", d}, {"1.5", d}, {"0x-1", d}, {"0x+1", d},
    };
    for (const Case& c : cases) {
        const IniFile f = ini(std::string("[S]\r\nK=") + c.value + "\r\n");
        EXPECT_EQ(f.readInteger("S", "K", d), c.expected) << "\"" << c.value << "\"";
    }
    EXPECT_EQ(ini("").readInteger("S", "K", d), d);
}

TEST(IniFile, BooleanValues)
{
    struct Case { const char* value; bool ifTrueDefault; bool ifFalseDefault; };
    const std::vector<Case> cases = {
        {"1", true, true}, {"0", false, false}, {"2", true, true}, {"-1", true, true}, {"0x0", false, false},
        {"abc", true, false}, {"", true, false}, {"true", true, false},
    };
    for (const Case& c : cases) {
        const IniFile f = ini(std::string("[S]\r\nK=") + c.value + "\r\n");
        EXPECT_EQ(f.readBool("S", "K", true), c.ifTrueDefault) << c.value;
        EXPECT_EQ(f.readBool("S", "K", false), c.ifFalseDefault) << c.value;
    }
    IniFile f = ini("");
    f.writeBool("S", "On", true);
    f.writeBool("S", "Off", false);
    f.writeInteger("S", "N", -12);
    EXPECT_EQ(f.text(), "[S]\r\nOn=1\r\nOff=0\r\nN=-12\r\n");
}

TEST(IniFile, NewKeysGoAfterTheLastKeyLineOfTheirSection)
{
    IniFile f = ini("[A]\nOne=1\n; trailing comment\n\n[B]\nX=1\n");
    f.writeString("A", "Two", "2");
    EXPECT_EQ(f.text(), "[A]\nOne=1\nTwo=2\r\n; trailing comment\n\n[B]\nX=1\n");

    IniFile empty = ini("[A]\n; nothing yet\n[B]\n");
    empty.writeString("A", "K", "v");
    EXPECT_EQ(empty.text(), "[A]\nK=v\r\n; nothing yet\n[B]\n");
}

TEST(IniFile, NewSectionsGoAtTheEndAfterAFinalLineEnd)
{
    struct Case { const char* before; const char* after; };
    const std::vector<Case> cases = {
        {"", "[New]\r\nK=v\r\n"},
        {"[A]\nX=1", "[A]\nX=1\r\n[New]\r\nK=v\r\n"},
        {"[A]\nX=1\n", "[A]\nX=1\n[New]\r\nK=v\r\n"},
        {"; only a comment", "; only a comment\r\n[New]\r\nK=v\r\n"},
    };
    for (const Case& c : cases) {
        IniFile f = ini(c.before);
        f.writeString("New", "K", "v");
        EXPECT_EQ(f.text(), c.after) << c.before;
    }
    // A new key after a last line that lacks its line end.
    IniFile f = ini("[A]\nX=1");
    f.writeString("A", "Y", "2");
    EXPECT_EQ(f.text(), "[A]\nX=1\r\nY=2\r\n");
    IniFile h = ini("[A]");
    h.writeString("a", "Y", "2");
    EXPECT_EQ(h.text(), "[A]\r\nY=2\r\n");
}

TEST(IniFile, LineBreaksInsideAValueAreWrittenAsBlanks)
{
    IniFile f = ini("[S]\r\nK=old\r\nNext=1\r\n");
    f.writeString("S", "K", "a\r\nb\nc\rd");
    EXPECT_EQ(f.text(), "[S]\r\nK=a  b c d\r\nNext=1\r\n");
    EXPECT_EQ(f.readString("S", "K", ""), "a  b c d");
    EXPECT_EQ(f.readString("S", "Next", ""), "1");
    f.writeString("S", "New", "[Evil]\r\nNext=2");
    EXPECT_EQ(f.readString("S", "Next", ""), "1");
    EXPECT_EQ(f.readString("Evil", "Next", "none"), "none");
}

TEST(IniFile, AMissingFileGivesDefaultsAndIsNotCreated)
{
    TempDir dir;
    const std::string path = (dir.path / "ferolt.ini").string();
    int writes = 0;
    IniFile f(path, [&](const std::string&, std::string_view) { ++writes; return WriteResult{true, {}}; });
    EXPECT_EQ(f.readString("Com port", "Name", "COM1"), "COM1");
    EXPECT_EQ(f.readInteger("Misc", "Retry", 1), 1);
    EXPECT_TRUE(f.readError().empty());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(writes, 0);
    // A folder that runs through a regular file is a missing file too.
    { std::FILE* plain = std::fopen((dir.path / "plain").c_str(), "w"); std::fclose(plain); }
    const IniFile g((dir.path / "plain" / "ferolt.ini").string(), {});
    EXPECT_TRUE(g.readError().empty());
    EXPECT_EQ(g.readBool("Misc", "MSBSearch", true), true);
}

TEST(IniFile, SaveHandsTheWholeTextToTheWriterAndReportsItsResult)
{
    TempDir dir;
    const std::string path = (dir.path / "ferolt.ini").string();
    std::vector<std::pair<std::string, std::string>> calls;
    WriteResult answer{false, "disk full"};
    IniFile f(path, [&](const std::string& p, std::string_view bytes) {
        calls.emplace_back(p, std::string(bytes));
        return answer;
    });
    f.writeString("Mbus", "Timeout", "500");
    const WriteResult failed = f.save();
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.error, "disk full");
    answer = {true, {}};
    EXPECT_TRUE(f.save().ok);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].first, path);
    EXPECT_EQ(calls[1].second, "[Mbus]\r\nTimeout=500\r\n");
    EXPECT_FALSE(IniFile::fromText("x").save().ok);   // no writer
}

TEST(IniFile, AnUnreadableFileGivesDefaultsAndIsNeverOverwritten)
{
    TempDir dir;
    const std::filesystem::path path = dir.path / "ferolt.ini";
    std::filesystem::create_directory(path);
    int writes = 0;
    IniFile f(path.string(), [&](const std::string&, std::string_view) { ++writes; return WriteResult{true, {}}; });
    EXPECT_FALSE(f.readError().empty());
    EXPECT_EQ(f.readString("Com port", "Speed", "300"), "300");
    f.writeString("Com port", "Speed", "2400");
    const WriteResult r = f.save();
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find(path.string()), std::string::npos);
    EXPECT_EQ(writes, 0);
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST(IniFile, ReadsAFileFromDiskByteForByte)
{
    TempDir dir;
    const std::string path = (dir.path / "ferolt.ini").string();
    const std::string text = "[Titles]\r\nTitle1=\xB3\xF3\x9F\r\nCount=3\n";
    { std::FILE* out = std::fopen(path.c_str(), "wb"); std::fwrite(text.data(), 1, text.size(), out); std::fclose(out); }
    const IniFile f(path, {});
    EXPECT_EQ(f.text(), text);
    EXPECT_EQ(f.readString("Titles", "Title1", ""), "\xB3\xF3\x9F");
    EXPECT_EQ(f.readInteger("Titles", "Count", 0), 3);
}

TEST(IniFile, AByteOrderMarkIsSkippedOnReadingAndKeptOnWriting)
{
    const std::string bom = "\xEF\xBB\xBF";
    IniFile f = ini(bom + "[Misc]\r\nRetry=3\r\n[Mbus]\r\nTimeout=700\r\n");
    EXPECT_EQ(f.readInteger("Misc", "Retry", 1), 3);
    EXPECT_EQ(f.readInteger("Mbus", "Timeout", 500), 700);
    f.writeInteger("Misc", "Retry", 5);
    f.writeString("Misc", "Language", "2");
    EXPECT_EQ(f.text(), bom + "[Misc]\r\nRetry=5\r\nLanguage=2\r\n[Mbus]\r\nTimeout=700\r\n");

    // A file holding the mark alone keeps it before the first section written.
    IniFile empty = ini(bom);
    EXPECT_EQ(empty.readString("Misc", "Dir", "none"), "none");
    empty.writeString("Misc", "Dir", "/data");
    EXPECT_EQ(empty.text(), bom + "[Misc]\r\nDir=/data\r\n");

    // Only a mark at the very start is one; elsewhere its bytes are data.
    IniFile twice = ini(bom + bom + "[Misc]\r\nRetry=3\r\n");
    EXPECT_EQ(twice.readInteger("Misc", "Retry", 1), 1);
    EXPECT_EQ(twice.text(), bom + bom + "[Misc]\r\nRetry=3\r\n");
    EXPECT_EQ(ini("[Misc]\r\nSep=" + bom + "\r\n").readString("Misc", "Sep", ""), bom);

    // Read from disk, written back through the writer byte for byte.
    TempDir dir;
    const std::string path = (dir.path / "ferolt.ini").string();
    const std::string text = bom + "; saved by an editor\r\n[Misc]\r\nLanguage=3\r\n";
    { std::FILE* out = std::fopen(path.c_str(), "wb"); std::fwrite(text.data(), 1, text.size(), out); std::fclose(out); }
    std::string written;
    IniFile disk(path, [&](const std::string&, std::string_view bytes) { written = bytes; return WriteResult{true, {}}; });
    EXPECT_EQ(disk.readInteger("Misc", "Language", 1), 3);
    disk.writeInteger("Misc", "Language", 3);
    ASSERT_TRUE(disk.save().ok);
    EXPECT_EQ(written, text);
}

TEST(IniFile, AFifoOrDeviceAtThePathIsNotReadAndNeverOverwritten)
{
    TempDir dir;
    const std::string fifo = (dir.path / "ferolt.ini").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/null"), std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        int writes = 0;
        const FileWriter writer = [&](const std::string&, std::string_view) { ++writes; return WriteResult{true, {}}; };
        // Reading must not wait for a writer to open the FIFO.
        auto reading = std::async(std::launch::async, [&] { return IniFile(path, writer); });
        if (reading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            const int unblock = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (unblock >= 0)
                ::close(unblock);
            FAIL() << "reading waited for a writer";
        }
        IniFile f = reading.get();
        EXPECT_FALSE(f.readError().empty());
        EXPECT_EQ(f.readString("Com port", "Name", "COM1"), "COM1");
        f.writeString("Com port", "Name", "COM2");
        EXPECT_FALSE(f.save().ok);
        EXPECT_EQ(writes, 0);
    }
    struct stat st {};
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

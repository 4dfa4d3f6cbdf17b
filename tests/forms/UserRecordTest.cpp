#include "UserRecord.h"
#include "UsersFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string bytesOf(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

const std::string KnownHash = bytesOf({0x35, 0x4A, 0x8E, 0x4F, 0x53, 0x9C, 0x68, 0x8E, 0x53, 0xC6});

const std::string KnownRecord = bytesOf({
    0x05, 0xC6, 0xC3, 0xCA, 0xCE, 0xC9, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x35, 0x4A, 0x8E, 0x4F,
    0x53, 0x9C, 0x68, 0x8E, 0x53, 0xC6, 0x0D, 0xE6, 0xC3, 0xCA, 0xCE, 0xC9, 0xCE, 0xD4, 0xD3, 0xD5,
    0xC6, 0xD3, 0xC8, 0xD5, 0x00, 0x00, 0x06, 0x33, 0x2F, 0x35, 0x2F, 0x32, 0x36, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x71, 0x37, 0x4D, 0x03, 0x77, 0x39, 0x54, 0x03, 0x72,
    0x35, 0x58, 0xA5});

// A cheap stand-in for the real hash: any change of password or salt changes the bytes.
// Counts its calls, so tests see how many hashes a login costs.
struct CountingHasher {
    int calls = 0;
    std::vector<std::string> salts;
    std::string operator()(std::string_view password, std::string_view salt)
    {
        ++calls;
        salts.emplace_back(salt);
        std::uint64_t h = 1469598103934665603ull;
        for (char c : std::string(password) + '\x01' + std::string(salt))
            h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        std::string out;
        for (int i = 0; i < 10; ++i, h = h * 6364136223846793005ull + 1442695040888963407ull)
            out.push_back(static_cast<char>(h >> 56));
        return out;
    }
    PasswordHasher fn()
    {
        return [this](std::string_view p, std::string_view s) { return (*this)(p, s); };
    }
};

UserRecord account(const std::string& name, const std::string& password, const std::string& level,
                   CountingHasher& hash, const std::string& date = "1/2/25")
{
    UserRecord r;
    r.name = name;
    r.level = level;
    r.date = date;
    r.rights = UserRights::all();
    r.password = hash(password, UserSalt(name, date));
    return r;
}

// The record's bytes in a heap block of exactly 67 bytes, so that AddressSanitizer sees any
// read past its end.
struct ExactBlock {
    explicit ExactBlock(const std::string& bytes) : data(new char[bytes.size()]), size(bytes.size())
    {
        std::copy(bytes.begin(), bytes.end(), data.get());
    }
    std::string_view view() const { return {data.get(), size}; }
    std::unique_ptr<char[]> data;
    std::size_t size;
};

TEST(UserRecordCodec, KnownAnswerByteForByteAndBack)
{
    UserRecord r;
    r.name = "admin";
    r.password = KnownHash;
    r.level = "Administrator";
    r.date = "3/5/26";
    r.rights = UserRights::all();
    EXPECT_EQ(EncodeUserRecord(r), KnownRecord);
    const UserRecord back = DecodeUserRecord(KnownRecord);
    EXPECT_EQ(back, r);
    EXPECT_TRUE(back.hashed() && back.isAdministrator());
    EXPECT_EQ(EncodeUserRecord(back), KnownRecord);

    // Add hashes with the salt of name and date, and writes the same record.
    std::vector<UserRecord> records;
    std::string saltSeen;
    const auto hash = [&](std::string_view password, std::string_view salt) {
        EXPECT_EQ(password, "Secret1");
        saltSeen = salt;
        return KnownHash;
    };
    EXPECT_EQ(AddOrChangeUser(records, "admin", "Secret1", "Administrator", UserRights::all(), "3/5/26", hash),
              AddOutcome::Added);
    EXPECT_EQ(saltSeen, std::string("ferolt-users-v1\x05" "admin\x06" "3/5/26"));
    EXPECT_EQ(EncodeUserRecords(records), KnownRecord);
}

TEST(UserRecordCodec, ARightIsGrantedOnlyByItsExactField)
{
    struct Case {
        std::size_t offset;
        std::string field;
        bool granted;
    };
    const Case cases[] = {
        {54, "\x03q7M", true},  {54, "\x03q7m", false}, {54, "\x02q7M", false}, {54, "\x03Z4k", false},
        {54, "\x04q7M", false}, {54, "\x03w9T", false}, {58, "\x03w9T", true},  {58, "\x03J2p", false},
        {58, "\x03W9T", false}, {62, "\x03r5X", true},  {62, "\x03H8f", false}, {62, "\x03r5x", false},
        {62, std::string("\x00r5X", 4), false},
    };
    for (const Case& c : cases) {
        std::string bytes = KnownRecord;
        for (std::size_t o : {54u, 58u, 62u})
            bytes.replace(o, 4, std::string(4, '\0'));
        bytes.replace(c.offset, 4, c.field);
        const UserRights rights = DecodeUserRecord(bytes).rights;
        const bool got = c.offset == 54 ? rights.devices : c.offset == 58 ? rights.communication : rights.display;
        EXPECT_EQ(got, c.granted) << c.offset << " " << c.field;
        EXPECT_EQ(rights.devices + rights.communication + rights.display, c.granted ? 1 : 0);
    }
    UserRecord denied;
    EXPECT_EQ(EncodeUserRecord(denied).substr(54, 12), "\x03Z4k\x03J2p\x03H8f");
}

TEST(UserRecordCodec, LengthBytesAreClampedToTheirFields)
{
    struct Field {
        std::size_t offset, capacity;
        std::string UserRecord::*text;
        bool scrambled;
    };
    const Field fields[] = {{0, 10, &UserRecord::name, true},
                            {11, 10, &UserRecord::password, false},
                            {22, 15, &UserRecord::level, true},
                            {38, 15, &UserRecord::date, false}};
    for (const Field& f : fields) {
        for (int length : {0xFF, static_cast<int>(f.capacity) + 1}) {
            SCOPED_TRACE(std::to_string(f.offset) + " length " + std::to_string(length));
            std::string bytes(UserRecordSize, '\x5A');   // every byte past a field differs from its own
            for (std::size_t i = 1; i <= f.capacity; ++i)
                bytes[f.offset + i] = static_cast<char>('a' ^ (f.scrambled ? UserNameKey : 0));
            bytes[f.offset] = static_cast<char>(length);
            const ExactBlock block(bytes);
            const UserRecord r = DecodeUserRecord(block.view());
            EXPECT_EQ(r.*(f.text), std::string(f.capacity, 'a'));
            // Written back, the length is the capacity and the next field is untouched.
            const std::string again = EncodeUserRecord(r);
            EXPECT_EQ(static_cast<unsigned char>(again[f.offset]), f.capacity);
            EXPECT_EQ(DecodeUserRecord(again), r);
        }
    }
}

TEST(UserRecordCodec, BytesBehindEveryLengthAreWrittenAsZeros)
{
    std::string bytes(UserRecordSize, '\xEE');
    bytes[0] = 2;
    bytes[11] = 10;
    bytes[22] = 5;
    bytes[38] = 0;
    bytes[66] = '\xA5';
    const UserRecord r = DecodeUserRecord(bytes);
    const std::string out = EncodeUserRecord(r);
    ASSERT_EQ(out.size(), UserRecordSize);
    for (std::size_t i = 3; i < 11; ++i)
        EXPECT_EQ(out[i], '\0') << i;
    for (std::size_t i = 28; i < 38; ++i)
        EXPECT_EQ(out[i], '\0') << i;
    for (std::size_t i = 39; i < 54; ++i)
        EXPECT_EQ(out[i], '\0') << i;
    EXPECT_EQ(out.substr(0, 3), bytes.substr(0, 3));
    EXPECT_EQ(out.substr(11, 11), bytes.substr(11, 11));
    EXPECT_EQ(out.substr(22, 6), bytes.substr(22, 6));

    // Longer texts are cut to their fields; a shorter one leaves no tail of an old one.
    UserRecord longer;
    longer.name = "abcdefghijKL";
    longer.level = "Administrator-and-more";
    longer.date = "Wednesday, 5 March 2026";
    const UserRecord cut = DecodeUserRecord(EncodeUserRecord(longer));
    EXPECT_EQ(cut.name, "abcdefghij");
    EXPECT_EQ(cut.level, "Administrator-a");
    EXPECT_EQ(cut.date, "Wednesday, 5 Ma");
}

TEST(UserRecordCodec, SeededRandomRecordsDecodeAndReadBack)
{
    std::mt19937 random(20260305);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n = 0; n < 10000; ++n) {
        std::string bytes(UserRecordSize, '\0');
        for (char& c : bytes)
            c = static_cast<char>(byte(random));
        const ExactBlock block(bytes);
        const UserRecord r = DecodeUserRecord(block.view());
        ASSERT_LE(r.name.size(), UserNameCapacity);
        ASSERT_LE(r.password.size(), PasswordCapacity);
        ASSERT_LE(r.level.size(), LevelCapacity);
        ASSERT_LE(r.date.size(), DateCapacity);
        ASSERT_EQ(DecodeUserRecord(EncodeUserRecord(r)), r) << n;
    }
}

TEST(UserRecordFile, OnlyWholeRecordsAreRead)
{
    CountingHasher hash;
    const std::string one = EncodeUserRecord(account("op", "pw", "Operator", hash));
    EXPECT_TRUE(DecodeUserRecords("").empty());
    EXPECT_TRUE(DecodeUserRecords(one.substr(0, 66)).empty());
    EXPECT_EQ(DecodeUserRecords(one + "abc").size(), 1u);
    EXPECT_EQ(DecodeUserRecords(one + one + one.substr(0, 66)).size(), 2u);
    EXPECT_EQ(EncodeUserRecords(DecodeUserRecords(one + "abc")), one);
}

class UserRecordOps : public ::testing::Test {
protected:
    UserRecordOps()
    {
        records = {account("admin", "a1", "Administrator", hash), account("op", "o1", "Operator", hash),
                   account("set", "s1", "Setup", hash)};
        hash.calls = 0;
    }
    CountingHasher hash;
    std::vector<UserRecord> records;
};

TEST_F(UserRecordOps, LoginHashesOnlyTheRecordsOfTheTypedName)
{
    EXPECT_EQ(MatchLogin(records, "op", "o1", hash.fn()), 1u);
    EXPECT_EQ(hash.calls, 1);
    hash.calls = 0;
    EXPECT_EQ(MatchLogin(records, "nobody", "o1", hash.fn()), std::nullopt);
    EXPECT_EQ(hash.calls, 1);   // one hash all the same
    hash.calls = 0;
    EXPECT_EQ(MatchLogin({}, "op", "o1", hash.fn()), std::nullopt);
    EXPECT_EQ(hash.calls, 1);

    // Case-sensitive, whole texts; the last of two matches decides.
    EXPECT_EQ(MatchLogin(records, "Op", "o1", hash.fn()), std::nullopt);
    EXPECT_EQ(MatchLogin(records, "op", "O1", hash.fn()), std::nullopt);
    EXPECT_EQ(MatchLogin(records, "op", "o", hash.fn()), std::nullopt);
    records.push_back(account("op", "o1", "Administrator", hash));
    records.push_back(account("op", "other", "Setup", hash));
    hash.calls = 0;
    EXPECT_EQ(MatchLogin(records, "op", "o1", hash.fn()), 3u);
    EXPECT_EQ(hash.calls, 3);
}

TEST_F(UserRecordOps, OnlyAHashedRecordMatchesAndTypedTextsFitTheirFields)
{
    UserRecord plain = records[1];
    plain.marker = 0x00;
    EXPECT_EQ(MatchLogin({plain}, "op", "o1", hash.fn()), std::nullopt);
    UserRecord shortField = records[1];
    shortField.password.resize(9);
    EXPECT_EQ(MatchLogin({shortField}, "op", std::string_view("o1"), [&](auto p, auto s) {
                  return hash(p, s).substr(0, 9);
              }),
              std::nullopt);

    // A record of a 10-character password: typing 11 characters never matches.
    std::vector<UserRecord> ten = {account("ten", "abcdefghij", "Operator", hash)};
    EXPECT_EQ(MatchLogin(ten, "ten", "abcdefghij", hash.fn()), 0u);
    EXPECT_EQ(MatchLogin(ten, "ten", "abcdefghijk", [&](std::string_view p, std::string_view s) {
                  return hash(p.substr(0, 10), s);   // even a hash that would cut the text
              }),
              std::nullopt);
    std::vector<UserRecord> longName = {account("abcdefghij", "pw", "Operator", hash)};
    EXPECT_EQ(MatchLogin(longName, "abcdefghijk", "pw", hash.fn()), std::nullopt);
}

TEST_F(UserRecordOps, ChangeKeepsNameDateAndSaltAndAddAppends)
{
    const std::string date = records[1].date;
    EXPECT_EQ(AddOrChangeUser(records, "op", "new", "Setup", {true, false, false}, "9/9/99", hash.fn()),
              AddOutcome::Changed);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].name, "op");
    EXPECT_EQ(records[1].date, date);
    EXPECT_EQ(records[1].level, "Setup");
    EXPECT_EQ(records[1].rights, (UserRights {true, false, false}));
    EXPECT_EQ(hash.salts.back(), UserSalt("op", date));
    EXPECT_EQ(MatchLogin(records, "op", "o1", hash.fn()), std::nullopt);
    EXPECT_EQ(MatchLogin(records, "op", "new", hash.fn()), 1u);

    // A record in another form gets a hashed password by a change of its name.
    records[2].marker = 0;
    EXPECT_EQ(AddOrChangeUser(records, "set", "s2", "Setup", {}, "", hash.fn()), AddOutcome::Changed);
    EXPECT_EQ(records[2].marker, HashedPasswordMarker);
    EXPECT_EQ(MatchLogin(records, "set", "s2", hash.fn()), 2u);

    EXPECT_EQ(AddOrChangeUser(records, "new", "n", "Guest level typed in", {}, "3/5/26", hash.fn()),
              AddOutcome::Added);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[3].date, "3/5/26");
    EXPECT_EQ(records[3].level, "Guest level typ");
}

TEST_F(UserRecordOps, TheLastAdministratorStays)
{
    const std::vector<UserRecord> before = records;
    hash.calls = 0;
    EXPECT_EQ(AddOrChangeUser(records, "admin", "x", "Setup", {}, "", hash.fn()), AddOutcome::LastAdministrator);
    EXPECT_EQ(DeleteUser(records, "admin"), DeleteOutcome::NotFound);   // "admin" is never deleted
    records[0].name = "boss";
    const std::vector<UserRecord> renamed = records;
    EXPECT_EQ(DeleteUser(records, "boss"), DeleteOutcome::LastAdministrator);
    EXPECT_EQ(records, renamed);
    EXPECT_EQ(hash.calls, 0);   // refused before any hash

    // With a second Administrator one can go, and one can be demoted.
    records.push_back(account("second", "x", "Administrator", hash));
    EXPECT_EQ(AddOrChangeUser(records, "second", "x", "Operator", {}, "", hash.fn()), AddOutcome::Changed);
    EXPECT_EQ(AddOrChangeUser(records, "second", "x", "Administrator", {}, "", hash.fn()), AddOutcome::Changed);
    EXPECT_EQ(DeleteUser(records, "boss"), DeleteOutcome::Deleted);
    EXPECT_EQ(DeleteUser(records, "second"), DeleteOutcome::LastAdministrator);
}

class UsersFileTest : public ::testing::Test {
protected:
    UsersFileTest()
    {
        char tmpl[] = "/tmp/ferolt-users-XXXXXX";
        dir = ::mkdtemp(tmpl);
    }
    ~UsersFileTest() override { std::filesystem::remove_all(dir); }
    std::string dir;
};

TEST_F(UsersFileTest, MissingFailedAndPartialFiles)
{
    EXPECT_EQ(ReadUsersFile(dir + "/users.dat", true).status, UsersFileRead::Status::Missing);
    std::ofstream(dir + "/plain") << "x";
    EXPECT_EQ(ReadUsersFile(dir + "/plain/users.dat", false).status, UsersFileRead::Status::Missing);

    std::filesystem::create_directory(dir + "/users.dat");
    for (bool forWriting : {false, true}) {
        const UsersFileRead r = ReadUsersFile(dir + "/users.dat", forWriting);
        EXPECT_EQ(r.status, UsersFileRead::Status::Failed);
        EXPECT_EQ(r.error, "Is a directory");
    }
    // A FIFO in the file's place is refused at once instead of waiting for a writer.
    ASSERT_EQ(::mkfifo((dir + "/fifo").c_str(), 0600), 0);
    for (bool forWriting : {false, true})
        EXPECT_EQ(ReadUsersFile(dir + "/fifo", forWriting).error, "Not a regular file");

    CountingHasher hash;
    const std::string one = EncodeUserRecord(account("op", "pw", "Operator", hash));
    std::ofstream(dir + "/seventy", std::ios::binary) << one << "abc";
    const UsersFileRead r = ReadUsersFile(dir + "/seventy", true);
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.records.size(), 1u);
    EXPECT_EQ(r.records[0].name, "op");
}

TEST_F(UsersFileTest, ALinkInTheFilesPlaceIsNeitherFollowedNorWritten)
{
    CountingHasher hash;
    const std::string one = EncodeUserRecord(account("op", "pw", "Operator", hash));
    std::ofstream(dir + "/outside.dat", std::ios::binary) << one;
    std::filesystem::create_symlink(dir + "/outside.dat", dir + "/users.dat");
    std::filesystem::create_symlink(dir + "/nowhere.dat", dir + "/dangling.dat");
    int writes = 0;
    const FileWriter writer = [&](const std::string&, std::string_view) {
        ++writes;
        return WriteResult {true, {}};
    };
    for (const std::string& link : {dir + "/users.dat", dir + "/dangling.dat"}) {
        for (bool forWriting : {false, true}) {
            const UsersFileRead r = ReadUsersFile(link, forWriting);
            EXPECT_EQ(r.status, UsersFileRead::Status::Failed) << link;
            EXPECT_EQ(r.error, "Is a symbolic link");
            EXPECT_TRUE(r.records.empty());
        }
        const WriteResult w = WriteUsersFile(link, {}, writer);
        EXPECT_FALSE(w.ok);
        EXPECT_EQ(w.error, link + ": Is a symbolic link");
    }
    EXPECT_EQ(writes, 0);
    EXPECT_FALSE(std::filesystem::exists(dir + "/nowhere.dat"));
    // A link on the way to the folder is followed, as any folder path is.
    std::filesystem::create_directory(dir + "/real");
    std::filesystem::create_symlink(dir + "/real", dir + "/files");
    std::ofstream(dir + "/real/users.dat", std::ios::binary) << one;
    ASSERT_TRUE(ReadUsersFile(dir + "/files/users.dat", true).ok());
    EXPECT_TRUE(WriteUsersFile(dir + "/files/users.dat", {}, writer).ok);
    EXPECT_EQ(writes, 1);
}

TEST_F(UsersFileTest, TheFolderIsMadeWithMode0700)
{
    const mode_t old = ::umask(0077 | 0200);
    EXPECT_EQ(EnsureUsersFolder(dir + "/files"), "");
    ::umask(old);
    struct stat st {};
    ASSERT_EQ(::stat((dir + "/files").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(EnsureUsersFolder(dir + "/files"), "");
    std::ofstream(dir + "/plain") << "x";
    EXPECT_NE(EnsureUsersFolder(dir + "/plain"), "");
    EXPECT_NE(EnsureUsersFolder(dir + "/missing/files"), "");
}

TEST_F(UsersFileTest, WritesTheWholeRecordsThroughTheWriter)
{
    CountingHasher hash;
    std::vector<UserRecord> records = {account("a", "1", "Administrator", hash), account("b", "2", "Operator", hash)};
    std::string path, written;
    const FileWriter writer = [&](const std::string& p, std::string_view bytes) {
        path = p;
        written = bytes;
        return WriteResult {true, {}};
    };
    EXPECT_TRUE(WriteUsersFile(dir + "/users.dat", records, writer));
    EXPECT_EQ(path, dir + "/users.dat");
    EXPECT_EQ(written, EncodeUserRecords(records));
    EXPECT_EQ(written.size(), 134u);
    const FileWriter failing = [](const std::string&, std::string_view) { return WriteResult {false, "full"}; };
    EXPECT_FALSE(WriteUsersFile(dir + "/users.dat", records, failing));
    EXPECT_FALSE(WriteUsersFile(dir + "/users.dat", records, FileWriter {}));
}

} // namespace

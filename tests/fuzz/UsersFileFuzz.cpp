// The accounts file's reader, on any bytes.
//
// Properties: only whole 67-byte records are read; every text is exactly the bytes of its own
// field up to its clamped length (nothing past a length byte is read); a right is granted
// exactly when its 4-byte field is the granted code; a record written reads back as the same
// record, with the clamped lengths and zeros behind them; a login attempt hashes once per
// record of the typed name, or once when none carries it.
#include "FuzzCheck.h"
#include "UserRecord.h"

#include <algorithm>
#include <optional>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Field {
    std::size_t offset, capacity;
    bool scrambled;
};
constexpr Field NameField {0, UserNameCapacity, true};
constexpr Field PasswordField {11, PasswordCapacity, false};
constexpr Field LevelField {22, LevelCapacity, true};
constexpr Field DateField {38, DateCapacity, false};

// The field's text as its own bytes give it, read independently of the codec.
std::string expectedText(std::string_view record, const Field& f)
{
    const std::size_t length = std::min<std::size_t>(static_cast<unsigned char>(record[f.offset]), f.capacity);
    std::string text(record.substr(f.offset + 1, length));
    if (f.scrambled)
        for (char& c : text)
            c = static_cast<char>(static_cast<unsigned char>(c) ^ UserNameKey);
    return text;
}

void checkWritten(std::string_view written, const Field& f, const std::string& text)
{
    FUZZ_CHECK(static_cast<unsigned char>(written[f.offset]) == text.size());
    for (std::size_t i = f.offset + 1 + text.size(); i <= f.offset + f.capacity; ++i)
        FUZZ_CHECK(written[i] == '\0');
}

void checkRecord(std::string_view bytes, const UserRecord& r)
{
    FUZZ_CHECK(r.name == expectedText(bytes, NameField));
    FUZZ_CHECK(r.password == expectedText(bytes, PasswordField));
    FUZZ_CHECK(r.level == expectedText(bytes, LevelField));
    FUZZ_CHECK(r.date == expectedText(bytes, DateField));
    FUZZ_CHECK(r.rights.devices == (bytes.substr(54, 4) == "\x03q7M"));
    FUZZ_CHECK(r.rights.communication == (bytes.substr(58, 4) == "\x03w9T"));
    FUZZ_CHECK(r.rights.display == (bytes.substr(62, 4) == "\x03r5X"));
    FUZZ_CHECK(r.marker == static_cast<unsigned char>(bytes[66]));

    const std::string written = EncodeUserRecord(r);
    FUZZ_CHECK(written.size() == UserRecordSize);
    FUZZ_CHECK(DecodeUserRecord(written) == r);
    checkWritten(written, NameField, r.name);
    checkWritten(written, PasswordField, r.password);
    checkWritten(written, LevelField, r.level);
    checkWritten(written, DateField, r.date);
    // The lengths and characters that were in range come back as they were.
    for (const Field& f : {NameField, PasswordField, LevelField, DateField})
        if (static_cast<unsigned char>(bytes[f.offset]) <= f.capacity)
            FUZZ_CHECK(written.substr(f.offset, 1 + static_cast<unsigned char>(bytes[f.offset]))
                       == bytes.substr(f.offset, 1 + static_cast<unsigned char>(bytes[f.offset])));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    const std::vector<UserRecord> records = DecodeUserRecords(content);
    FUZZ_CHECK(records.size() == size / UserRecordSize);
    for (std::size_t i = 0; i < records.size(); ++i)
        checkRecord(content.substr(i * UserRecordSize, UserRecordSize), records[i]);

    const std::string written = EncodeUserRecords(records);
    FUZZ_CHECK(written.size() == records.size() * UserRecordSize);
    FUZZ_CHECK(DecodeUserRecords(written) == records);

    // A login with a name and password from the tail of the input, on a cheap hash.
    const std::string_view tail = content.substr(records.size() * UserRecordSize);
    const std::string_view name = tail.substr(0, tail.size() / 2);
    const std::string_view password = tail.substr(tail.size() / 2);
    std::size_t hashes = 0;
    const auto hash = [&](std::string_view p, std::string_view salt) {
        ++hashes;
        std::string out(10, '\0');
        for (std::size_t i = 0; i < p.size() + salt.size(); ++i)
            out[i % 10] = static_cast<char>(out[i % 10] + (i < p.size() ? p[i] : salt[i - p.size()]));
        return out;
    };
    const std::size_t carrying = static_cast<std::size_t>(
        std::count_if(records.begin(), records.end(), [&](const UserRecord& r) { return r.name == name; }));
    const std::optional<std::size_t> match = MatchLogin(records, name, password, hash);
    FUZZ_CHECK(hashes == std::max<std::size_t>(carrying, 1));
    if (match) {
        FUZZ_CHECK(*match < records.size() && records[*match].name == name && records[*match].hashed());
        FUZZ_CHECK(name.size() <= UserNameCapacity && password.size() <= PasswordCapacity);
    }
    return 0;
}

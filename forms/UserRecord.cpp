#include "UserRecord.h"

#include <algorithm>

namespace {

constexpr std::size_t NameOffset = 0;
constexpr std::size_t PasswordOffset = 11;
constexpr std::size_t LevelOffset = 22;
constexpr std::size_t DateOffset = 38;
constexpr std::size_t DevicesOffset = 54;
constexpr std::size_t CommunicationOffset = 58;
constexpr std::size_t DisplayOffset = 62;
constexpr std::size_t MarkerOffset = 66;
constexpr std::size_t RightSize = 4;

constexpr std::string_view SaltPrefix = "ferolt-users-v1";

struct RightCodes {
    std::string_view granted;
    std::string_view denied;
};
constexpr RightCodes DevicesCodes {"\x03q7M", "\x03Z4k"};
constexpr RightCodes CommunicationCodes {"\x03w9T", "\x03J2p"};
constexpr RightCodes DisplayCodes {"\x03r5X", "\x03H8f"};

std::string scrambled(std::string_view text, unsigned char key)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(static_cast<unsigned char>(c) ^ key);
    return out;
}

// The characters of the length-prefixed field at offset: the length is clamped to capacity,
// so nothing past the field is read.
std::string_view fieldText(std::string_view record, std::size_t offset, std::size_t capacity)
{
    const std::size_t length = std::min<std::size_t>(static_cast<unsigned char>(record[offset]), capacity);
    return record.substr(offset + 1, length);
}

void putField(std::string& record, std::size_t offset, std::size_t capacity, std::string_view text)
{
    const std::string_view cut = text.substr(0, std::min(text.size(), capacity));
    record[offset] = static_cast<char>(cut.size());
    std::copy(cut.begin(), cut.end(), record.begin() + static_cast<std::ptrdiff_t>(offset + 1));
}

bool granted(std::string_view record, std::size_t offset, const RightCodes& codes)
{
    return record.substr(offset, RightSize) == codes.granted;
}

void putRight(std::string& record, std::size_t offset, const RightCodes& codes, bool isGranted)
{
    const std::string_view code = isGranted ? codes.granted : codes.denied;
    std::copy(code.begin(), code.end(), record.begin() + static_cast<std::ptrdiff_t>(offset));
}

// Compares two byte strings of equal length without stopping at the first difference.
bool sameBytes(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

std::string_view cut(std::string_view text, std::size_t capacity)
{
    return text.substr(0, std::min(text.size(), capacity));
}

} // namespace

std::string UserSalt(std::string_view name, std::string_view date)
{
    const std::string_view n = cut(name, UserNameCapacity);
    const std::string_view d = cut(date, DateCapacity);
    std::string salt(SaltPrefix);
    salt.push_back(static_cast<char>(n.size()));
    salt.append(n);
    salt.push_back(static_cast<char>(d.size()));
    salt.append(d);
    return salt;
}

std::string EncodeUserRecord(const UserRecord& record)
{
    std::string out(UserRecordSize, '\0');
    putField(out, NameOffset, UserNameCapacity, scrambled(cut(record.name, UserNameCapacity), UserNameKey));
    putField(out, PasswordOffset, PasswordCapacity, record.password);
    putField(out, LevelOffset, LevelCapacity, scrambled(cut(record.level, LevelCapacity), UserNameKey));
    putField(out, DateOffset, DateCapacity, record.date);
    putRight(out, DevicesOffset, DevicesCodes, record.rights.devices);
    putRight(out, CommunicationOffset, CommunicationCodes, record.rights.communication);
    putRight(out, DisplayOffset, DisplayCodes, record.rights.display);
    out[MarkerOffset] = static_cast<char>(record.marker);
    return out;
}

UserRecord DecodeUserRecord(std::string_view bytes)
{
    const std::string_view r = bytes.substr(0, UserRecordSize);
    UserRecord record;
    if (r.size() < UserRecordSize)
        return record;
    record.name = scrambled(fieldText(r, NameOffset, UserNameCapacity), UserNameKey);
    record.password = std::string(fieldText(r, PasswordOffset, PasswordCapacity));
    record.level = scrambled(fieldText(r, LevelOffset, LevelCapacity), UserNameKey);
    record.date = std::string(fieldText(r, DateOffset, DateCapacity));
    record.rights.devices = granted(r, DevicesOffset, DevicesCodes);
    record.rights.communication = granted(r, CommunicationOffset, CommunicationCodes);
    record.rights.display = granted(r, DisplayOffset, DisplayCodes);
    record.marker = static_cast<unsigned char>(r[MarkerOffset]);
    return record;
}

std::vector<UserRecord> DecodeUserRecords(std::string_view content)
{
    std::vector<UserRecord> records;
    const std::size_t count = content.size() / UserRecordSize;
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        records.push_back(DecodeUserRecord(content.substr(i * UserRecordSize, UserRecordSize)));
    return records;
}

std::string EncodeUserRecords(const std::vector<UserRecord>& records)
{
    std::string out;
    out.reserve(records.size() * UserRecordSize);
    for (const UserRecord& record : records)
        out += EncodeUserRecord(record);
    return out;
}

std::optional<std::size_t> FindUser(const std::vector<UserRecord>& records, std::string_view name)
{
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].name == name)
            return i;
    return std::nullopt;
}

std::size_t CountAdministrators(const std::vector<UserRecord>& records)
{
    return static_cast<std::size_t>(
        std::count_if(records.begin(), records.end(), [](const UserRecord& r) { return r.isAdministrator(); }));
}

AddOutcome AddOrChangeUser(std::vector<UserRecord>& records, std::string_view name,
                           std::string_view password, std::string_view level,
                           const UserRights& rights, std::string_view date,
                           const PasswordHasher& hash)
{
    const std::string_view newName = cut(name, UserNameCapacity);
    const std::string_view newLevel = cut(level, LevelCapacity);
    const std::string_view newPassword = cut(password, PasswordCapacity);
    const std::optional<std::size_t> found = FindUser(records, newName);
    if (found && records[*found].isAdministrator() && newLevel != AdministratorLevel
        && CountAdministrators(records) == 1)
        return AddOutcome::LastAdministrator;

    UserRecord added;
    UserRecord& record = found ? records[*found] : added;
    if (!found) {
        record.name = std::string(newName);
        record.date = std::string(cut(date, DateCapacity));
    }
    record.password = cut(hash(newPassword, UserSalt(record.name, record.date)), PasswordCapacity);
    record.level = std::string(newLevel);
    record.rights = rights;
    record.marker = HashedPasswordMarker;
    if (found)
        return AddOutcome::Changed;
    records.push_back(std::move(added));
    return AddOutcome::Added;
}

DeleteOutcome DeleteUser(std::vector<UserRecord>& records, std::string_view name)
{
    const std::size_t administrators = CountAdministrators(records);
    if (administrators == 0)
        return DeleteOutcome::NoAdministrator;
    const auto it = std::find_if(records.begin(), records.end(), [&](const UserRecord& r) {
        return r.name == name && r.name != UndeletableUser;
    });
    if (it == records.end())
        return DeleteOutcome::NotFound;
    if (it->isAdministrator() && administrators == 1)
        return DeleteOutcome::LastAdministrator;
    records.erase(it);
    return DeleteOutcome::Deleted;
}

std::optional<std::size_t> MatchLogin(const std::vector<UserRecord>& records, std::string_view name,
                                      std::string_view password, const PasswordHasher& hash)
{
    const bool typedFits = name.size() <= UserNameCapacity && password.size() <= PasswordCapacity;
    std::optional<std::size_t> match;
    bool hashed = false;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const UserRecord& r = records[i];
        if (r.name != name)
            continue;
        const std::string digest = hash(password, UserSalt(r.name, r.date));
        hashed = true;
        if (typedFits && r.hashed() && sameBytes(cut(digest, PasswordCapacity), r.password))
            match = i;
    }
    if (!hashed)
        (void)hash(password, UserSalt(name, {}));
    return match;
}

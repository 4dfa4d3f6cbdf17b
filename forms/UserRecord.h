#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The accounts file "users.dat": a sequence of 67-byte records without a header.
//
//   offset  size  field
//        0    11  user name: length byte, then up to 10 characters, each XOR the name key
//       11    11  password: length byte (10), then the first 10 bytes of the salted hash
//       22    16  access level: length byte, then up to 15 characters, each XOR the name key
//       38    16  registration date: length byte, then up to 15 plain characters
//       54     4  devices right: 03 and "q7M" granted, "Z4k" denied
//       58     4  communication right: 03 and "w9T" granted, "J2p" denied
//       62     4  display right: 03 and "r5X" granted, "H8f" denied
//       66     1  marker: 0xA5 when the password field holds the salted hash
//
// Length bytes are plain. Reading clamps each to its field's capacity; writing puts 0x00 in
// every byte behind a length. Texts are Windows-1250 bytes. Nothing here touches a file.

constexpr std::size_t UserRecordSize = 67;
constexpr std::size_t UserNameCapacity = 10;
constexpr std::size_t PasswordCapacity = 10;
constexpr std::size_t LevelCapacity = 15;
constexpr std::size_t DateCapacity = 15;
constexpr unsigned char UserNameKey = 0xA7;
constexpr unsigned char HashedPasswordMarker = 0xA5;

// The level that may manage accounts, and the one account name that is never deleted.
inline constexpr std::string_view AdministratorLevel = "Administrator";
inline constexpr std::string_view UndeletableUser = "admin";

struct UserRights {
    bool devices = false;
    bool communication = false;
    bool display = false;
    bool operator==(const UserRights&) const = default;
    static UserRights all() { return {true, true, true}; }
};

// One account as the program holds it: the texts unscrambled, the password field as stored.
struct UserRecord {
    std::string name;
    std::string password;   // the stored field: the 10 hash bytes in a hashed record
    std::string level;
    std::string date;
    UserRights rights;
    unsigned char marker = HashedPasswordMarker;
    bool operator==(const UserRecord&) const = default;

    bool hashed() const { return marker == HashedPasswordMarker && password.size() == PasswordCapacity; }
    bool isAdministrator() const { return level == AdministratorLevel; }
};

// The password hash: the first 10 bytes of a key derived from the password's bytes and the
// record's salt. The program hands in its PBKDF2 function; tests may hand in their own.
using PasswordHasher = std::function<std::string(std::string_view password, std::string_view salt)>;

// "ferolt-users-v1", the name's length byte and characters, the date's length byte and
// characters (each cut to its field). Name and date never change, so neither does the salt.
std::string UserSalt(std::string_view name, std::string_view date);

// Exactly 67 bytes; texts longer than their fields are cut.
std::string EncodeUserRecord(const UserRecord& record);
// bytes must hold at least 67 bytes; only the first 67 are read.
UserRecord DecodeUserRecord(std::string_view bytes);

// The whole records of a file's content (size div 67); a trailing partial record is ignored.
std::vector<UserRecord> DecodeUserRecords(std::string_view content);
std::string EncodeUserRecords(const std::vector<UserRecord>& records);

// Index of the first record named name, byte for byte.
std::optional<std::size_t> FindUser(const std::vector<UserRecord>& records, std::string_view name);
std::size_t CountAdministrators(const std::vector<UserRecord>& records);

// What Add/Change would do, decided before anything is hashed or written.
enum class AddOutcome { Added, Changed, LastAdministrator };

// Add/Change: a record named name gets the new password, level and rights and keeps its name
// and date; otherwise a new record dated date is appended. Either way the password is hashed
// once and the record marked as hashed. A change that would take the level Administrator
// from the only record holding it changes nothing and gives LastAdministrator.
AddOutcome AddOrChangeUser(std::vector<UserRecord>& records, std::string_view name,
                           std::string_view password, std::string_view level,
                           const UserRights& rights, std::string_view date,
                           const PasswordHasher& hash);

enum class DeleteOutcome { Deleted, NoAdministrator, NotFound, LastAdministrator };

// Delete: nothing when no record is an Administrator or no record other than "admin" carries
// the name; the first such record goes, unless it is the only Administrator.
DeleteOutcome DeleteUser(std::vector<UserRecord>& records, std::string_view name);

// The login: the last record whose name equals name, that is hashed, and whose hash equals
// that of password. Only records carrying the name are hashed, and one hash is computed
// when none does, so the time taken does not tell which names exist. A name or password
// longer than 10 characters never matches.
std::optional<std::size_t> MatchLogin(const std::vector<UserRecord>& records, std::string_view name,
                                      std::string_view password, const PasswordHasher& hash);

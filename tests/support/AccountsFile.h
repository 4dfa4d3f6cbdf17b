#pragma once

#include "UserRecord.h"

#include <string>
#include <vector>

// Accounts files for tests: records written through the program's codec with the real
// password hash (about a seventh of a second each), or raw bytes for damaged files.
//
//     writeAccountsFile(usersPath, {{"admin", "Secret1", "Administrator"},
//                                   {"op", "pw", "Operator", {false, false, true}}});
struct TestAccount {
    std::string name;
    std::string password;
    std::string level;
    UserRights rights = UserRights::all();
    std::string date = "3/5/26";
};

// The account's 67-byte record, its password hashed with the record's salt.
std::string accountRecord(const TestAccount& account);
// Writes the records of the accounts, in order, as the whole file; creates its folder.
void writeAccountsFile(const std::string& path, const std::vector<TestAccount>& accounts);
// Writes bytes as the whole file; creates its folder.
void writeRawFile(const std::string& path, const std::string& bytes);
// The file's bytes; empty when it cannot be read.
std::string readFileBytes(const std::string& path);
// The file's permission bits, or -1 when it does not exist.
int fileMode(const std::string& path);

#include "AccountsFile.h"

#include "PasswordHash.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

std::string accountRecord(const TestAccount& account)
{
    UserRecord record;
    record.name = account.name;
    record.date = account.date;
    record.level = account.level;
    record.rights = account.rights;
    record.password = HashPassword(account.password, UserSalt(account.name, account.date));
    return EncodeUserRecord(record);
}

void writeAccountsFile(const std::string& path, const std::vector<TestAccount>& accounts)
{
    std::string bytes;
    for (const TestAccount& account : accounts)
        bytes += accountRecord(account);
    writeRawFile(path, bytes);
}

void writeRawFile(const std::string& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

std::string readFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

int fileMode(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return -1;
    return static_cast<int>(st.st_mode & 07777);
}

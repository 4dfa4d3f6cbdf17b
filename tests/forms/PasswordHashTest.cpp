#include "PasswordHash.h"
#include "UserRecord.h"

#include <gtest/gtest.h>

namespace {

TEST(PasswordHash, GivesTheKnownAnswerOfAnIndependentPbkdf2)
{
    const std::string hash = HashPassword("Secret1", UserSalt("admin", "3/5/26"));
    EXPECT_EQ(hash, std::string("\x35\x4A\x8E\x4F\x53\x9C\x68\x8E\x53\xC6", 10));
}

} // namespace

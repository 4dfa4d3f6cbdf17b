#pragma once

#include <string>
#include <string_view>

// The accounts file's password hash: the first 10 bytes of PBKDF2-HMAC-SHA256 with 100,000
// iterations over the password's Windows-1250 bytes and the record's salt (UserSalt). It
// takes a noticeable fraction of a second, on purpose.
std::string HashPassword(std::string_view password, std::string_view salt);

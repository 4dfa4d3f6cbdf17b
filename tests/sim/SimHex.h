#pragma once

#include <string>
#include <string_view>

// Bytes as upper-case hex pairs separated by one blank ("10 7B 05 80 16").
std::string simHex(std::string_view bytes);

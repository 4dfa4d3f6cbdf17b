#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Recorded telegrams: blank-separated hex numbers, one frame a file. The reader is
// tolerant: upper or lower case, CR LF or LF, blank lines, no final newline, and one-digit
// tokens ("D" is the byte 0x0D).
std::string parseHexText(const std::string& text);
std::string readHexFile(const std::filesystem::path& path);

// The folder of recorded telegrams (meters/, broken/, master/ below it).
std::filesystem::path telegramDir();

// Every *.hex file of one sub-folder of telegramDir(), sorted by name. Fails the calling
// test (ADD_FAILURE) when the folder is missing.
std::vector<std::filesystem::path> telegramFiles(const std::string& subfolder);

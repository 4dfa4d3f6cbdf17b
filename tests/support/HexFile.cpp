#include "HexFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

std::string parseHexText(const std::string& text)
{
    std::string bytes;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        if (i >= text.size())
            break;
        unsigned value = 0;
        std::size_t digits = 0;
        while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) {
            const char c = text[i];
            unsigned d;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            else
                throw std::runtime_error(std::string("not a hex digit: ") + c);
            value = value * 16 + d;
            ++digits;
            ++i;
        }
        if (digits > 2)
            throw std::runtime_error("hex token longer than one byte");
        bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}

std::string readHexFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream text;
    text << in.rdbuf();
    return parseHexText(text.str());
}

std::filesystem::path telegramDir()
{
    return std::filesystem::path(FEROLT_TESTDATA_DIR) / "telegrams";
}

std::vector<std::filesystem::path> telegramFiles(const std::string& subfolder)
{
    std::vector<std::filesystem::path> files;
    const auto dir = telegramDir() / subfolder;
    if (!std::filesystem::is_directory(dir)) {
        ADD_FAILURE() << "missing test data folder " << dir;
        return files;
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file() && entry.path().extension() == ".hex")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

#include "HexCommand.h"

#include "HexText.h"

#include <algorithm>

HexCommand ParseHexCommand(std::string_view text)
{
    HexCommand c;
    if (text.size() == 1) {
        c.error = "Wrong custom hex command, 2 symbols at least...";
        return c;
    }
    for (const char ch : text) {
        if (!((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F') || ch == ' ')) {
            c.error = "Wrong custom hex command, 0..F uppercase allowed";
            return c;
        }
    }
    std::string bytes;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        const std::size_t end = std::min(text.find(' ', i), text.size());
        const std::string_view token = text.substr(i, end - i);
        if (token.size() > 2) {
            c.error = "Wrong custom hex command, 2 hex digits per byte...";
            return c;
        }
        unsigned value = 0;   // the digits were checked above
        for (const char digit : token)
            value = value * 16 + static_cast<unsigned>(HexDigitValue(digit));
        bytes.push_back(static_cast<char>(value));
        i = end;
    }
    c.bytes = std::move(bytes);
    return c;
}

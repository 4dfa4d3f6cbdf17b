#include "HexText.h"

#include "ConversionError.h"

std::int32_t HexStrToInt(std::string_view text)
{
    if (text.size() < 8)
        throw ConversionError(std::string(text));
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const char c = text[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else
            throw ConversionError(std::string(text));
        sum = sum * 16u + d;
    }
    return static_cast<std::int32_t>(sum);
}

std::string SpacedHex(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char c : bytes) {
        appendHexByte(out, static_cast<unsigned char>(c));
        out.push_back(' ');
    }
    return out;
}

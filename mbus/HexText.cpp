#include "HexText.h"

#include "ConversionError.h"

std::int32_t HexStrToInt(std::string_view text)
{
    if (text.size() < 8)
        throw ConversionError(std::string(text));
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const char c = text[i];
        const int v = HexDigitValue(c);
        if (v < 0)
            throw ConversionError(std::string(text));
        const auto d = static_cast<unsigned>(v);
        sum = sum * 16u + d;
    }
    return static_cast<std::int32_t>(sum);
}

std::string SpacedHex(std::string_view bytes)
{
    std::string out(bytes.size() * 3, ' ');
    char* p = out.data();
    for (char c : bytes) {
        p = writeHexByte(p, static_cast<unsigned char>(c));
        ++p;
    }
    return out;
}

std::string HexDigits(std::string_view bytes)
{
    std::string out(bytes.size() * 2, '0');
    char* p = out.data();
    for (char c : bytes)
        p = writeHexByte(p, static_cast<unsigned char>(c));
    return out;
}

std::string HexDigitsReversed(std::string_view bytes)
{
    std::string out(bytes.size() * 2, '0');
    char* p = out.data();
    for (std::size_t i = bytes.size(); i-- > 0;)
        p = writeHexByte(p, static_cast<unsigned char>(bytes[i]));
    return out;
}

std::string Concat(std::initializer_list<std::string_view> parts)
{
    std::size_t size = 0;
    for (std::string_view part : parts)
        size += part.size();
    std::string out;
    out.reserve(size);
    for (std::string_view part : parts)
        out.append(part);
    return out;
}

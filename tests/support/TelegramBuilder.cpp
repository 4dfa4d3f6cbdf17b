#include "TelegramBuilder.h"

#include <stdexcept>

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    throw std::invalid_argument(std::string("not a hex digit: ") + c);
}

} // namespace

std::string hexBytes(std::string_view hex)
{
    std::string out;
    int high = -1;
    for (char c : hex) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        const int d = hexDigit(c);
        if (high < 0) {
            high = d;
        } else {
            out.push_back(static_cast<char>(high * 16 + d));
            high = -1;
        }
    }
    if (high >= 0)
        throw std::invalid_argument("odd number of hex digits");
    return out;
}

std::string bytesOf(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out.push_back(static_cast<char>(v & 0xFF));
    return out;
}

std::string spacedHex(std::string_view bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
        out.push_back(' ');
    }
    return out;
}

std::string longFrame(std::uint8_t c, std::uint8_t a, std::uint8_t ci, std::string_view data)
{
    const std::size_t l = 3 + data.size();
    if (l > 255)
        throw std::invalid_argument("long frame too long");
    std::string f;
    f.push_back(0x68);
    f.push_back(static_cast<char>(l));
    f.push_back(static_cast<char>(l));
    f.push_back(0x68);
    f.push_back(static_cast<char>(c));
    f.push_back(static_cast<char>(a));
    f.push_back(static_cast<char>(ci));
    f.append(data);
    unsigned sum = 0;
    for (std::size_t i = 4; i < f.size(); ++i)
        sum += static_cast<unsigned char>(f[i]);
    f.push_back(static_cast<char>(sum & 0xFF));
    f.push_back(0x16);
    return f;
}

std::string shortFrame(std::uint8_t c, std::uint8_t a)
{
    return bytesOf({0x10, c, a, (c + a) & 0xFF, 0x16});
}

std::uint16_t manufacturerValue(std::string_view letters)
{
    if (letters.size() != 3)
        throw std::invalid_argument("manufacturer needs three letters");
    auto v = [&](int i) { return static_cast<unsigned>(static_cast<unsigned char>(letters[i]) - 64) & 31u; };
    return static_cast<std::uint16_t>(v(0) * 1024 + v(1) * 32 + v(2));
}

std::string headerBytes(const TelegramHeader& h)
{
    if (h.id.size() != 8)
        throw std::invalid_argument("id needs eight hex digits");
    std::string out;
    for (int i = 3; i >= 0; --i)
        out.push_back(static_cast<char>(hexDigit(h.id[2 * i]) * 16 + hexDigit(h.id[2 * i + 1])));
    const std::uint16_t m = manufacturerValue(h.manufacturer);
    out.push_back(static_cast<char>(m & 0xFF));
    out.push_back(static_cast<char>(m >> 8));
    out.push_back(static_cast<char>(h.version));
    out.push_back(static_cast<char>(h.medium));
    out.push_back(static_cast<char>(h.access));
    out.push_back(static_cast<char>(h.status));
    out.push_back(static_cast<char>(h.signature & 0xFF));
    out.push_back(static_cast<char>(h.signature >> 8));
    return out;
}

std::string telegram(const TelegramHeader& h, std::string_view records)
{
    std::string data = headerBytes(h);
    data.append(records);
    return longFrame(h.c, h.address, h.ci, data);
}

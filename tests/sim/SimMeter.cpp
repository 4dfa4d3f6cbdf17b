#include "SimMeter.h"

#include "SimHex.h"
#include "TelegramBuilder.h"

#include <cstdio>
#include <optional>
#include <stdexcept>

namespace {

constexpr std::size_t headerEnd = 7 + 12; // CI 72: the 12 header bytes follow C, A, CI
constexpr std::size_t maxRecords = 255 - 3 - 12;

unsigned byteAt(std::string_view b, std::size_t i)
{
    return static_cast<unsigned char>(b[i]);
}

std::uint32_t idFromWire(std::string_view b, std::size_t at)
{
    return byteAt(b, at) | byteAt(b, at + 1) << 8 | byteAt(b, at + 2) << 16
        | static_cast<std::uint32_t>(byteAt(b, at + 3)) << 24;
}

void idToWire(std::string& b, std::size_t at, std::uint32_t id)
{
    for (int k = 0; k < 4; ++k)
        b[at + k] = static_cast<char>((id >> (8 * k)) & 0xFF);
}

// The data length of a record by the low four bits of its DIF (0x0D and 0x0F excepted).
int dataLength(unsigned dif)
{
    static const int lengths[16] = {0, 1, 2, 3, 4, 4, 6, 8, 0, 1, 2, 3, 4, -1, 6, -1};
    return lengths[dif & 0x0F];
}

// An ID whose nibble F keeps the meter's digit.
std::uint32_t mergeId(std::uint32_t current, std::uint32_t given)
{
    std::uint32_t out = 0;
    for (int j = 0; j < 8; ++j) {
        const std::uint32_t g = (given >> (4 * j)) & 0xF;
        const std::uint32_t c = (current >> (4 * j)) & 0xF;
        out |= (g == 0xF ? c : g) << (4 * j);
    }
    return out;
}

// One data record: its DIF and VIF (without extensions), where its value lies.
struct Record {
    unsigned dif = 0;
    unsigned vif = 0;
    std::size_t value = 0;
    std::size_t length = 0;
};

enum class Walk { Record, Filler, ManufacturerData, Malformed };

// Reads the record at data[i] and moves i past it (past a filler byte, or to the end for
// manufacturer data and malformed records).
Walk nextRecord(std::string_view data, std::size_t& i, Record& r)
{
    r.dif = byteAt(data, i);
    if (r.dif == 0x2F) {
        ++i;
        return Walk::Filler;
    }
    if ((r.dif & 0x0F) == 0x0F) {
        i = data.size();
        return Walk::ManufacturerData;
    }
    ++i;
    const auto malformed = [&] {
        i = data.size();
        return Walk::Malformed;
    };
    bool more = r.dif & 0x80;
    while (more && i < data.size())
        more = byteAt(data, i++) & 0x80;
    if (more || i >= data.size())
        return malformed();
    r.vif = byteAt(data, i++);
    more = r.vif & 0x80;
    while (more && i < data.size())
        more = byteAt(data, i++) & 0x80;
    if (more)
        return malformed();
    if ((r.vif & 0x7F) == 0x7C) { // plain-text unit: a length byte and the text
        if (i >= data.size() || i + 1 + byteAt(data, i) > data.size())
            return malformed();
        i += 1 + byteAt(data, i);
    }
    int len = dataLength(r.dif);
    if (len < 0) { // variable length: the first data byte tells
        const unsigned lvar = i < data.size() ? byteAt(data, i) : 0x100;
        if (lvar >= 0xF0)
            return malformed();
        ++i;
        len = static_cast<int>(lvar < 0xC0 ? lvar : lvar & 0x0F);
    }
    if (i + static_cast<std::size_t>(len) > data.size())
        return malformed();
    r.value = i;
    r.length = static_cast<std::size_t>(len);
    i += r.length;
    return Walk::Record;
}

// A counter written as eight BCD digits (DIF 0C) or a 32-bit integer (DIF 04); nothing when a
// BCD digit is no decimal digit.
std::optional<std::uint64_t> counterValue(unsigned dif, std::string_view value)
{
    std::uint64_t v = 0;
    for (std::size_t k = value.size(); k-- > 0;) {
        const unsigned b = byteAt(value, k);
        if (dif == 0x04) {
            v = v << 8 | b;
        } else {
            if ((b >> 4) > 9 || (b & 0x0F) > 9)
                return std::nullopt;
            v = v * 100 + (b >> 4) * 10 + (b & 0x0F);
        }
    }
    return v;
}

// Writes v into a record's value field in the record's own coding: BCD or a little-endian
// integer of its length, the low digits or bytes kept. False for other codings.
bool storeValue(unsigned dif, char* field, std::size_t length, std::uint64_t v)
{
    const unsigned coding = dif & 0x0F;
    const bool bcd = (coding >= 0x09 && coding <= 0x0C) || coding == 0x0E;
    const bool integer = (coding >= 0x01 && coding <= 0x04) || coding == 0x06 || coding == 0x07;
    if (!bcd && !integer)
        return false;
    for (std::size_t k = 0; k < length; ++k) {
        if (bcd) {
            field[k] = static_cast<char>((v % 10) | ((v / 10) % 10) << 4);
            v /= 100;
        } else {
            field[k] = static_cast<char>(v & 0xFF);
            v >>= 8;
        }
    }
    return true;
}

std::string number(unsigned value)
{
    return std::to_string(value);
}

std::string hexByte(unsigned value)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X", value & 0xFF);
    return buf;
}

} // namespace

std::uint32_t simIdFromText(std::string_view text)
{
    if (text.size() != 8)
        throw std::invalid_argument("an ID has eight hex digits: " + std::string(text));
    std::uint32_t id = 0;
    for (char c : text) {
        unsigned d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            throw std::invalid_argument("an ID has eight hex digits: " + std::string(text));
        id = id << 4 | d;
    }
    return id;
}

std::string simIdText(std::uint32_t id)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(id));
    return buf;
}

std::uint16_t simManufacturerCode(std::string_view letters)
{
    if (letters.size() != 3)
        throw std::invalid_argument("a manufacturer is three letters A-Z: " + std::string(letters));
    for (char c : letters)
        if (c < 'A' || c > 'Z')
            throw std::invalid_argument("a manufacturer is three letters A-Z: " + std::string(letters));
    return manufacturerValue(letters);
}

std::string simManufacturerLetters(std::uint16_t code)
{
    std::string s;
    s.push_back(static_cast<char>(64 + (code >> 10)));
    s.push_back(static_cast<char>(64 + ((code >> 5) & 31)));
    s.push_back(static_cast<char>(64 + (code & 31)));
    return s;
}

void simSealLongFrame(std::string& frame)
{
    const std::size_t l = frame.size() - 6;
    frame[1] = static_cast<char>(l);
    frame[2] = static_cast<char>(l);
    unsigned sum = 0;
    for (std::size_t i = 4; i < 4 + l; ++i)
        sum += byteAt(frame, i);
    frame[4 + l] = static_cast<char>(sum & 0xFF);
}

bool simPassesReplyChecks(std::string_view reply)
{
    const std::size_t n = reply.size();
    if (n < 8)
        return false;
    unsigned sum = 0;
    for (std::size_t i = 4; i + 2 < n; ++i)
        sum += byteAt(reply, i);
    return byteAt(reply, n - 2) == (sum & 0xFF) && byteAt(reply, n - 1) == 0x16
        && n == byteAt(reply, 1) + 6u;
}

SimMeter::SimMeter(std::uint8_t address, std::string_view id, std::string_view manufacturer,
                   std::uint8_t version, std::uint8_t medium, std::string records)
    : address_(address)
    , id_(simIdFromText(id))
    , manufacturer_(simManufacturerCode(manufacturer))
    , version_(version)
    , medium_(medium)
    , body_(std::move(records))
{
    if (body_.size() > maxRecords)
        throw std::invalid_argument("records too long for one telegram: " + number(body_.size())
                                    + " bytes, at most " + number(maxRecords));
}

SimMeter SimMeter::fromTelegram(std::uint8_t address, std::string frame)
{
    const std::size_t n = frame.size();
    if (n < 9 || n > 255 + 6 || byteAt(frame, 0) != 0x68 || byteAt(frame, 3) != 0x68
        || byteAt(frame, n - 1) != 0x16)
        throw std::invalid_argument("not a long frame (68 L L 68 C A CI .. CS 16)");
    SimMeter m;
    m.recorded_ = true;
    m.address_ = address;
    if (byteAt(frame, 6) == 0x72 && n >= headerEnd + 2) {
        m.id_ = idFromWire(frame, 7);
        m.manufacturer_ = static_cast<std::uint16_t>(byteAt(frame, 11) | byteAt(frame, 12) << 8);
        m.version_ = static_cast<std::uint8_t>(byteAt(frame, 13));
        m.medium_ = static_cast<std::uint8_t>(byteAt(frame, 14));
    }
    m.body_ = std::move(frame);
    return m;
}

std::string SimMeter::idText() const
{
    return simIdText(id_);
}

void SimMeter::setId(std::string_view id)
{
    id_ = simIdFromText(id);
}

std::string SimMeter::manufacturer() const
{
    return simManufacturerLetters(manufacturer_);
}

void SimMeter::setManufacturer(std::string_view letters)
{
    manufacturer_ = simManufacturerCode(letters);
}

std::string SimMeter::telegram() const
{
    std::string t;
    if (recorded_) {
        t = body_;
        t[5] = static_cast<char>(address_);
        if (byteAt(t, 6) != 0x72 || t.size() < headerEnd + 2) {
            simSealLongFrame(t);
            return t;
        }
    } else {
        // C 08 (RSP_UD), CI 72, a 12-byte header (filled below), then the records.
        t = longFrame(0x08, address_, 0x72, std::string(12, '\0') + body_);
        t[15] = 0x01; // access number
    }
    idToWire(t, 7, id_);
    t[11] = static_cast<char>(manufacturer_ & 0xFF);
    t[12] = static_cast<char>(manufacturer_ >> 8);
    t[13] = static_cast<char>(version_);
    t[14] = static_cast<char>(medium_);
    simSealLongFrame(t);
    return t;
}

bool SimMeter::matchesSelection(std::string_view s) const
{
    if (s.size() < 8)
        return false;
    const std::uint32_t mask = idFromWire(s, 0);
    for (int j = 0; j < 8; ++j) {
        const std::uint32_t want = (mask >> (4 * j)) & 0xF;
        if (want != 0xF && want != ((id_ >> (4 * j)) & 0xF))
            return false;
    }
    auto fits = [](unsigned want, unsigned have) { return want == 0xFF || want == have; };
    return fits(byteAt(s, 4), manufacturer_ & 0xFF) && fits(byteAt(s, 5), manufacturer_ >> 8)
        && fits(byteAt(s, 6), version_) && fits(byteAt(s, 7), medium_);
}

std::vector<std::string> SimMeter::applyRecords(std::string_view data)
{
    std::vector<std::string> notes;
    std::size_t i = 0;
    while (i < data.size()) {
        Record r;
        const std::size_t start = i;
        switch (nextRecord(data, i, r)) {
        case Walk::Filler:
            continue;
        case Walk::ManufacturerData:
            notes.push_back("manufacturer data " + simHex(data.substr(start)) + " left alone");
            continue;
        case Walk::Malformed:
            notes.push_back("malformed record " + simHex(data.substr(start)) + " left alone");
            continue;
        case Walk::Record:
            break;
        }
        const unsigned dif = r.dif;
        const unsigned vif = r.vif;
        const std::string_view value = data.substr(r.value, r.length);

        if (dif == 0x01 && vif == 0x7A) {
            const unsigned a = byteAt(value, 0);
            if (a > 250) {
                notes.push_back("primary address " + number(a) + " refused");
            } else {
                notes.push_back("primary address " + number(address_) + " -> " + number(a));
                address_ = static_cast<std::uint8_t>(a);
            }
        } else if (dif == 0x0C && vif == 0x79) {
            const std::uint32_t id = idFromWire(value, 0);
            notes.push_back("ID " + simIdText(id_) + " -> " + simIdText(id));
            id_ = id;
        } else if (dif == 0x07 && vif == 0x79) {
            const std::string before = simIdText(id_) + " " + simManufacturerLetters(manufacturer_)
                + " " + hexByte(version_) + " " + hexByte(medium_);
            id_ = mergeId(id_, idFromWire(value, 0));
            if (byteAt(value, 4) != 0xFF || byteAt(value, 5) != 0xFF)
                manufacturer_ = static_cast<std::uint16_t>(byteAt(value, 4) | byteAt(value, 5) << 8);
            if (byteAt(value, 6) != 0xFF)
                version_ = static_cast<std::uint8_t>(byteAt(value, 6));
            if (byteAt(value, 7) != 0xFF)
                medium_ = static_cast<std::uint8_t>(byteAt(value, 7));
            notes.push_back("secondary address " + before + " -> " + simIdText(id_) + " "
                            + simManufacturerLetters(manufacturer_) + " " + hexByte(version_) + " "
                            + hexByte(medium_));
        } else if ((dif == 0x0C || dif == 0x04) && vif == 0x13) {
            notes.push_back(setCounter(dif, value) + " (" + simHex(data.substr(start, i - start)) + ")");
        } else {
            notes.push_back("record " + simHex(data.substr(start, i - start)) + " left alone");
        }
    }
    return notes;
}

std::string SimMeter::setCounter(unsigned dif, std::string_view value)
{
    const std::optional<std::uint64_t> v = counterValue(dif, value);
    if (!v)
        return "counter value not BCD, left alone";
    // The records: all of a built telegram's body, or those after a recorded CI 72 header.
    std::size_t from = 0;
    std::size_t to = body_.size();
    if (recorded_) {
        if (body_.size() < headerEnd + 2 || byteAt(body_, 6) != 0x72)
            return "no counter record, left alone";
        from = headerEnd;
        to = body_.size() - 2;
    }
    const std::string_view records = std::string_view(body_).substr(0, to);
    for (std::size_t i = from; i < to;) {
        Record r;
        const Walk walk = nextRecord(records, i, r);
        if (walk == Walk::ManufacturerData || walk == Walk::Malformed)
            break;
        if (walk != Walk::Record || r.vif != 0x13)
            continue;
        if (!storeValue(r.dif, body_.data() + r.value, r.length, *v))
            return "counter record of DIF " + hexByte(r.dif) + " not settable, left alone";
        return "counter value -> " + std::to_string(*v);
    }
    return "no counter record, left alone";
}

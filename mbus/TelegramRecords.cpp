#include "TelegramRecords.h"

#include "ConversionError.h"
#include "FixedFormat.h"
#include "HexText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

constexpr std::size_t kFirstRecord = 19;

// 10^-6 .. 10^6, the multipliers of the VIF tables.
constexpr double kPow10[] = {1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1.0,
                             1e1,  1e2,  1e3,  1e4,  1e5,  1e6};

double pow10(int exponent)
{
    return kPow10[exponent + 6];
}

unsigned at(std::string_view data, std::size_t i)
{
    return static_cast<unsigned char>(data[i]);
}

bool hasExtension(unsigned byte)
{
    return SkipIfExtension(byte >> 4);
}

// Writes v in decimal at p; gives the position after it.
char* writeDecimal(char* p, long long v)
{
    return std::to_chars(p, p + 24, v).ptr;
}

std::string decimalText(long long v)
{
    char buf[24];
    return {buf, writeDecimal(buf, v)};
}

// Unsigned little-endian integer of count bytes.
unsigned long long littleEndian(std::string_view data, std::size_t pos, std::size_t count)
{
    unsigned long long v = 0;
    for (std::size_t i = count; i-- > 0;)
        v = (v << 8) | at(data, pos + i);
    return v;
}

// BCD digits (most significant first) read as a signed 32-bit decimal integer; a nibble above
// 9 or a value above 2147483647 is a conversion error.
bool bcdInt32(std::string_view data, std::size_t pos, std::size_t count, long long& out)
{
    long long v = 0;
    for (std::size_t i = count; i-- > 0;) {
        const unsigned b = at(data, pos + i);
        const unsigned hi = b >> 4, lo = b & 15u;
        if (hi > 9 || lo > 9)
            return false;
        v = v * 100 + hi * 10 + lo;
    }
    if (v > 2147483647LL)
        return false;
    out = v;
    return true;
}

std::string scaled(long double integer, double multiplier, int precision, char separator)
{
    return FormatFixed(integer * static_cast<long double>(multiplier), precision, 3, separator);
}

bool isDateVif(unsigned vif)
{
    return vif == 0x6C || vif == 0x6D || vif == 0xEC || vif == 0xED;
}

void setPrimary(VifMeaning& m, const char* unit, double multiplier, const char* description = "")
{
    m.unit = unit;
    m.multiplier = multiplier;
    m.description = description;
}

} // namespace

std::string RecordRow::reportLine() const
{
    const auto& c = cells;
    if (c[ColNumber].empty())
        return {};
    if (manufacturerData) {
        const char difText[2] = {"0123456789ABCDEF"[dif >> 4], "0123456789ABCDEF"[dif & 15]};
        return Concat({"DIF:", std::string_view(difText, 2), ", Manufacturer specific: ", c[ColValue]});
    }
    return Concat({"DIF,DIFE=", c[ColDif], "; VIF, VIFE=", c[ColVif], " ", c[ColVife], "; ",
                   functionText, ", ", c[ColValue], " ", c[ColUnit], ", ", c[ColDescription]});
}

std::size_t DifDataLength(unsigned code)
{
    static constexpr std::size_t kLength[16] = {0, 1, 2, 3, 4, 4, 6, 8, 0, 1, 2, 3, 4, 5, 6, 0};
    return kLength[code & 15u];
}

bool SkipIfExtension(unsigned highDigit)
{
    return highDigit >= 8 && highDigit <= 15;
}

DifFunction DifFunctionText(unsigned highDigit)
{
    static constexpr const char* kText[16] = {
        "Instantenous value ",
        "Maximum value ",
        "Minimum value ",
        "Value during Error state ",
        "Storage number, Instantenous value ",
        "Storage number, Maximum value ",
        "Storage number, Minimum value ",
        "Storage number, Value during Error state ",
        "Instantenous value, Extension ",
        "Maximum value, Extension ",
        "Minimum value, Extension ",
        "Value during error state, Extension ",
        "Storage number, Instantenous value, Extension ",
        "Storage number, Maximum value, Extension ",
        "Storage number, Minimum value, Extension ",
        "Storage number, Value during Error state, Extension ",
    };
    const unsigned d = highDigit & 15u;
    return {kText[d], SkipIfExtension(d)};
}

std::string DifeText(std::uint8_t dife)
{
    static constexpr std::string_view kStorage = "Storage is: ";
    static constexpr std::string_view kTariff = ", Tariff is: ";
    char text[32];
    char* p = std::copy(kStorage.begin(), kStorage.end(), text);
    const unsigned storage = dife & 0x0Fu;
    if (storage < 10)
        *p++ = static_cast<char>('0' + storage);
    p = std::copy(kTariff.begin(), kTariff.end(), p);
    *p++ = static_cast<char>('0' + ((dife >> 4) & 3u));
    *p++ = ' ';
    return {text, p};
}

std::string VifExtFDText(std::uint8_t vife)
{
    const unsigned v = vife & 0x7Fu;
    if (v <= 0x03)
        return "Credit in currency units";
    if (v <= 0x07)
        return "Debit in currency units";
    if (v >= 0x40 && v <= 0x4F) {
        return "Volts, 10^" + decimalText(static_cast<long long>(v & 0x0Fu) - 9);
    }
    if (v >= 0x50 && v <= 0x55) {
        return "Ampers, 10^" + decimalText(static_cast<long long>(v & 0x0Fu) - 12);
    }
    switch (v) {
    case 0x08: return "Access Number";
    case 0x09: return "Medium";
    case 0x0A: return "Manufacturer";
    case 0x0B: return "Enhanced identification";
    case 0x0C: return "Model/Version";
    case 0x0D: return "Hardware version No.";
    case 0x0E: return "Firmware version No.";
    case 0x0F: return "Software version No.";
    case 0x10: return "Customer location";
    case 0x11: return "Customer";
    case 0x12: return "Access code user";
    case 0x13: return "Access code operator";
    case 0x16: return "Password";
    case 0x17: return "Error flags";
    case 0x18: return "Error mask";
    case 0x19: return "Reserved";
    case 0x1A: return "Digitial Output (binary)";
    case 0x1B: return "Digitial Input (binary)";
    case 0x1C: return "Baudrate";
    case 0x1D: return "Response Delay time";
    case 0x1E: return "Retry";
    case 0x1F: return "Reserved";
    case 0x3A: return "Dimensionless";
    default: return "VIF not supported";
    }
}

VifExtension VifExtFBText(std::uint8_t vife)
{
    const unsigned v = vife & 0x7Fu;
    if (v <= 0x01)
        return {"kWh", v == 0 ? 100.0 : 1000.0};
    if ((v >= 0x02 && v <= 0x07) || (v >= 0x0A && v <= 0x0F) || (v >= 0x2A && v <= 0x2F)
        || (v >= 0x68 && v <= 0x6F))
        return {"Reserved", 1.0};
    if (v == 0x08 || v == 0x09)
        return {"GJ", v == 0x08 ? 0.1 : 1.0};
    if (v == 0x10 || v == 0x11)
        return {"m3", v == 0x10 ? 100.0 : 1000.0};
    if (v == 0x28 || v == 0x29)
        return {"kW", v == 0x28 ? 100.0 : 1000.0};
    if (v >= 0x58 && v <= 0x5A)
        return {"Flow Temperature, deg. F", pow10(static_cast<int>(v - 0x58) - 3)};
    if (v == 0x5B)
        return {"Flow Temperature, F", 1.0};
    if (v >= 0x5C && v <= 0x5F)
        return {"Return Temperature, deg. F", pow10(static_cast<int>(v - 0x5C) - 3)};
    if (v >= 0x60 && v <= 0x63)
        return {"Temp. difference, deg. F", pow10(static_cast<int>(v - 0x60) - 3)};
    if (v >= 0x64 && v <= 0x67)
        return {"External temperature, F", pow10(static_cast<int>(v - 0x64) - 3)};
    return {"VIF not supported", 1.0};
}

VifMeaning DecodeVif(std::uint8_t vif, std::uint8_t firstVife, std::string_view text)
{
    VifMeaning m;
    if (vif == 0x7F || vif == 0xFF) {
        m.unit = "Manufacturer specific";
        return m;
    }
    if (vif == 0x7C || vif == 0xFC) {
        if (!text.empty()) {
            m.unit = "VIF is user ASCII string: ";
            m.unit.append(text);
        }
        return m;
    }
    if (vif == 0xFD) {
        m.unit = VifExtFDText(firstVife);
        return m;
    }
    if (vif == 0xFB) {
        const VifExtension e = VifExtFBText(firstVife);
        m.unit = e.unit;
        m.multiplier = e.multiplier;
        return m;
    }
    if (vif == 0x7E || vif == 0xFE) {
        m.unit = "Readout - not supported for now";
        return m;
    }
    // Bit 7 only says a VIFE follows; the F0-FA range is not folded onto 70-7A.
    const int v = vif < 0xF0 ? (vif & 0x7F) : vif;
    static constexpr const char* kTimeUnits[4] = {"seconds", "minutes", "hours", "days"};
    m.unit = "N/A";
    if (v <= 0x07)
        setPrimary(m, "kWh", pow10(v - 6));
    else if (v <= 0x0F)
        setPrimary(m, "kJ", pow10(v - 0x08 - 3));
    else if (v <= 0x17)
        setPrimary(m, "m3", pow10(v - 0x10 - 6), v == 0x13 ? "TX1" : v == 0x14 ? "TX2" : "");
    else if (v >= 0x20 && v <= 0x23)
        setPrimary(m, "On Time", 1.0, kTimeUnits[v - 0x20]);
    else if (v >= 0x24 && v <= 0x27)
        setPrimary(m, "Operating Time", 1.0, kTimeUnits[v - 0x24]);
    else if (v >= 0x28 && v <= 0x2D)
        setPrimary(m, "W", pow10(v - 0x28 - 3));
    else if (v == 0x2E || v == 0x2F)
        setPrimary(m, "kW", pow10(v - 0x2E));
    else if (v >= 0x30 && v <= 0x36)
        setPrimary(m, "J/h", pow10(v - 0x30));
    else if (v >= 0x38 && v <= 0x3F)
        setPrimary(m, "l/h", pow10(v - 0x38 - 3), "Debit");
    else if (v >= 0x58 && v <= 0x5B)
        setPrimary(m, "deg. C", pow10(v - 0x58 - 3), "Flow Temp.");
    else if (v >= 0x5C && v <= 0x5F)
        setPrimary(m, "deg. C", pow10(v - 0x5C - 3), "Return Temp.");
    else if (v >= 0x60 && v <= 0x63)
        setPrimary(m, "deg. K", pow10(v - 0x60 - 3), "TDiff");
    else if (v >= 0x64 && v <= 0x67)
        setPrimary(m, "deg. C", pow10(v - 0x64 - 3), "External Temperature");
    else if (v >= 0x68 && v <= 0x6A)
        setPrimary(m, "mbar", pow10(v - 0x68));
    else if (v == 0x6C)
        setPrimary(m, "Time point", 1.0, "Date (dd.mm.yyyy)");
    else if (v == 0x6D)
        setPrimary(m, "Time point", 1.0, "Date and time (hh:mm, dd.mm.yyyy)");
    else if (v == 0x6E)
        setPrimary(m, "Dimensionless", 1.0);
    else if (v == 0x70)
        setPrimary(m, "Average duration", 1.0);
    else if (v == 0x74)
        setPrimary(m, "Actuality Duration", 1.0);
    else if (v == 0x78)
        setPrimary(m, "Fabr. No.", 1.0);
    return m;
}

std::string DecodeDateTime(std::string_view data, std::uint8_t vif, std::size_t dataPos)
{
    static const std::string kException = "Exception decoding DateTime";
    const bool withTime = vif == 0x6D || vif == 0xED;
    if (!(withTime || vif == 0x6C || vif == 0xEC))
        return kException;
    const std::size_t need = withTime ? 4 : 2;
    if (dataPos > data.size() || data.size() - dataPos < need)
        return kException;
    const std::size_t datePos = withTime ? dataPos + 2 : dataPos;
    const unsigned b0 = at(data, datePos), b1 = at(data, datePos + 1);
    const unsigned day = b0 & 0x1Fu;
    const unsigned month = b1 & 0x0Fu;
    const unsigned year = ((b1 & 0xF0u) >> 1) + ((b0 & 0xE0u) >> 5);
    char text[32];
    char* p = text;
    if (withTime) {
        const unsigned minute = at(data, dataPos) & 0x3Fu;
        const unsigned hour = at(data, dataPos + 1) & 0x1Fu;
        p = writeDecimal(p, hour);
        *p++ = ':';
        if (minute < 10)
            *p++ = '0';
        p = writeDecimal(p, minute);
        *p++ = ',';
        *p++ = ' ';
    }
    p = writeDecimal(p, day);
    *p++ = '.';
    p = writeDecimal(p, month);
    *p++ = '.';
    p = writeDecimal(p, year);
    return {text, p};
}

std::string HexToBinStr(std::string_view hex)
{
    std::string bits(hex.size() * 4, '0');
    char* p = bits.data();
    for (char c : hex) {
        const int v = HexDigitValue(c);
        if (v < 0)
            throw ConversionError(std::string(hex));
        const auto d = static_cast<unsigned>(v);
        for (int bit = 3; bit >= 0; --bit)
            *p++ = (d >> bit) & 1u ? '1' : '0';
    }
    return bits;
}

std::string BinStrToFloatText(std::string_view bits, double multiplier, char separator)
{
    if (bits.size() != 32)
        return "Exception on float conversion";
    std::uint32_t pattern = 0;
    for (char c : bits) {
        if (c != '0' && c != '1')
            return "Exception on float conversion";
        pattern = (pattern << 1) | static_cast<std::uint32_t>(c == '1');
    }
    const bool negative = pattern >> 31;
    const int exponent = static_cast<int>((pattern >> 23) & 0xFFu);
    const std::uint32_t fraction = pattern & 0x7FFFFFu;
    if (exponent == 255)
        return "NaN or Infinite";
    // Single precision throughout; exponent 0 is read like any other (no denormal rule).
    const float mantissa = 1.0f + static_cast<float>(fraction) / 8388608.0f;
    const float magnitude = std::ldexp(mantissa, exponent - 127);
    std::string text = negative ? "-" : "";
    text += FormatFixed(static_cast<long double>(magnitude) * static_cast<long double>(multiplier),
                        9, 5, separator);
    return text;
}

RecordValue DecodeRecordValue(std::string_view data, std::size_t difPos, std::size_t dataPos,
                              std::uint8_t vif, double multiplier, char separator)
{
    RecordValue r;
    if (difPos >= data.size()) {
        r.truncated = true;
        r.value = "Exception ";
        return r;
    }
    const unsigned dif = at(data, difPos);
    const unsigned code = dif & 0x0Fu;
    const DifFunction function = DifFunctionText(dif >> 4);
    r.functionText = function.text;
    if (function.difeFollows && difPos + 1 < data.size())
        r.functionText += DifeText(static_cast<std::uint8_t>(at(data, difPos + 1)));

    r.dataLength = DifDataLength(code);
    const std::size_t available = dataPos <= data.size() ? data.size() - dataPos : 0;

    if (isDateVif(vif)) {
        // The date reads its own 2 or 4 bytes whatever the DIF's length; when either runs past
        // the last data byte the record is the last one.
        const std::size_t dateLength = (vif & 0x7Fu) == 0x6D ? 4 : 2;
        if (r.dataLength > available || dateLength > available) {
            r.truncated = true;
            r.value = "Exception decoding DateTime";
        } else {
            r.value = DecodeDateTime(data, vif, dataPos);
        }
        return r;
    }

    if (code == 0x0D) {
        if (available == 0) {
            r.truncated = true;
            r.value = "Exception ";
            return r;
        }
        const unsigned l = at(data, dataPos);
        std::size_t n;
        if (l <= 0xBF)
            n = l;
        else if (l <= 0xCF)
            n = l - 0xC0;
        else if (l <= 0xDF)
            n = l - 0xD0;
        else if (l <= 0xEF)
            n = l - 0xE0;
        else if (l <= 0xFA)
            n = l - 0xF0;
        else
            n = 0;
        r.dataLength = n + 1;
        if (r.dataLength > available) {
            r.truncated = true;
            r.value = "Exception ";
            return r;
        }
        const std::size_t first = dataPos + 1;
        if (l <= 0xBF)
            r.value.assign(data.substr(first, n));
        else if (l <= 0xCF)
            r.value = HexDigits(data.substr(first, n));
        else if (l <= 0xDF)
            r.value = "-" + HexDigits(data.substr(first, n));
        else if (l <= 0xEF)
            r.value = "0x" + HexDigits(data.substr(first, n));
        else if (l <= 0xFA)
            r.value = "Floating point, to be defined in the future, but hex is: 0x"
                + HexDigits(data.substr(first, n));
        else
            r.value = "Reserved for future use? ";
        return r;
    }

    if (r.dataLength > available) {
        r.truncated = true;
        r.value = "Exception ";
        return r;
    }

    const bool fabricationNo = vif == 0x78;
    const std::size_t len = r.dataLength;
    long long bcd = 0;
    switch (code) {
    case 0x0:
        r.value = "No data ";
        break;
    case 0x1:
    case 0x2:
        r.value = scaled(static_cast<long double>(littleEndian(data, dataPos, len)), multiplier, 8,
                         separator);
        break;
    case 0x3:
        if (fabricationNo)
            r.value = "00" + HexDigitsReversed(data.substr(dataPos, 3));
        else
            r.value = scaled(static_cast<long double>(littleEndian(data, dataPos, 3)), multiplier,
                             11, separator);
        break;
    case 0x4:
    case 0x6: {
        // Two's complement of 32 or 48 bits.
        const unsigned bits = static_cast<unsigned>(len * 8);
        const unsigned long long raw = littleEndian(data, dataPos, len);
        const unsigned long long sign = 1ULL << (bits - 1);
        const long long value = static_cast<long long>(raw ^ sign) - static_cast<long long>(sign);
        if (fabricationNo)
            r.value = FormatFixed(static_cast<long double>(value), 8, 0, separator);
        else
            r.value = scaled(static_cast<long double>(value), multiplier, 13, separator);
        break;
    }
    case 0x5:
        r.value = BinStrToFloatText(HexToBinStr(HexDigitsReversed(data.substr(dataPos, 4))),
                                    multiplier, separator);
        break;
    case 0x7:
        r.value = "64-bit integer not supported, but hex is: 0x"
            + HexDigitsReversed(data.substr(dataPos, 8));
        break;
    case 0x8:
        r.value = "Unrecognizable DIF, not decoded ";
        break;
    case 0x9:
    case 0xA:
    case 0xB:
    case 0xC:
    case 0xE: {
        if (fabricationNo && (code == 0xB || code == 0xC || code == 0xE)) {
            r.value = HexDigitsReversed(data.substr(dataPos, len));
            break;
        }
        static constexpr int kPrecision[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 8, 11, 13, 0, 15, 0};
        if (bcdInt32(data, dataPos, len, bcd))
            r.value = scaled(static_cast<long double>(bcd), multiplier, kPrecision[code], separator);
        else
            r.value = "Exception ";
        break;
    }
    default:
        break;
    }
    return r;
}

std::vector<RecordRow> DecodeTelegramRecords(std::string_view reply, char separator)
{
    std::vector<RecordRow> rows;
    if (reply.size() < kFirstRecord + 2)
        return rows;
    // The records end before the checksum and the stop byte.
    const std::string_view data = reply.substr(0, reply.size() - 2);
    const std::size_t end = data.size();
    std::size_t pos = kFirstRecord;
    long long number = 1;
    rows.reserve((end - pos) / 4 + 1); // a typical record has four bytes or more

    while (pos < end) {
        const unsigned dif = at(data, pos);
        if ((dif & 0x0Fu) == 0x0F) {
            // Manufacturer data: every byte after the DIF up to the checksum.
            RecordRow& row = rows.emplace_back();
            row.cells[ColNumber] = decimalText(number);
            row.cells[ColValue] = SpacedHex(data.substr(pos + 1));
            row.cells[ColDescription] = "Manf. secific";
            row.dif = static_cast<std::uint8_t>(dif);
            row.manufacturerData = true;
            break;
        }

        // DIF and DIFEs: the last one has no extension bit; the VIF follows it.
        std::size_t lastDif = pos;
        while (lastDif < end && hasExtension(at(data, lastDif)))
            ++lastDif;
        const std::size_t vifPos = lastDif + 1;
        if (lastDif >= end || vifPos >= end)
            break;
        const auto vif = static_cast<std::uint8_t>(at(data, vifPos));

        // VIFEs, and the characters of a plain-text VIF (a count, then the text, then
        // for FC the VIFEs).
        std::size_t firstVife = vifPos + 1;
        std::string_view text;
        bool vifes = hasExtension(vif);
        if ((vif & 0x7Fu) == 0x7C) {
            const std::size_t countPos = vifPos + 1;
            if (countPos >= end)
                break;
            const std::size_t count = at(data, countPos);
            if (count > end - countPos - 1)
                break;
            text = data.substr(countPos + 1, count);
            firstVife = countPos + 1 + count;
        }
        std::size_t dataPos = firstVife;
        if (vifes) {
            std::size_t lastVife = firstVife;
            while (lastVife < end && hasExtension(at(data, lastVife)))
                ++lastVife;
            if (lastVife >= end)
                break;
            dataPos = lastVife + 1;
        }

        const auto vifeByte = static_cast<std::uint8_t>(vifes ? at(data, firstVife) : 0);
        VifMeaning meaning = DecodeVif(vif, vifeByte, text);
        RecordValue value = DecodeRecordValue(data, pos, dataPos, vif, meaning.multiplier, separator);

        // Rows are built in place: a row is eight strings.
        RecordRow& row = rows.emplace_back();
        auto& c = row.cells;
        c[ColNumber] = decimalText(number);
        c[ColValue] = std::move(value.value);
        c[ColUnit] = std::move(meaning.unit);
        c[ColDescription] = std::move(meaning.description);
        c[ColDif] = SpacedHex(data.substr(pos, lastDif + 1 - pos));
        c[ColVif] = HexDigits(data.substr(vifPos, 1));
        if (vifes)
            c[ColVife] = SpacedHex(data.substr(firstVife, dataPos - firstVife));

        row.dif = static_cast<std::uint8_t>(dif);
        row.functionText = std::move(value.functionText);

        if (value.truncated)
            break;
        ++number;
        pos = dataPos + value.dataLength;
    }
    return rows;
}

#include "SimLog.h"

#include "SimHex.h"

namespace {

unsigned byteAt(const std::string& b, std::size_t i)
{
    return static_cast<unsigned char>(b[i]);
}

// Byte strings longer than this (floods) are printed as their start and their size.
constexpr std::size_t printedBytes = 300;

} // namespace

bool SimLogEntry::isShortFrame(std::uint8_t c, int address) const
{
    return kind == Kind::Frame && bytes.size() == 5 && byteAt(bytes, 0) == 0x10
        && byteAt(bytes, 1) == c && (address < 0 || static_cast<int>(byteAt(bytes, 2)) == address);
}

bool SimLogEntry::isReqUd2(int address) const
{
    return isShortFrame(0x7B, address) || isShortFrame(0x5B, address);
}

bool SimLogEntry::isSndNke(int address) const
{
    return isShortFrame(0x40, address);
}

bool SimLogEntry::isLongFrame(int c, int ci) const
{
    return kind == Kind::Frame && bytes.size() >= 9 && byteAt(bytes, 0) == 0x68
        && (c < 0 || static_cast<int>(byteAt(bytes, 4)) == c)
        && (ci < 0 || static_cast<int>(byteAt(bytes, 6)) == ci);
}

bool SimLogEntry::isPacket(int body) const
{
    return kind == Kind::Packet && packet && (body < 0 || packet->body == body);
}

const char* simKindName(SimLogEntry::Kind kind)
{
    switch (kind) {
    case SimLogEntry::Kind::Frame:
        return "Frame";
    case SimLogEntry::Kind::BadFrame:
        return "BadFrame";
    case SimLogEntry::Kind::Garbage:
        return "Garbage";
    case SimLogEntry::Kind::Dropped:
        return "Dropped";
    case SimLogEntry::Kind::Packet:
        return "Packet";
    case SimLogEntry::Kind::BadPacket:
        return "BadPacket";
    case SimLogEntry::Kind::Text:
        return "Text";
    case SimLogEntry::Kind::Connect:
        return "Connect";
    case SimLogEntry::Kind::Disconnect:
        return "Disconnect";
    case SimLogEntry::Kind::Reply:
        break;
    }
    return "Reply";
}

namespace {

// A text in double quotes, bytes outside printable ASCII as \r, \n or \xNN.
std::string quoted(const std::string& text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string q = "\"";
    for (char ch : text) {
        const unsigned c = static_cast<unsigned char>(ch);
        if (c == '\r')
            q += "\\r";
        else if (c == '\n')
            q += "\\n";
        else if (c < 0x20 || c > 0x7E || c == '"' || c == '\\')
            q += std::string("\\x") + digits[c >> 4] + digits[c & 0xF];
        else
            q += ch;
    }
    return q + "\"";
}

} // namespace

std::string simLogLine(const SimLogEntry& entry)
{
    std::string line = simKindName(entry.kind);
    if (entry.connection > 0)
        line += " #" + std::to_string(entry.connection);
    const std::string& shown = entry.packet ? entry.packet->payload : entry.bytes;
    const bool isText = entry.kind == SimLogEntry::Kind::Text || (entry.packet && entry.packet->body == 0xA1);
    if (isText && shown.size() <= printedBytes) {
        line += ' ' + quoted(shown);
    } else if (!shown.empty()) {
        line += ' ';
        if (shown.size() > printedBytes)
            line += simHex(shown.substr(0, 32)) + " ... (" + std::to_string(shown.size())
                + " bytes)";
        else
            line += simHex(shown);
    }
    if (!entry.text.empty())
        line += "  (" + entry.text + ")";
    return line;
}

void SimLog::add(std::vector<SimLogEntry> fresh)
{
    if (fresh.empty())
        return;
    std::function<void(const SimLogEntry&)> observer;
    {
        std::lock_guard lock(mutex_);
        for (const SimLogEntry& e : fresh)
            entries_.push_back(e);
        observer = observer_;
    }
    changed_.notify_all();
    if (observer)
        for (const SimLogEntry& e : fresh)
            observer(e);
}

std::vector<SimLogEntry> SimLog::entries() const
{
    std::lock_guard lock(mutex_);
    return entries_;
}

std::size_t SimLog::count(SimLogEntry::Kind kind) const
{
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const SimLogEntry& e : entries_)
        n += e.kind == kind;
    return n;
}

void SimLog::clear()
{
    std::lock_guard lock(mutex_);
    entries_.clear();
}

bool SimLog::waitFor(const Condition& condition, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return condition(entries_); });
}

void SimLog::setObserver(std::function<void(const SimLogEntry&)> observer)
{
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

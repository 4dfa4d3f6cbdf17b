#include "SimDisplay.h"

#include <charconv>
#include <stdexcept>

namespace {

using namespace std::chrono_literals;

constexpr std::string_view crlf = "\r\n";
constexpr std::chrono::milliseconds defaultSplit = 40ms;

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

// The address of "NAME=a,..." as received: from the '=' to the first ',' or the end.
std::string_view addressOf(std::string_view command)
{
    const auto eq = command.find('=');
    if (eq == std::string_view::npos)
        return {};
    const std::string_view rest = command.substr(eq + 1);
    return rest.substr(0, rest.find(','));
}

// A whole decimal number of digits only, or -1.
long wholeNumber(std::string_view text)
{
    long value = -1;
    if (text.empty() || text.size() > 9)
        return -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text[0] == '-' || text[0] == '+')
        return -1;
    return value;
}

int addressNumber(std::string_view text)
{
    const long n = wholeNumber(text);
    return n >= 1 && n <= 250 ? static_cast<int>(n) : 0;
}

// Text shaped like the pattern, 'd' standing for a digit: "dd/dd/dd".
bool shaped(std::string_view text, std::string_view pattern)
{
    if (text.size() != pattern.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == 'd' ? !digit : text[i] != pattern[i])
            return false;
    }
    return true;
}

std::string twoDigits(int n)
{
    n = ((n % 100) + 100) % 100;
    return {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

std::string unitName(std::string_view code)
{
    if (code == "1")
        return "kWh";
    if (code == "2")
        return "m3";
    if (code == "3")
        return "kJ";
    if (code == "4")
        return "MJ";
    return {};
}

const char* const englishMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const italianMonths[12] = {"Gen", "Feb", "Mar", "Apr", "Mag", "Giu",
                                       "Lug", "Ago", "Set", "Ott", "Nov", "Dic"};
// Windows-1251 bytes of the Russian abbreviations.
const char* const russianMonths[12] = {"\xDF\xED\xF3", "\xD4\xE5\xE2", "\xCC\xE0\xF0", "\xC0\xEF\xF0",
                                       "\xCC\xE0\xE9", "\xDE\xED\xE8", "\xDE\xEB\xE8", "\xC0\xE2\xE3",
                                       "\xD1\xE5\xEF", "\xCE\xEA\xF2", "\xCD\xEE\xE5", "\xC4\xE5\xEA"};

// The fields that "SET NAME=a,v" sets.
struct FieldCommand {
    std::string_view name;
    std::string& (*field)(SimDisplayEntry&);
    const char* what;
};

const FieldCommand fieldCommands[] = {
    {"SET UNIT=", [](SimDisplayEntry& e) -> std::string& { return e.unit; }, "unit"},
    {"SET CONM=", [](SimDisplayEntry& e) -> std::string& { return e.multiplier; }, "multiplier"},
    {"SET COND=", [](SimDisplayEntry& e) -> std::string& { return e.divider; }, "divider"},
    {"SET INIT=", [](SimDisplayEntry& e) -> std::string& { return e.start[0]; }, "start value"},
    {"SET INI1=", [](SimDisplayEntry& e) -> std::string& { return e.start[1]; }, "start P1"},
    {"SET INI2=", [](SimDisplayEntry& e) -> std::string& { return e.start[2]; }, "start P2"},
    {"SET INI4=", [](SimDisplayEntry& e) -> std::string& { return e.start[3]; }, "start cooling"},
    {"SET NUMB=", [](SimDisplayEntry& e) -> std::string& { return e.userNumber; }, "user number"},
    {"SET TEXT=", [](SimDisplayEntry& e) -> std::string& { return e.text; }, "text"},
};

std::string escaped(std::string_view bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == '\r')
            out += "\\r";
        else if (b == '\n')
            out += "\\n";
        else if (b == '\\')
            out += "\\\\";
        else if (b >= 0x20 && b < 0x7F)
            out += ch;
        else
            out += {'\\', 'x', hex[b >> 4], hex[b & 15]};
    }
    return out;
}

} // namespace

SimHistMonth simHistSlot(const SimDisplayHistory& history, int n)
{
    const int newest = ((history.newestMonth - 1) % 12 + 12) % 12;
    if (n <= 1)
        return {newest + 1, ((history.newestYear % 100) + 100) % 100};
    return {(newest + n - 1) % 12 + 1, ((history.newestYear - 1) % 100 + 100) % 100};
}

bool SimDisplayLogEntry::isCommand(std::string_view prefix) const
{
    return kind == Kind::Command && startsWith(bytes, prefix);
}

std::string simDisplayLogLine(const SimDisplayLogEntry& entry)
{
    const char* kind = entry.kind == SimDisplayLogEntry::Kind::Command ? "Command"
        : entry.kind == SimDisplayLogEntry::Kind::Reply                ? "Reply"
                                                                       : "HangUp";
    std::string line = std::string(kind) + " \"" + escaped(entry.bytes) + "\"";
    if (!entry.text.empty())
        line += "  (" + entry.text + ")";
    return line;
}

void SimDisplay::setEntry(int address, SimDisplayEntry entry)
{
    if (address < 1 || address > 250)
        throw std::out_of_range("display address " + std::to_string(address) + " outside 1-250");
    std::lock_guard lock(mutex_);
    entries_[address] = std::move(entry);
}

std::optional<SimDisplayEntry> SimDisplay::entry(int address) const
{
    std::lock_guard lock(mutex_);
    const auto it = entries_.find(address);
    if (it == entries_.end())
        return std::nullopt;
    return it->second;
}

void SimDisplay::removeEntry(int address)
{
    std::lock_guard lock(mutex_);
    entries_.erase(address);
}

std::vector<int> SimDisplay::addresses() const
{
    std::lock_guard lock(mutex_);
    std::vector<int> out;
    for (const auto& [address, e] : entries_)
        out.push_back(address);
    return out;
}

void SimDisplay::setMonthNames(SimMonthNames names)
{
    std::lock_guard lock(mutex_);
    months_ = names;
}

void SimDisplay::setT1Layout(bool on)
{
    std::lock_guard lock(mutex_);
    t1_ = on;
}

void SimDisplay::setAddrForm(SimAddrForm form)
{
    std::lock_guard lock(mutex_);
    addrForm_ = form;
}

SimDisplaySettings SimDisplay::settings() const
{
    std::lock_guard lock(mutex_);
    return settings_;
}

void SimDisplay::addFault(SimDisplayFault fault)
{
    if (fault.times == 0)
        return;
    std::lock_guard lock(mutex_);
    faults_.push_back(std::move(fault));
}

void SimDisplay::clearFaults()
{
    std::lock_guard lock(mutex_);
    faults_.clear();
}

std::string SimDisplay::monthName(int month) const
{
    const char* const* names = months_ == SimMonthNames::Italian ? italianMonths
        : months_ == SimMonthNames::Russian1251                  ? russianMonths
                                                                 : englishMonths;
    return names[(month - 1) % 12];
}

std::vector<std::string> SimDisplay::addressLines() const
{
    std::vector<std::string> lines {"Active devices: "};
    if (addrForm_ == SimAddrForm::Lines) {
        for (const auto& [address, e] : entries_)
            lines.push_back(std::to_string(address));
        return lines;
    }
    // Runs of consecutive addresses as ranges: 1-3,7,9.
    const char separator = addrForm_ == SimAddrForm::ListCr ? '\r' : ',';
    std::string& list = lines[0];
    for (auto it = entries_.begin(); it != entries_.end();) {
        const int first = it->first;
        int last = first;
        for (++it; it != entries_.end() && it->first == last + 1; ++it)
            last = it->first;
        if (list.size() > 16)
            list += separator;
        list += std::to_string(first);
        if (last > first)
            list += "-" + std::to_string(last);
    }
    return lines;
}

SimDisplay::Answer SimDisplay::getCommand(std::string_view name, std::string_view args)
{
    if (name != "GET ENTR=" && name != "GET TARR=" && name != "GET HIST=")
        return {{"Unknown command"}, true, "unknown command"};
    const auto comma = args.find(',');
    if (comma == std::string_view::npos)
        return {{"Error"}, true, "no second argument"};
    const std::string_view a = args.substr(0, comma);
    const std::string_view k = args.substr(comma + 1);
    const auto it = entries_.find(addressNumber(a));
    if (it == entries_.end())
        return {{"No entry"}, true, "no entry " + std::string(a)};
    const SimDisplayEntry& e = it->second;
    const std::string of = " of " + std::string(a);

    if (name == "GET ENTR=") {
        if (k == "1") {
            const std::string unit = unitName(e.unit);
            return {{"Total pulses *" + e.multiplier + "/" + e.divider,
                     "Start: " + e.start[0] + (unit.empty() ? "" : " " + unit), "Total: " + e.total[0]},
                    true, "record 1" + of};
        }
        if (k == "2")
            return {{"User #: " + e.userNumber, "Text: " + e.text}, false, "record 2" + of};
        return {{"Error"}, true, "no record " + std::string(k)};
    }
    if (name == "GET HIST=") {
        const long n = wholeNumber(k);
        if (n < 1 || n > 12)
            return {{"Error"}, true, "no month slot " + std::string(k)};
        if (!e.history)
            return {{"No history"}, true, "no history" + of};
        const SimDisplayHistory& h = *e.history;
        const SimHistMonth m = simHistSlot(h, static_cast<int>(n));
        std::vector<std::string> lines {"Hist values: " + h.values[static_cast<std::size_t>(n - 1)]};
        if (t1_)
            lines.insert(lines.end(), {"T1: 0", "T2: 0", "T3: 0"});
        const std::string& date = h.dates[static_cast<std::size_t>(n - 1)];
        lines.push_back(!date.empty() ? date
                                      : twoDigits(h.day) + "/" + monthName(m.month) + "/" + twoDigits(m.year));
        return {lines, true, "month slot " + std::string(k) + of};
    }
    const int input = k == "0" ? 1 : k == "1" ? 2 : k == "3" ? 3 : 0;
    if (input == 0)
        return {{"Error"}, true, "no input " + std::string(k)};
    return {{"Total pulses", "Start: " + e.start[input], "Total: " + e.total[input]}, true,
            (input == 1 ? "P1" : input == 2 ? "P2" : "cooling") + of};
}

SimDisplay::Answer SimDisplay::entryCommand(std::string_view command, std::string_view name,
                                            std::string_view args)
{
    const std::string_view a = addressOf(command);
    const auto comma = args.find(',');
    const std::string_view value = comma == std::string_view::npos ? std::string_view() : args.substr(comma + 1);
    auto found = entries_.find(addressNumber(a));
    const std::string of = " of " + std::string(a);

    if (name == "DEL ENTR=") {
        if (found == entries_.end())
            return {{"No entry"}, true, "no entry " + std::string(a)};
        entries_.erase(found);
        return {{"OK"}, true, "deleted " + std::string(a)};
    }
    if (name == "SET DELP=") {
        if (found == entries_.end())
            return {{"No entry"}, true, "no entry " + std::string(a)};
        found->second.start = {"0", "0", "0", "0"};
        return {{"OK"}, true, "start values zeroed" + of};
    }
    for (const FieldCommand& f : fieldCommands) {
        if (name != f.name)
            continue;
        if (comma == std::string_view::npos)
            return {{"Error"}, true, "no value"};
        if (found == entries_.end())
            return {{"No entry"}, true, "no entry " + std::string(a)};
        f.field(found->second) = std::string(value);
        return {{"OK"}, true, std::string(f.what) + of + " := \"" + std::string(value) + "\""};
    }
    return {{"Unknown command"}, true, "unknown command"};
}

SimDisplay::Answer SimDisplay::execute(std::string_view c, bool already)
{
    if (c == "SET LOCK") {
        settings_.locked = true;
        return {{"OK"}, true, "locked"};
    }
    if (c == "SET SORT") {
        ++settings_.sortTables;
        return {{"OK"}, true, "sort table built"};
    }
    if (c == "SET READ") {
        ++settings_.readUpdates;
        return {{"OK"}, true, "readings updated"};
    }
    if (c == "GET ADDR")
        return {addressLines(), true, std::to_string(entries_.size()) + " active"};
    if (c == "GET MAIN")
        return {{"Pexor-V48 main data", "Date: " + (settings_.date.empty() ? "--/--/--" : settings_.date),
                 "Time: " + (settings_.time.empty() ? "--:--" : settings_.time),
                 "Refresh: " + (settings_.refresh.empty() ? "04" : settings_.refresh),
                 "Devices: " + std::to_string(entries_.size())},
                true, "main data"};
    if (c == "GET SERV")
        return {{"Pexor-V48 service data", "Firmware: 1.0",
                 std::string("Locked: ") + (settings_.locked ? "yes" : "no"),
                 "Sort tables: " + std::to_string(settings_.sortTables),
                 "Sorted by: " + (settings_.sortBy.empty() ? "none" : settings_.sortBy),
                 "Readings updated: " + std::to_string(settings_.readUpdates)},
                true, "service data"};

    const auto eq = c.find('=');
    if (eq == std::string_view::npos)
        return {{"Unknown command"}, true, "unknown command"};
    const std::string_view name = c.substr(0, eq + 1);
    const std::string_view args = c.substr(eq + 1);
    auto set = [&](std::string& field, bool good, const char* what) -> Answer {
        if (!good)
            return {{"Error"}, true, std::string("bad ") + what};
        field = std::string(args);
        return {{"OK"}, true, std::string(what) + " := " + field};
    };
    if (name == "SET DATE=")
        return set(settings_.date, shaped(args, "dd/dd/dd"), "date");
    if (name == "SET TIME=")
        return set(settings_.time, shaped(args, "dd:dd"), "time");
    if (name == "SET REFR=") {
        const long n = wholeNumber(args);
        return set(settings_.refresh, n >= 4 && n <= 12, "refresh");
    }
    if (name == "SET SRTP=")
        return set(settings_.sortBy, !args.empty(), "sort");
    if (name == "SET ENTR=") {
        const int address = addressNumber(args);
        if (address == 0)
            return {{"Error"}, true, "no such address"};
        const bool isNew = entries_.emplace(address, SimDisplayEntry {}).second;
        if (isNew && !already)
            return {{"Entry " + std::string(args) + " Active"}, true, "entry " + std::string(args) + " new"};
        return {{"Entry " + std::string(args) + " Already in table"}, true,
                "entry " + std::string(args) + (isNew ? " new" : " there")};
    }
    if (startsWith(name, "GET "))
        return getCommand(name, args);
    return entryCommand(c, name, args);
}

SimDisplayReply SimDisplay::handle(std::string_view command, Clock::time_point time, std::size_t maxReply)
{
    std::unique_lock lock(mutex_);
    const std::string_view address = addressOf(command);
    bool silent = false;
    bool err = false;
    bool already = false;
    bool noFinalCrLf = false;
    SimDisplayReply reply;
    std::string faults;
    for (auto it = faults_.begin(); it != faults_.end();) {
        if (!startsWith(command, it->prefix) || (!it->address.empty() && it->address != address)) {
            ++it;
            continue;
        }
        const char* name = "";
        switch (it->kind) {
        case SimDisplayFault::Kind::Silent:
            silent = true;
            name = "silent";
            break;
        case SimDisplayFault::Kind::Late:
            reply.delay += it->delay;
            name = "late";
            break;
        case SimDisplayFault::Kind::Err:
            err = true;
            name = "Err";
            break;
        case SimDisplayFault::Kind::Already:
            already = true;
            name = "Already";
            break;
        case SimDisplayFault::Kind::Split:
            reply.split = it->delay.count() > 0 ? it->delay : defaultSplit;
            name = "split";
            break;
        case SimDisplayFault::Kind::Drop:
            reply.drop = true;
            name = "drop";
            break;
        case SimDisplayFault::Kind::NoFinalCrLf:
            noFinalCrLf = true;
            name = "no final CR LF";
            break;
        }
        faults += faults.empty() ? name : std::string(", ") + name;
        if (it->times > 0 && --it->times == 0)
            it = faults_.erase(it);
        else
            ++it;
    }

    if (reply.drop) {
        reply.what = "connection dropped";
    } else if (silent) {
        reply.what = "not heard";
    } else {
        Answer a = err ? Answer {{"Err"}, true, "Err"} : execute(command, already);
        for (std::size_t i = 0; i < a.lines.size(); ++i)
            reply.bytes += (i ? std::string(crlf) : std::string()) + a.lines[i];
        if (a.finalCrLf && !noFinalCrLf)
            reply.bytes += crlf;
        reply.what = std::move(a.what);
        if (reply.bytes.size() > maxReply) {
            reply.bytes.resize(maxReply);
            reply.what += ", cut to " + std::to_string(maxReply) + " bytes";
        }
    }
    if (!faults.empty())
        reply.what += " [" + faults + "]";
    SimDisplayLogEntry entry {SimDisplayLogEntry::Kind::Command, time, std::string(command), reply.what};
    entry.drop = reply.drop;
    if (!reply.drop && !reply.bytes.empty()) {
        entry.replies.push_back(reply.delay);
        if (reply.split && reply.bytes.size() > 1)
            entry.replies.push_back(reply.delay + *reply.split);
    }
    record(std::move(entry), lock);
    return reply;
}

void SimDisplay::recordReply(std::string bytes, Clock::time_point time, std::string text)
{
    std::unique_lock lock(mutex_);
    record({SimDisplayLogEntry::Kind::Reply, time, std::move(bytes), std::move(text)}, lock);
}

void SimDisplay::recordHangUp(Clock::time_point time, std::string text)
{
    std::unique_lock lock(mutex_);
    record({SimDisplayLogEntry::Kind::HangUp, time, {}, std::move(text)}, lock);
}

// Logs with the lock held, then lets it go to tell the waiters and the observer.
void SimDisplay::record(SimDisplayLogEntry entry, std::unique_lock<std::mutex>& lock)
{
    if (entry.kind == SimDisplayLogEntry::Kind::Command)
        ++commands_;
    else if (entry.kind == SimDisplayLogEntry::Kind::Reply)
        ++replies_;
    log_.push_back(entry);
    const auto observer = observer_;
    lock.unlock();
    changed_.notify_all();
    if (observer)
        observer(entry);
}

void SimDisplay::setObserver(std::function<void(const SimDisplayLogEntry&)> observer)
{
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

std::vector<SimDisplayLogEntry> SimDisplay::log() const
{
    std::lock_guard lock(mutex_);
    return log_;
}

std::vector<std::string> SimDisplay::commands() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const SimDisplayLogEntry& e : log_)
        if (e.kind == SimDisplayLogEntry::Kind::Command)
            out.push_back(e.bytes);
    return out;
}

std::size_t SimDisplay::commandCount() const
{
    std::lock_guard lock(mutex_);
    return commands_;
}

std::size_t SimDisplay::replyCount() const
{
    std::lock_guard lock(mutex_);
    return replies_;
}

void SimDisplay::clearLog()
{
    std::lock_guard lock(mutex_);
    log_.clear();
    commands_ = 0;
    replies_ = 0;
}

bool SimDisplay::waitForCommands(std::size_t n, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return commands_ >= n; });
}

bool SimDisplay::waitForReplies(std::size_t n, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return replies_ >= n; });
}

bool SimDisplay::waitForLog(const LogCondition& condition, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return condition(log_); });
}

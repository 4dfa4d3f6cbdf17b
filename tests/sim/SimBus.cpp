#include "SimBus.h"

#include "SimHex.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

constexpr unsigned broadcastQuiet = 255;
constexpr unsigned broadcastAll = 254;
constexpr unsigned selectedOnes = 253;
const std::string ack(1, static_cast<char>(0xE5));

unsigned byteAt(std::string_view b, std::size_t i)
{
    return static_cast<unsigned char>(b[i]);
}

std::string hexByte(unsigned v)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
    return buf;
}

std::string meters(std::size_t n)
{
    return std::to_string(n) + (n == 1 ? " meter" : " meters");
}

// A telegram with its sum one off.
std::string damaged(std::string t)
{
    if (t.size() >= 2)
        t[t.size() - 2] = static_cast<char>(byteAt(t, t.size() - 2) + 1);
    return t;
}

struct Pending {
    std::chrono::milliseconds delay;
    std::string bytes;
};

// Groups the meters' answers by their moment; each group reaches the master as one.
std::vector<SimAnswer> combine(const std::vector<Pending>& pending)
{
    std::map<std::chrono::milliseconds, std::vector<std::string>> byDelay;
    for (const Pending& p : pending)
        byDelay[p.delay].push_back(p.bytes);
    std::vector<SimAnswer> out;
    for (const auto& [delay, group] : byDelay)
        out.push_back({delay, simCollide(group), group.size()});
    return out;
}

std::string summary(const std::vector<SimAnswer>& answers)
{
    if (answers.empty())
        return "no answer";
    std::string s;
    for (const SimAnswer& a : answers) {
        if (!s.empty())
            s += ", ";
        if (a.meters > 1)
            s += "collision of " + meters(a.meters);
        else if (a.bytes == ack)
            s += "E5";
        else
            s += "telegram";
        if (a.delay.count() > 0)
            s += " after " + std::to_string(a.delay.count()) + " ms";
    }
    return s;
}

} // namespace

std::string simCollide(const std::vector<std::string>& answers)
{
    if (answers.empty())
        return {};
    if (answers.size() == 1)
        return answers.front();
    std::size_t longest = 0;
    for (const std::string& a : answers)
        longest = std::max(longest, a.size());
    std::string out(longest, static_cast<char>(0xFF));
    for (const std::string& a : answers)
        for (std::size_t i = 0; i < a.size(); ++i)
            out[i] = static_cast<char>(byteAt(out, i) & byteAt(a, i));
    if (simPassesReplyChecks(out))
        out = damaged(out);
    return out;
}

std::size_t SimBus::addMeter(SimMeter meter)
{
    meters_.push_back(std::move(meter));
    return meters_.size() - 1;
}

std::vector<std::size_t> SimBus::reached(unsigned address) const
{
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < meters_.size(); ++i) {
        const SimMeter& m = meters_[i];
        if (address == broadcastQuiet || address == broadcastAll
            || (address == selectedOnes ? m.selected() : m.address() == address))
            out.push_back(i);
    }
    return out;
}

SimOutcome SimBus::handle(std::string_view frame)
{
    SimOutcome outcome;
    std::vector<Pending> pending;
    auto answer = [&](const SimMeter& m, std::string bytes) {
        if (!m.faults().silent)
            pending.push_back({m.faults().late, std::move(bytes)});
    };

    if (frame.size() == 5 && byteAt(frame, 0) == 0x10) {
        const unsigned c = byteAt(frame, 1);
        const unsigned a = byteAt(frame, 2);
        const std::vector<std::size_t> targets = reached(a);
        const std::string to = " to " + std::to_string(a);
        if (c == 0x40) {
            outcome.what = "SND_NKE" + to;
            for (std::size_t i : targets) {
                if (a == selectedOnes)
                    meters_[i].setSelected(false);
                if (a != broadcastQuiet)
                    answer(meters_[i], ack);
            }
            if (a == selectedOnes)
                outcome.what += ", " + meters(targets.size()) + " deselected";
        } else if (c == 0x7B || c == 0x5B) {
            outcome.what = "REQ_UD2" + to;
            if (a != broadcastQuiet)
                for (std::size_t i : targets) {
                    const SimMeter& m = meters_[i];
                    if (m.faults().e5InsteadOfTelegram)
                        answer(m, ack);
                    else
                        answer(m, m.faults().wrongChecksum ? damaged(m.telegram()) : m.telegram());
                }
        } else {
            outcome.what = "short frame C " + hexByte(c) + to + ", not modelled";
        }
    } else if (frame.size() >= 9 && byteAt(frame, 0) == 0x68) {
        const unsigned c = byteAt(frame, 4);
        const unsigned a = byteAt(frame, 5);
        const unsigned ci = byteAt(frame, 6);
        const std::string_view data = frame.substr(7, frame.size() - 9);
        const std::string head = "SND_UD to " + std::to_string(a) + ", CI " + hexByte(ci);
        if (c != 0x53 && c != 0x73) {
            outcome.what = "long frame C " + hexByte(c) + " to " + std::to_string(a) + ", not modelled";
        } else if (ci == 0x52 && a == selectedOnes) {
            if (data.size() < 8) {
                outcome.what = head + ", selection of " + std::to_string(data.size())
                    + " bytes is too short";
            } else {
                std::size_t chosen = 0;
                for (SimMeter& m : meters_) {
                    const bool match = m.matchesSelection(data);
                    m.setSelected(match);
                    if (match) {
                        ++chosen;
                        answer(m, ack);
                    }
                }
                outcome.what = head + ", select " + simHex(data.substr(0, 8)) + ", "
                    + meters(chosen) + " selected";
            }
        } else {
            const std::vector<std::size_t> targets = reached(a);
            std::string notes;
            for (std::size_t i : targets) {
                SimMeter& m = meters_[i];
                std::vector<std::string> lines;
                if (ci == 0x51) {
                    lines = m.applyRecords(data);
                } else if (ci == 0x50) {
                    m.countApplicationReset();
                    lines.push_back("application reset");
                } else if (ci >= 0xB8 && ci <= 0xBF) {
                    m.setBaud(300u << (ci - 0xB8));
                    lines.push_back("baud rate " + std::to_string(m.baud()));
                } else {
                    lines.push_back("not modelled");
                }
                for (const std::string& l : lines)
                    notes += (notes.empty() ? "" : "; ") + ("meter " + std::to_string(i) + ": " + l);
                if (a != broadcastQuiet)
                    answer(m, ack);
            }
            outcome.what = head + (notes.empty() ? std::string(", no meter") : ", " + notes);
        }
    } else {
        outcome.what = "not a frame";
    }
    outcome.answers = combine(pending);
    outcome.what += "; " + summary(outcome.answers);
    return outcome;
}

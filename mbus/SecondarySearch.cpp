#include "SecondarySearch.h"

#include "MasterFrames.h"

namespace {

constexpr int DigitValues = 10;   // the digits tried: 0 to 9

char digitChar(std::uint8_t d)
{
    return d == SearchMask::Wildcard ? 'F' : static_cast<char>('0' + d);
}

} // namespace

void SetDigit(SearchMask& mask, int position, std::uint8_t value, bool lsbFirst)
{
    if (position < 1 || position > 8)
        return;
    mask.d[static_cast<std::size_t>(position - 1)] = value;
    if (lsbFirst) {
        for (int p = position + 1; p <= 8; ++p)
            mask.d[static_cast<std::size_t>(p - 1)] = SearchMask::Wildcard;
    } else {
        for (int p = position - 1; p >= 1; --p)
            mask.d[static_cast<std::size_t>(p - 1)] = SearchMask::Wildcard;
    }
}

std::string MaskDigits(const SearchMask& mask)
{
    std::string text;
    text.reserve(8);
    for (int p = 8; p >= 1; --p)
        text += digitChar(mask.digit(p));
    return text;
}

std::string CheckingText(const SearchMask& mask) { return "Checking " + MaskDigits(mask) + "..."; }

std::string SelectMaskFrame(const SearchMask& mask)
{
    // The ID select frame with the wildcards as nibble F.
    return LongFrame(0x53, 0xFD, 0x52, BcdIdBytes(MaskDigits(mask), true) + std::string(4, '\xFF'));
}

SecondarySearch::SecondarySearch(SecondarySearchHost& host, std::atomic<bool>& stop, bool lsbFirst,
                                 std::stop_token cancel)
    : host_(host), stop_(stop), lsbFirst_(lsbFirst), cancel_(std::move(cancel))
{
}

bool SecondarySearch::stopped() const
{
    return stop_.load() || cancel_.stop_requested();
}

void SecondarySearch::say(const std::string& line)
{
    try {
        host_.log(line);
    } catch (...) {
        // A line that cannot be shown does not change the search.
    }
}

void SecondarySearch::fail(const std::string& line)
{
    say(line);
    stop_ = true;
}

std::optional<std::string> SecondarySearch::selectStep(int position, std::uint8_t value, SearchMask& mask,
                                                       bool clearReplyTexts)
{
    try {
        SetDigit(mask, position, value, lsbFirst_);
        host_.log(CheckingText(mask));
    } catch (...) {
        fail("Unknown exception in secondary search, code #1000...");
        return std::nullopt;
    }
    try {
        wait_ = host_.sendSelect(mask);
    } catch (...) {
        fail("Unknown exception in secondary search, code #1001...");
        return std::nullopt;
    }
    host_.wait(wait_);
    std::optional<std::string> answer;
    try {
        answer = host_.readSelectionAnswer(clearReplyTexts);
    } catch (...) {
        fail("Unknown exception in secondary search, code #1002...");
        return std::nullopt;
    }
    if (!answer)
        fail("No valid physical connection...");
    return answer;
}

void SecondarySearch::run()
{
    try {
        host_.showProgress(1, 10, 1);
    } catch (...) {
        // The bar is only a display.
    }
    const int first = lsbFirst_ ? 1 : 8;
    SearchMask mask;
    for (int v = 0; v < DigitValues && !stopped(); ++v) {
        const std::optional<std::string> answer = selectStep(first, static_cast<std::uint8_t>(v), mask, true);
        if (!answer)
            break;
        if (!answer->empty() && !readSelected253()) {
            say("Collision");
            // The descent works on the mask itself: the next step sets every digit again.
            searchNextDigit(first, mask);
        }
        try {
            host_.advanceProgress();
        } catch (...) {
        }
    }
    stop_ = true;
    if (cancel_.stop_requested())
        return;   // the host is going away: no end step
    try {
        host_.endOfSearch();
    } catch (...) {
    }
}

// One level of the descent below position: every value of the next position, with the
// digits fixed so far kept; a collision there goes one level deeper, up to the last position.
void SecondarySearch::searchNextDigit(int position, SearchMask& mask)
{
    const int next = lsbFirst_ ? position + 1 : position - 1;
    if (next < 1 || next > 8)
        return;
    for (int v = 0; v < DigitValues && !stopped(); ++v) {
        const std::optional<std::string> answer = selectStep(next, static_cast<std::uint8_t>(v), mask, false);
        if (!answer)
            return;
        if (answer->empty())
            continue;
        const bool found = readSelected253();
        if (stopped())
            return;
        if (!found) {
            say("Collision");
            if (next != lastPosition())
                searchNextDigit(next, mask);
        }
    }
}

bool SecondarySearch::readSelected253()
{
    try {
        wait_ = host_.sendReadAt253();
    } catch (...) {
        // A failed request is ignored: the wait and the take follow all the same.
    }
    host_.wait(wait_);
    Reply253 reply = Reply253::TakeFailed;
    try {
        reply = host_.takeAndDecode253();
    } catch (...) {
    }
    switch (reply) {
    case Reply253::Found:
        return true;
    case Reply253::NotFound:
        return false;
    case Reply253::NoConnection:
        say("No valid physical connection :) ");
        return false;
    case Reply253::TakeFailed:
        say("Unknown exception in secondary search, code #1002...");
        return false;
    case Reply253::DecodeFailed:
        say("Unknown exception in secondary search, code #1003...");
        return false;
    }
    return false;
}

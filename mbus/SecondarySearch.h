#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>

// The wildcard search by identification number: select frames with a mask of ID digits whose
// unknown digits are wildcards, a read of the selected meter at address 253, and a descent
// one digit further wherever several meters answer one mask. Plain C++: everything it does to
// the window, the log and the link goes through a SecondarySearchHost.

// The digits d1 (least significant) .. d8 of an ID mask: 0-9, or 15 for a wildcard.
struct SearchMask {
    static constexpr std::uint8_t Wildcard = 15;
    std::array<std::uint8_t, 8> d {Wildcard, Wildcard, Wildcard, Wildcard,
                                   Wildcard, Wildcard, Wildcard, Wildcard};

    std::uint8_t digit(int position) const { return d[static_cast<std::size_t>(position - 1)]; }
    bool operator==(const SearchMask&) const = default;
};

// Fixes digit `position` (1..8) to value and makes the positions searched after it wildcards:
// d(p+1)..d8 with lsbFirst, else d(p-1)..d1. A position outside 1..8 changes nothing.
void SetDigit(SearchMask& mask, int position, std::uint8_t value, bool lsbFirst);

// d8 down to d1, a wildcard as "F": "1234FFFF".
std::string MaskDigits(const SearchMask& mask);
// "Checking " + MaskDigits + "...".
std::string CheckingText(const SearchMask& mask);

// The 17-byte select frame: 68 0B 0B 68 53 FD 52, the mask least significant byte first
// (wildcards as nibble F), FF FF FF FF for manufacturer, version and medium, the sum, 16.
std::string SelectMaskFrame(const SearchMask& mask);

// What taking the reply of address 253 came to.
enum class Reply253 {
    NotFound,       // nothing, or a reply that failed its checks
    Found,          // a valid telegram, written to the meters table
    NoConnection,   // the serial link with its port closed
    TakeFailed,     // taking the reply raised
    DecodeFailed,   // decoding it raised
};

// The search's hand-overs, each run where the window lives, and its wait. The waits' length
// comes back from the two sends, read afresh at every send.
class SecondarySearchHost {
public:
    virtual ~SecondarySearchHost() = default;

    virtual void log(const std::string& line) = 0;
    // Shows the progress bar with this range and position.
    virtual void showProgress(int minimum, int maximum, int position) = 0;
    virtual void advanceProgress() = 0;
    // Empties the serial queues and sends the select frame of mask on the active link.
    virtual std::chrono::milliseconds sendSelect(const SearchMask& mask) = 0;
    // The answer to the select frame by the active link's rule; nothing for the serial link
    // with its port closed. With clearReplyTexts the two network reply texts are emptied after.
    virtual std::optional<std::string> readSelectionAnswer(bool clearReplyTexts) = 0;
    // Asks the selected meter for its telegram (REQ_UD2 to 253); its failures are ignored.
    virtual std::chrono::milliseconds sendReadAt253() = 0;
    // Takes the reply of 253 and decodes it into the meters table by ID.
    virtual Reply253 takeAndDecode253() = 0;
    // Gives the controls back and releases the link; logs the end line.
    virtual void endOfSearch() = 0;
    // Waits time, or less when the search is cancelled.
    virtual void wait(std::chrono::milliseconds time) = 0;
};

// The search body: steps the masks in the order lsbFirst gives, reads every meter that
// answers a mask alone, descends where several do, then runs the end step. stop
// (StopSecondary) is read before every step and set by every failure and at the end; cancel
// ends the search without its end step (the window that hosts it is going away).
class SecondarySearch {
public:
    SecondarySearch(SecondarySearchHost& host, std::atomic<bool>& stop, bool lsbFirst,
                    std::stop_token cancel = {});

    void run();

private:
    bool stopped() const;
    void say(const std::string& line);
    void fail(const std::string& line);
    // Sets the digit, sends the select frame, waits and reads the answer; nothing when the
    // search must end (a failure, or no connection), StopSecondary then set.
    std::optional<std::string> selectStep(int position, std::uint8_t value, SearchMask& mask,
                                          bool clearReplyTexts);
    void searchNextDigit(int position, SearchMask& mask);
    bool readSelected253();
    int lastPosition() const { return lsbFirst_ ? 8 : 1; }

    SecondarySearchHost& host_;
    std::atomic<bool>& stop_;
    bool lsbFirst_;
    std::stop_token cancel_;
    std::chrono::milliseconds wait_ {0};
};

#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Faults of one simulated meter; each can be switched at any time.
struct SimFaults {
    bool silent = false;                   // hears and obeys every frame, answers none
    std::chrono::milliseconds late {0};    // every answer goes out this much later
    bool wrongChecksum = false;            // telegrams go out with a damaged sum
    bool e5InsteadOfTelegram = false;      // answers REQ_UD2 with E5

    bool operator==(const SimFaults&) const = default;
};

// One M-Bus slave: its model (primary address, identification number, manufacturer,
// version, medium, selection state, baud rate) and the RSP_UD telegram it answers with.
//
// The telegram is built from record bytes behind a 12-byte variable-data header made from
// the model, or taken from a recorded long frame; in a recorded frame the address byte
// follows the model, a CI 72 header takes the model's ID, manufacturer, version and medium,
// the data records stay as recorded, and L and the sum are recomputed.
class SimMeter {
public:
    // Built telegram. `id` is eight hex digits, most significant first ("12345678"; BCD as
    // a meter sends it, though other nibbles are kept as given); `manufacturer` three
    // letters A-Z; `records` the record bytes after the header (at most 240).
    // Throws std::invalid_argument on a bad field.
    SimMeter(std::uint8_t address, std::string_view id, std::string_view manufacturer,
             std::uint8_t version, std::uint8_t medium, std::string records = {});

    // Recorded telegram (a long frame: 68 L L 68 C A CI .. CS 16 with L = size - 6). With CI
    // 72 the model takes ID, manufacturer, version and medium from its header; with any
    // other CI they are zero until set. Throws std::invalid_argument when it is no long frame.
    static SimMeter fromTelegram(std::uint8_t address, std::string frame);

    std::uint8_t address() const { return address_; }
    std::uint32_t id() const { return id_; }          // the eight digits as nibbles, 0x12345678
    std::string idText() const;                       // "12345678"
    std::uint16_t manufacturerCode() const { return manufacturer_; }
    std::string manufacturer() const;                 // three letters
    std::uint8_t version() const { return version_; }
    std::uint8_t medium() const { return medium_; }
    bool selected() const { return selected_; }
    unsigned baud() const { return baud_; }           // 2400 until a baud frame changes it
    unsigned applicationResets() const { return resets_; }
    const SimFaults& faults() const { return faults_; }
    bool recorded() const { return recorded_; }

    void setAddress(std::uint8_t address) { address_ = address; }
    void setId(std::uint32_t id) { id_ = id; }
    void setId(std::string_view id);                  // eight hex digits
    void setManufacturer(std::string_view letters);
    void setManufacturerCode(std::uint16_t code) { manufacturer_ = code; }
    void setVersion(std::uint8_t version) { version_ = version; }
    void setMedium(std::uint8_t medium) { medium_ = medium; }
    void setSelected(bool selected) { selected_ = selected; }
    void setBaud(unsigned baud) { baud_ = baud; }
    void countApplicationReset() { ++resets_; }
    void setFaults(const SimFaults& faults) { faults_ = faults; }

    // The RSP_UD long frame for the current model, with a correct sum (faults not applied).
    std::string telegram() const;

    // Whether the eight bytes of a selection (ID least significant byte first, manufacturer
    // low byte first, version, medium) name this meter: an ID nibble F and a byte FF of
    // the other fields match anything.
    bool matchesSelection(std::string_view selection) const;

    // Applies the data records of a CI 51 SND_UD: DIF 01 VIF 7A new primary address, DIF 0C
    // VIF 79 new ID (BCD), DIF 07 VIF 79 new ID, manufacturer, version and medium (an ID
    // nibble F or a byte FF keeps what the meter has), DIF 0C or 04 VIF 13 a counter value,
    // which becomes the value of the telegram's first VIF 13 record (in that record's coding).
    // Gives one line per record: what it changed, or why it was left alone.
    std::vector<std::string> applyRecords(std::string_view data);

private:
    SimMeter() = default;
    std::string setCounter(unsigned dif, std::string_view value);

    std::uint8_t address_ = 0;
    std::uint32_t id_ = 0;
    std::uint16_t manufacturer_ = 0;
    std::uint8_t version_ = 0;
    std::uint8_t medium_ = 0;
    bool selected_ = false;
    unsigned baud_ = 2400;
    unsigned resets_ = 0;
    SimFaults faults_;
    bool recorded_ = false;
    std::string body_; // built: the record bytes; recorded: the whole frame
};

// Eight hex digits to their nibbles ("1234567A" -> 0x1234567A); throws std::invalid_argument.
std::uint32_t simIdFromText(std::string_view text);
// The nibbles as eight upper-case hex digits.
std::string simIdText(std::uint32_t id);
// Three letters A-Z to the 16-bit manufacturer code; throws std::invalid_argument.
std::uint16_t simManufacturerCode(std::string_view letters);
// The 16-bit code to three letters (each 64 + a five-bit group).
std::string simManufacturerLetters(std::uint16_t code);
// Sets L from the frame's size and recomputes the sum of a long frame in place.
void simSealLongFrame(std::string& frame);
// Whether bytes would pass a master's reply checks: at least eight bytes, the sum from
// the fifth byte to the third-last, the stop byte, and size = L + 6. Start bytes are not
// looked at, as a master does not either.
bool simPassesReplyChecks(std::string_view reply);

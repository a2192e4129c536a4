// The persistent state of the virtual notebook: what its firmware holds
// (security level, passcodes, policy words, owner string), how its
// verification dialog answers, and which faults it injects. Kept in a readable
// text file so that a test, a demo or a person can set up a machine and see
// what the libraries did to it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sim {

using Passcode = std::array<std::uint8_t, 8>;

// One scripted answer of the verification dialog.
struct DialogAnswer {
    enum class Kind {
        Typed,  // the person types Text and presses OK
        Cancel, // the person presses Cancel (outcome 0)
        Fail,   // the library declines without asking (outcome Value)
        Return, // the library answers Value (an error return, or 0x80000000)
        Hold,   // the dialog stays open until aborted, or cancels after Value ms
    };
    Kind kind = Kind::Cancel;
    std::string text;
    std::int64_t value = 0;

    bool operator==(const DialogAnswer&) const = default;
};

// One injected fault; Remaining counts the calls it still affects (-1: every call).
struct Fault {
    enum class Target {
        Request,      // a system request through QSCIGet/QSCISet (connect/disconnect too)
        Open,         // QSCIOpenInterface
        Close,        // QSCICloseInterface
        OneCall,      // QSCIGetWithOpenIF / QSCISetWithOpenIF
        Hardware,     // QHCIFunction on one register
        OwnerCount,   // owner-string chunk replies report Value as their count
        CertifyOpen,  // CertifyOpen answers Value
        Insert,       // QSC_Insert
        Compare,      // QSC_Compare
    };
    enum class Action { Fail, Busy, Completion, Answer };
    enum class Direction { Any, Read, Write };

    Target target = Target::Request;
    Action action = Action::Fail;
    std::uint16_t request = 0;               // Request / Hardware register
    std::optional<std::uint16_t> sub;        // SubRequest to match
    std::optional<std::uint16_t> selector;   // low 16 bits of ValueB to match
    Direction direction = Direction::Any;
    std::int64_t value = 0;                  // completion byte, count or answer
    std::int64_t remaining = -1;

    bool operator==(const Fault&) const = default;
};

// Parses one fault line ("request 0x0602 sub 0x0005 busy 3"); nullopt and a
// reason when it is not understood.
std::optional<Fault> ParseFault(const std::string& text, std::string* error = nullptr);
std::string FormatFault(const Fault& fault);

std::optional<std::vector<DialogAnswer>> ParseAnswers(const std::string& text, std::string* error = nullptr);
std::string FormatAnswers(const std::vector<DialogAnswer>& answers);

// Quoted text with C escapes (\" \\ \r \n \t \xHH), as the state file keeps it.
std::string QuoteText(const std::string& bytes);
std::optional<std::string> UnquoteText(const std::string& quoted);

struct NotebookState {
    // Security level word (one-call read of 0x0600).
    std::uint8_t level = 1;
    std::uint8_t hddClass = 3;
    std::uint8_t levelMajor = 2;
    std::uint8_t levelMinor = 1;
    std::uint8_t insertByte = 1;       // what QSC_Insert answers
    std::uint32_t biosStatus = 0x8;    // hardware register 0x0062; bit 3 "IsBios"
    bool tpm = true;                   // bit 28 of ValueA of the status read

    // Registered passcodes, natural byte order.
    std::optional<Passcode> user, supervisor, hdd;
    int wrongPasscodes = 0;            // consecutive wrong passcodes
    int retryLimit = 3;                // at this count every passcode check answers 0x83

    std::uint32_t statusExtraA = 0, statusExtraB = 0; // more bits of the status read
    bool statusBit21 = false;
    bool bit21OnPolicyWrite = false;

    std::uint32_t pcPolicy = 0x0000002E;
    std::uint32_t userPolicy = 0x0003002E;
    std::uint32_t userPolicyEx = 0;
    std::uint32_t supportMask = 0x003B002E;
    // Policy pages by selector: (ValueB, ValueA).
    std::map<std::uint16_t, std::pair<std::uint32_t, std::uint32_t>> pages{
        {0x0200, {0, 0}}, {0x0281, {0, 0}}, {0x8200, {0, 0}}, {0x8281, {0, 0}}};

    std::uint16_t hddSupport = 0;      // non-zero: the HDD password is not supported
    std::uint32_t hddFlags = 0;

    bool ownerSupported = true;
    std::uint16_t ownerArea = 513;
    std::string owner;                 // area content, trailing zero bytes dropped

    bool realDialog = false;
    int dialogRetries = 3;
    std::string language;              // empty: the user-interface language
    std::vector<DialogAnswer> answers;

    std::vector<Fault> faults;
    std::string journal;               // journal file; empty: none

    // Class 2.1 passcodes: the engine sets ScInfo for LevelMajor.LevelMinor 2.1 with a
    // non-zero QSC_Insert byte, and for 1.1.
    bool PasscodeClass21() const;
    void SetClass21(bool class21);
    std::uint32_t LevelWord() const;
    std::uint32_t StatusB() const;
    std::uint32_t StatusA() const;

    bool operator==(const NotebookState&) const = default;
};

// The text form, complete and with a comment line per section.
std::string Serialize(const NotebookState& state);
// Missing keys keep their defaults; an unknown key or bad value is an error.
std::optional<NotebookState> Parse(const std::string& text, std::string* error = nullptr);
// Applies one "key=value" or "section.key=value" assignment in the file's syntax.
bool Assign(NotebookState& state, const std::string& assignment, std::string* error = nullptr);

std::string PasscodeHex(const Passcode& passcode);
std::optional<Passcode> ParsePasscodeHex(const std::string& hex);

} // namespace sim

// The verification library's side of the 520-byte request exchange: checks
// each request, keeps the texts it was sent, and judges what the person typed
// against the firmware's registered passcodes. How the person is asked (a
// window, or answers from the state file) is the library shell's part.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "FirmwareProtocol.h"
#include "NotebookState.h"

namespace sim {

// Answer of a malformed request or one out of sequence.
inline constexpr std::int32_t kCertifyBadRequest = -2;

// Flags word of CertifyVerify, as this library reads it.
inline constexpr std::uint32_t kAskUser = 0x1;           // the user password proves
inline constexpr std::uint32_t kAskSupervisor = 0x2;     // the supervisor password proves
inline constexpr std::uint32_t kAskPasscode = 0x1000;    // answer with the passcode
inline constexpr std::uint32_t kAskPassVery = 0x10000;   // answer with the PassVery bit

std::uint32_t ReadWord(const std::uint8_t* buffer, std::size_t offset);
void WriteWord(std::uint8_t* buffer, std::size_t offset, std::uint32_t value);

// The check value of a successful close: MD5 of the little-endian 0x800, first 8 bytes.
Passcode CloseCheckValue();

// Which password a prompt asks for: what %Target1% stands for.
enum class TargetKind { Supervisor, User, Password };

// Judges the attempts of one verification.
class CVerifyJudge {
public:
    enum class Verdict { Verified, Retry, RetryLimit };

    CVerifyJudge(std::uint32_t flags, const NotebookState& machine);
    // The passcode of what was typed; one attempt.
    Verdict Attempt(const Passcode& typed);
    std::uint32_t Outcome() const { return m_outcome; }
    const Passcode& VerifiedPasscode() const { return m_passcode; }
    bool Class21() const { return m_class21; }
    int TriesLeft() const { return m_limit - m_wrong; }
    TargetKind Target() const;

private:
    std::uint32_t m_flags;
    std::optional<Passcode> m_user, m_supervisor;
    bool m_class21;
    int m_limit;
    int m_wrong = 0;
    std::uint32_t m_outcome = 0;
    Passcode m_passcode{};
};

// How a verification ended, before it is written into the buffer.
struct VerifyEnd {
    enum class Kind { Verified, RetryLimit, Cancelled, Failed, Returned };
    Kind kind = Kind::Cancelled;
    std::uint32_t outcome = 0;    // Verified: outcome bits; Failed: outcome word
    std::int32_t value = 0;       // Returned: the return value
    Passcode passcode{};
};

// One library instance's exchange state.
class CCertifySession {
public:
    // Open, SetText, Close, Abort and malformed requests; Verify is split in
    // two so that the shell can ask the person in between.
    std::int32_t Handle(std::uint8_t* buffer, std::optional<std::int32_t> openAnswer);
    // Checks a verify request; on success the flags word is returned.
    std::optional<std::uint32_t> BeginVerify(const std::uint8_t* buffer);
    std::int32_t FinishVerify(std::uint8_t* buffer, const VerifyEnd& end);

    bool Verifying() const { return m_verifying; }
    bool AbortRequested() const { return m_abort; }
    std::string Text(const std::string& key) const;
    // Request name for the journal.
    static std::string RequestName(std::uint32_t code);

private:
    bool m_open = false;
    bool m_verifying = false;
    bool m_abort = false;
    std::map<std::string, std::string> m_texts;
};

// The language file's value with a surrounding pair of quotes removed.
std::string StripQuotes(const std::string& value);
// Replaces %Target1% with the target words.
std::string FillTarget(const std::string& text, const std::string& target);
// The words for %Target1% in the language of a language-file section, in
// UTF-8; the English words for a section without its own.
std::string TargetPhrase(const std::string& section, TargetKind kind);
// Section name of the language file for a Windows language identifier;
// "English" for languages without one.
std::string LanguageSection(std::uint16_t langId);

} // namespace sim

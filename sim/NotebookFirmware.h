// The virtual notebook's firmware: how it answers every request block of the
// system and hardware interfaces, decides on password and policy writes, and
// computes passcodes. Platform-free; the libraries are thin shells over it.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "FirmwareProtocol.h"
#include "NotebookState.h"

namespace sim {

// Completion bytes this firmware answers besides done and busy.
inline constexpr std::uint8_t kBadParameter = 0x81;     // unknown request, sub-code, selector or length
inline constexpr std::uint8_t kWrongPasscode = 0x82;    // ValueA low 16 bits: tries left
inline constexpr std::uint8_t kRetryLimit = 0x83;       // ValueA low 16 bits: 0
inline constexpr std::uint8_t kNoRight = 0x84;          // needs supervisor rights
inline constexpr std::uint8_t kAlreadyRegistered = 0x85;
inline constexpr std::uint8_t kNotRegistered = 0x86;
inline constexpr std::uint8_t kNotConnected = 0x88;     // request on a handle without a connection

// Password write sub-codes of request 0x0602 (and the HDD one of 0x0603).
inline constexpr std::uint16_t kSubSetUser = 0x0005;
inline constexpr std::uint16_t kSubSetSupervisor = 0x0006;
inline constexpr std::uint16_t kSubDeleteUser = 0x0009;
inline constexpr std::uint16_t kSubDeleteSupervisor = 0x000B;
inline constexpr std::uint16_t kSubChangeUser = 0x000D;
inline constexpr std::uint16_t kSubChangeSupervisor = 0x000E;
inline constexpr std::uint16_t kSubSetHdd = 0x011C;

// Scan codes of a narrow text on the US layout with the comma rule; the
// libraries under Windows ask the keyboard instead.
std::vector<std::uint8_t> UsScanCodes(const std::string& text);

// Class 2.0 passcode routine (QSC_Compare): 16 bytes, FNV-1a 64-bit of the
// scan codes, then FNV-1a 64-bit of the scan codes in reverse order, each
// little-endian. False for a count outside 1..50.
bool Class20Result(const std::uint8_t* codes, int count, std::uint8_t result[16]);
// The passcode the engine derives from these scan codes on this machine.
Passcode PasscodeOf(const std::vector<std::uint8_t>& codes, bool class21);
// Convenience for scenarios: the passcode of a typed text (US layout).
Passcode PasscodeOfText(const std::string& text, bool class21);

// What one process holds of the system interface: its open handles and the
// one connection, with the temporary supervisor rights granted on it.
struct FirmwareSession {
    std::set<std::uint32_t> handles;
    std::uint32_t nextHandle = 1;
    std::uint32_t connected = 0;   // handle of the connection, 0 when none
    bool temporarySupervisor = false;
};

// One call against the machine. Changed() tells the caller to store the state.
class CFirmware {
public:
    CFirmware(NotebookState& state, FirmwareSession& session) : m_state(state), m_session(session) {}

    bool Open(std::uint32_t& handle);
    bool Close(std::uint32_t handle);
    bool Get(std::uint32_t handle, FirmwareCallBlock& block);
    bool Set(std::uint32_t handle, FirmwareCallBlock& block);
    bool GetWithOpen(FirmwareCallBlock& block);
    bool SetWithOpen(FirmwareCallBlock& block);
    bool Hardware(FirmwareCallBlock& block);
    bool Insert(std::uint8_t* value);
    bool Compare(const std::uint8_t* codes, int count, std::uint8_t* result);

    bool Changed() const { return m_changed; }
    // The first matching fault, consumed; null when none applies.
    const Fault* TakeFault(Fault::Target target, std::uint16_t request = 0, const FirmwareCallBlock* block = nullptr,
                           bool write = false);

private:
    bool Request(std::uint32_t handle, FirmwareCallBlock& block, bool write);
    std::uint8_t Read(FirmwareCallBlock& block);
    std::uint8_t Write(FirmwareCallBlock& block);
    std::uint8_t PasswordWrite(FirmwareCallBlock& block);
    std::uint8_t HddWrite(FirmwareCallBlock& block);
    std::uint8_t PolicyWrite(FirmwareCallBlock& block);
    std::uint8_t TemporaryRights(FirmwareCallBlock& block);
    // Compares a passcode with the expected ones and counts wrong ones.
    std::uint8_t CheckPasscode(FirmwareCallBlock& block, const Passcode& given, std::initializer_list<const Passcode*> accepted);
    bool Locked() const { return m_state.wrongPasscodes >= m_state.retryLimit; }
    bool HasSupervisorRights() const { return !m_state.supervisor || m_session.temporarySupervisor; }

    NotebookState& m_state;
    FirmwareSession& m_session;
    Fault m_taken;
    bool m_changed = false;
};

} // namespace sim

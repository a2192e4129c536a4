// What crosses the boundary to the maker's firmware and verification
// libraries: the 68-byte request block with its codes, and the 520-byte
// request buffer of the verification library. Shared by the engine and by
// the virtual notebook that stands in for those libraries. Little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

struct FirmwareCallBlock {
    std::uint32_t Data0;       // request data; passcode bytes 4..7
    std::uint32_t Data1;       // request data; passcode bytes 0..3
    std::uint8_t Reserved0[8];
    std::uint16_t Request;     // system request code, or hardware register
    std::uint16_t SubRequest;  // sub-code of a write, 0 for reads
    std::uint32_t ValueA;      // first reply value
    std::uint32_t ValueB;      // selector / new value in, second reply value out
    std::uint16_t Function;    // 0x44F3..0x44FF; its high byte is the completion
    std::uint16_t Length;      // length parameter of password writes
    std::uint8_t Reserved1[36];

    // The firmware leaves its verdict in the high byte of Function.
    std::uint8_t Completion() const { return static_cast<std::uint8_t>(Function >> 8); }
    void SetCompletion(std::uint8_t c) { Function = static_cast<std::uint16_t>((Function & 0x00FF) | (c << 8)); }
};

#pragma pack(pop)

static_assert(sizeof(FirmwareCallBlock) == 68);
static_assert(offsetof(FirmwareCallBlock, Data0) == 0);
static_assert(offsetof(FirmwareCallBlock, Data1) == 4);
static_assert(offsetof(FirmwareCallBlock, Request) == 16);
static_assert(offsetof(FirmwareCallBlock, SubRequest) == 18);
static_assert(offsetof(FirmwareCallBlock, ValueA) == 20);
static_assert(offsetof(FirmwareCallBlock, ValueB) == 24);
static_assert(offsetof(FirmwareCallBlock, Function) == 28);
static_assert(offsetof(FirmwareCallBlock, Length) == 30);
static_assert(offsetof(FirmwareCallBlock, Reserved1) == 32);

namespace fw {

// Function words.
inline constexpr std::uint16_t kSystemRead = 0x44F3;
inline constexpr std::uint16_t kSystemWrite = 0x44F4;
inline constexpr std::uint16_t kHardwareRead = 0x44FE;
inline constexpr std::uint16_t kHardwareWrite = 0x44FF;

// Completion bytes.
inline constexpr std::uint8_t kDone = 0x00;
inline constexpr std::uint8_t kBusy = 0x20;

// System interface requests.
inline constexpr std::uint16_t kRequestConnection = 0x0600; // connect/disconnect writes, level one-call read
inline constexpr std::uint16_t kRequestSecurity = 0x0601;   // status read; temporary rights write
inline constexpr std::uint16_t kRequestPassword = 0x0602;
inline constexpr std::uint16_t kRequestHdd = 0x0603;
inline constexpr std::uint16_t kRequestPolicy = 0x0604;

inline constexpr std::uint16_t kSelectorConnect = 0x8002;
inline constexpr std::uint16_t kSelectorDisconnect = 0x0000;
inline constexpr std::uint16_t kSubTemporarySupervisor = 0x0002;
inline constexpr std::uint16_t kSubUserPolicyWrite = 0x0003;

// Hardware registers.
inline constexpr std::uint16_t kRegisterBiosStatus = 0x0062;
inline constexpr std::uint16_t kRegisterOwnerString = 0x0029;

// A passcode travels in a block with its 4-byte halves exchanged: bytes 4..7
// in Data0, bytes 0..3 in Data1.
inline void PutPasscode(FirmwareCallBlock& block, const std::uint8_t passcode[8])
{
    block.Data1 = static_cast<std::uint32_t>(passcode[0]) | static_cast<std::uint32_t>(passcode[1]) << 8 |
                  static_cast<std::uint32_t>(passcode[2]) << 16 | static_cast<std::uint32_t>(passcode[3]) << 24;
    block.Data0 = static_cast<std::uint32_t>(passcode[4]) | static_cast<std::uint32_t>(passcode[5]) << 8 |
                  static_cast<std::uint32_t>(passcode[6]) << 16 | static_cast<std::uint32_t>(passcode[7]) << 24;
}

inline void GetPasscode(std::uint32_t data0, std::uint32_t data1, std::uint8_t passcode[8])
{
    for (int i = 0; i < 4; ++i) {
        passcode[i] = static_cast<std::uint8_t>(data1 >> (8 * i));
        passcode[4 + i] = static_cast<std::uint8_t>(data0 >> (8 * i));
    }
}

} // namespace fw

// The verification library's request buffer: zero-filled before every
// request; the same buffer carries the answer.
namespace certify {

inline constexpr std::size_t kBufferSize = 520;
inline constexpr std::size_t kMaxText = 511;

inline constexpr std::uint32_t kOpen = 0x6E1EAF51;
inline constexpr std::uint32_t kSetText = 0x5A5063DB;
inline constexpr std::uint32_t kVerify = 0x4DADF438;
inline constexpr std::uint32_t kClose = 0x2C434541;
inline constexpr std::uint32_t kAbort = 0xF3A44AFE;

inline constexpr std::uint32_t kOpenSize = 16;
inline constexpr std::uint32_t kVerifySize = 20;
inline constexpr std::uint32_t kCloseSuccessSize = 20;
inline constexpr std::uint32_t kCloseFailureSize = 12;
inline constexpr std::uint32_t kAbortSize = 520;
inline constexpr std::uint32_t kCloseSuccessParameter = 0x800;

// Offsets of the fields.
inline constexpr std::size_t kCodeOffset = 0;
inline constexpr std::size_t kSizeOffset = 4;
inline constexpr std::size_t kParameterOffset = 8; // also the text of a text request
inline constexpr std::size_t kExtraOffset = 12;    // open: 8 or 0; verify answer: passcode; close: check value

// Outcome bits of a successful verify.
inline constexpr std::uint32_t kOutcomeUser = 0x1;
inline constexpr std::uint32_t kOutcomeSupervisor = 0x2;
inline constexpr std::uint32_t kOutcomePasscode = 0x1000;
inline constexpr std::uint32_t kOutcomePassVery = 0x10000;

} // namespace certify

// The keyboard side of passcodes: which scan codes a password may use, and
// the scan codes of the US English layout (set 1 make codes, shift state
// discarded) for hosts without a key-scan service.
#pragma once

#include <cstdint>

namespace scancode {

inline constexpr std::uint8_t kNoKey = 0xFF;
inline constexpr std::uint8_t kComma = 0x33;

// A scan code a password may contain: the digit row, the three letter rows
// with their punctuation, backslash and the space bar.
inline bool IsLegal(std::uint8_t code)
{
    const auto signedCode = static_cast<std::int8_t>(code);
    if (code == kNoKey || signedCode < 2 || signedCode > 0x39)
        return false;
    switch (code) {
    case 0x0E: case 0x0F: case 0x1C: case 0x1D: case 0x2A: case 0x36: case 0x37: case 0x38:
        return false;
    default:
        return true;
    }
}

// Scan code of a character on the US layout; kNoKey when no key types it.
std::uint8_t UsLayout(unsigned char c);

} // namespace scancode

// The keyboard side of passcodes: which scan codes a password may use, and
// the scan codes of the US English layout (set 1 make codes, shift state
// discarded) for hosts without a key-scan service.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

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

// The longest password, in bytes of its ANSI text.
inline constexpr std::size_t kMaxPasswordBytes = 50;

// The scan code of one password character, from the key-scan service's
// answer for its OEM form: the low byte, the shift state discarded. A comma
// that no key of the layout types is the comma key.
inline std::uint8_t FromKeyScan(std::uint32_t answer, char original)
{
    const auto code = static_cast<std::uint8_t>(answer & 0xFF);
    return code == kNoKey && original == ',' ? kComma : code;
}

// The scan codes of a password of 1 to 50 bytes: one per byte of its OEM
// text (which has the text's length), looked up by keyScan(oemByte). Any
// other length, or texts of different lengths, gives false and writes nothing.
template <class KeyScan>
bool PasswordScanCodes(std::string_view oem, std::string_view text, KeyScan&& keyScan,
                       std::uint8_t (&codes)[kMaxPasswordBytes])
{
    if (text.empty() || text.size() > kMaxPasswordBytes || oem.size() != text.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        codes[i] = FromKeyScan(keyScan(static_cast<unsigned char>(oem[i])), text[i]);
    return true;
}

// Whether every one of count scan codes may stand in a password. Every code
// is examined: the time taken does not tell where an illegal one stands.
inline bool AllLegal(const std::uint8_t* codes, std::size_t count)
{
    bool legal = true;
    for (std::size_t i = 0; i < count; ++i)
        legal &= IsLegal(codes[i]);
    return legal;
}

} // namespace scancode

// The user-policy word and the nine permission fields that stand for its
// bits. No platform headers: built and tested natively too.
#pragma once

#include <cstdint>

namespace policy {

inline constexpr int kFieldCount = 9;

// Field values: granted, not granted, and "not offered" (when writing:
// leave the bit alone).
inline constexpr int kGranted = 1;
inline constexpr int kDenied = 0;
inline constexpr int kNotOffered = 2;

// Bit of each field, in field order: set, delete, change the user password,
// hardware setup tool, BIOS update, register/delete and change the HDD
// password, TPM on/off, TPM owner clear.
inline constexpr int kBits[kFieldCount] = {1, 2, 3, 16, 17, 5, 19, 20, 21};
inline constexpr int kTpmOnOff = 7;
inline constexpr int kTpmOwnerClear = 8;

// Bit 28 of the security status' second value: the TPM fields are offered.
inline constexpr std::uint32_t kTpmPresent = 1u << 28;

// The word to write: only the lowest bit of a field's value counts; a field
// holding kNotOffered keeps the bit of the base word.
inline std::uint32_t Apply(std::uint32_t base, const std::int32_t (&fields)[kFieldCount])
{
    std::uint32_t word = base;
    for (int i = 0; i < kFieldCount; ++i) {
        if (fields[i] == kNotOffered)
            continue;
        const std::uint32_t bit = 1u << kBits[i];
        word = (fields[i] & 1) ? (word | bit) : (word & ~bit);
    }
    return word;
}

} // namespace policy

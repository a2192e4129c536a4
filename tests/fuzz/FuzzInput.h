// Shared by the fuzz targets: the fuzzer's bytes read as the texts the
// parsers take, and a check that stops the run loudly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

// Pairs of bytes as UTF-16 units (an odd last byte is dropped).
inline std::wstring Wide(const std::uint8_t* data, std::size_t size)
{
    std::wstring text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    return text;
}

// The input cut in two at its first byte 0x00 (the second part empty when
// there is none).
inline std::pair<std::wstring, std::wstring> TwoWide(const std::uint8_t* data, std::size_t size)
{
    std::size_t cut = 0;
    while (cut < size && data[cut] != 0)
        ++cut;
    const std::size_t rest = cut < size ? cut + 1 : size;
    return {Wide(data, cut), Wide(data + rest, size - rest)};
}

[[noreturn]] inline void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline void Check(bool holds, const char* what)
{
    if (!holds)
        Fail(what);
}

} // namespace fuzz

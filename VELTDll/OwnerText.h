// The owner string's text rules: shaping for the small area and taking
// chunk replies apart. No platform headers: built and tested natively too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace owner {

inline constexpr std::size_t kChunkBytes = 8;
inline constexpr std::uint16_t kQBiosArea = 513;
inline constexpr std::uint16_t kSmallArea = 209;

// Fits a text into the 209-byte area: at most 5 lines of at most 40
// characters, long lines broken with CR LF, the rest dropped.
std::string ShapeForSmallArea(const std::string& text);

// Collects the text of a chunked read. Take() returns how far to advance
// the read position; 0 ends the read (an empty chunk or a zero byte).
class ChunkReader {
public:
    std::size_t Take(const std::uint8_t (&chunk)[kChunkBytes], std::uint32_t count);
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

} // namespace owner

#include "OwnerText.h"

namespace owner {

std::string ShapeForSmallArea(const std::string& text)
{
    constexpr int kColumns = 40;
    constexpr int kLines = 5;
    std::string out;
    int column = 0;
    int line = 1;
    for (const char c : text) {
        if (c == '\r') {
            if (line == kLines)
                break;
            out += c;
        } else if (c == '\n') {
            if (line == kLines)
                break;
            out += c;
            column = 0;
            ++line;
        } else if (c == '\0') {
            out += c;
            break;
        } else if (++column > kColumns) {
            if (line == kLines)
                break;
            out += "\r\n";
            out += c;
            ++line;
            column = 1;
        } else {
            out += c;
        }
    }
    return out;
}

std::size_t ChunkReader::Take(const std::uint8_t (&chunk)[kChunkBytes], std::uint32_t count)
{
    // A chunk holds 8 bytes whatever count the firmware claims.
    const std::size_t taken = count < kChunkBytes ? count : kChunkBytes;
    for (std::size_t i = 0; i < taken; ++i) {
        if (chunk[i] == 0)
            return 0;
        m_text += static_cast<char>(chunk[i]);
    }
    return taken;
}

} // namespace owner

#include "ScanCodes.h"

#include <cstring>
#include <initializer_list>

namespace scancode {

std::uint8_t UsLayout(unsigned char c)
{
    struct Row {
        std::uint8_t first;
        const char* unshifted;
        const char* shifted;
    };
    static const Row rows[] = {
        {0x02, "1234567890-=", "!@#$%^&*()_+"},
        {0x10, "qwertyuiop[]", "QWERTYUIOP{}"},
        {0x1E, "asdfghjkl;'`", "ASDFGHJKL:\"~"},
        {0x2B, "\\", "|"},
        {0x2C, "zxcvbnm,./", "ZXCVBNM<>?"},
        {0x39, " ", " "},
    };
    if (c == 0)
        return kNoKey;
    for (const Row& row : rows) {
        for (const char* keys : {row.unshifted, row.shifted}) {
            if (const char* at = std::strchr(keys, static_cast<char>(c)))
                return static_cast<std::uint8_t>(row.first + (at - keys));
        }
    }
    switch (c) {
    case '\t': return 0x0F;
    case '\b': return 0x0E;
    case '\r': return 0x1C;
    default: return kNoKey;
    }
}

} // namespace scancode

// The owner string: shaping any text for the small area, and reading a
// chunked reply whatever the firmware put in it.
#include <algorithm>
#include <cstring>

#include "FuzzInput.h"
#include "OwnerText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string shaped = owner::ShapeForSmallArea(text);
    fuzz::Check(shaped.size() <= text.size() * 3 + 2, "shaping adds only line breaks");

    // The reply: chunks of a count byte and eight text bytes, read until the
    // reader says stop, at most as many as the firmware's area holds.
    owner::ChunkReader reader;
    std::size_t position = 0, offset = 0;
    while (offset + 1 + owner::kChunkBytes <= size && position < owner::kQBiosArea) {
        std::uint8_t chunk[owner::kChunkBytes];
        std::memcpy(chunk, data + offset + 1, owner::kChunkBytes);
        const std::size_t advance = reader.Take(chunk, data[offset]);
        fuzz::Check(advance <= owner::kChunkBytes, "a chunk advances at most its size");
        if (advance == 0)
            break;
        position += advance;
        offset += 1 + owner::kChunkBytes;
    }
    fuzz::Check(reader.Text().size() <= position + owner::kChunkBytes, "the text is what the chunks held");
    return 0;
}

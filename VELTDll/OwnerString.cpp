// The owner string: read and written through the hardware interface in
// chunks of up to 8 bytes.
#include <windows.h>

#include <oleauto.h>

#include <algorithm>
#include <cstring>

#include "DbgLog.h"
#include "EnginePlatform.h"
#include "OwnerText.h"
#include "PassWordFUN.h"

namespace {

constexpr int kFail = static_cast<int>(E_FAIL);

void SetPosition(FirmwareCallBlock& block, std::uint32_t position)
{
    block.Data1 = (block.Data1 & 0xFFFF0000u) | (position & 0xFFFFu);
}

// A chunk travels as bytes 0..3 in ValueA and 4..7 in Data0, memory order.
void ChunkOf(const FirmwareCallBlock& block, std::uint8_t (&chunk)[owner::kChunkBytes])
{
    std::memcpy(chunk, &block.ValueA, 4);
    std::memcpy(chunk + 4, &block.Data0, 4);
}

} // namespace

// The size query: the area size is the high half of ValueB.
int PassWordFUN::ReadOwnerStringSize(WORD* size)
{
    FirmwareCallBlock block{};
    block.Request = fw::kRegisterOwnerString;
    SetPosition(block, 0);
    if (!QHCIGetFunction(&block))
        return 0;
    *size = static_cast<WORD>(block.ValueB >> 16);
    return 1;
}

int PassWordFUN::GetOwnerString(BSTR* ownerString)
{
    DL_SCOPE(DL_INF, "PassWordFUN::GetOwnerString");
    const auto fail = [&] {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", kFail);
        return kFail;
    };
    WORD size = 0;
    if (!ReadOwnerStringSize(&size))
        return fail();
    DL_LOG(DL_INF).Print("get the size of OwnerString");
    if (!ReadOwnerStringSize(&size))
        return fail();

    DL_LOG(DL_INF).Print("get OwnerString");
    owner::ChunkReader reader;
    FirmwareCallBlock block{}; // reused: only function, register and position are set
    // Every round advances by at least one byte and the position is wider
    // than the size, so no answer can keep the loop going past the area.
    for (std::uint32_t position = 0; position < size;) {
        block.Request = fw::kRegisterOwnerString;
        SetPosition(block, position);
        if (!QHCIGetFunction(&block))
            return fail();
        std::uint8_t chunk[owner::kChunkBytes] = {};
        ChunkOf(block, chunk);
        const std::size_t advance = reader.Take(chunk, block.ValueB & 0xFFFF);
        if (advance == 0)
            break;
        position += static_cast<std::uint32_t>(advance);
    }

    const std::wstring wide = m_platform.AnsiToWide(reader.Text());
    *ownerString = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return 0;
}

int PassWordFUN::SetOwnerString(const wchar_t* ownerString)
{
    DL_SCOPE(DL_INF, "PassWordFUN::SetOwnerString");
    const auto fail = [&](int code) {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", code);
        return code;
    };
    std::string text = m_platform.WideToAnsi(ownerString);

    DL_LOG(DL_INF).Print("check Owner String supported or not");
    WORD size = 0;
    if (!ReadOwnerStringSize(&size))
        return fail(8);
    DL_LOG(DL_INF).Print("check Max number of OwnerString");
    if (!ReadOwnerStringSize(&size))
        return fail(kFail);

    int result = 0;
    if (size == owner::kQBiosArea) {
        DL_LOG(DL_INF).Print("Q-BIOS");
    } else if (size == owner::kSmallArea) {
        text = owner::ShapeForSmallArea(text);
        result = 107;
    } else {
        DL_LOG(DL_INF).Print("Others : handle as Q-BIOS");
    }

    DL_LOG(DL_INF).Print("set Owner String");
    const auto write = [&](std::uint32_t position, const char* bytes, std::size_t count) {
        std::uint8_t chunk[owner::kChunkBytes] = {};
        std::memcpy(chunk, bytes, count);
        FirmwareCallBlock block{};
        block.Request = fw::kRegisterOwnerString;
        SetPosition(block, position);
        block.ValueB = static_cast<DWORD>(count);
        std::memcpy(&block.ValueA, chunk, 4);
        std::memcpy(&block.Data0, chunk + 4, 4);
        return QHCISetFunction(&block);
    };
    std::uint32_t position = 0;
    for (std::size_t at = 0; at < text.size(); at += owner::kChunkBytes) {
        const std::size_t count = std::min(owner::kChunkBytes, text.size() - at);
        if (!write(position, text.data() + at, count))
            return fail(kFail); // the chunks before stay, without a terminator
        position += static_cast<std::uint32_t>(count);
    }
    const char terminator = '\0';
    if (!write(position, &terminator, 1))
        return fail(kFail);
    return result;
}

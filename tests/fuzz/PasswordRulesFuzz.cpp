// Password rules: scan codes on the US layout and from arbitrary key-scan
// answers, the legality test against the list of keys a password may use,
// and the passcode's layout inside a firmware call block.
//
// Input: byte 0 picks the shift state reported with each answer and which
// bytes the layout has no key for (those whose low three bits equal its
// own, so that a comma may lack its key), the next 8 bytes are a passcode,
// the rest is a password text. Its OEM form is the text with every byte
// rotated by byte 0's top bit, so that the lookup may see other bytes than
// the comma rule does.
#include <cstring>

#include "FirmwareProtocol.h"
#include "FuzzInput.h"
#include "ScanCodes.h"

namespace {

// The legal scan codes, written out as the keys they are.
bool OnAPasswordKey(std::uint8_t code)
{
    const bool digitRow = code >= 0x02 && code <= 0x0D;
    const bool topRow = code >= 0x10 && code <= 0x1B;
    const bool homeRow = code >= 0x1E && code <= 0x29;
    const bool bottomRow = code >= 0x2B && code <= 0x35; // backslash, z .. slash
    return digitRow || topRow || homeRow || bottomRow || code == 0x39;
}

void CheckLayout()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    for (int c = 0; c < 256; ++c) {
        const std::uint8_t code = scancode::UsLayout(static_cast<unsigned char>(c));
        if (c >= 0x80 || c == 0)
            fuzz::Check(code == scancode::kNoKey, "no key types NUL or a character above ASCII");
        if (c >= 0x21 && c < 0x7F)
            fuzz::Check(code != scancode::kNoKey && OnAPasswordKey(code), "every printable character is on a key");
    }
    for (int code = 0; code < 256; ++code)
        fuzz::Check(scancode::IsLegal(static_cast<std::uint8_t>(code)) == OnAPasswordKey(static_cast<std::uint8_t>(code)),
                    "legal exactly on the password keys");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckLayout();
    if (size < 9)
        return 0;
    const std::uint32_t shift = static_cast<std::uint32_t>(data[0] & 0x70) << 4;
    const unsigned keyless = data[0] & 7;
    const unsigned char rotate = data[0] >> 7;
    std::uint8_t passcode[8];
    std::memcpy(passcode, data + 1, 8);
    const std::string text(reinterpret_cast<const char*>(data + 9), size - 9);
    std::string oem = text;
    for (char& c : oem)
        c = static_cast<char>(static_cast<unsigned char>(c) + rotate);

    // Scan codes: one per byte, the shift state never in them, the comma rule.
    std::uint8_t codes[scancode::kMaxPasswordBytes];
    std::memset(codes, 0xA5, sizeof codes);
    const auto layout = [&](unsigned char c) {
        return (c & 7u) == keyless ? scancode::kNoKey : scancode::UsLayout(c);
    };
    const auto keyScan = [&](unsigned char c) -> std::uint32_t {
        const std::uint8_t code = layout(c);
        return code == scancode::kNoKey ? 0xFFFFFFFFu : (code | shift);
    };
    std::uint8_t unused[scancode::kMaxPasswordBytes];
    fuzz::Check(!scancode::PasswordScanCodes(oem + "x", text, keyScan, unused), "texts of different lengths are refused");
    const bool made = scancode::PasswordScanCodes(oem, text, keyScan, codes);
    fuzz::Check(made == (!text.empty() && text.size() <= scancode::kMaxPasswordBytes), "lengths 1 to 50 only");
    if (!made) {
        for (std::uint8_t b : codes)
            fuzz::Check(b == 0xA5, "nothing written for a refused length");
    } else {
        bool everyKey = true;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const std::uint8_t looked = layout(static_cast<unsigned char>(oem[i]));
            const std::uint8_t expect = looked == scancode::kNoKey && text[i] == ',' ? scancode::kComma : looked;
            fuzz::Check(codes[i] == expect, "the looked-up key, or the comma key");
            everyKey = everyKey && OnAPasswordKey(expect);
        }
        for (std::size_t i = text.size(); i < scancode::kMaxPasswordBytes; ++i)
            fuzz::Check(codes[i] == 0xA5, "nothing written past the text");
        fuzz::Check(scancode::AllLegal(codes, text.size()) == everyKey, "legal when every key is a password key");
    }

    // The passcode in a block: bytes 4..7 first, then 0..3, and back.
    FirmwareCallBlock block;
    std::memset(&block, 0x5C, sizeof block);
    fw::PutPasscode(block, passcode);
    unsigned char raw[sizeof block];
    std::memcpy(raw, &block, sizeof block);
    fuzz::Check(std::memcmp(raw, passcode + 4, 4) == 0 && std::memcmp(raw + 4, passcode, 4) == 0,
                "halves exchanged at offsets 0 and 4");
    for (std::size_t i = 8; i < sizeof raw; ++i)
        fuzz::Check(raw[i] == 0x5C, "nothing else in the block changes");
    std::uint8_t back[8];
    fw::GetPasscode(block.Data0, block.Data1, back);
    fuzz::Check(std::memcmp(back, passcode, 8) == 0, "the passcode reads back");
    return 0;
}

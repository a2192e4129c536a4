// MD5 against the published test vectors, the US scan-code table and the
// legality rule, and the passcode layout inside a request block.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Cmd5.h"
#include "FirmwareProtocol.h"
#include "ScanCodes.h"

namespace {

std::string HexDigest(const std::string& input)
{
    Cmd5 md5;
    md5.Digest(input.data(), input.size());
    std::string hex;
    char piece[3];
    for (int i = 0; i < 16; ++i) {
        std::snprintf(piece, sizeof piece, "%02x", md5.Digest()[i]);
        hex += piece;
    }
    return hex;
}

} // namespace

TEST(Cmd5, Rfc1321TestSuite)
{
    const std::pair<std::string, std::string> vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [input, digest] : vectors)
        EXPECT_EQ(HexDigest(input), digest) << '"' << input << '"';
}

TEST(Cmd5, RunsAreIndependentAndChunkingDoesNotMatter)
{
    Cmd5 md5;
    md5.Digest("abc", 3);
    md5.Digest("a", 1); // a second run starts afresh
    EXPECT_EQ(std::memcmp(md5.Digest(), "\x0c\xc1\x75\xb9", 4), 0);

    const std::string text(200, 'q');
    Cmd5 whole, pieces;
    whole.Digest(text.data(), text.size());
    pieces.Init();
    for (std::size_t at = 0; at < text.size(); at += 7)
        pieces.Update(text.data() + at, std::min<std::size_t>(7, text.size() - at));
    pieces.Final();
    EXPECT_EQ(std::memcmp(whole.Digest(), pieces.Digest(), 16), 0);
}

TEST(Cmd5, ScanCodesOfAbcGiveTheKnownClass21Passcode)
{
    const unsigned char scanCodes[] = {0x1E, 0x30, 0x2E};
    Cmd5 md5;
    md5.Digest(scanCodes, sizeof scanCodes);
    const unsigned char expected[8] = {0x07, 0xDF, 0x8E, 0x49, 0x3A, 0x27, 0xE1, 0x93};
    EXPECT_EQ(std::memcmp(md5.Digest(), expected, 8), 0);
}

TEST(ScanCodes, UsLayoutTable)
{
    const std::pair<const char*, std::uint8_t> keys[] = {
        {"1!", 0x02}, {"0)", 0x0B}, {"-_", 0x0C}, {"=+", 0x0D}, {"qQ", 0x10}, {"pP", 0x19}, {"[{", 0x1A},
        {"]}", 0x1B}, {"aA", 0x1E}, {";:", 0x27}, {"'\"", 0x28}, {"`~", 0x29}, {"\\|", 0x2B}, {"zZ", 0x2C},
        {"mM", 0x32}, {",<", 0x33}, {".>", 0x34}, {"/?", 0x35}, {"  ", 0x39}, {"\t\t", 0x0F}, {"\b\b", 0x0E},
        {"\r\r", 0x1C},
    };
    for (const auto& [chars, code] : keys) {
        EXPECT_EQ(scancode::UsLayout(static_cast<unsigned char>(chars[0])), code) << chars;
        EXPECT_EQ(scancode::UsLayout(static_cast<unsigned char>(chars[1])), code) << chars;
    }
    EXPECT_EQ(scancode::UsLayout(0xE9), scancode::kNoKey); // e acute
    EXPECT_EQ(scancode::UsLayout('\n'), scancode::kNoKey);
    EXPECT_EQ(scancode::UsLayout(0), scancode::kNoKey);
}

TEST(ScanCodes, LegalCodesAreTheTypingKeysOnly)
{
    std::string legal;
    for (int code = 0; code < 256; ++code)
        if (scancode::IsLegal(static_cast<std::uint8_t>(code)))
            legal += std::to_string(code) + " ";
    std::string expected;
    for (int code = 0x02; code <= 0x39; ++code) {
        if (code == 0x0E || code == 0x0F || code == 0x1C || code == 0x1D || code == 0x2A || code == 0x36 ||
            code == 0x37 || code == 0x38)
            continue;
        expected += std::to_string(code) + " ";
    }
    EXPECT_EQ(legal, expected);
}

TEST(FirmwareCallBlock, PasscodeHalvesAreExchanged)
{
    const std::uint8_t passcode[8] = {0x07, 0xDF, 0x8E, 0x49, 0x3A, 0x27, 0xE1, 0x93};
    FirmwareCallBlock block{};
    fw::PutPasscode(block, passcode);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&block);
    const std::uint8_t expected[8] = {0x3A, 0x27, 0xE1, 0x93, 0x07, 0xDF, 0x8E, 0x49};
    EXPECT_EQ(std::memcmp(bytes, expected, 8), 0);

    std::uint8_t back[8] = {};
    fw::GetPasscode(block.Data0, block.Data1, back);
    EXPECT_EQ(std::memcmp(back, passcode, 8), 0);
}

TEST(FirmwareCallBlock, CompletionIsTheHighByteOfFunction)
{
    FirmwareCallBlock block{};
    block.Function = fw::kSystemWrite;
    EXPECT_EQ(block.Completion(), 0x44);
    block.SetCompletion(fw::kBusy);
    EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(&block)[28], 0xF4);
    EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(&block)[29], 0x20);
}

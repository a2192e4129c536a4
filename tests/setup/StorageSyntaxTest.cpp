// The INI value syntax and the section hierarchy, platform-free.
#include <gtest/gtest.h>

#include "StorageSyntax.h"

using namespace storage::syntax;

TEST(StorageSyntax, IntegersReadInEveryNotation)
{
    struct Row {
        const wchar_t* text;
        bool ok;
        std::int32_t value;
    };
    const Row rows[] = {
        {L"dword:1F", true, 31},
        {L"0x1F", true, 31},
        {L"31", true, 31},
        {L"0X1F", true, 0},          // prefixes are case-sensitive: decimal 0
        {L"DWORD:1F", false, 0},     // not the prefix, and no decimal digit
        {L"dword:ffffffff", true, -1},
        {L"-12", true, -12},
        {L"  7", true, 7},
        {L"12abc", true, 12},
        {L"abc", false, 0},
        {L"", false, 0},
        {L"dword:", false, 0},
        {L"0x", false, 0},
        {L"4294967297", true, 1},    // wraps as the C runtime does
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "value " << testing::PrintToString(std::wstring(row.text)));
        std::int32_t out = 12345;
        EXPECT_EQ(ParseInt(row.text, out), row.ok);
        EXPECT_EQ(out, row.ok ? row.value : 12345);
    }
    EXPECT_EQ(FormatInt(-5), L"-5");
}

TEST(StorageSyntax, EscapesRoundTripAndLoneBackslashesStay)
{
    const std::wstring text = L"a\tb\nc\\d\v\b\r\f\a";
    const std::wstring escaped = Escape(text);
    EXPECT_EQ(escaped, L"a\\tb\\nc\\\\d\\v\\b\\r\\f\\a");
    EXPECT_EQ(Unescape(escaped), text);

    struct Row {
        const wchar_t* raw;
        const wchar_t* text;
    };
    const Row rows[] = {
        {L"C:\\temp\\logs", L"C:\temp\\logs"},       // \t decodes, \l stays
        {L"C:\\\\temp\\\\logs", L"C:\\temp\\logs"},
        {L"end\\", L"end\\"},                         // a trailing backslash stays
        {L"\\\\n", L"\\n"},                           // left to right: \\ first
        {L"\\x\\q", L"\\x\\q"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Unescape(row.raw), row.text) << testing::PrintToString(std::wstring(row.raw));
}

TEST(StorageSyntax, ByteLists)
{
    EXPECT_EQ(FormatBinary({0x00, 0xAB}), L"hex:00,AB");
    EXPECT_EQ(FormatBinary({0x7}), L"hex:07");
    EXPECT_EQ(FormatBinary({}), L"");

    struct Row {
        const wchar_t* text;
        bool ok;
        std::vector<std::uint8_t> bytes;
    };
    const Row rows[] = {
        {L"hex:00,AB", true, {0x00, 0xAB}},
        {L"junk hex:01,02,03", true, {1, 2, 3}},
        {L"hex:", true, {}},
        {L"hex:A", true, {}},               // fewer than two characters remain
        {L"hex:zz,10", true, {0x00, 0x10}}, // an unreadable pair is 0
        {L"hex:12;34,56", true, {0x34, 0x56}}, // a pair not followed by a comma is skipped
        {L"hex:12,", true, {0x12}},
        {L"00,AB", false, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.text)));
        std::vector<std::uint8_t> out = {0xEE}; // appended to, never cleared
        EXPECT_EQ(ParseBinary(row.text, out), row.ok);
        std::vector<std::uint8_t> expected = {0xEE};
        expected.insert(expected.end(), row.bytes.begin(), row.bytes.end());
        EXPECT_EQ(out, expected);
    }
}

TEST(StorageSyntax, SectionHierarchy)
{
    EXPECT_EQ(JoinSection(L"", L""), L"");
    EXPECT_EQ(JoinSection(L"", L"b"), L"b");
    EXPECT_EQ(JoinSection(L"a", L""), L"a");
    EXPECT_EQ(JoinSection(L"a", L"b"), L"a\\b");

    EXPECT_TRUE(IsDescendant(L"App", L"app\\x\\y"));
    EXPECT_FALSE(IsDescendant(L"App", L"Apple\\x"));
    EXPECT_FALSE(IsDescendant(L"App", L"App"));
    EXPECT_EQ(DirectChildName(L"App", L"APP\\Child"), std::optional<std::wstring>(L"Child"));
    EXPECT_EQ(DirectChildName(L"App", L"App\\Child\\Grand"), std::nullopt);
    EXPECT_EQ(DirectChildName(L"App", L"Other\\Child"), std::nullopt);
}

TEST(StorageSyntax, IniPathsResolveAgainstTheProgramFolder)
{
    const std::wstring folder = L"C:\\prog";
    EXPECT_EQ(ResolveIniPath(L"D:\\x.ini", folder), L"D:\\x.ini");
    EXPECT_EQ(ResolveIniPath(L"\\\\server\\share\\x.ini", folder), L"\\\\server\\share\\x.ini");
    EXPECT_EQ(ResolveIniPath(L"x.ini", folder), L"C:\\prog\\x.ini");
    EXPECT_EQ(ResolveIniPath(L"sub\\x.ini", folder), L"C:\\prog\\sub\\x.ini");
    EXPECT_EQ(ResolveIniPath(L"\\x.ini", folder), L"C:\\prog\\x.ini");
    EXPECT_EQ(ResolveIniPath(L"a", folder), L"C:\\prog\\a");
    EXPECT_EQ(ResolveIniPath(L"\\\\", folder), L"C:\\prog\\"); // two characters: not a UNC path
}

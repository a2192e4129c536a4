// The platform-free rules of the diagnostic log.
#include <gtest/gtest.h>

#include "DbgLogFormat.h"

using namespace DL::fmt;

TEST(DbgLogFormat, SettingsNormalisation)
{
    struct Row {
        int raw;
        int libraryLevel, setupLevel, destination, timeFormat;
    };
    const Row rows[] = {
        {0, 0, 0, 0, 0}, {1, 1, 1, 1, 1}, {2, 2, 2, 2, 2}, {3, 3, 3, 3, 3},
        {4, 0, 3, 4, 1}, {5, 0, 3, 2, 1}, {7, 0, 3, 2, 1}, {-1, 0, 3, 2, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.raw);
        EXPECT_EQ(NormaliseLevel(r.raw, Build::Library), r.libraryLevel);
        EXPECT_EQ(NormaliseLevel(r.raw, Build::Setup), r.setupLevel);
        EXPECT_EQ(NormaliseDestination(r.raw), r.destination);
        EXPECT_EQ(NormaliseTimeDateFormat(r.raw), r.timeFormat);
    }
    EXPECT_EQ(DefaultLevel(Build::Library), 0);
    EXPECT_EQ(DefaultLevel(Build::Setup), 3);
}

TEST(DbgLogFormat, FilterNeedsADestinationAndALowEnoughLevel)
{
    Settings s;
    s.level = 2;
    EXPECT_TRUE(Passes(s, 0));
    EXPECT_TRUE(Passes(s, 2));
    EXPECT_FALSE(Passes(s, 3));
    s.destination = kDestNone;
    EXPECT_FALSE(Passes(s, 0));
}

TEST(DbgLogFormat, PrefixShapeAndSourceFile)
{
    EXPECT_EQ(Prefix<char>("c:\\src\\veltdll\\a.cpp", 12, "", 2, " (PassWordFUN::Init)", 0),
              "a.cpp(12):  [INF] (PassWordFUN::Init): ");
    EXPECT_EQ(Prefix<char>("c:\\src\\a.cpp", 7, "cat", 0, " (F)", 1), "c:\\src\\a.cpp(7): cat [ERR] (F): ");
    EXPECT_EQ(Prefix<wchar_t>(L"VELTDll/b.cpp", -3, L"", 3, L" (G)", 0), L"b.cpp(-3):  [TRC] (G): ");
    EXPECT_EQ(std::string(SourceFileShown<char>("plain.cpp", 0)), "plain.cpp");
    EXPECT_EQ(std::string(SourceFileShown<char>("dir\\", 0)), "");
    EXPECT_STREQ(LevelName(1), "WRN");
}

TEST(DbgLogFormat, LineIsCutAt510AndEndsWithLineFeed)
{
    const std::string stamp = "12:00:00.000: ";
    const std::string prefix = "f.cpp(1):  [ERR] (F): ";
    const std::string shortLine = ComposeLine<char>(stamp, prefix, "hello");
    EXPECT_EQ(shortLine, stamp + prefix + "hello\n");

    const std::string cut = ComposeLine<char>(stamp, prefix, std::string(600, 'm'));
    EXPECT_EQ(cut.size(), 511u);
    EXPECT_EQ(cut.back(), '\n');
    EXPECT_EQ(cut.substr(0, stamp.size() + prefix.size()), stamp + prefix);

    // A prefix that alone fills the line leaves no room for the message.
    const std::wstring full = ComposeLine<wchar_t>(L"", std::wstring(520, L'p'), L"lost");
    EXPECT_EQ(full, std::wstring(510, L'p') + L"\n");
    EXPECT_EQ(ComposeLine<char>("", "", std::string(510, 'x')), std::string(510, 'x') + "\n");
}

TEST(DbgLogFormat, TimeStamps)
{
    EXPECT_EQ(MillisecondsSuffix(7), ".007: ");
    EXPECT_EQ(MillisecondsSuffix(999), ".999: ");
    EXPECT_EQ(ElapsedStamp(1000, 1000), "0.000: ");
    EXPECT_EQ(ElapsedStamp(1000, 63456), "62.456: ");
    EXPECT_EQ(ElapsedStamp(0xFFFFFF00u, 0x00000100u), "0.512: "); // the tick counter wrapped
}

TEST(DbgLogFormat, HexDumpRows)
{
    const unsigned char abc[] = {0x41, 0x42, 0x0A};
    const auto rows = HexDumpRows(abc, 3);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], " 0000 : 41 42 0A " + std::string(15, ' ') + " " + std::string(24, ' ') + " : AB." +
                           std::string(13, ' ') + "\n");

    unsigned char many[33];
    for (int i = 0; i < 33; ++i)
        many[i] = static_cast<unsigned char>(0x20 + i);
    const auto three = HexDumpRows(many, 33);
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[1].substr(0, 8), " 0010 : ");
    EXPECT_EQ(three[2].substr(0, 11), " 0020 : 40 ");
    EXPECT_EQ(three[0], " 0000 : 20 21 22 23 24 25 26 27  28 29 2A 2B 2C 2D 2E 2F  :  !\"#$%&'()*+,-./\n");

    EXPECT_TRUE(HexDumpRows(nullptr, 4).empty());
    EXPECT_TRUE(HexDumpRows(abc, 0).empty());
    EXPECT_TRUE(HexDumpRows(abc, -1).empty());
}

TEST(DbgLogFormat, SystemTextLosesItsLastLineFeed)
{
    EXPECT_EQ(WithoutLastLineFeed<char>("Access is denied.\r\n"), "Access is denied.\r");
    EXPECT_EQ(WithoutLastLineFeed<char>("two\nlines\n"), "two\nlines");
    EXPECT_EQ(WithoutLastLineFeed<wchar_t>(L"none"), L"none");
}

TEST(DbgLogFormat, SetupLogFileNameAndParentPath)
{
    EXPECT_EQ(SetupLogFileName(L"C:\\Logs", L"Prod", L"1.0", {2026, 3, 4, 5, 6, 7}),
              L"C:\\Logs\\Prod_1.0_20260304050607_setup_log.txt");
    EXPECT_EQ(SetupLogFileName(L"%TEMP%", L"", L"", {2026, 12, 31, 23, 59, 59}),
              L"%TEMP%\\__20261231235959_setup_log.txt");
    EXPECT_EQ(ParentPath<wchar_t>(L"C:\\a\\b"), L"C:\\a");
    EXPECT_EQ(ParentPath<wchar_t>(L"C:"), L"");
    EXPECT_EQ(ParentPath<char>("\\top"), "");
}

// The launcher's platform-free decisions.
#include <gtest/gtest.h>

#include "SetupLogic.h"

using namespace setup;

TEST(SetupLogic, SectionsAreClassifiedByTheFirstMatchingTest)
{
    struct Row {
        const wchar_t* name;
        SectionKind kind;
    };
    const Row rows[] = {
        {L"GENERAL", SectionKind::General},
        {L"General", SectionKind::Ignored},
        {L"VORP", SectionKind::VORP},
        {L"OPERATOR", SectionKind::Operator},
        {L"Operator", SectionKind::Ignored},
        {L"EXECUTE_A", SectionKind::Execute},
        {L"INSTALL_EXECUTE_A", SectionKind::Execute},
        {L"UNLOAD_INSTALL_A", SectionKind::Install},
        {L"X_UNLOAD_Y", SectionKind::Uninstall},
        {L"CHECK_UNLOAD_A", SectionKind::Uninstall},
        {L"MYCHECK_1", SectionKind::Check},
        {L"install_a", SectionKind::Ignored},
        {L"GENERAL_INSTALL_", SectionKind::Install},
        {L"", SectionKind::Ignored},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ClassifySection(row.name), row.kind) << testing::PrintToString(std::wstring(row.name));
    EXPECT_EQ(OperatorKind(SectionKind::Operator), 0);
    EXPECT_EQ(OperatorKind(SectionKind::Execute), 1);
    EXPECT_EQ(OperatorKind(SectionKind::Install), 2);
    EXPECT_EQ(OperatorKind(SectionKind::Uninstall), 3);
    EXPECT_EQ(OperatorKind(SectionKind::Check), 4);
    EXPECT_EQ(OperatorKind(SectionKind::General), -1);
}

TEST(SetupLogic, FlagsCountOnlyTheOneLetterValues)
{
    for (const wchar_t* yes : {L"Y", L"y"})
        EXPECT_TRUE(IsYes(yes));
    for (const wchar_t* other : {L"Yes", L"1", L"", L"N", L" Y"})
        EXPECT_FALSE(IsYes(other));
    for (const wchar_t* no : {L"N", L"n"})
        EXPECT_TRUE(IsNo(no));
    for (const wchar_t* other : {L"No", L"no", L"", L"0"})
        EXPECT_FALSE(IsNo(other));
}

TEST(SetupLogic, VersionsCompareByFourPaddedParts)
{
    EXPECT_EQ(VersionKey(L"1.2.10"), L"000001000002000010000000");
    EXPECT_EQ(VersionKey(L""), std::wstring(24, L'0'));
    EXPECT_EQ(VersionKey(L"1234567.8"), L"234567000008000000000000");
    struct Row {
        const wchar_t* release;
        const wchar_t* installed;
        int result;
    };
    const Row rows[] = {
        {L"1.2.10", L"1.2.9", 1},
        {L"1.2.9", L"1.2.10", -1},
        {L"1.0", L"1.0.0.0", 0},
        {L"2.0", L"2.0.0", 0},
        {L"1.5", L"2.0", -1},
        {L"2.0", L"", 1},              // an absent installed version compares as 0
        {L"", L"0", 0},
        {L"1.2.3.4.9", L"1.2.3.4", 0}, // parts beyond the fourth are ignored
        {L".5", L"0", 0},              // a leading dot ends the text
        {L"1.a", L"1.9", 1},           // compared as code units
    };
    for (const auto& row : rows)
        EXPECT_EQ(VersionCompare(row.release, row.installed), row.result)
            << testing::PrintToString(std::wstring(row.release)) << " vs "
            << testing::PrintToString(std::wstring(row.installed));
}

TEST(SetupLogic, RemoveOnlyCommandKeepsTheUninstallerPath)
{
    struct Row {
        const wchar_t* execute;
        const wchar_t* command;
    };
    const Row rows[] = {
        {L"\"C:\\Path\\setup.exe -runfromtemp -l0x0409 -removeonly\"", L"\"C:\\Path\\setup.exe\" -removeonly"},
        {L"\"C:\\Path\\setup.exe\" -l0x0409", L"\"C:\\Path\\setup.exe\" -removeonly"},
        // Without ".exe": the first quoted token, never beyond the text.
        {L"\"C:\\Path\\uninst\" -x", L"\"C:\\Path\\uninst\" -removeonly"},
        {L"\"C:\\Path\\uninst -x\"", L"\"C:\\Path\\uninst -x\" -removeonly"},
        {L"\"C:\\Path\\uninst", L"\"C:\\Path\\uninst\" -removeonly"},
        {L"\"", L"\"\" -removeonly"},
        {L"", L"\"\" -removeonly"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(RemoveOnlyCommand(row.execute), row.command) << testing::PrintToString(std::wstring(row.execute));
}

TEST(SetupLogic, KeyedPositionsAreTheKeysOfTheCountedList)
{
    const std::vector<std::wstring> keys = {L"STEP_COUNT", L"STEP_00", L"step_150", L"STEP_0150", L"STEP_7",
                                            L"STEP_99", L"STEP_1x0", L"STEP_2147483647", L"STEP_99999999999",
                                            L"STEP_150", L"STEPS_120", L"STEP_", L"STEP_120"};
    EXPECT_EQ(setup::KeyedPositions(keys, L"STEP_", 100, 2147483647), (std::vector<std::int32_t>{120, 150}));
    EXPECT_EQ(setup::KeyedPositions(keys, L"STEP_", 0, 121), (std::vector<std::int32_t>{0, 99, 120}));
    EXPECT_TRUE(setup::KeyedPositions(keys, L"STEP_", 100, 100).empty());
    EXPECT_TRUE(setup::KeyedPositions(keys, L"STEP_", 100, -5).empty());
    EXPECT_TRUE(setup::KeyedPositions({}, L"VORP_GUIDE_", 100, 2147483647).empty());
}


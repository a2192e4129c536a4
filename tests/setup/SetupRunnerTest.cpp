// The launcher's program runner and installed-product test, in-process.
#include <gtest/gtest.h>

#include "Setup.h"
#include "SetupTestHelpers.h"
#include "TestSupport.h"

using namespace pwtest;
using namespace setuptest;

namespace {

class Runner : public testing::Test {
protected:
    void SetUp() override
    {
        wcscpy(theSetup.m_szWorkPath, m_dir.Path().c_str());
        theSetup.m_bSilent = FALSE;
        m_rec = PlaceRecorder(m_dir.Path(), L"rec.exe");
    }
    void TearDown() override { theSetup.m_bSilent = FALSE; }

    TempDir m_dir;
    TempDir m_elsewhere;
    std::wstring m_rec;
};

} // namespace

TEST_F(Runner, StartsTheFormattedLineInTheWorkPathAndReturnsItsExitCode)
{
    SetExitCode(m_rec, 3010);
    // The current directory of the tests is not the work path.
    SetCurrentDirectoryW(m_elsewhere.Path().c_str());
    EXPECT_EQ(theSetup.RunCmd(L"\"%s\\%s\" /a  %d \"%s\"", m_dir.Path().c_str(), L"rec.exe", 42, L"x y"), 3010u);
    SetExitCode(m_rec, -1073741819); // a crash code passes through unchanged
    EXPECT_EQ(theSetup.RunCmd(L"%s", m_rec.c_str()), 0xC0000005u);
    SetCurrentDirectoryW(BinFolder().c_str());

    const auto records = Records(m_rec);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].cmd, "\"" + Narrow(m_rec) + "\" /a  42 \"x y\"");
    EXPECT_EQ(records[0].cwd, Narrow(m_dir.Path()));
    EXPECT_EQ(records[1].cmd, Narrow(m_rec));
}

TEST_F(Runner, ShowStateFollowsSilenceAndTheNoWindowVariant)
{
    struct Row {
        BOOL silent;
        bool noWindow;
        int show;
    };
    const Row rows[] = {
        {FALSE, false, SW_SHOWNORMAL},
        {TRUE, false, SW_HIDE},
        {FALSE, true, SW_HIDE},
        {TRUE, true, SW_HIDE},
    };
    for (const auto& row : rows) {
        theSetup.m_bSilent = row.silent;
        if (row.noWindow)
            theSetup.RunCmdWithNoWnd(L"%s", m_rec.c_str());
        else
            theSetup.RunCmd(L"%s", m_rec.c_str());
    }
    const auto records = Records(m_rec);
    ASSERT_EQ(records.size(), std::size(rows));
    for (std::size_t i = 0; i < records.size(); ++i)
        EXPECT_EQ(records[i].show, rows[i].show) << "row " << i;
}

TEST_F(Runner, ProgramsThatCannotStartOrDoNotFitGiveTheGeneralFailure)
{
    EXPECT_EQ(theSetup.RunCmd(L"\"%s\\absent.exe\"", m_dir.Path().c_str()), 0x80004005u);
    EXPECT_EQ(theSetup.RunCmdWithNoWnd(L"\"%s\\absent.exe\"", m_dir.Path().c_str()), 0x80004005u);

    // 16 639 characters fit the buffer with its terminator; one more does not,
    // and then nothing at all is started (never a cut command).
    const std::wstring head = m_rec + L" ";
    const std::wstring fits = head + std::wstring(16639 - head.size(), L'a');
    const std::wstring tooLong = fits + L"a";
    EXPECT_EQ(theSetup.RunCmd(L"%s", tooLong.c_str()), 0x80004005u);
    EXPECT_TRUE(Records(m_rec).empty());
    EXPECT_EQ(theSetup.RunCmd(L"%s", fits.c_str()), 0u);
    const auto records = Records(m_rec);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].cmd.size(), 16639u);
}

TEST(HasInstalled, LooksForTheUninstallKey)
{
    EXPECT_FALSE(theSetup.HasInstalled(L""));
    const std::wstring code = TestGuid(1);
    EXPECT_FALSE(theSetup.HasInstalled(code));
    {
        TestKey key(kUninstall + code);
        EXPECT_TRUE(theSetup.HasInstalled(code));
    }
    EXPECT_FALSE(theSetup.HasInstalled(code));
}

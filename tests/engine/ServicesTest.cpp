// Restarting, the keyboard layout and the password memo file.
#include "OpsFixture.h"

#include <commdlg.h>

#include <thread>

using namespace ops;
using pwtest::Trace;

TEST_F(Ops, UnloadKeyboardOnlyWhatStartUpLoaded)
{
    for (const LONG flag : {0, 2, 1}) {
        platform.keyboardCalls.clear();
        engine.bUnloadUSLayout = flag;
        Trace trace;
        engine.UnloadKeyboard();
        if (flag == 1) {
            EXPECT_EQ(platform.keyboardCalls, std::vector<std::string>{"unload " + std::to_string(0x04090409)});
            EXPECT_EQ(trace.Lines(), std::vector<std::string>{"[INF] (PassWordFUN::UnloadKeyboard): UnloadKeyboard"});
        } else {
            EXPECT_TRUE(platform.keyboardCalls.empty());
            EXPECT_TRUE(trace.Lines().empty());
        }
    }
    TestPlatform fresh;
    PassWordFUN never(fresh); // start-up never ran
    never.UnloadKeyboard();
    EXPECT_TRUE(fresh.keyboardCalls.empty());
}

TEST_F(Ops, RebootTakesThePrivilegeAndReportsARefusedRestart)
{
    const std::string close = "close " + std::to_string(0x70C);
    struct Row {
        const char* name;
        BOOL token, lookup, enable, restart;
        std::vector<std::string> calls;
    };
    const Row rows[] = {
        {"restart", TRUE, TRUE, TRUE, TRUE, {"token", "lookup SeShutdownPrivilege", "enable 19", close, "restart"}},
        {"refused restart is shown", TRUE, TRUE, TRUE, FALSE,
         {"token", "lookup SeShutdownPrivilege", "enable 19", close, "restart", "message 0 <text of 5>"}},
        {"no token: silent", FALSE, TRUE, TRUE, TRUE, {"token"}},
        {"no privilege name: silent", TRUE, FALSE, TRUE, TRUE, {"token", "lookup SeShutdownPrivilege", close}},
        {"not enabled: silent", TRUE, TRUE, FALSE, TRUE,
         {"token", "lookup SeShutdownPrivilege", "enable 19", close}},
    };
    struct Platform : TestPlatform {
        std::string SystemMessage(DWORD code) override { return "<text of " + std::to_string(code) + ">"; }
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Platform p;
        p.tokenResult = r.token;
        p.lookupResult = r.lookup;
        p.enableResult = r.enable;
        p.restartResult = r.restart;
        p.lastError = ERROR_ACCESS_DENIED;
        PassWordFUN engine(p);
        Trace trace;
        engine.RebootMachine();
        EXPECT_EQ(p.rebootCalls, r.calls);
        EXPECT_TRUE(trace.Lines().empty()) << "no trace lines";
    }
    // The real message text of an error code, as the box would show it.
    EXPECT_NE(DefaultEnginePlatform().SystemMessage(ERROR_ACCESS_DENIED), "");
}

TEST_F(Ops, PasswordFileHoldsExactlyTheAnsiBytes)
{
    pwtest::TempDir dir;
    const std::wstring file = dir / L"memo.txt";
    platform.dialogPath = pwtest::Narrow(file);
    Trace trace;
    EXPECT_EQ(engine.CreatePasswordFile(L"abc"), 111);
    EXPECT_EQ(pwtest::ReadBytes(file), "abc");
    EXPECT_EQ(trace.Messages("PassWordFUN::CreatePasswordFile"), std::vector<std::string>{});
    ASSERT_EQ(platform.dialogs.size(), 1u);
    const auto& d = platform.dialogs[0];
    EXPECT_STREQ(d.defaultExtension, "txt");
    EXPECT_STREQ(d.fileName, "memo.txt");
    EXPECT_EQ(std::string(d.filter, 15), std::string("(*.txt)\0*.txt\0\0", 15));
    EXPECT_TRUE(d.flags & OFN_OVERWRITEPROMPT);
    EXPECT_EQ(platform.driveChanges.size(), 1u) << "the current drive is set back";

    // An existing file is replaced; the ANSI code page decides the bytes.
    EXPECT_EQ(engine.CreatePasswordFile(L"\u00E9t\u00E9"), 111);
    EXPECT_EQ(pwtest::ReadBytes(file), "\xE9t\xE9");
    EXPECT_EQ(engine.CreatePasswordFile(L""), 111);
    EXPECT_EQ(pwtest::ReadBytes(file), "");
}

TEST_F(Ops, PasswordFileCancelAndFailures)
{
    pwtest::TempDir dir;
    const std::wstring file = dir / L"memo.txt";

    // Cancelled: 111 as well, told apart only by the error line; no file.
    platform.dialogPath.clear();
    Trace trace;
    EXPECT_EQ(engine.CreatePasswordFile(L"abc"), 111);
    EXPECT_EQ(trace.Messages("PassWordFUN::CreatePasswordFile"), std::vector<std::string>{"Error Code: 0x6f"});
    EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);

    // A file that cannot be created.
    platform.dialogPath = pwtest::Narrow(dir / L"missing\\memo.txt");
    trace.Mark();
    EXPECT_EQ(engine.CreatePasswordFile(L"abc"), 23);
    EXPECT_EQ(trace.Messages("PassWordFUN::CreatePasswordFile"), std::vector<std::string>{"Error Code: 0x17"});

    // A failed or short write removes the file.
    platform.dialogPath = pwtest::Narrow(file);
    struct Row {
        bool fails, shortWrite;
        DWORD cause;
        int code;
    };
    const Row rows[] = {{true, false, ERROR_WRITE_FAULT, 23}, {false, true, 0, 23}, {true, false, 0, 111}};
    for (const Row& r : rows) {
        platform.writeFails = r.fails;
        platform.shortWrite = r.shortWrite;
        platform.lastError = r.cause;
        platform.driveChanges.clear();
        trace.Mark();
        EXPECT_EQ(engine.CreatePasswordFile(L"abc"), r.code);
        EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES) << "deleted";
        EXPECT_EQ(trace.Messages("PassWordFUN::CreatePasswordFile"),
                  r.code == 23 ? std::vector<std::string>{"Error Code: 0x17"} : std::vector<std::string>{});
        EXPECT_EQ(platform.driveChanges.size(), 1u);
    }
}

namespace {

// The real dialog; everything else as in the other tests.
struct RealDialogPlatform : TestPlatform {
    bool AskSaveFile(const SaveDialog& dialog, std::string& path) override
    {
        return EnginePlatform::AskSaveFile(dialog, path);
    }
};

} // namespace

TEST(PasswordFileDialog, TheRealSaveDialogWritesTheChosenFile)
{
    // The save dialog's file-name field is a combo box, and Wine 8's WoW64
    // mode cannot create one for a 32-bit program: the dialog ends at once.
    // Where that holds this test has nothing to drive (the stand-in dialog
    // of the tests above covers the engine's side in both builds).
    if (!pwtest::SaveDialogsCanOpen())
        GTEST_SKIP() << "this system cannot create a combo box, so no save dialog can open";
    pwtest::TempDir dir;
    pwtest::SaveDialogDriver driver;
    driver.path = dir / L"typed.txt";
    RealDialogPlatform platform;
    PassWordFUN engine(platform);
    std::thread person([&] { driver.Run(); });
    const int code = engine.CreatePasswordFile(L"abc");
    person.join();
    ASSERT_TRUE(driver.typed) << "no save dialog appeared";
    EXPECT_EQ(code, 111);
    EXPECT_EQ(pwtest::ReadBytes(driver.path), "abc");
}

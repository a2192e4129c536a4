// Start-up against the virtual notebook: every result code, what it leaves
// in Role and the verified passcode, and what reached the libraries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "Cmd5.h"
#include "NotebookSupport.h"
#include "OrnPwChkDialog.h"
#include "PassWordFUN.h"
#include "TestPlatform.h"
#include "Trace.h"

using namespace pwtest;

namespace {

// An engine whose install folder is the notebook's; "QHCI.DLL", loaded by
// bare name, is found there through the library search path.
struct Machine {
    explicit Machine(const sim::CScenario& scenario) : notebook(scenario)
    {
        notebook.InstallLibraries();
        platform.fakeVersion = true; // Windows 7
        platform.installFolder = Narrow(notebook.Folder()) + "\\";
        SetDllDirectoryW(notebook.Folder().c_str());
    }
    ~Machine() { SetDllDirectoryW(nullptr); }

    std::vector<std::string> CertifyRequests() const
    {
        std::vector<std::string> requests;
        for (const auto& e : notebook.Journal())
            if (e.library == "ORNPWCHK")
                requests.push_back(e.Field("request"));
        return requests;
    }
    std::string Lng(const char* section, const char* key) const
    {
        char value[512] = {};
        GetPrivateProfileStringA(section, key, "<none>", value, sizeof value,
                                 Narrow(notebook.Folder() + L"\\OrnPwChk.lng").c_str());
        return value;
    }

    VirtualNotebook notebook;
    TestPlatform platform;
    PassWordFUN engine{platform};
};

std::string Md5Passcode(const std::vector<BYTE>& scanCodes)
{
    Cmd5 md5;
    md5.Digest(scanCodes.data(), scanCodes.size());
    return Hex(std::string(reinterpret_cast<const char*>(md5.Digest()), 8));
}

std::string Bytes(const BYTE* data, int n)
{
    return Hex(std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(n)));
}

} // namespace

TEST(StartUp, ResultCodesRoleAndVerification)
{
    struct Row {
        const char* name;
        sim::CScenario scenario;
        int result;
        BYTE role;
        std::vector<std::string> certify; // requests sent, in order
    };
    const std::vector<std::string> full = {"Open", "SetText", "SetText", "SetText", "Verify", "Close"};
    const Row rows[] = {
        {"no password", sim::CScenario(), 0, ROLE_NONE, {}},
        {"user verified", sim::CScenario().User("abc").Answers({sim::Typed("abc")}), 0, ROLE_USER, full},
        {"supervisor verified", sim::CScenario().User("abc").Supervisor("boss").Answers({sim::Typed("boss")}), 0,
         ROLE_SUPERVISOR, full},
        {"dialog does not open", sim::CScenario().User("abc").Fault("certify-open 0"), 4, 0, {"Open"}},
        {"retry limit", sim::CScenario().User("abc").Set("retries=2").Answers({sim::Typed("x"), sim::Typed("y")}), 5,
         ROLE_NONE, full},
        {"cancel with a user password", sim::CScenario().User("abc").Answers({sim::Cancel()}), 6, ROLE_NONE, full},
        {"skip: supervisor only, cancelled", sim::CScenario().Supervisor("boss").Answers({sim::Cancel()}), 110,
         ROLE_NONE, full},
        {"abort code", sim::CScenario().User("abc").Answers({sim::ReturnValue(0x80000000)}), 6, 0, full},
        {"other failure", sim::CScenario().User("abc").Answers({sim::FailWith(7)}), 0, ROLE_NONE, full},
        {"class 2.0 with a password", sim::CScenario().Class20().User("abc"), 16, 0, {}},
        {"BIOS status unreadable", sim::CScenario().Fault("hardware 0x62 read fail"), 15, 0, {}},
        {"level unreadable", sim::CScenario().User("abc").Fault("onecall fail"), 17, 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Machine m(row.scenario);
        EXPECT_EQ(m.engine.InitVELTDLL(), row.result);
        EXPECT_EQ(m.engine.Role, row.role);
        EXPECT_EQ(m.CertifyRequests(), row.certify);
        EXPECT_EQ(m.engine.bVerifying, 0);
        EXPECT_EQ(m.engine.hPwChk == nullptr, row.result != 4) << "only a failed open leaves the library loaded";
    }
}

TEST(StartUp, VerifiedPasscodeAndExchangeDetails)
{
    Machine m(sim::CScenario().User("abc").Answers({sim::Typed("abc")}));
    ASSERT_EQ(m.engine.InitVELTDLL(), 0);
    EXPECT_EQ(Bytes(m.engine.VerifiedPasscode, 8), Md5Passcode({0x1E, 0x30, 0x2E}));
    EXPECT_EQ(m.engine.ScInfo, 1);
    EXPECT_EQ(m.engine.strLanguage, "English");
    EXPECT_EQ(std::string(m.engine.szLangFile), m.platform.installFolder + "\\OrnPwChk.lng") << "two separators";

    const auto journal = m.notebook.Journal();
    std::vector<sim::JournalEntry> certify;
    for (const auto& e : journal)
        if (e.library == "ORNPWCHK")
            certify.push_back(e);
    ASSERT_EQ(certify.size(), 6u);
    EXPECT_EQ(certify[0].Number("size"), 16);
    EXPECT_EQ(certify[0].Field("extra").substr(0, 2), "08");
    EXPECT_EQ(certify[1].Field("text"), "CaptionTitle=Firmware Password Manager");
    EXPECT_EQ(certify[2].Field("text"), "DiagTokenErrMsg=Verification error.  Insert correct Token.");
    EXPECT_EQ(certify[3].Field("text"), "DiagRetryPwMsg=Verification error.  Input correct password.");
    EXPECT_EQ(certify[3].Number("size"), static_cast<std::int64_t>(std::strlen(
                                             "DiagRetryPwMsg=Verification error.  Input correct password.")));
    EXPECT_EQ(certify[4].Number("param"), 0x21091003);
    EXPECT_EQ(certify[5].Number("size"), 20);
    EXPECT_EQ(certify[5].Number("param"), 0x800);
    const std::uint8_t parameter[4] = {0x00, 0x08, 0x00, 0x00};
    Cmd5 md5;
    md5.Digest(parameter, 4);
    std::string check = Hex(std::string(reinterpret_cast<const char*>(md5.Digest()), 8));
    check.erase(std::remove(check.begin(), check.end(), ' '), check.end());
    EXPECT_EQ(certify[5].Field("extra"), check);
}

TEST(StartUp, DeclinedVerificationClosesWithTheFailureForm)
{
    Machine m(sim::CScenario().User("abc").Answers({sim::Cancel()}));
    ASSERT_EQ(m.engine.InitVELTDLL(), 6);
    const auto journal = m.notebook.Journal();
    ASSERT_FALSE(journal.empty());
    const auto& close = journal.back();
    EXPECT_EQ(close.Field("request"), "Close");
    EXPECT_EQ(close.Number("size"), 12);
    EXPECT_EQ(close.Number("param"), 0);
}

TEST(StartUp, AbortCodeClosesWithTheSuccessFormAndKeepsRole)
{
    Machine m(sim::CScenario().User("abc").Answers({sim::ReturnValue(0x80000000)}));
    m.engine.Role = ROLE_SUPERVISOR;
    ASSERT_EQ(m.engine.InitVELTDLL(), 6);
    EXPECT_EQ(m.engine.Role, ROLE_SUPERVISOR);
    EXPECT_EQ(m.notebook.Journal().back().Number("size"), 20);
}

TEST(StartUp, MissingLibrariesGiveThree)
{
    {
        Machine m(sim::CScenario().User("abc"));
        m.notebook.InstallQsccallMissingEntry();
        EXPECT_EQ(m.engine.InitVELTDLL(), 3);
        EXPECT_NE(m.engine.QSCIGet, nullptr) << "what was bound stays bound";
        EXPECT_EQ(m.engine.QSCCallSlots[23], nullptr);
    }
    {
        Machine m(sim::CScenario().User("abc"));
        m.notebook.RemoveLibrary(L"ORNPWCHK.DLL");
        EXPECT_EQ(m.engine.InitVELTDLL(), 3);
        EXPECT_TRUE(m.CertifyRequests().empty());
    }
}

TEST(StartUp, QuitBeforeTheDialogReturnsReady)
{
    Machine m(sim::CScenario().User("abc").Answers({sim::Typed("abc")}));
    m.engine.bQuit = 1;
    Trace trace;
    EXPECT_EQ(m.engine.InitVELTDLL(), 0);
    EXPECT_TRUE(m.CertifyRequests().empty());
    EXPECT_NE(trace.All().find("[ERR] (PassWordFUN::InitVELTDLL): Error Code: 0x0"), std::string::npos);
}

TEST(StartUp, FailedStateReadLeavesLanguageUnset)
{
    Machine m(sim::CScenario().Supervisor("boss").Fault("hardware 0x62 read fail"));
    m.engine.bHDDSupport = 1;
    EXPECT_EQ(m.engine.InitVELTDLL(), 15);
    EXPECT_TRUE(m.engine.strLanguage.empty());
    EXPECT_EQ(m.engine.szLangFile[0], '\0');
    EXPECT_EQ(m.engine.bHDDSupport, 1) << "cleared only after the state reads";
    EXPECT_EQ(m.Lng("English", "PasswordMsg"), "<none>");
}

TEST(StartUp, TraceLinesOfAVerifiedStart)
{
    Machine m(sim::CScenario().Supervisor("boss").Answers({sim::Typed("boss")}));
    Trace trace;
    ASSERT_EQ(m.engine.InitVELTDLL(), 0);
    const auto messages = trace.Messages("PassWordFUN::InitVELTDLL");
    ASSERT_GE(messages.size(), 4u);
    EXPECT_EQ(messages[0], "Check OS Version!");
    EXPECT_EQ(messages[1], "Check Dll load!");
    EXPECT_EQ(messages[2], "ErrorCode = 0");
    EXPECT_EQ(trace.Messages("PassWordFUN::CheckOSVersion"), std::vector<std::string>{"OS Version = 9"});
    EXPECT_EQ(trace.All().find("boss"), std::string::npos);
}

// The real dialog of the virtual notebook under Xvfb: while it is up the
// language file holds the skip texts, afterwards the normal ones.
TEST(StartUp, SkipTextsWhileTheDialogIsUp)
{
    Machine m(sim::CScenario().Supervisor("boss").RealDialog("English"));
    std::string shownPrompt, shownButton, fileDuring;
    std::thread person([&] {
        HWND dialog = nullptr;
        for (int i = 0; i < 300 && dialog == nullptr; ++i) {
            Sleep(50);
            dialog = FindWindowW(nullptr, L"Firmware Password Manager");
        }
        if (dialog == nullptr)
            return;
        char text[512] = {};
        GetDlgItemTextA(dialog, IDC_CERTIFY_PROMPT, text, sizeof text);
        shownPrompt = text;
        GetDlgItemTextA(dialog, IDCANCEL, text, sizeof text);
        shownButton = text;
        fileDuring = m.Lng("English", "CancelButton");
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    const int result = m.engine.InitVELTDLL();
    person.join();
    EXPECT_EQ(result, 110);
    EXPECT_EQ(shownPrompt, "Enter supervisor password or skip to register user password only.");
    EXPECT_EQ(shownButton, "Skip");
    EXPECT_EQ(fileDuring, "Skip");
    EXPECT_EQ(m.Lng("English", "PasswordMsg"), "Please type a %Target1%.");
    EXPECT_EQ(m.Lng("English", "CancelButton"), "Cancel");
}

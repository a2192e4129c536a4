// The engine end to end against the virtual notebook: its four libraries in
// an install folder of their own, its firmware deciding every request, its
// journal recording what went out. Class-2.0 and class-2.1 machines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "NotebookSupport.h"
#include "PassWordFUN.h"
#include "QuitWindow.h"
#include "TestPlatform.h"
#include "TestSupport.h"
#include "Trace.h"

#include <oleauto.h>

namespace {

// A machine and an engine bound to it. The firmware libraries stay loaded
// for the process, as in a real one; they follow whichever state file the
// notebook points the process at.
class Notebook : public ::testing::TestWithParam<bool> {
protected:
    void Start(const sim::CScenario& scenario)
    {
        sim::CScenario s = scenario;
        if (GetParam())
            s.Class21();
        else
            s.Class20();
        notebook = std::make_unique<pwtest::VirtualNotebook>(s);
        // This program runs from a folder below the one the libraries are built into.
        for (const wchar_t* name : {L"QSCIEX.DLL", L"QHCI.DLL", L"QSCCALL.DLL", L"ORNPWCHK.DLL"})
            ASSERT_TRUE(CopyFileW((pwtest::BinFolder() + L"..\\" + name).c_str(),
                                  (notebook->Folder() + L"\\" + name).c_str(), FALSE))
                << pwtest::Narrow(name);
        platform.fakeVersion = true;
        platform.installFolder = pwtest::Narrow(notebook->Folder()) + "\\";
        // "QHCI.DLL" goes by bare name, through the search order.
        SetDllDirectoryW(notebook->Folder().c_str());
    }
    void TearDown() override { SetDllDirectoryW(nullptr); }

    void Answers(std::initializer_list<sim::DialogAnswer> answers)
    {
        sim::NotebookState state = notebook->State();
        state.answers = answers;
        notebook->Write(state);
    }
    sim::Passcode PasscodeOf(PassWordFUN& engine, const std::string& text)
    {
        sim::Passcode code{};
        EXPECT_EQ(engine.GetPassCode(text, code.data()), 1);
        return code;
    }
    static sim::Passcode Held(const PassWordFUN& engine)
    {
        sim::Passcode code{};
        std::memcpy(code.data(), engine.VerifiedPasscode, 8);
        return code;
    }
    // The password writes (request 0x0602) the engine sent, as sent.
    std::vector<FirmwareCallBlock> PasswordWrites() const
    {
        std::vector<FirmwareCallBlock> out;
        for (const auto& e : notebook->Journal()) {
            if (e.entry != "QSCISet")
                continue;
            const auto in = e.Block("in");
            if (in && in->Request == 0x0602)
                out.push_back(*in);
        }
        return out;
    }
    std::vector<std::string> CertifyRequests() const
    {
        std::vector<std::string> out;
        for (const auto& e : notebook->Journal())
            if (e.library == "ORNPWCHK")
                out.push_back(e.Field("request"));
        return out;
    }

    std::unique_ptr<pwtest::VirtualNotebook> notebook;
    TestPlatform platform;
};

sim::Passcode Halves(std::uint32_t high, std::uint32_t low)
{
    sim::Passcode code{};
    fw::GetPasscode(high, low, code.data());
    return code;
}

} // namespace

TEST_P(Notebook, SetVerifyChangeDelete)
{
    Start(sim::CScenario().PcPolicy(0x2E));
    PassWordFUN engine(platform);
    ASSERT_EQ(engine.InitVELTDLL(), 0);
    EXPECT_EQ(engine.ScInfo != 0, GetParam());
    EXPECT_EQ(engine.Role, ROLE_NONE);

    // Set: the supervisor, then the user password.
    const sim::Passcode boss1 = PasscodeOf(engine, "Boss1");
    EXPECT_EQ(engine.SetPassword(L"Boss1", 0, 0), 103);
    EXPECT_EQ(notebook->State().supervisor, boss1);
    EXPECT_EQ(engine.Role, ROLE_SUPERVISOR);
    EXPECT_EQ(Held(engine), boss1);
    auto writes = PasswordWrites();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].SubRequest, 0x0006);
    EXPECT_EQ(writes[0].Length, 5);
    EXPECT_EQ(Halves(writes[0].Data0, writes[0].Data1), boss1);

    const sim::Passcode me1 = PasscodeOf(engine, "Me1");
    EXPECT_EQ(engine.SetPassword(L"Me1", 0, 1), 102);
    EXPECT_EQ(notebook->State().user, me1);
    EXPECT_TRUE(CertifyRequests().empty()) << "users may register: no dialog";

    // Verify: a new control's start-up on class 2.1 (class 2.0 machines with
    // a password refuse start-up), then a change with the supervisor's proof.
    if (GetParam()) {
        Answers({sim::Typed("Boss1")});
        TestPlatform other = platform;
        PassWordFUN fresh(other);
        EXPECT_EQ(fresh.InitVELTDLL(), 0);
        EXPECT_EQ(fresh.Role, ROLE_SUPERVISOR);
        EXPECT_EQ(Held(fresh), boss1);
    } else {
        TestPlatform other = platform;
        PassWordFUN fresh(other);
        EXPECT_EQ(fresh.InitVELTDLL(), 16);
    }

    // Change the user password with supervisor rights: the temporal flag
    // authorizes the request with the answer's passcode.
    notebook->ClearJournal();
    Answers({sim::Typed("Boss1")});
    const sim::Passcode me2 = PasscodeOf(engine, "Me2");
    EXPECT_EQ(engine.ChangePassword(L"Me2", 1), 105);
    EXPECT_EQ(notebook->State().user, me2);
    EXPECT_EQ(Held(engine), boss1) << "the role is supervisor: the held passcode stays";
    writes = PasswordWrites();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].SubRequest, 0x000D);
    EXPECT_EQ(Halves(writes[0].Data0, writes[0].Data1), me2);
    EXPECT_EQ(Halves(writes[0].ValueA, writes[0].ValueB), boss1);

    // A wrong password, then cancel: nothing changes.
    Answers({sim::Typed("Nope"), sim::Cancel()});
    EXPECT_EQ(engine.ChangePassword(L"Boss2", 0), 6);
    EXPECT_EQ(notebook->State().supervisor, boss1);

    // Change the supervisor password.
    Answers({sim::Typed("Boss1")});
    const sim::Passcode boss2 = PasscodeOf(engine, "Boss2");
    EXPECT_EQ(engine.ChangePassword(L"Boss2", 0), 106);
    EXPECT_EQ(notebook->State().supervisor, boss2);
    EXPECT_EQ(Held(engine), boss2);

    // Delete both.
    Answers({sim::Typed("Boss2")});
    EXPECT_EQ(engine.DeletePassword(1), 100);
    EXPECT_FALSE(notebook->State().user.has_value());
    Answers({sim::Typed("Boss2")});
    EXPECT_EQ(engine.DeletePassword(0), 101);
    EXPECT_FALSE(notebook->State().supervisor.has_value());
    EXPECT_EQ(engine.Role, ROLE_NONE);
}

TEST_P(Notebook, RegistrationVerifiesWhenUsersMayNot)
{
    Start(sim::CScenario().Supervisor("Boss1").PcPolicy(0).Answers({sim::Typed("Boss1")}));
    PassWordFUN engine(platform);
    if (!GetParam()) {
        // Class 2.0: no start-up verification; a user set without the
        // supervisor's right goes without authority and the firmware decides.
        EXPECT_EQ(engine.InitVELTDLL(), 16);
        return;
    }
    ASSERT_EQ(engine.InitVELTDLL(), 0);
    ASSERT_EQ(engine.Role, ROLE_SUPERVISOR);
    notebook->ClearJournal();
    Answers({sim::Typed("Boss1")});
    EXPECT_EQ(engine.SetPassword(L"Me1", 0, 1), 102);
    EXPECT_EQ(notebook->State().user, PasscodeOf(engine, "Me1"));
    const auto requests = CertifyRequests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front(), "Open");
}

TEST_P(Notebook, QuitWhileTheDialogIsUpAbortsIt)
{
    Start(sim::CScenario().Supervisor("Boss1").PcPolicy(0).Answers({sim::Typed("Boss1")}));
    PassWordFUN engine(platform);
    ASSERT_EQ(engine.InitVELTDLL(), GetParam() ? 0 : 16);
    engine.Role = ROLE_SUPERVISOR;
    QuitWindow window(engine);
    notebook->ClearJournal();
    // The dialog stays up until aborted (or the time passes); while it runs
    // its message loop, the interface's quit arrives.
    Answers({sim::Hold(GetParam() ? 20000 : 2000)});
    PostMessageW(window.Get(), QuitWindow::kQuit, 0, 0);
    const DWORD start = GetTickCount();
    // The change verifies on both classes; only class 2.1 aborts the dialog.
    const int code = engine.ChangePassword(L"Boss2", 0);
    EXPECT_EQ(engine.bQuit, 1);
    EXPECT_EQ(notebook->State().supervisor, PasscodeOf(engine, "Boss1"));
    const auto requests = CertifyRequests();
    if (GetParam()) {
        EXPECT_EQ(code, 6) << "the aborted dialog answers as cancelled";
        EXPECT_LT(GetTickCount() - start, 15000u);
        EXPECT_NE(std::find(requests.begin(), requests.end(), "Abort"), requests.end());
    } else {
        EXPECT_EQ(code, 6) << "the held dialog cancels by itself";
        EXPECT_EQ(std::find(requests.begin(), requests.end(), "Abort"), requests.end());
    }
    // From now on nothing more reaches the firmware or the dialog (class 2.0
    // still computes the passcode of a valid text before the quit test).
    notebook->ClearJournal();
    EXPECT_EQ(engine.SetPassword(L"Me1", 0, 1), 0);
    EXPECT_EQ(engine.DeletePassword(0), 0);
    for (const auto& e : notebook->Journal())
        EXPECT_EQ(e.library, "QSCCALL") << e.entry;
}

TEST_P(Notebook, OwnerStringOnBothAreas)
{
    Start(sim::CScenario().Owner("ACME Corp", 513));
    PassWordFUN engine(platform);
    ASSERT_EQ(engine.InitVELTDLL(), 0);
    BSTR text = nullptr;
    ASSERT_EQ(engine.GetOwnerString(&text), 0);
    EXPECT_EQ(std::wstring(text, SysStringLen(text)), L"ACME Corp");
    SysFreeString(text);
    EXPECT_EQ(engine.SetOwnerString(L"Property of the lab, room 12"), 0);
    EXPECT_EQ(notebook->State().owner, "Property of the lab, room 12");
    ASSERT_EQ(engine.GetOwnerString(&text), 0);
    EXPECT_EQ(std::wstring(text, SysStringLen(text)), L"Property of the lab, room 12");
    SysFreeString(text);

    sim::NotebookState small = notebook->State();
    small.ownerArea = 209;
    notebook->Write(small);
    const std::wstring line(41, L'x');
    EXPECT_EQ(engine.SetOwnerString(line.c_str()), 107);
    EXPECT_EQ(notebook->State().owner, std::string(40, 'x') + "\r\nx");
}

TEST_P(Notebook, UserPolicyReadAndWritten)
{
    Start(sim::CScenario().Supervisor("Boss1").UserPolicy(0x0003002E).SupportMask(0x003B002E));
    PassWordFUN engine(platform);
    engine.InitVELTDLL(); // class 2.0 refuses (16) but has read the machine
    UserPolicy policy{};
    ASSERT_EQ(engine.GetUserPolicy(&policy), 0);
    // 0x0003002E: bits 1, 2, 3, 5, 16, 17; the mask offers 1, 2, 3, 5, 16, 17, 19, 20, 21.
    EXPECT_EQ(policy.nPermitSetUPass, 1);
    EXPECT_EQ(policy.nPermitOpenQSS, 1);
    EXPECT_EQ(policy.nPermitUpdateBIOS, 1);
    EXPECT_EQ(policy.nPermitChgHPass, 0);
    EXPECT_EQ(policy.nPermitOwnClrTpm, 0);

    policy.nPermitSetUPass = 0;
    policy.nPermitChgHPass = 1;
    Answers({sim::Typed("Boss1")});
    EXPECT_EQ(engine.SetPolicy(policy), 108);
    EXPECT_EQ(notebook->State().userPolicy, (0x0003002Eu & ~0x2u) | (1u << 19));

    Answers({sim::Cancel()});
    EXPECT_EQ(engine.SetPolicy(policy), 6);
}

INSTANTIATE_TEST_SUITE_P(Classes, Notebook, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Class21" : "Class20"; });

// The one-way quit, re-entering the engine from the dialog's message loop,
// and a scan of the trace for password text.
#include "OpsFixture.h"
#include "QuitWindow.h"

using namespace ops;
using pwtest::Trace;

namespace {

// The dialog's modal loop: dispatch what is queued.
void PumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

} // namespace

TEST_F(Ops, ForceQuitDuringAClass21VerificationAbortsTheDialog)
{
    engine.ScInfo = 1;
    engine.Role = ROLE_USER;
    Verified(1, 0x1);
    QuitWindow window(engine);
    ASSERT_NE(window.Get(), nullptr);
    std::vector<LONG> verifyingAtAbort;
    dialog.onRequest = [&](const fake::CertifyRequest& r) {
        if (r.code == certify::kAbort)
            verifyingAtAbort.push_back(engine.bVerifying);
    };
    dialog.duringVerify = [&] {
        PostMessageW(window.Get(), QuitWindow::kQuit, 0, 0);
        PumpMessages();
    };
    Trace trace;
    EXPECT_EQ(engine.SetPassword(L"Secret1", 0, 1), 6) << "the aborted dialog answers as cancelled";
    EXPECT_EQ(dialog.Trace(), "open:8 text text text verify:02091003 abort close:0");
    const fake::CertifyRequest* abort = dialog.Find(certify::kAbort);
    ASSERT_NE(abort, nullptr);
    EXPECT_EQ(abort->size, 520u);
    EXPECT_EQ(abort->parameter, 0u);
    EXPECT_EQ(verifyingAtAbort, std::vector<LONG>{1});
    EXPECT_EQ(engine.bQuit, 1);
    EXPECT_EQ(FirmwareTrace(), "open set:0600/8002 get:0604/0000 set:0600/0000 close") << "no password request";
    EXPECT_FALSE(trace.Messages("PassWordFUN::ForceQuit").size() > 0) << "no lines but ENTER and LEAVE";
    EXPECT_NE(trace.All().find("ENTER PassWordFUN::ForceQuit"), std::string::npos);

    // From now on every password operation stops at its quit test.
    fake::Reset();
    EXPECT_EQ(engine.SetPassword(L"Secret1", 0, 1), 0);
    EXPECT_EQ(engine.ChangePassword(L"Secret1", 0), 0);
    EXPECT_EQ(engine.DeletePassword(1), 0);
    EXPECT_EQ(engine.SetPassword(L"", 0, 1), 18);
    EXPECT_TRUE(firmware.calls.empty());
    EXPECT_TRUE(dialog.requests.empty());
    EXPECT_EQ(engine.bQuit, 1);
}

TEST_F(Ops, ForceQuitSendsNoAbortOnClass20OrOutsideAVerification)
{
    // Class 2.0: the change still verifies, but a quit arriving meanwhile
    // leaves the dialog alone; the change, past its quit test, goes on.
    engine.ScInfo = 0;
    Verified(1, 0x1);
    dialog.duringVerify = [&] { engine.ForceQuit(0); };
    EXPECT_EQ(engine.ChangePassword(L"Secret1", 1), 105);
    EXPECT_EQ(dialog.Find(certify::kAbort), nullptr);
    EXPECT_EQ(engine.bQuit, 1);

    // Outside a verification nothing reaches the library, even when bound.
    fake::Reset();
    engine.ScInfo = 1;
    engine.certify = reinterpret_cast<fwlib::certify_t>(reinterpret_cast<void (*)()>(fake::CertifyEntryPoint()));
    engine.ForceQuit(0);
    EXPECT_TRUE(dialog.requests.empty());
    engine.bVerifying = 1;
    engine.ForceQuit(0);
    EXPECT_EQ(dialog.Trace(), "abort");
    engine.certify = nullptr;
    engine.ForceQuit(0); // unbound: only the flag
    EXPECT_EQ(engine.bQuit, 1);
}

TEST_F(Ops, NoPasswordTextOrPasscodeReachesTheTrace)
{
    // Every level is traced in this folder (Level=3).
    const std::wstring password = L"Zq7Xw4Kp9Vb2";
    const std::string narrow = "Zq7Xw4Kp9Vb2";
    Trace trace;
    engine.ScInfo = 1;
    engine.Role = ROLE_USER;
    Verified(1, 0x1 | 0x2 | certify::kOutcomePassVery);
    EXPECT_EQ(engine.SetPassword(password.c_str(), 1, 1), 104);
    EXPECT_EQ(engine.ChangePassword(password.c_str(), 1), 105);
    EXPECT_EQ(engine.DeletePassword(1), 100);
    refused = {{0x0602, 0x000D}};
    EXPECT_EQ(engine.ChangePassword(password.c_str(), 1), 13);
    EXPECT_EQ(engine.SetPassword((password + L"\t").c_str(), 0, 1), 20);
    engine.ScInfo = 0;
    EXPECT_EQ(engine.SetPassword(password.c_str(), 0, 0), 103);
    pwtest::TempDir dir;
    platform.dialogPath = pwtest::Narrow(dir / L"memo.txt");
    EXPECT_EQ(engine.CreatePasswordFile(password.c_str()), 111);

    const std::string all = trace.All();
    ASSERT_NE(all.find("Get password = ********"), std::string::npos);
    auto lower = [](std::string s) {
        for (char& c : s)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return s;
    };
    EXPECT_EQ(lower(all).find(lower(narrow)), std::string::npos) << all;
    EXPECT_EQ(lower(all).find(lower(narrow.substr(0, 6))), std::string::npos) << "not even a part";
    EXPECT_EQ(all.find("= 12"), std::string::npos) << "nor its length";

    // Nor any passcode that travelled: the answer's and the computed ones,
    // in any of the forms a trace line might print them.
    engine.ScInfo = 1;
    const std::string codes[] = {HexOf(kAnswerPasscode), PasscodeOf(narrow)};
    for (std::string code : codes) {
        std::string compact;
        for (char c : code)
            if (c != ' ')
                compact += c;
        for (const std::string& form : {compact, lower(compact), compact.substr(0, 8), compact.substr(8)}) {
            EXPECT_EQ(lower(all).find(lower(form)), std::string::npos) << form;
        }
    }
    const std::string words[] = {"b8b7b6b5", "a4a3a2a1", std::to_string(kAnswerHigh), std::to_string(kAnswerLow)};
    for (const std::string& w : words) {
        EXPECT_EQ(lower(all).find(w), std::string::npos) << w;
    }
}

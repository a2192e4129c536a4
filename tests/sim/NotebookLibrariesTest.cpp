// The virtual notebook's four libraries driven through their real entry
// points (LoadLibrary + GetProcAddress), as the engine will drive them.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "FirmwareLibraries.h"
#include "NotebookCertify.h"
#include "NotebookFirmware.h"
#include "NotebookSupport.h"
#include "OrnPwChkDialog.h"
#include "Win32Handles.h"

using namespace pwtest;

namespace {

template <class T>
T Bind(HMODULE module, const char* name)
{
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The four libraries, loaded from the notebook's own folder.
class Libraries {
public:
    explicit Libraries(const VirtualNotebook& notebook)
    {
        notebook.InstallLibraries();
        for (const wchar_t* name : {L"QSCIEX.DLL", L"QHCI.DLL", L"QSCCALL.DLL", L"ORNPWCHK.DLL"})
            m_modules.emplace_back(LoadLibraryW((notebook.Folder() + L"\\" + name).c_str()));
        HMODULE qsciex = m_modules[0].get(), qhci = m_modules[1].get(), qsccall = m_modules[2].get(),
                ornpwchk = m_modules[3].get();
        getWithOpen = Bind<fwlib::QSCIGetWithOpenIF_t>(qsciex, "QSCIGetWithOpenIF");
        open = Bind<fwlib::QSCIOpenInterface_t>(qsciex, "QSCIOpenInterface");
        close = Bind<fwlib::QSCICloseInterface_t>(qsciex, "QSCICloseInterface");
        get = Bind<fwlib::QSCIGet_t>(qsciex, "QSCIGet");
        set = Bind<fwlib::QSCISet_t>(qsciex, "QSCISet");
        hardware = Bind<fwlib::QHCIFunction_t>(qhci, "QHCIFunction");
        insert = Bind<fwlib::QSC_Insert_t>(qsccall, "QSC_Insert");
        compare = Bind<fwlib::QSC_Compare_t>(qsccall, "QSC_Compare");
        certify = Bind<fwlib::certify_t>(ornpwchk, "certify");
    }
    bool Bound() const { return getWithOpen && open && close && get && set && hardware && insert && compare && certify; }

    fwlib::QSCIGetWithOpenIF_t getWithOpen = nullptr;
    fwlib::QSCIOpenInterface_t open = nullptr;
    fwlib::QSCICloseInterface_t close = nullptr;
    fwlib::QSCIGet_t get = nullptr;
    fwlib::QSCISet_t set = nullptr;
    fwlib::QHCIFunction_t hardware = nullptr;
    fwlib::QSC_Insert_t insert = nullptr;
    fwlib::QSC_Compare_t compare = nullptr;
    fwlib::certify_t certify = nullptr;

private:
    std::vector<pw::UniqueModule> m_modules;
};

FirmwareCallBlock Block(std::uint16_t request, std::uint16_t sub, bool write)
{
    FirmwareCallBlock b{};
    b.Request = request;
    b.SubRequest = sub;
    b.Function = write ? fw::kSystemWrite : fw::kSystemRead;
    return b;
}

FirmwareCallBlock PasswordBlock(std::uint16_t sub, const sim::Passcode& fresh, const sim::Passcode* current = nullptr)
{
    FirmwareCallBlock b = Block(fw::kRequestPassword, sub, true);
    fw::PutPasscode(b, fresh.data());
    b.Length = 6;
    if (current) {
        FirmwareCallBlock halves{};
        fw::PutPasscode(halves, current->data());
        b.ValueA = halves.Data0;
        b.ValueB = halves.Data1;
    }
    return b;
}

class NotebookLibraries : public ::testing::Test {
protected:
    void Load(const sim::CScenario& scenario)
    {
        notebook = std::make_unique<VirtualNotebook>(scenario);
        libs = std::make_unique<Libraries>(*notebook);
        ASSERT_TRUE(libs->Bound());
    }

    // One exchange as the engine makes it, with a single attempt per step:
    // open, connect, temporary rights (when given), the request, disconnect,
    // close. Answers the completion of the first step that was not done.
    int Exchange(FirmwareCallBlock& request, const sim::Passcode* rights = nullptr)
    {
        DWORD handle = 0;
        if (!libs->open(&handle))
            return -1;
        const auto step = [&](FirmwareCallBlock& b, bool get) {
            const BOOL ok = get ? libs->get(handle, &b) : libs->set(handle, &b);
            return ok ? b.Completion() : -1;
        };
        FirmwareCallBlock connect = Block(fw::kRequestConnection, 0, true);
        connect.ValueB = fw::kSelectorConnect;
        int result = step(connect, false);
        if (result == 0 && rights) {
            FirmwareCallBlock raise = Block(fw::kRequestSecurity, fw::kSubTemporarySupervisor, true);
            fw::PutPasscode(raise, rights->data());
            result = step(raise, false);
            if (result != 0)
                request = raise;
        }
        if (result == 0)
            result = step(request, request.Function == fw::kSystemRead);
        FirmwareCallBlock disconnect = Block(fw::kRequestConnection, 0, true);
        step(disconnect, false);
        libs->close(handle);
        return result;
    }

    std::uint32_t Status()
    {
        FirmwareCallBlock b = Block(fw::kRequestSecurity, 0, false);
        EXPECT_EQ(Exchange(b), 0);
        return b.ValueB;
    }

    // The passcode the engine would make on this machine: MD5 for class 2.1,
    // the library's QSC_Compare for class 2.0.
    sim::Passcode Code(const std::string& text, bool class21)
    {
        if (class21)
            return sim::PasscodeOfText(text, true);
        const std::vector<std::uint8_t> codes = sim::UsScanCodes(text);
        BYTE result[16] = {};
        EXPECT_TRUE(libs->compare(codes.data(), static_cast<int>(codes.size()), result));
        sim::Passcode p{};
        std::memcpy(p.data(), result, 8);
        return p;
    }

    static void Fill(std::uint8_t* buffer, std::uint32_t code, std::uint32_t size, std::uint32_t parameter)
    {
        std::memset(buffer, 0, certify::kBufferSize);
        sim::WriteWord(buffer, certify::kCodeOffset, code);
        sim::WriteWord(buffer, certify::kSizeOffset, size);
        sim::WriteWord(buffer, certify::kParameterOffset, parameter);
    }
    LONG Request(std::uint8_t* buffer, std::uint32_t code, std::uint32_t size, std::uint32_t parameter)
    {
        Fill(buffer, code, size, parameter);
        return libs->certify(buffer);
    }

    struct Verified {
        LONG ret = -99;
        std::uint32_t outcome = 0;
        sim::Passcode passcode{};
    };

    // The whole verification exchange of the engine around one verify.
    Verified Verify(std::uint32_t flags)
    {
        std::uint8_t buffer[certify::kBufferSize];
        Verified v;
        if (Request(buffer, certify::kOpen, certify::kOpenSize, 0) != 1)
            return v;
        for (const char* text : {"CaptionTitle=Notebook passwords", "DiagTokenErrMsg=Verification error.  Insert correct Token.",
                                 "DiagRetryPwMsg=Verification error.  Input correct password."}) {
            Fill(buffer, certify::kSetText, static_cast<std::uint32_t>(std::strlen(text)), 0);
            std::strcpy(reinterpret_cast<char*>(buffer + certify::kParameterOffset), text);
            libs->certify(buffer);
        }
        v.ret = Request(buffer, certify::kVerify, certify::kVerifySize, flags);
        v.outcome = sim::ReadWord(buffer, certify::kParameterOffset);
        std::memcpy(v.passcode.data(), buffer + certify::kExtraOffset, 8);
        if (v.ret == 1) {
            Fill(buffer, certify::kClose, certify::kCloseSuccessSize, certify::kCloseSuccessParameter);
            const sim::Passcode check = sim::CloseCheckValue();
            std::memcpy(buffer + certify::kExtraOffset, check.data(), 8);
            EXPECT_EQ(libs->certify(buffer), 1) << "success close";
        } else {
            EXPECT_EQ(Request(buffer, certify::kClose, certify::kCloseFailureSize, 0), 1) << "failure close";
        }
        return v;
    }

    std::unique_ptr<VirtualNotebook> notebook;
    std::unique_ptr<Libraries> libs;
};

} // namespace

TEST_F(NotebookLibraries, SetThenVerifyAsUserAndSupervisorInBothClasses)
{
    for (const bool class21 : {true, false}) {
        SCOPED_TRACE(class21 ? "class 2.1" : "class 2.0");
        sim::CScenario scenario;
        if (class21)
            scenario.Class21();
        else
            scenario.Class20();
        Load(scenario.Answers({sim::Typed("Boss99"), sim::Typed("wrong"), sim::Typed("me2"), sim::Typed("ME2")}));

        // The level word and the class byte the engine derives its class from.
        FirmwareCallBlock level = Block(fw::kRequestConnection, 0, false);
        ASSERT_TRUE(libs->getWithOpen(&level));
        EXPECT_EQ((level.ValueA >> 16) & 0xFF, class21 ? 0x21u : 0x20u);
        BYTE insertByte = 0;
        EXPECT_TRUE(libs->insert(0, &insertByte));
        EXPECT_NE(insertByte, 0);

        FirmwareCallBlock sv = PasswordBlock(sim::kSubSetSupervisor, Code("boss99", class21));
        EXPECT_EQ(Exchange(sv), 0);
        FirmwareCallBlock user = PasswordBlock(sim::kSubSetUser, Code("me2", class21));
        EXPECT_EQ(Exchange(user), 0);
        EXPECT_EQ(Status() & 0x3, 0x3u);

        const Verified asSupervisor = Verify(0x2091002);
        EXPECT_EQ(asSupervisor.ret, 1);
        EXPECT_EQ(asSupervisor.outcome, 0x11002u);
        EXPECT_EQ(asSupervisor.passcode, Code("boss99", class21));
        // A wrong answer is retried inside the dialog; the user password proves user rights.
        const Verified asUser = Verify(0x2091001);
        EXPECT_EQ(asUser.ret, 1);
        EXPECT_EQ(asUser.outcome, 0x11001u);
        EXPECT_EQ(asUser.passcode, Code("me2", class21));
        // The supervisor password does not prove user rights when only those are asked.
        const Verified startUp = Verify(0x21091003);
        EXPECT_EQ(startUp.ret, 1);
        EXPECT_EQ(startUp.outcome, 0x11001u);
        EXPECT_TRUE(notebook->State().answers.empty());
        libs.reset();
        notebook.reset();
    }
}

TEST_F(NotebookLibraries, TemporaryRightsNeedTheRightPasscode)
{
    Load(sim::CScenario().Class21().Supervisor("boss").PcPolicy(0));
    const sim::Passcode user = Code("mine", true), boss = Code("boss", true), wrong = Code("bos", true);

    FirmwareCallBlock set = PasswordBlock(sim::kSubSetUser, user);
    EXPECT_EQ(Exchange(set), sim::kNoRight);
    set = PasswordBlock(sim::kSubSetUser, user);
    EXPECT_EQ(Exchange(set, &wrong), sim::kWrongPasscode);
    EXPECT_EQ(set.Request, fw::kRequestSecurity) << "the temporary-rights step refused";
    EXPECT_EQ(Status() & 0x1, 0u);
    set = PasswordBlock(sim::kSubSetUser, user);
    EXPECT_EQ(Exchange(set, &boss), 0);
    EXPECT_EQ(Status() & 0x1, 0x1u);
    // The rights lasted for that connection only.
    FirmwareCallBlock policy = Block(fw::kRequestPolicy, fw::kSubUserPolicyWrite, true);
    policy.ValueB = 0x2;
    EXPECT_EQ(Exchange(policy), sim::kNoRight);
    policy = Block(fw::kRequestPolicy, fw::kSubUserPolicyWrite, true);
    policy.ValueB = 0x2;
    EXPECT_EQ(Exchange(policy, &boss), 0);
    EXPECT_EQ(notebook->State().userPolicy, 0x2u);
}

TEST_F(NotebookLibraries, RetryLimitsOfFirmwareAndDialog)
{
    Load(sim::CScenario().Class21().Supervisor("boss").Set("retry_limit=3").Set("dialog.retries=2")
             .Answers({sim::Typed("a"), sim::Typed("b"), sim::Typed("boss")}));
    const sim::Passcode fresh = Code("new", true), boss = Code("boss", true);
    for (int attempt = 1; attempt <= 3; ++attempt) {
        const sim::Passcode wrong = Code("x" + std::to_string(attempt), true);
        FirmwareCallBlock change = PasswordBlock(sim::kSubChangeSupervisor, fresh, &wrong);
        EXPECT_EQ(Exchange(change), attempt < 3 ? sim::kWrongPasscode : sim::kRetryLimit) << attempt;
        EXPECT_EQ(change.ValueA & 0xFFFF, static_cast<std::uint32_t>(3 - attempt)) << attempt;
    }
    FirmwareCallBlock change = PasswordBlock(sim::kSubChangeSupervisor, fresh, &boss);
    EXPECT_EQ(Exchange(change), sim::kRetryLimit) << "locked until the count is reset";
    EXPECT_EQ(change.ValueA & 0xFFFF, 0u);
    EXPECT_EQ(notebook->State().wrongPasscodes, 3) << "a locked machine stops counting";

    const Verified v = Verify(0x2091002);
    EXPECT_EQ(v.ret, 0);
    EXPECT_EQ(v.outcome, 0xFFFFFFFFu) << "two wrong answers reach the dialog's limit";
    EXPECT_EQ(notebook->State().answers.size(), 1u) << "the third answer was never asked for";
}

TEST_F(NotebookLibraries, BusyInjectionAnswers20TheGivenNumberOfTimes)
{
    Load(sim::CScenario().Fault("request 0x0601 selector 0x0000 busy 3"));
    notebook->ClearJournal();
    DWORD handle = 0;
    ASSERT_TRUE(libs->open(&handle));
    FirmwareCallBlock connect = Block(fw::kRequestConnection, 0, true);
    connect.ValueB = fw::kSelectorConnect;
    ASSERT_TRUE(libs->set(handle, &connect));
    std::vector<int> completions;
    for (int i = 0; i < 5; ++i) {
        FirmwareCallBlock read = Block(fw::kRequestSecurity, 0, false);
        EXPECT_TRUE(libs->get(handle, &read));
        completions.push_back(read.Completion());
    }
    EXPECT_EQ(completions, (std::vector<int>{0x20, 0x20, 0x20, 0, 0}));
    EXPECT_TRUE(notebook->State().faults.empty());
}

TEST_F(NotebookLibraries, StatePersistsAcrossProcesses)
{
    Load(sim::CScenario().Class21());
    FirmwareCallBlock sv = PasswordBlock(sim::kSubSetSupervisor, Code("boss", true));
    ASSERT_EQ(Exchange(sv), 0);

    ProcessOptions options;
    options.environment = notebook->Environment();
    const std::wstring client = Quote(BuildBinFolder() + L"notebook_client.exe");
    ProcessResult status = pwtest::Run(client + L" status", options);
    ASSERT_EQ(status.exitCode, 0u) << status.err;
    EXPECT_EQ(status.out.substr(0, 8), "00000002") << status.out;

    const std::wstring userCode = Widen(sim::PasscodeHex(Code("me", true)));
    ProcessResult set = pwtest::Run(client + L" set-user " + userCode, options);
    ASSERT_EQ(set.exitCode, 0u) << set.err;
    EXPECT_EQ(set.out.substr(0, 2), "00") << set.out;
    EXPECT_EQ(Status() & 0x3, 0x3u) << "this process sees the other's write";
    EXPECT_EQ(notebook->State().user, Code("me", true));
}

TEST_F(NotebookLibraries, WithoutTheVariableTheMachineIsBesideTheLibraries)
{
    // The notebook's state file has the default name, in the folder the libraries were copied to.
    Load(sim::CScenario().Supervisor("boss").Owner("Hi"));
    SetEnvironmentVariableW(L"NOTEBOOK_STATE_FILE", nullptr);
    EXPECT_EQ(Status() & 0x3, 0x2u);
    FirmwareCallBlock owner{};
    owner.Function = fw::kHardwareRead;
    owner.Request = fw::kRegisterOwnerString;
    ASSERT_TRUE(libs->hardware(&owner));
    EXPECT_EQ(owner.ValueA & 0xFFFF, static_cast<std::uint32_t>('H' | 'i' << 8));
}

TEST(NotebookVariant, MissingEntryQsccallLacksOnlyQSC_FreeExtra)
{
    VirtualNotebook notebook;
    notebook.InstallLibraries();
    notebook.InstallQsccallMissingEntry();
    pw::UniqueModule variant(LoadLibraryW((notebook.Folder() + L"\\QSCCALL.DLL").c_str()));
    ASSERT_TRUE(variant);
    for (const char* name : fwlib::kQsccallSlots) {
        const bool expected = std::string(name) != "QSC_FreeExtra";
        EXPECT_EQ(GetProcAddress(variant.get(), name) != nullptr, expected) << name;
    }
}

TEST_F(NotebookLibraries, JournalRecordsEveryCallInOrder)
{
    Load(sim::CScenario().Owner("Hi", 209).Answers({sim::Cancel()}));
    notebook->ClearJournal();
    FirmwareCallBlock level = Block(fw::kRequestConnection, 0, false);
    libs->getWithOpen(&level);
    FirmwareCallBlock user = PasswordBlock(sim::kSubSetUser, Code("me", true));
    Exchange(user);
    FirmwareCallBlock owner{};
    owner.Function = fw::kHardwareRead;
    owner.Request = fw::kRegisterOwnerString;
    libs->hardware(&owner);
    EXPECT_EQ(Verify(0x2091003).ret, 0);

    const auto journal = notebook->Journal();
    std::vector<std::string> calls;
    for (const auto& e : journal)
        calls.push_back(e.library + "!" + e.entry + (e.Has("request") ? " " + e.Field("request") : ""));
    const std::vector<std::string> expected = {
        "QSCIEX!QSCIGetWithOpenIF", "QSCIEX!QSCIOpenInterface", "QSCIEX!QSCISet", "QSCIEX!QSCISet", "QSCIEX!QSCISet",
        "QSCIEX!QSCICloseInterface", "QHCI!QHCIFunction", "ORNPWCHK!certify Open", "ORNPWCHK!certify SetText",
        "ORNPWCHK!certify SetText", "ORNPWCHK!certify SetText", "ORNPWCHK!certify Verify", "ORNPWCHK!certify Close"};
    EXPECT_EQ(calls, expected);
    ASSERT_EQ(journal.size(), expected.size());

    // The whole block as sent and as answered.
    const auto sent = journal[3].Block("in"), answered = journal[3].Block("out");
    ASSERT_TRUE(sent && answered);
    EXPECT_EQ(std::memcmp(&*sent, &user, 16), 0) << "passcode halves as sent";
    EXPECT_EQ(sent->SubRequest, sim::kSubSetUser);
    EXPECT_EQ(sent->Function, fw::kSystemWrite);
    EXPECT_EQ(answered->Completion(), 0);
    EXPECT_EQ(journal[1].Number("handle"), journal[2].Number("handle"));
    EXPECT_EQ(journal[6].Block("out")->ValueB, 8u | 209u << 16) << "a full chunk and the area size";
    EXPECT_EQ(journal[8].Field("text"), "CaptionTitle=Notebook passwords");
    EXPECT_EQ(journal[8].Number("size"), 31);
    EXPECT_EQ(journal[11].Number("param"), 0x2091003);
    EXPECT_EQ(journal[11].Number("outcome"), 0);
    EXPECT_EQ(journal[12].Number("size"), 12);
}

TEST_F(NotebookLibraries, ScriptedDialogAnswersAndRequestChecks)
{
    Load(sim::CScenario().User("me").Answers({sim::Cancel(), sim::FailWith(9), sim::ReturnValue(0x80000000)})
             .Fault("certify-open 0 times 1"));
    std::uint8_t buffer[certify::kBufferSize];
    EXPECT_EQ(Request(buffer, certify::kOpen, certify::kOpenSize, 0), 0) << "injected";
    const struct {
        LONG ret;
        std::uint32_t outcome;
    } expected[] = {{0, 0}, {0, 9}, {static_cast<LONG>(0x80000000), 0x2091001}};
    for (const auto& e : expected) {
        const Verified v = Verify(0x2091001);
        EXPECT_EQ(v.ret, e.ret);
        EXPECT_EQ(v.outcome, e.outcome);
    }
    // Malformed requests.
    EXPECT_EQ(Request(buffer, certify::kOpen, 12, 0), sim::kCertifyBadRequest);
    ASSERT_EQ(Request(buffer, certify::kOpen, 16, 0), 1);
    EXPECT_EQ(Request(buffer, certify::kVerify, 16, 0x2091001), sim::kCertifyBadRequest);
    EXPECT_EQ(Request(buffer, certify::kClose, 20, 0x800), sim::kCertifyBadRequest) << "no check value";
    EXPECT_EQ(Request(buffer, 0x12345678, 20, 0), sim::kCertifyBadRequest);
}

namespace {

fwlib::certify_t g_certify = nullptr;
LONG g_abortResult = -99;

// Arrives through the message loop that the verify runs, as a second call
// into the control would, and aborts the verify it interrupts.
void CALLBACK AbortFromTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    std::uint8_t buffer[certify::kBufferSize] = {};
    sim::WriteWord(buffer, certify::kCodeOffset, certify::kAbort);
    sim::WriteWord(buffer, certify::kSizeOffset, certify::kAbortSize);
    g_abortResult = g_certify(buffer);
}

} // namespace

TEST_F(NotebookLibraries, AbortDuringAScriptedVerifyEndsItAsCancelled)
{
    Load(sim::CScenario().Supervisor("boss").Answers({sim::Hold(20000)}));
    g_certify = libs->certify;
    g_abortResult = -99;
    SetTimer(nullptr, 0, 100, AbortFromTimer);
    const DWORD start = GetTickCount();
    const Verified v = Verify(0x2091002);
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_EQ(g_abortResult, 1);
    EXPECT_EQ(v.ret, 0);
    EXPECT_EQ(v.outcome, 0u);
    const auto journal = notebook->Journal();
    ASSERT_GE(journal.size(), 3u);
    const auto& abort = journal[journal.size() - 3];
    EXPECT_EQ(abort.Field("request"), "Abort");
    EXPECT_EQ(abort.Number("nested"), 1);
    EXPECT_EQ(journal[journal.size() - 2].Field("request"), "Verify");

    // Without a verify outstanding an abort does nothing.
    std::uint8_t buffer[certify::kBufferSize];
    EXPECT_EQ(Request(buffer, certify::kAbort, certify::kAbortSize, 0), 0);
}

namespace {

std::wstring Text(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

struct SeenDialog {
    std::wstring caption, prompt, cancel, message;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM found)
{
    if (GetDlgItem(window, IDC_CERTIFY_PASSWORD) == nullptr)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// Waits for the dialog of this process, reads it, types into it and presses
// OK; then, when asked, waits for the retry message and types again.
void Answer(DWORD threadId, std::vector<std::wstring> typed, SeenDialog* seen)
{
    HWND dialog = nullptr;
    for (int i = 0; i < 200 && !dialog; ++i) {
        EnumThreadWindows(threadId, FindDialog, reinterpret_cast<LPARAM>(&dialog));
        if (!dialog)
            Sleep(50);
    }
    if (!dialog)
        return;
    seen->caption = Text(dialog);
    seen->prompt = Text(GetDlgItem(dialog, IDC_CERTIFY_PROMPT));
    seen->cancel = Text(GetDlgItem(dialog, IDCANCEL));
    for (const std::wstring& text : typed) {
        HWND edit = GetDlgItem(dialog, IDC_CERTIFY_PASSWORD);
        for (wchar_t c : text)
            SendMessageW(edit, WM_CHAR, c, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        // Read while the dialog is still open (a verified answer ends it).
        const std::wstring message = IsWindow(dialog) ? Text(GetDlgItem(dialog, IDC_CERTIFY_MESSAGE)) : L"";
        if (!message.empty())
            seen->message = message;
    }
}

} // namespace

TEST_F(NotebookLibraries, RealDialogTakesItsTextsFromTheLanguageFileAndTheTypedPassword)
{
    if (!EditControlsTakeText())
        GTEST_SKIP() << "this system's edit controls cannot take typed text in a program of this build";
    Load(sim::CScenario().Class21().User("me").Supervisor("Boss").RealDialog("German"));
    // As the engine leaves it: quotes from the string table, the placeholder unfilled;
    // the German section lacks the button, which then comes from "English".
    ASSERT_TRUE(WriteBytes(notebook->Folder() + L"\\OrnPwChk.lng",
                           "[German]\r\nPasswordMsg=\"Bitte das %Target1% eingeben.\"\r\n"
                           "[English]\r\nPasswordMsg=\"Please type a %Target1%.\"\r\nCancelButton=\"Skip\"\r\n"));
    SeenDialog seen;
    std::thread person(Answer, GetCurrentThreadId(), std::vector<std::wstring>{L"me", L"BOSS"}, &seen);
    const Verified v = Verify(0x2091002);
    person.join();
    EXPECT_EQ(seen.caption, L"Notebook passwords");
    EXPECT_EQ(seen.prompt, L"Bitte das Supervisor-Kennwort eingeben.") << "the words for the German section";
    EXPECT_EQ(seen.cancel, L"Skip");
    EXPECT_EQ(seen.message, L"Verification error.  Input correct password.") << "after the wrong password";
    EXPECT_EQ(v.ret, 1);
    EXPECT_EQ(v.outcome, 0x11002u);
    EXPECT_EQ(v.passcode, Code("boss", true));
}

TEST_F(NotebookLibraries, RealDialogFallsBackToEnglishAndEndsOnAbort)
{
    Load(sim::CScenario().Class21().User("me").RealDialog("French"));
    ASSERT_TRUE(WriteBytes(notebook->Folder() + L"\\OrnPwChk.lng",
                           "[English]\r\nPasswordMsg=\"Please type a %Target1%.\"\r\nCancelButton=\"Cancel\"\r\n"));
    g_certify = libs->certify;
    g_abortResult = -99;
    SeenDialog seen;
    std::thread person(Answer, GetCurrentThreadId(), std::vector<std::wstring>{}, &seen);
    SetTimer(nullptr, 0, 1500, AbortFromTimer);
    const Verified v = Verify(0x21091003);
    person.join();
    EXPECT_EQ(seen.prompt, L"Please type a password.");
    EXPECT_EQ(seen.cancel, L"Cancel");
    EXPECT_EQ(g_abortResult, 1);
    EXPECT_EQ(v.ret, 0);
    EXPECT_EQ(v.outcome, 0u);
}

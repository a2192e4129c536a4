// "ORNPWCHK.DLL" of the virtual notebook: the verification dialog behind
// `certify`. A verify asks the person, either through a real modal window or
// through the answers scripted in the state file, and judges what was typed
// against the firmware's registered passcodes. Both ways run a message loop,
// so that the caller can re-enter with CertifyAbort while a verify is open.
#include <windows.h>

#include <string>
#include <type_traits>
#include <vector>

#include "FirmwareLibraries.h"
#include "NotebookCertify.h"
#include "NotebookFirmware.h"
#include "NotebookJournal.h"
#include "NotebookStore.h"
#include "OrnPwChkDialog.h"
#include "SecureWipe.h"

namespace {

sim::CCertifySession g_session;
HWND g_dialog = nullptr; // the open dialog, for an abort
int g_depth = 0;         // > 1 inside a re-entrant call

HINSTANCE Self()
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&Self), &self);
    return self;
}

std::string Ansi(const std::wstring& wide)
{
    if (wide.empty())
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
    return text;
}

sim::Passcode PasscodeOfAnsi(const std::string& ansi, bool class21)
{
    std::vector<std::uint8_t> codes = sim::win::ScanCodesOf(ansi);
    const sim::Passcode passcode = sim::PasscodeOf(codes, class21);
    SecureWipe(codes.data(), codes.size());
    return passcode;
}

// Dispatches what is waiting; false when a quit message arrived (it is posted
// again for the caller's own loop).
bool Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

// Keeps the message loop running for up to `milliseconds`, or until an abort.
bool PumpFor(DWORD milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        if (!Pump() || g_session.AbortRequested())
            return false;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
}

sim::VerifyEnd Cancelled()
{
    return {sim::VerifyEnd::Kind::Cancelled};
}

// The answers of the state file, taken one by one.
sim::VerifyEnd RunScript(sim::CVerifyJudge& judge, std::string& note)
{
    for (;;) {
        if (!Pump() || g_session.AbortRequested())
            return Cancelled();
        std::optional<sim::DialogAnswer> answer;
        {
            sim::win::CMachineAccess machine;
            if (machine.Ok() && !machine.State().answers.empty()) {
                answer = machine.State().answers.front();
                machine.State().answers.erase(machine.State().answers.begin());
                machine.MarkChanged();
            }
        }
        if (!answer) {
            note = "no-answer-left";
            return Cancelled();
        }
        switch (answer->kind) {
        case sim::DialogAnswer::Kind::Typed: {
            std::string ansi = sim::win::AnsiFromUtf8(answer->text);
            const sim::Passcode typed = PasscodeOfAnsi(ansi, judge.Class21());
            SecureWipe(ansi.data(), ansi.size());
            SecureWipe(answer->text.data(), answer->text.size());
            switch (judge.Attempt(typed)) {
            case sim::CVerifyJudge::Verdict::Verified:
                return {sim::VerifyEnd::Kind::Verified, judge.Outcome(), 0, judge.VerifiedPasscode()};
            case sim::CVerifyJudge::Verdict::RetryLimit:
                return {sim::VerifyEnd::Kind::RetryLimit};
            case sim::CVerifyJudge::Verdict::Retry:
                continue;
            }
            break;
        }
        case sim::DialogAnswer::Kind::Cancel:
            return Cancelled();
        case sim::DialogAnswer::Kind::Fail:
            return {sim::VerifyEnd::Kind::Failed, static_cast<std::uint32_t>(answer->value)};
        case sim::DialogAnswer::Kind::Return:
            return {sim::VerifyEnd::Kind::Returned, 0, static_cast<std::int32_t>(answer->value)};
        case sim::DialogAnswer::Kind::Hold:
            PumpFor(static_cast<DWORD>(answer->value));
            return Cancelled();
        }
    }
}

struct DialogContext {
    sim::CVerifyJudge* judge = nullptr;
    std::string caption, prompt, cancel, retry;
    sim::VerifyEnd end = Cancelled();
};

std::string LanguageValue(const std::string& file, const std::string& section, const char* key)
{
    char value[1024] = {};
    GetPrivateProfileStringA(section.c_str(), key, "", value, sizeof value, file.c_str());
    return sim::StripQuotes(value);
}

// Prompt and cancel caption from "OrnPwChk.lng" beside the library: the
// language's section, else "English", else the built-in English words.
void ReadLanguageFile(DialogContext& context, const std::string& language)
{
    const std::string file = Ansi(sim::win::LibraryFolder() + L"OrnPwChk.lng");
    const std::string section = language.empty() ? sim::LanguageSection(GetUserDefaultUILanguage()) : language;
    // The section a text came from decides the language of the words put in.
    std::string promptSection = section;
    const auto text = [&](const char* key, const char* fallback, std::string* from = nullptr) {
        std::string value = LanguageValue(file, section, key);
        if (value.empty()) {
            value = LanguageValue(file, "English", key);
            if (from != nullptr)
                *from = "English";
        }
        return value.empty() ? std::string(fallback) : value;
    };
    const std::string prompt = text("PasswordMsg", "Please type a %Target1%.", &promptSection);
    const std::string target = sim::win::AnsiFromUtf8(sim::TargetPhrase(promptSection, context.judge->Target()));
    context.prompt = sim::FillTarget(prompt, target);
    context.cancel = text("CancelButton", "Cancel");
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* context = reinterpret_cast<DialogContext*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        context = reinterpret_cast<DialogContext*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        g_dialog = dialog;
        // The engine's texts arrive in the ANSI code page; they are widened here
        // rather than by the A window functions, which in a 32-bit process under
        // Wine's WoW64 mode decode with the host's UTF-8 instead of the code page.
        SetWindowTextW(dialog, sim::win::WideOf(context->caption, CP_ACP).c_str());
        SetDlgItemTextW(dialog, IDC_CERTIFY_PROMPT, sim::win::WideOf(context->prompt, CP_ACP).c_str());
        SetDlgItemTextW(dialog, IDCANCEL, sim::win::WideOf(context->cancel, CP_ACP).c_str());
        SendDlgItemMessageW(dialog, IDC_CERTIFY_PASSWORD, EM_LIMITTEXT, 50, 0);
        SetForegroundWindow(dialog);
        SetFocus(GetDlgItem(dialog, IDC_CERTIFY_PASSWORD));
        return FALSE; // focus set here
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            wchar_t typed[64] = {};
            const int length = GetDlgItemTextW(dialog, IDC_CERTIFY_PASSWORD, typed, 64);
            SetDlgItemTextW(dialog, IDC_CERTIFY_PASSWORD, L"");
            std::string ansi = Ansi(std::wstring(typed, static_cast<std::size_t>(length)));
            SecureWipe(typed, sizeof typed);
            const sim::Passcode passcode = PasscodeOfAnsi(ansi, context->judge->Class21());
            SecureWipe(ansi.data(), ansi.size());
            switch (context->judge->Attempt(passcode)) {
            case sim::CVerifyJudge::Verdict::Verified:
                context->end = {sim::VerifyEnd::Kind::Verified, context->judge->Outcome(), 0,
                                context->judge->VerifiedPasscode()};
                EndDialog(dialog, IDOK);
                break;
            case sim::CVerifyJudge::Verdict::RetryLimit:
                context->end = {sim::VerifyEnd::Kind::RetryLimit};
                EndDialog(dialog, IDABORT);
                break;
            case sim::CVerifyJudge::Verdict::Retry:
                SetDlgItemTextW(dialog, IDC_CERTIFY_MESSAGE, sim::win::WideOf(context->retry, CP_ACP).c_str());
                SetFocus(GetDlgItem(dialog, IDC_CERTIFY_PASSWORD));
                break;
            }
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            context->end = Cancelled();
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        g_dialog = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

sim::VerifyEnd RunDialog(sim::CVerifyJudge& judge, const std::string& language)
{
    DialogContext context;
    context.judge = &judge;
    const auto sent = [](const char* key, const char* fallback) {
        const std::string text = g_session.Text(key);
        return text.empty() ? std::string(fallback) : text;
    };
    context.caption = sent("CaptionTitle", "Password");
    context.retry = sent("DiagRetryPwMsg", "Verification error.  Input correct password.");
    ReadLanguageFile(context, language);
    const INT_PTR shown = DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_CERTIFY), GetActiveWindow(), DialogProc,
                                          reinterpret_cast<LPARAM>(&context));
    g_dialog = nullptr;
    if (shown == -1 || shown == 0) // no window could be made (no display)
        return {sim::VerifyEnd::Kind::Returned, 0, sim::kCertifyBadRequest};
    return context.end;
}

std::int32_t Verify(std::uint8_t* request, std::string& note)
{
    const auto flags = g_session.BeginVerify(request);
    if (!flags)
        return sim::kCertifyBadRequest;
    sim::NotebookState machine;
    {
        sim::win::CMachineAccess access;
        if (!access.Ok()) {
            note = "state-error";
            return g_session.FinishVerify(request, {sim::VerifyEnd::Kind::Returned, 0, sim::kCertifyBadRequest});
        }
        machine = access.State();
    }
    sim::CVerifyJudge judge(*flags, machine);
    const sim::VerifyEnd end = machine.realDialog ? RunDialog(judge, machine.language) : RunScript(judge, note);
    return g_session.FinishVerify(request, end);
}

} // namespace

LONG WINAPI CertifyRequest(BYTE* request)
{
    if (request == nullptr)
        return sim::kCertifyBadRequest;
    try {
        ++g_depth;
        const std::uint32_t code = sim::ReadWord(request, certify::kCodeOffset);
        sim::CJournalLine line("ORNPWCHK", "certify");
        line.Number("pid", GetCurrentProcessId()).Add("request", sim::CCertifySession::RequestName(code));
        line.Number("size", sim::ReadWord(request, certify::kSizeOffset));
        if (code == certify::kSetText) {
            const char* text = reinterpret_cast<const char*>(request + certify::kParameterOffset);
            line.Text("text", std::string(text, strnlen(text, certify::kMaxText + 1)));
        } else {
            line.Hex("param", sim::ReadWord(request, certify::kParameterOffset));
            line.Bytes("extra", request + certify::kExtraOffset, 8);
        }
        if (g_depth > 1)
            line.Number("nested", g_depth - 1);

        std::string note;
        std::int32_t result;
        if (code == certify::kVerify) {
            result = Verify(request, note);
            line.Hex("outcome", sim::ReadWord(request, certify::kParameterOffset));
        } else {
            std::optional<std::int32_t> openAnswer;
            if (code == certify::kOpen) {
                sim::win::CMachineAccess machine;
                sim::FirmwareSession unused;
                sim::CFirmware firmware(machine.State(), unused);
                if (const sim::Fault* fault = firmware.TakeFault(sim::Fault::Target::CertifyOpen))
                    openAnswer = static_cast<std::int32_t>(fault->value);
                if (firmware.Changed())
                    machine.MarkChanged();
            }
            result = g_session.Handle(request, openAnswer);
            if (code == certify::kAbort && result == 1 && g_dialog != nullptr)
                EndDialog(g_dialog, IDCANCEL);
        }
        if (!note.empty())
            line.Add("note", note);
        line.Number("ret", result);
        {
            sim::win::CMachineAccess machine;
            machine.Journal(line.Line());
        }
        --g_depth;
        return result;
    } catch (...) {
        --g_depth;
        return sim::kCertifyBadRequest;
    }
}

static_assert(std::is_same_v<decltype(&CertifyRequest), fwlib::certify_t>);

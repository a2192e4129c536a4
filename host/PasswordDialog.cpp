#include "PasswordDialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "HostTexts.h"
#include "ScanCodes.h"
#include "Texts.h"

namespace host {
namespace {

struct PasswordDialog {
    IPasswordCtl* control;
    PasswordPurpose purpose;
    pw::SecretText* result;
};

UINT TitleOf(PasswordPurpose purpose)
{
    switch (purpose) {
    case PasswordPurpose::SetUser: return IDS_TITLE_SET_USER;
    case PasswordPurpose::ChangeUser: return IDS_TITLE_CHANGE_USER;
    case PasswordPurpose::SetSupervisor: return IDS_TITLE_SET_SUPERVISOR;
    case PasswordPurpose::ChangeSupervisor: return IDS_TITLE_CHANGE_SUPERVISOR;
    }
    return IDS_TITLE_SET_USER;
}

// The text of an edit field, held as a secret.
void ReadField(HWND edit, pw::SecretText& out)
{
    out.Wipe();
    const int length = GetWindowTextLengthW(edit);
    out.text.assign(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(edit, out.text.data(), length + 1);
    out.text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
}

// Overwrites what the edit control holds before it lets the text go.
void ClearField(HWND edit)
{
    const int length = GetWindowTextLengthW(edit);
    if (length > 0) {
        const std::wstring filler(static_cast<std::size_t>(length), L'*');
        SendMessageW(edit, EM_SETSEL, 0, -1);
        SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(filler.c_str()));
    }
    SetWindowTextW(edit, L"");
}

// Bytes of a text in the thread's ANSI code page, as the control will count them.
std::size_t AnsiBytes(const wchar_t* text, std::size_t length)
{
    if (length == 0)
        return 0;
    const int n = WideCharToMultiByte(CP_THREAD_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

// Whether the thread's ANSI code page holds the character itself: the control
// would silently replace any other by the code page's default character,
// which is then a different password than the one typed.
bool InAnsiCodePage(wchar_t c)
{
    if (IS_HIGH_SURROGATE(c) || IS_LOW_SURROGATE(c))
        return false;
    char bytes[8];
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, &c, 1, bytes, sizeof bytes, nullptr,
                                      &usedDefault);
    return n > 0 && !usedDefault;
}

bool LegalForTheFirmware(IPasswordCtl* control, wchar_t c)
{
    if (c < 0x20 || c == 0x7F)
        return false; // editing keys never reach here; pasted control characters do
    const pw::SecretBstr one(std::wstring(1, c));
    LONG legal = 0;
    control->IsLegalChar(one.Get(), &legal);
    return legal != 0;
}

std::wstring Named(wchar_t c)
{
    if (c >= 0x20 && c != 0x7F && !IS_HIGH_SURROGATE(c) && !IS_LOW_SURROGATE(c))
        return std::wstring(1, c);
    wchar_t code[16];
    std::swprintf(code, 16, L"U+%04X", static_cast<unsigned>(c));
    return code;
}

void Refuse(HWND edit, UINT title, const std::wstring& text)
{
    const HWND dialog = GetParent(edit);
    SetDlgItemTextW(dialog, IDC_PASSWORD_MESSAGE, text.c_str());
    const std::wstring heading = Text(title);
    EDITBALLOONTIP tip{sizeof tip, heading.c_str(), text.c_str(), TTI_WARNING};
    SendMessageW(edit, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip));
    MessageBeep(MB_ICONWARNING);
}

// Whether `insert` may replace the field's selection: every character legal,
// the whole within the byte limit. Refuses with a tip otherwise.
bool Accept(HWND edit, IPasswordCtl* control, const std::wstring& insert)
{
    for (const wchar_t c : insert) {
        if (!InAnsiCodePage(c) || !LegalForTheFirmware(control, c)) {
            Refuse(edit, IDS_TIP_ILLEGAL_TITLE, Text(IDS_TIP_ILLEGAL, Named(c)));
            return false;
        }
    }
    pw::SecretText now;
    ReadField(edit, now);
    DWORD start = 0, end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    start = std::min<DWORD>(start, static_cast<DWORD>(now.text.size()));
    end = std::min<DWORD>(std::max(start, end), static_cast<DWORD>(now.text.size()));
    const std::size_t kept = AnsiBytes(now.text.data(), start) + AnsiBytes(now.text.data() + end, now.text.size() - end);
    if (kept + AnsiBytes(insert.data(), insert.size()) > scancode::kMaxPasswordBytes) {
        Refuse(edit, IDS_TIP_LIMIT_TITLE, Text(IDS_TIP_LIMIT));
        return false;
    }
    SetDlgItemTextW(GetParent(edit), IDC_PASSWORD_MESSAGE, L"");
    return true;
}

// Each character is judged as it is typed or pasted, before the field takes it.
LRESULT CALLBACK EntryProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    auto* control = reinterpret_cast<IPasswordCtl*>(data);
    switch (message) {
    case WM_CHAR: {
        const auto c = static_cast<wchar_t>(wParam);
        if (c < 0x20 || c == 0x7F)
            break; // backspace, the clipboard keys and the like: the field's own work
        if (!Accept(edit, control, std::wstring(1, c)))
            return 0;
        break;
    }
    case WM_PASTE: {
        pw::SecretText pasted;
        if (IsClipboardFormatAvailable(CF_UNICODETEXT) && OpenClipboard(edit)) {
            if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
                    pasted.text = text;
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
        }
        if (!pasted.text.empty() && Accept(edit, control, pasted.text))
            SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(pasted.text.c_str()));
        return 0;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(edit, EntryProc, 0);
        break;
    default:
        break;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

// Both fields equal; says so in the dialog when they are not.
bool BothEntriesMatch(HWND dialog, pw::SecretText& first)
{
    pw::SecretText second;
    ReadField(GetDlgItem(dialog, IDC_NEW_PASSWORD), first);
    ReadField(GetDlgItem(dialog, IDC_CONFIRM_PASSWORD), second);
    if (first.text == second.text)
        return true;
    SetDlgItemTextW(dialog, IDC_PASSWORD_MESSAGE, Text(IDS_MISMATCH).c_str());
    SetFocus(GetDlgItem(dialog, IDC_CONFIRM_PASSWORD));
    SendDlgItemMessageW(dialog, IDC_CONFIRM_PASSWORD, EM_SETSEL, 0, -1);
    first.Wipe();
    return false;
}

void SaveToFile(HWND dialog, IPasswordCtl* control)
{
    pw::SecretText password;
    if (!BothEntriesMatch(dialog, password))
        return;
    const pw::SecretBstr text(password.text);
    password.Wipe();
    LONG code = 0;
    control->CreatePasswordFile(text.Get(), &code);
    const Result result = Explain(results::Operation::Memo, code);
    if (result.success) {
        SetDlgItemTextW(dialog, IDC_PASSWORD_MESSAGE, result.sentence.c_str());
    } else {
        MessageBoxW(dialog, result.sentence.c_str(), Text(IDS_PRODUCT_NAME).c_str(), MB_OK | MB_ICONWARNING);
    }
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* context = reinterpret_cast<PasswordDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        context = reinterpret_cast<PasswordDialog*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetWindowTextW(dialog, Text(TitleOf(context->purpose)).c_str());
        SetItemText(dialog, IDC_CURRENT_NOTE, IDS_CURRENT_NOTE);
        SetItemText(dialog, IDC_NEW_LABEL, IDS_NEW_PASSWORD);
        SetItemText(dialog, IDC_CONFIRM_LABEL, IDS_CONFIRM_PASSWORD);
        SetItemText(dialog, IDC_SAVE_TO_FILE, IDS_SAVE_TO_FILE);
        SetItemText(dialog, IDOK, IDS_OK);
        SetItemText(dialog, IDCANCEL, IDS_CANCEL);
        for (const int field : {IDC_NEW_PASSWORD, IDC_CONFIRM_PASSWORD})
            SetWindowSubclass(GetDlgItem(dialog, field), EntryProc, 0, reinterpret_cast<DWORD_PTR>(context->control));
        // Passcodes are made from the keys of the US layout: the person types on it.
        context->control->ChangeUSKeyboard();
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            if (BothEntriesMatch(dialog, *context->result))
                EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        case IDC_SAVE_TO_FILE:
            SaveToFile(dialog, context->control);
            return TRUE;
        default:
            return FALSE;
        }
    case WM_DESTROY:
        ClearField(GetDlgItem(dialog, IDC_NEW_PASSWORD));
        ClearField(GetDlgItem(dialog, IDC_CONFIRM_PASSWORD));
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

bool AskNewPassword(HWND owner, IPasswordCtl* control, PasswordPurpose purpose, pw::SecretText& password)
{
    PasswordDialog context{control, purpose, &password};
    const INT_PTR answer = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PASSWORD), owner,
                                           DialogProc, reinterpret_cast<LPARAM>(&context));
    if (answer != IDOK)
        password.Wipe();
    return answer == IDOK;
}

} // namespace host

#include "MainWindow.h"

#include "HostTexts.h"
#include "PasswordDialog.h"
#include "PolicyDialog.h"
#include "SecretText.h"
#include "Texts.h"

namespace host {

using results::Operation;

namespace {

constexpr UINT kStartMessage = WM_APP + 100; // after the window shows: Init may open the verification dialog

// The controls an operation may use, each enabled only when the control says so.
constexpr int kOperationControls[] = {IDC_USER_SET,          IDC_USER_CHANGE,       IDC_USER_DELETE,
                                      IDC_USER_HDD,          IDC_SUPERVISOR_SET,    IDC_SUPERVISOR_CHANGE,
                                      IDC_SUPERVISOR_DELETE, IDC_SUPERVISOR_POLICY, IDC_OWNER_EDIT,
                                      IDC_OWNER_APPLY};

// Start-up codes after which the firmware libraries are bound and the
// machine's state can be read: ready, skipped, or not verified.
bool UsableAfterInit(LONG code)
{
    switch (code) {
    case 0: case 110: case 4: case 5: case 6: return true;
    default: return false;
    }
}

// An owned BSTR for a text that is not secret.
struct Bstr {
    BSTR b = nullptr;
    Bstr() = default;
    explicit Bstr(const std::wstring& text) : b(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(b); }
};

} // namespace

// Marks a call into the control: the panels are disabled meanwhile (the
// verification dialog runs a message loop of its own), the window may still
// be closed.
class CBusy {
public:
    explicit CBusy(CMainWindow& window) : m_window(window)
    {
        m_window.m_busy = true;
        m_window.EnableOperations(false);
        SetDlgItemTextW(m_window.m_dialog, IDC_STATUS, Text(IDS_WORKING).c_str());
    }
    ~CBusy() { m_window.m_busy = false; }
    CBusy(const CBusy&) = delete;
    CBusy& operator=(const CBusy&) = delete;

private:
    CMainWindow& m_window;
};

HWND CMainWindow::Create()
{
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr, Proc,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CMainWindow::Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CMainWindow*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        self = reinterpret_cast<CMainWindow*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->m_dialog = dialog;
        self->OnInit();
        return TRUE;
    case kStartMessage:
        self->Start();
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            self->OnCommand(LOWORD(wParam));
        return TRUE;
    case WM_CLOSE:
        self->Close();
        return TRUE;
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(dialog, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return TRUE;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    default:
        return FALSE;
    }
}

void CMainWindow::OnInit()
{
    SetWindowTextW(m_dialog, Text(IDS_PRODUCT_NAME).c_str());
    const struct {
        int control;
        UINT text;
    } labels[] = {
        {IDC_USER_GROUP, IDS_USER_GROUP},
        {IDC_USER_SET, IDS_SET},
        {IDC_USER_CHANGE, IDS_CHANGE},
        {IDC_USER_DELETE, IDS_DELETE},
        {IDC_USER_HDD, IDS_ALSO_HDD},
        {IDC_SUPERVISOR_GROUP, IDS_SUPERVISOR_GROUP},
        {IDC_SUPERVISOR_SET, IDS_SET},
        {IDC_SUPERVISOR_CHANGE, IDS_CHANGE},
        {IDC_SUPERVISOR_DELETE, IDS_DELETE},
        {IDC_SUPERVISOR_POLICY, IDS_POLICY},
        {IDC_OWNER_GROUP, IDS_OWNER_GROUP},
        {IDC_OWNER_APPLY, IDS_APPLY},
        {IDCANCEL, IDS_CLOSE},
        {IDC_STATUS, IDS_STARTING},
    };
    for (const auto& label : labels)
        SetItemText(m_dialog, label.control, label.text);
    // The larger owner-string area holds 512 characters and the terminator.
    SendDlgItemMessageW(m_dialog, IDC_OWNER_EDIT, EM_LIMITTEXT, 512, 0);
    ShowWindow(GetDlgItem(m_dialog, IDC_USER_HDD), SW_HIDE);
    EnableOperations(false);
    PostMessageW(m_dialog, kStartMessage, 0, 0);
}

void CMainWindow::Start()
{
    LONG code = 0;
    {
        CBusy busy(*this);
        m_control->Init(&code);
    }
    if (Closing())
        return;
    m_usable = UsableAfterInit(code);
    const Result result = Explain(Operation::Init, code);
    SetDlgItemTextW(m_dialog, IDC_STATUS, result.sentence.c_str());
    if (!result.success)
        MessageBoxW(m_dialog, result.sentence.c_str(), Text(IDS_PRODUCT_NAME).c_str(), MB_OK | MB_ICONWARNING);
    Refresh();
    LoadOwner();
}

void CMainWindow::OnCommand(int id)
{
    if (m_busy && id != IDCANCEL)
        return;
    switch (id) {
    case IDC_USER_SET: SetPassword(true); break;
    case IDC_USER_CHANGE: ChangePassword(true); break;
    case IDC_USER_DELETE: DeletePassword(true); break;
    case IDC_SUPERVISOR_SET: SetPassword(false); break;
    case IDC_SUPERVISOR_CHANGE: ChangePassword(false); break;
    case IDC_SUPERVISOR_DELETE: DeletePassword(false); break;
    case IDC_SUPERVISOR_POLICY: EditUserPolicy(); break;
    case IDC_OWNER_APPLY: ApplyOwner(); break;
    case IDCANCEL: Close(); break;
    default: break;
    }
}

void CMainWindow::Close()
{
    if (m_busy) {
        // The verification dialog is up inside the control's call: ask it to
        // end; the window goes once that call has returned.
        m_closeRequested = true;
        if (!m_quitSent) {
            m_quitSent = true;
            m_control->ForceQuit(0);
        }
        return;
    }
    DestroyWindow(m_dialog);
}

bool CMainWindow::Closing()
{
    if (!m_closeRequested)
        return false;
    DestroyWindow(m_dialog);
    return true;
}

void CMainWindow::SetPassword(bool user)
{
    pw::SecretText password;
    if (!AskNewPassword(m_dialog, m_control, user ? PasswordPurpose::SetUser : PasswordPurpose::SetSupervisor,
                        password))
        return;
    const bool withHdd = user && m_hddSupported && IsDlgButtonChecked(m_dialog, IDC_USER_HDD) == BST_CHECKED;
    const pw::SecretBstr text(password.text);
    password.Wipe();
    LONG code = 0;
    {
        CBusy busy(*this);
        m_control->SetPassword(text.Get(), withHdd ? 1 : 0, user ? 1 : 0, &code);
    }
    PasswordWritten(Operation::SetPassword, code);
}

void CMainWindow::ChangePassword(bool user)
{
    pw::SecretText password;
    if (!AskNewPassword(m_dialog, m_control,
                        user ? PasswordPurpose::ChangeUser : PasswordPurpose::ChangeSupervisor, password))
        return;
    const pw::SecretBstr text(password.text);
    password.Wipe();
    LONG code = 0;
    {
        CBusy busy(*this);
        m_control->ChangePassword(text.Get(), user ? 1 : 0, &code);
    }
    PasswordWritten(Operation::ChangePassword, code);
}

void CMainWindow::DeletePassword(bool user)
{
    if (!Ask(user ? IDS_CONFIRM_DELETE_USER : IDS_CONFIRM_DELETE_SUPERVISOR))
        return;
    LONG code = 0;
    {
        CBusy busy(*this);
        m_control->DeletePassword(user ? 1 : 0, &code);
    }
    PasswordWritten(Operation::DeletePassword, code);
}

void CMainWindow::ApplyOwner()
{
    const HWND edit = GetDlgItem(m_dialog, IDC_OWNER_EDIT);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    const Bstr owner(text);
    LONG code = 0;
    {
        CBusy busy(*this);
        m_control->SetOwnerString(owner.b, &code);
    }
    if (Closing())
        return;
    const bool done = Report(Operation::SetOwner, code);
    Refresh();
    if (done)
        LoadOwner(); // shows the text as the machine keeps it
}

void CMainWindow::EditUserPolicy()
{
    UserPolicy policy{};
    LONG code = 0;
    {
        CBusy busy(*this);
        m_control->GetPolicyStatus(&policy, &code);
    }
    if (Closing())
        return;
    Refresh();
    if (!Explain(Operation::GetPolicy, code).success) {
        Report(Operation::GetPolicy, code);
        return;
    }
    if (!EditPolicy(m_dialog, policy))
        return;
    {
        CBusy busy(*this);
        m_control->SetPolicy(policy, &code);
    }
    if (Closing())
        return;
    Report(Operation::SetPolicy, code);
    Refresh();
}

void CMainWindow::EnableOperations(bool enable)
{
    for (const int id : kOperationControls)
        EnableWindow(GetDlgItem(m_dialog, id), enable);
}

void CMainWindow::Refresh()
{
    if (!m_usable) {
        EnableOperations(false);
        return;
    }
    CTLStatus user{}, supervisor{};
    m_control->GetCTLStatus(1, &user);
    m_control->GetCTLStatus(0, &supervisor);
    LONG supported = 0, enabled = 0, code = 0;
    m_control->IsSuppordHdd(&supported, &enabled, &code);
    m_hddSupported = Explain(Operation::HddSupport, code).success && supported != 0;

    const auto enable = [this](int id, LONG flag) { EnableWindow(GetDlgItem(m_dialog, id), flag != 0); };
    enable(IDC_USER_SET, user.IsSetPassButtonEnabled);
    enable(IDC_USER_CHANGE, user.IsChangePassButtonEnabled);
    enable(IDC_USER_DELETE, user.IsDeletePassButtonEnabled);
    ShowWindow(GetDlgItem(m_dialog, IDC_USER_HDD), m_hddSupported ? SW_SHOW : SW_HIDE);
    enable(IDC_USER_HDD, m_hddSupported && user.IsSetPassButtonEnabled);
    enable(IDC_OWNER_EDIT, user.IsOwnerEditEnabled);
    enable(IDC_OWNER_APPLY, user.IsOwnerEditEnabled);
    enable(IDC_SUPERVISOR_SET, supervisor.IsSetPassButtonEnabled);
    enable(IDC_SUPERVISOR_CHANGE, supervisor.IsChangePassButtonEnabled);
    enable(IDC_SUPERVISOR_DELETE, supervisor.IsDeletePassButtonEnabled);
    enable(IDC_SUPERVISOR_POLICY, supervisor.IsChangeUPolicyButtonEnabled);
}

void CMainWindow::LoadOwner()
{
    if (!IsWindowEnabled(GetDlgItem(m_dialog, IDC_OWNER_EDIT)))
        return; // the machine keeps no owner string, or start-up ended early
    Bstr owner;
    LONG code = 0;
    m_control->GetOwnerString(&owner.b, &code);
    if (Explain(Operation::GetOwner, code).success)
        SetDlgItemTextW(m_dialog, IDC_OWNER_EDIT, owner.b ? owner.b : L"");
    else
        Report(Operation::GetOwner, code);
}

bool CMainWindow::Report(Operation operation, LONG code)
{
    const Result result = Explain(operation, code);
    if (result.success) {
        SetDlgItemTextW(m_dialog, IDC_STATUS, result.sentence.c_str());
    } else {
        SetDlgItemTextW(m_dialog, IDC_STATUS, L"");
        MessageBoxW(m_dialog, result.sentence.c_str(), Text(IDS_PRODUCT_NAME).c_str(), MB_OK | MB_ICONWARNING);
    }
    return result.success;
}

bool CMainWindow::Ask(UINT question)
{
    return MessageBoxW(m_dialog, Text(question).c_str(), Text(IDS_PRODUCT_NAME).c_str(),
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

// After a password was set, changed or deleted: the result, the panels as
// they now are, and on success the offer of a restart.
void CMainWindow::PasswordWritten(Operation operation, LONG code)
{
    if (Closing())
        return;
    const bool done = Report(operation, code);
    Refresh();
    if (done)
        OfferRestart();
}

// The firmware takes a new password at the next start; the restart is only
// ever made on the person's click.
void CMainWindow::OfferRestart()
{
    if (Ask(IDS_OFFER_REBOOT))
        m_control->DoReboot();
}

} // namespace host

#include "PolicyDialog.h"

#include "HostTexts.h"
#include "Texts.h"

namespace host {
namespace {

// The record's fields in their order, each with its label.
struct Permission {
    INT UserPolicy::*field;
    UINT label;
};
constexpr Permission kPermissions[] = {
    {&UserPolicy::nPermitSetUPass, IDS_PERMIT_SET_USER},
    {&UserPolicy::nPermitDelUPass, IDS_PERMIT_DELETE_USER},
    {&UserPolicy::nPermitChgUPass, IDS_PERMIT_CHANGE_USER},
    {&UserPolicy::nPermitOpenQSS, IDS_PERMIT_SETUP_TOOL},
    {&UserPolicy::nPermitUpdateBIOS, IDS_PERMIT_UPDATE_BIOS},
    {&UserPolicy::nPermitSetDelHPass, IDS_PERMIT_SET_DELETE_HDD},
    {&UserPolicy::nPermitChgHPass, IDS_PERMIT_CHANGE_HDD},
    {&UserPolicy::nPermitOnOffTpm, IDS_PERMIT_TPM_ON_OFF},
    {&UserPolicy::nPermitOwnClrTpm, IDS_PERMIT_TPM_CLEAR},
};
constexpr INT kNotOffered = 2;

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* policy = reinterpret_cast<UserPolicy*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        policy = reinterpret_cast<UserPolicy*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetWindowTextW(dialog, Text(IDS_POLICY_TITLE).c_str());
        SetItemText(dialog, IDC_POLICY_INTRO, IDS_POLICY_INTRO);
        SetItemText(dialog, IDOK, IDS_OK);
        SetItemText(dialog, IDCANCEL, IDS_CANCEL);
        bool someNotOffered = false;
        int id = IDC_PERMIT_FIRST;
        for (const Permission& p : kPermissions) {
            const INT value = policy->*p.field;
            SetItemText(dialog, id, p.label);
            CheckDlgButton(dialog, id, value == 1 ? BST_CHECKED : BST_UNCHECKED);
            EnableWindow(GetDlgItem(dialog, id), value != kNotOffered);
            someNotOffered = someNotOffered || value == kNotOffered;
            ++id;
        }
        if (someNotOffered)
            SetItemText(dialog, IDC_POLICY_NOTE, IDS_POLICY_NOT_OFFERED);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            int id = IDC_PERMIT_FIRST;
            for (const Permission& p : kPermissions) {
                if (policy->*p.field != kNotOffered)
                    policy->*p.field = IsDlgButtonChecked(dialog, id) == BST_CHECKED ? 1 : 0;
                ++id;
            }
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

bool EditPolicy(HWND owner, UserPolicy& policy)
{
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_POLICY), owner, DialogProc,
                           reinterpret_cast<LPARAM>(&policy)) == IDOK;
}

} // namespace host

#include "DoMode.h"

#include "ComModule.h"

namespace {
constexpr int kTemplate = 201;
constexpr UINT kCloseMessage = WM_APP + 1;
} // namespace

INT_PTR DoMode::DoModal(HWND parent)
{
    const INT_PTR result = DialogBoxParamW(velt::ModuleInstance(), MAKEINTRESOURCEW(kTemplate), parent, DialogProc,
                                           reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

INT_PTR CALLBACK DoMode::DialogProc(HWND window, UINT message, WPARAM wp, LPARAM lp)
{
    switch (message) {
    case WM_INITDIALOG: {
        auto* self = reinterpret_cast<DoMode*>(lp);
        SetWindowLongPtrW(window, DWLP_USER, lp);
        self->m_hWnd = window;
        SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
        SetLayeredWindowAttributes(window, 0, 0, LWA_ALPHA);
        return TRUE;
    }
    case WM_KEYDOWN:
    case WM_CHAR:
        return TRUE; // swallowed
    case kCloseMessage:
        EndDialog(window, IDOK);
        return TRUE;
    case WM_COMMAND: // the dialog framework's default: OK and Cancel end it
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
            EndDialog(window, LOWORD(wp));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

// Puts text into an edit control and exits 0. A system whose edit controls
// cannot take text (Wine 8's WoW64 mode crashes a 32-bit program in its text
// shaping) ends this program with a fault instead.
#include <windows.h>

int main()
{
    const HWND edit = CreateWindowExW(0, L"Edit", L"", WS_POPUP | ES_PASSWORD | ES_AUTOHSCROLL, 0, 0, 100, 20, nullptr,
                                      nullptr, nullptr, nullptr);
    if (edit == nullptr)
        return 2;
    SendMessageW(edit, WM_CHAR, L'a', 0);
    wchar_t text[8] = {};
    const int length = GetWindowTextW(edit, text, 8);
    DestroyWindow(edit);
    return length == 1 && text[0] == L'a' ? 0 : 1;
}

// Stands in for every program the launcher starts. Appends one line to
// "<own path>.rec": the exact command line, the current directory and the
// show state it was started with; then exits with the code found in
// "<own path>.code" (first number; a second number is a wait in ms).
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    return path;
}

} // namespace

int wmain()
{
    const std::wstring self = OwnPath();
    wchar_t cwd[MAX_PATH * 4] = {};
    GetCurrentDirectoryW(MAX_PATH * 4, cwd);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

    const std::string line =
        "CMD=" + Utf8(GetCommandLineW()) + "\tCWD=" + Utf8(cwd) + "\tSHOW=" + std::to_string(show) + "\n";
    if (FILE* rec = _wfopen((self + L".rec").c_str(), L"ab")) {
        std::fwrite(line.data(), 1, line.size(), rec);
        std::fclose(rec);
    }

    long code = 0;
    long waitMs = 0;
    if (FILE* f = _wfopen((self + L".code").c_str(), L"rb")) {
        if (std::fscanf(f, "%li %li", &code, &waitMs) < 1)
            code = 0;
        std::fclose(f);
    }
    if (waitMs > 0)
        Sleep(static_cast<DWORD>(waitMs));
    return static_cast<int>(code);
}

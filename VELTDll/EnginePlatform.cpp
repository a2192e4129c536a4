#include "EnginePlatform.h"

#include <commdlg.h>
#include <direct.h>
#include <imm.h>

#include <climits>

#include "SecureWipe.h"

BOOL EnginePlatform::GetVersionRecord(OSVERSIONINFOA& info)
{
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return ::GetVersionExA(&info);
#pragma GCC diagnostic pop
}

std::vector<HKL> EnginePlatform::KeyboardLayouts()
{
    const int count = ::GetKeyboardLayoutList(0, nullptr);
    std::vector<HKL> layouts(count > 0 ? static_cast<std::size_t>(count) : 0);
    if (!layouts.empty()) {
        const int got = ::GetKeyboardLayoutList(count, layouts.data());
        layouts.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    return layouts;
}

void EnginePlatform::DisableImeForThread()
{
    ::ImmDisableIME(::GetCurrentThreadId());
}

HKL EnginePlatform::LoadKeyboardLayoutA(const char* id, UINT flags)
{
    return ::LoadKeyboardLayoutA(id, flags);
}

HKL EnginePlatform::ActivateKeyboardLayout(HKL layout, UINT flags)
{
    return ::ActivateKeyboardLayout(layout, flags);
}

BOOL EnginePlatform::UnloadKeyboardLayout(HKL layout)
{
    return ::UnloadKeyboardLayout(layout);
}

std::string EnginePlatform::WideToAnsi(const wchar_t* text)
{
    if (text == nullptr || *text == L'\0')
        return {};
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1)
        return {};
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), bytes, nullptr, nullptr);
    narrow.resize(static_cast<std::size_t>(bytes - 1));
    return narrow;
}

std::wstring EnginePlatform::AnsiToWide(const std::string& text)
{
    if (text.empty())
        return {};
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (chars <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(chars), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), chars);
    return wide;
}

// The platform's CharToOemBuff goes the same way (ANSI to UTF-16 to OEM,
// unmappable characters as the OEM default character), but through a
// temporary UTF-16 copy that it frees unwiped: a password would stay in the
// heap. Here the copy is ours and is wiped.
void EnginePlatform::AnsiToOem(char* text, DWORD length)
{
    if (text == nullptr || length == 0 || length > static_cast<DWORD>(INT_MAX))
        return;
    const int count = static_cast<int>(length);
    std::vector<wchar_t> wide(length);
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, text, count, wide.data(), count);
    if (chars > 0)
        ::WideCharToMultiByte(CP_OEMCP, 0, wide.data(), chars, text, count, nullptr, nullptr);
    SecureWipe(wide.data(), wide.size() * sizeof(wchar_t));
}

DWORD EnginePlatform::OemKeyScan(WORD oemChar)
{
    return ::OemKeyScan(oemChar);
}

std::string EnginePlatform::StringEntry(UINT id)
{
    char text[1024] = {};
    const int n = ::LoadStringA(ResourceModule(), id, text, sizeof text);
    return std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0);
}

BOOL EnginePlatform::WriteProfileString(const char* section, const char* key, const char* value, const char* file)
{
    return ::WritePrivateProfileStringA(section, key, value, file);
}

void EnginePlatform::Sleep(DWORD milliseconds)
{
    ::Sleep(milliseconds);
}

HMODULE EnginePlatform::LoadModule(const char* path)
{
    return ::LoadLibraryA(path);
}

FARPROC EnginePlatform::FindEntryPoint(HMODULE module, const char* name)
{
    return ::GetProcAddress(module, name);
}

BOOL EnginePlatform::ReleaseModule(HMODULE module)
{
    return ::FreeLibrary(module);
}

HMODULE EnginePlatform::FindLoadedModule(const char* name)
{
    return ::GetModuleHandleA(name);
}

DWORD EnginePlatform::ModuleFileName(HMODULE module, char* buffer, DWORD size)
{
    return ::GetModuleFileNameA(module, buffer, size);
}

void EnginePlatform::PostQuitMessage(int exitCode)
{
    ::PostQuitMessage(exitCode);
}

BOOL EnginePlatform::OpenProcessTokenForAdjust(HANDLE* token)
{
    return ::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token);
}

BOOL EnginePlatform::LookupPrivilege(const char* name, LUID* luid)
{
    return ::LookupPrivilegeValueA(nullptr, name, luid);
}

BOOL EnginePlatform::EnablePrivilege(HANDLE token, const LUID& luid)
{
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid = luid;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    return ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
}

BOOL EnginePlatform::CloseTokenHandle(HANDLE token)
{
    return ::CloseHandle(token);
}

BOOL EnginePlatform::RestartSystem()
{
    return ::ExitWindowsEx(EWX_REBOOT, 0);
}

DWORD EnginePlatform::LastError()
{
    return ::GetLastError();
}

std::string EnginePlatform::SystemMessage(DWORD code)
{
    char text[260] = {};
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    return text;
}

int EnginePlatform::ShowMessageBox(const char* text, UINT type)
{
    return ::MessageBoxA(nullptr, text, nullptr, type);
}

bool EnginePlatform::AskSaveFile(const SaveDialog& dialog, std::string& path)
{
    char file[MAX_PATH] = {};
    lstrcpynA(file, dialog.fileName, MAX_PATH);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = nullptr;
    ofn.lpstrFilter = dialog.filter;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = dialog.defaultExtension;
    ofn.Flags = dialog.flags;
    if (!::GetSaveFileNameA(&ofn))
        return false;
    path = file;
    return true;
}

HANDLE EnginePlatform::CreateFileForWriting(const char* path)
{
    return ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

BOOL EnginePlatform::WriteFileBytes(HANDLE file, const void* data, DWORD size, DWORD* written)
{
    return ::WriteFile(file, data, size, written, nullptr);
}

BOOL EnginePlatform::CloseFile(HANDLE file)
{
    return ::CloseHandle(file);
}

BOOL EnginePlatform::DeleteFileAt(const char* path)
{
    return ::DeleteFileA(path);
}

int EnginePlatform::CurrentDrive()
{
    return ::_getdrive();
}

int EnginePlatform::ChangeDrive(int drive)
{
    return ::_chdrive(drive);
}

HMODULE EnginePlatform::ResourceModule()
{
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&DefaultEnginePlatform), &module);
    return module;
}

EnginePlatform& DefaultEnginePlatform()
{
    static EnginePlatform platform;
    return platform;
}

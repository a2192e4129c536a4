#include "EnginePlatform.h"

#include <imm.h>

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

void EnginePlatform::AnsiToOem(char* text, DWORD length)
{
    ::CharToOemBuffA(text, text, length);
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

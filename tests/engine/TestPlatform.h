// The engine's platform for tests: real services by default, with knobs for
// what a test must control (operating system version, keyboard layouts, the
// install folder, sleeping) and a record of the keyboard calls.
#pragma once

#include <string>
#include <vector>

#include "EnginePlatform.h"

class TestPlatform : public EnginePlatform {
public:
    // Version record; unset means the real one.
    bool versionFails = false;
    bool fakeVersion = false;
    DWORD platformId = VER_PLATFORM_WIN32_NT, major = 6, minor = 1;

    // Keyboard: the loaded layouts to report, and what was asked of us.
    std::vector<HKL> layouts;
    std::vector<std::string> keyboardCalls;

    // Install folder: when set, "VELTDll.dll" is claimed to live there.
    std::string installFolder;
    int moduleLookups = 0;

    // Sleeps are counted, not slept.
    std::vector<DWORD> sleeps;

    BOOL GetVersionRecord(OSVERSIONINFOA& info) override
    {
        if (versionFails)
            return FALSE;
        if (!fakeVersion)
            return EnginePlatform::GetVersionRecord(info);
        info.dwPlatformId = platformId;
        info.dwMajorVersion = major;
        info.dwMinorVersion = minor;
        return TRUE;
    }
    std::vector<HKL> KeyboardLayouts() override { return layouts; }
    void DisableImeForThread() override { keyboardCalls.push_back("ime-off"); }
    HKL LoadKeyboardLayoutA(const char* id, UINT flags) override
    {
        keyboardCalls.push_back(std::string("load ") + id + " " + std::to_string(flags));
        return reinterpret_cast<HKL>(static_cast<ULONG_PTR>(0x04090409));
    }
    HKL ActivateKeyboardLayout(HKL layout, UINT flags) override
    {
        keyboardCalls.push_back("activate " + std::to_string(reinterpret_cast<ULONG_PTR>(layout)) + " " +
                                std::to_string(flags));
        return layout;
    }
    BOOL UnloadKeyboardLayout(HKL layout) override
    {
        keyboardCalls.push_back("unload " + std::to_string(reinterpret_cast<ULONG_PTR>(layout)));
        return TRUE;
    }
    HMODULE FindLoadedModule(const char* name) override
    {
        ++moduleLookups;
        if (installFolder.empty())
            return EnginePlatform::FindLoadedModule(name);
        return GetModuleHandleA(nullptr); // any module; its name comes from below
    }
    DWORD ModuleFileName(HMODULE module, char* buffer, DWORD size) override
    {
        if (installFolder.empty())
            return EnginePlatform::ModuleFileName(module, buffer, size);
        const std::string name = installFolder + "VELTDll.dll";
        lstrcpynA(buffer, name.c_str(), static_cast<int>(size));
        return static_cast<DWORD>(name.size());
    }
    void Sleep(DWORD milliseconds) override { sleeps.push_back(milliseconds); }
};

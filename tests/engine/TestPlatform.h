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

    // Verification library: when certifyEntry is set, "ORNPWCHK.DLL" loads
    // as a module of our own whose "certify" is that entry point.
    FARPROC certifyEntry = nullptr;
    bool certifyPresent = true;
    int certifyLoads = 0;
    int certifyReleases = 0;
    static HMODULE CertifyModule() { return reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x7E570000)); }
    static bool IsCertifyPath(const char* path)
    {
        const std::string p(path);
        return p.size() >= 12 && lstrcmpiA(p.c_str() + p.size() - 12, "ORNPWCHK.DLL") == 0;
    }
    HMODULE LoadModule(const char* path) override
    {
        if (certifyEntry == nullptr || !IsCertifyPath(path))
            return EnginePlatform::LoadModule(path);
        ++certifyLoads;
        return certifyPresent ? CertifyModule() : nullptr;
    }
    FARPROC FindEntryPoint(HMODULE module, const char* name) override
    {
        if (module == CertifyModule())
            return std::string(name) == "certify" ? certifyEntry : nullptr;
        return EnginePlatform::FindEntryPoint(module, name);
    }
    BOOL ReleaseModule(HMODULE module) override
    {
        if (module == CertifyModule()) {
            ++certifyReleases;
            return TRUE;
        }
        return EnginePlatform::ReleaseModule(module);
    }

    // The message queue: quit messages are recorded, not posted.
    std::vector<int> quitMessages;
    void PostQuitMessage(int exitCode) override { quitMessages.push_back(exitCode); }

    // Restarting: recorded and answered as scripted; never the real machine.
    std::vector<std::string> rebootCalls;
    BOOL tokenResult = TRUE, lookupResult = TRUE, enableResult = TRUE, restartResult = TRUE;
    DWORD lastError = 0;
    BOOL OpenProcessTokenForAdjust(HANDLE* token) override
    {
        rebootCalls.push_back("token");
        *token = tokenResult ? reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x70C)) : nullptr;
        return tokenResult;
    }
    BOOL LookupPrivilege(const char* name, LUID* luid) override
    {
        rebootCalls.push_back(std::string("lookup ") + name);
        luid->LowPart = 19;
        luid->HighPart = 0;
        return lookupResult;
    }
    BOOL EnablePrivilege(HANDLE, const LUID& luid) override
    {
        rebootCalls.push_back("enable " + std::to_string(luid.LowPart));
        return enableResult;
    }
    BOOL CloseTokenHandle(HANDLE token) override
    {
        rebootCalls.push_back("close " + std::to_string(reinterpret_cast<ULONG_PTR>(token)));
        return TRUE;
    }
    BOOL RestartSystem() override
    {
        rebootCalls.push_back("restart");
        return restartResult;
    }
    DWORD LastError() override { return lastError; }
    int ShowMessageBox(const char* text, UINT type) override
    {
        rebootCalls.push_back("message " + std::to_string(type) + " " + text);
        return IDOK;
    }

    // The save dialog: confirmed with dialogPath, or cancelled when empty.
    std::string dialogPath;
    std::vector<SaveDialog> dialogs;
    bool AskSaveFile(const SaveDialog& dialog, std::string& path) override
    {
        dialogs.push_back(dialog);
        if (dialogPath.empty())
            return false;
        path = dialogPath;
        return true;
    }
    // Writing: real unless told to fail (with lastError as the cause) or
    // to come up short.
    bool writeFails = false;
    bool shortWrite = false;
    BOOL WriteFileBytes(HANDLE file, const void* data, DWORD size, DWORD* written) override
    {
        if (writeFails) {
            *written = 0;
            return FALSE;
        }
        if (shortWrite && size > 0)
            return EnginePlatform::WriteFileBytes(file, data, size - 1, written);
        return EnginePlatform::WriteFileBytes(file, data, size, written);
    }
    std::vector<int> driveChanges;
    int ChangeDrive(int drive) override
    {
        driveChanges.push_back(drive);
        return EnginePlatform::ChangeDrive(drive);
    }
};

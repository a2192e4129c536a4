// The engine's window on the operating system. Every Win32 service the
// engine uses goes through this one class, so a test can give an old
// operating system, a missing US layout or a clock that does not sleep by
// overriding a method; the defaults make the real calls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class EnginePlatform {
public:
    virtual ~EnginePlatform() = default;

    // Operating system: the narrow version record (size 148).
    virtual BOOL GetVersionRecord(OSVERSIONINFOA& info);

    // Keyboard layouts and the input method editor.
    virtual std::vector<HKL> KeyboardLayouts();
    virtual void DisableImeForThread();
    virtual HKL LoadKeyboardLayoutA(const char* id, UINT flags);
    virtual HKL ActivateKeyboardLayout(HKL layout, UINT flags);
    virtual BOOL UnloadKeyboardLayout(HKL layout);

    // Text: UTF-16 to the thread's ANSI code page, ANSI to OEM in place, and
    // the OEM key-scan lookup of the active layout.
    virtual std::string WideToAnsi(const wchar_t* text);
    virtual std::wstring AnsiToWide(const std::string& text);
    virtual void AnsiToOem(char* text, DWORD length);
    virtual DWORD OemKeyScan(WORD oemChar);

    // Entries of the library's own string table (narrow).
    virtual std::string StringEntry(UINT id);
    virtual BOOL WriteProfileString(const char* section, const char* key, const char* value, const char* file);

    virtual void Sleep(DWORD milliseconds);

    // Libraries.
    virtual HMODULE LoadModule(const char* path);
    virtual FARPROC FindEntryPoint(HMODULE module, const char* name);
    virtual BOOL ReleaseModule(HMODULE module);
    // A module already loaded in the process, by file name; null when none.
    virtual HMODULE FindLoadedModule(const char* name);
    virtual DWORD ModuleFileName(HMODULE module, char* buffer, DWORD size);

    // The calling thread's message queue.
    virtual void PostQuitMessage(int exitCode);

    // Restarting the machine: the process token, the shutdown privilege, the
    // restart request and the report of a refused one.
    virtual BOOL OpenProcessTokenForAdjust(HANDLE* token);
    virtual BOOL LookupPrivilege(const char* name, LUID* luid);
    virtual BOOL EnablePrivilege(HANDLE token, const LUID& luid);
    virtual BOOL CloseTokenHandle(HANDLE token);
    virtual BOOL RestartSystem();
    virtual DWORD LastError();
    virtual std::string SystemMessage(DWORD code);
    virtual int ShowMessageBox(const char* text, UINT type);

    // The modal save-file dialog: true with the chosen path when confirmed.
    struct SaveDialog {
        const char* defaultExtension;
        const char* fileName;
        const char* filter; // pairs of zero-terminated texts, ended by an empty one
        DWORD flags;
    };
    virtual bool AskSaveFile(const SaveDialog& dialog, std::string& path);

    // Files for the password memo.
    virtual HANDLE CreateFileForWriting(const char* path);
    virtual BOOL WriteFileBytes(HANDLE file, const void* data, DWORD size, DWORD* written);
    virtual BOOL CloseFile(HANDLE file);
    virtual BOOL DeleteFileAt(const char* path);
    virtual int CurrentDrive();
    virtual int ChangeDrive(int drive);

    // The module that carries the engine's resources: the library itself, or
    // the program that links the engine in.
    static HMODULE ResourceModule();
};

// The real services.
EnginePlatform& DefaultEnginePlatform();

// Helpers for the tests that run as Windows programs under Wine: temporary
// folders, files, and child processes with their output and exit code.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace pwtest {

// Folder of the running test program, ending in a backslash.
std::wstring BinFolder();
// The build's bin folder, ending in a backslash: where every deliverable and
// helper program lands. Test programs that need a folder of their own (for
// their "DbgLog.ini") live one level below it.
std::wstring BuildBinFolder();

// A fresh folder under %TEMP%, removed with its content on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& Path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

void RemoveTree(const std::wstring& path);
bool Exists(const std::wstring& path);
bool IsFolder(const std::wstring& path);
// Whole file as bytes; empty when missing.
std::string ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
// Whether a program of this build can put text into an edit control (found
// once, by a child program). Wine 8's WoW64 mode cannot for 32-bit programs:
// a test that types into a real dialog skips there, saying so.
bool EditControlsTakeText();

// Whether this process can open the system's save dialog: its file-name
// field is a combo box, and Wine 8's WoW64 mode cannot create one for a
// 32-bit program, so the dialog ends at once there.
bool SaveDialogsCanOpen();

// Finds the save dialog this process shows, types a path into its file-name
// field and confirms it, as a person would. Run() waits up to 20 s for it.
struct SaveDialogDriver {
    std::wstring path;
    bool typed = false;
    void Run();
};

// Copies a program from BuildBinFolder() into a folder; returns the new path.
std::wstring CopyProgram(const std::wstring& name, const std::wstring& folder);

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& text);
std::string Hex(const std::string& bytes);
std::vector<std::string> Lines(const std::string& text); // split on "\r\n" or "\n"

struct ProcessResult {
    bool started = false;
    DWORD exitCode = 0;
    bool timedOut = false;
    std::string out;                         // standard output
    std::string err;                         // standard error
    std::vector<std::string> debuggerOutput; // OutputDebugString texts (debug runs only)
    DWORD elapsedMs = 0;
};

struct ProcessOptions {
    std::wstring currentDirectory;              // empty: inherit
    std::vector<std::wstring> environment;      // "NAME=value" added to ours
    DWORD timeoutMs = 30000;
    bool asDebugger = false;                    // collect debugger output
    // Collect the debug output as a debug-output viewer does, through the
    // system's shared buffer (DBWIN_BUFFER), without debugging the child.
    bool asDebugViewer = false;
    std::wstring outputFile;                    // Child: standard output and error go here
};

// Runs a command line and waits; standard output and error are captured.
ProcessResult Run(const std::wstring& commandLine, const ProcessOptions& options = {});

// A started child that the test waits for later.
class Child {
public:
    Child() = default;
    Child(Child&& other) noexcept;
    ~Child();
    bool Start(const std::wstring& commandLine, const ProcessOptions& options = {});
    // Returns the exit code, or STILL_ACTIVE when the wait timed out.
    DWORD Wait(DWORD timeoutMs);
    HANDLE Handle() const { return m_process; }

private:
    HANDLE m_process = nullptr;
};

std::wstring Quote(const std::wstring& arg);

} // namespace pwtest

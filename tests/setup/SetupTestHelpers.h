// Shared by the launcher's Windows tests: the recorder program's records,
// registry keys that clean up after themselves, INI text, a launcher in a
// folder of its own and the message boxes it shows.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace setuptest {

using namespace pwtest;

struct Record {
    std::string cmd;
    std::string cwd;
    int show = -2;
};

// Copies the recorder into folder under the given name.
std::wstring PlaceRecorder(const std::wstring& folder, const std::wstring& name);
// Sets the exit code (and an optional wait) of a placed recorder.
void SetExitCode(const std::wstring& program, long code, long waitMs = 0);
// The runs a placed recorder recorded, in order.
std::vector<Record> Records(const std::wstring& program);

// The registry view in which the launcher of this build opens keys that it
// names without a view (Uninstall keys, the configuration): a 32-bit launcher
// sees the 32-bit view. The history value is the exception: it is always
// written in the 64-bit view.
#ifdef _WIN64
constexpr REGSAM kLauncherView = KEY_WOW64_64KEY;
#else
constexpr REGSAM kLauncherView = KEY_WOW64_32KEY;
#endif

// A key under HKLM created for a test in the given view and deleted with its
// subkeys afterwards.
class TestKey {
public:
    explicit TestKey(std::wstring subKey, REGSAM view = kLauncherView);
    ~TestKey();
    TestKey(const TestKey&) = delete;
    TestKey& operator=(const TestKey&) = delete;
    void SetString(const wchar_t* name, const std::wstring& value) const;
    const std::wstring& SubKey() const { return m_subKey; }

private:
    std::wstring m_subKey;
    REGSAM m_view;
};

bool KeyExists(const std::wstring& subKey, REGSAM view = kLauncherView);
const wchar_t* const kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// A product code unique to this test process.
std::wstring TestGuid(int n);

const wchar_t* const kAppKey = L"SOFTWARE\\NORVAK\\App";
// The history value lives in the 64-bit view, in either build (the SDK
// declares the flag for newer systems only; the value is the same).
constexpr DWORD kHistoryView = 0x00010000; // RRF_SUBKEY_WOW6464KEY

// INI texts are unescaped by the launcher: backslashes are doubled.
std::string Esc(const std::wstring& path);
// Removes a history value (and the keys the launcher made, once empty).
void DeleteHistory(const wchar_t* name);
// Without pipes: a window the launcher opens starts Wine's desktop process,
// which would inherit them and keep them open.
DWORD RunProgram(const std::wstring& commandLine, DWORD timeoutMs = 60000);

// "[OPERATOR]" with STEP_COUNT and the steps in order.
std::string Operator(const std::vector<std::string>& steps);
std::string InstallSection(const std::string& guid, const std::string& more);
std::string UnloadSection(const std::wstring& guid, const std::string& more);

struct Registration {
    std::wstring guid;
    std::unique_ptr<TestKey> key;
    Registration(int n, const std::wstring& uninstall, const std::wstring& version) : guid(TestGuid(n))
    {
        key = std::make_unique<TestKey>(kUninstall + guid);
        if (!uninstall.empty())
            key->SetString(L"UninstallString", uninstall);
        if (!version.empty())
            key->SetString(L"DisplayVersion", version);
    }
};

// setup.exe copied into a fresh folder, with a log folder of its own.
class Launcher {
public:
    Launcher()
    {
        static int counter = 0;
        m_exe = CopyProgram(L"setup.exe", m_dir.Path());
        // Upper case and digits only: the launcher decodes backslash escapes
        // in LogPath, its log does not, so the path must read the same both ways.
        m_logDir = L"C:\\PWSETUPLOG" + std::to_wstring(GetCurrentProcessId()) + L"X" + std::to_wstring(counter++);
    }
    ~Launcher()
    {
        RemoveTree(m_logDir);
        DeleteHistory(L"PwTest");
    }

    std::wstring Work() const { return m_dir.Path(); }
    std::string W() const { return Narrow(m_dir.Path()); }
    std::string L() const { return Narrow(m_logDir); }
    std::wstring operator/(const std::wstring& name) const { return m_dir / name; }

    // [GENERAL] naming the product and the log folder, then the rest.
    void Config(const std::string& body, const std::string& general = "")
    {
        const std::string text = "[GENERAL]\r\nProductName=PwTest\r\nVersion=1.0\r\nLogPath=" + L() + "\r\n" +
                                 general + body;
        ASSERT_TRUE(WriteBytes(m_dir / L"SetupConfig.ini", text));
    }
    std::wstring Recorder(const std::wstring& name, long code = 0, long waitMs = 0) const
    {
        const std::wstring path = PlaceRecorder(m_dir.Path(), name);
        SetExitCode(path, code, waitMs);
        return path;
    }
    std::vector<Record> Runs(const std::wstring& name) const { return Records(m_dir / name); }

    DWORD Run(const std::wstring& args = L"/s", DWORD timeoutMs = 60000) const
    {
        return RunProgram(Quote(m_exe) + L" " + args, timeoutMs);
    }
    bool Start(Child& child, const std::wstring& args) const { return child.Start(Quote(m_exe) + L" " + args); }

    // The launcher's own logs, "<LogPath>\PwTest_1.0_<time>_setup_log.txt",
    // one per run (runs in the same second share one), oldest first.
    std::string Log() const
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW((m_logDir + L"\\PwTest_1.0_*_setup_log.txt").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return {};
        do {
            names.push_back(found.cFileName);
            EXPECT_TRUE(std::regex_match(Narrow(found.cFileName), std::regex(R"(PwTest_1\.0_\d{14}_setup_log\.txt)")))
                << Narrow(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        std::sort(names.begin(), names.end());
        std::string all;
        for (const auto& name : names)
            all += ReadBytes(m_logDir + L"\\" + name);
        return all;
    }

private:
    TempDir m_dir;
    std::wstring m_exe;
    std::wstring m_logDir;
};

// A message box of the given process: waits for it to show, gives back its
// text and presses the button.
struct Box {
    bool found = false;
    std::string caption;
    std::string text;
    std::string ownerCaption; // the hidden dialog that owns the box
    bool ownerVisible = true;
};
Box Answer(HANDLE process, int button, DWORD timeoutMs = 20000);

} // namespace setuptest

// Shared by the launcher's Windows tests: the recorder program's records,
// registry keys that clean up after themselves, and INI text.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "TestSupport.h"

namespace setuptest {

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

// A key under HKLM (64-bit view) created for a test and deleted with its
// subkeys afterwards.
class TestKey {
public:
    explicit TestKey(std::wstring subKey);
    ~TestKey();
    TestKey(const TestKey&) = delete;
    TestKey& operator=(const TestKey&) = delete;
    void SetString(const wchar_t* name, const std::wstring& value) const;
    const std::wstring& SubKey() const { return m_subKey; }

private:
    std::wstring m_subKey;
};

bool KeyExists(const std::wstring& subKey);
const wchar_t* const kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// A product code unique to this test process.
std::wstring TestGuid(int n);

} // namespace setuptest

#include "SetupTestHelpers.h"

#include <cstdio>

namespace setuptest {

using namespace pwtest;

std::wstring PlaceRecorder(const std::wstring& folder, const std::wstring& name)
{
    const std::wstring copied = CopyProgram(L"setup_recorder.exe", folder);
    const std::wstring target = folder + L"\\" + name;
    if (copied != target)
        MoveFileExW(copied.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
    return target;
}

void SetExitCode(const std::wstring& program, long code, long waitMs)
{
    WriteBytes(program + L".code", std::to_string(code) + " " + std::to_string(waitMs));
}

std::vector<Record> Records(const std::wstring& program)
{
    std::vector<Record> records;
    for (const auto& line : Lines(ReadBytes(program + L".rec"))) {
        if (line.empty())
            continue;
        Record r;
        const auto cwd = line.find("\tCWD=");
        const auto show = line.find("\tSHOW=");
        r.cmd = line.substr(4, cwd - 4);
        r.cwd = line.substr(cwd + 5, show - cwd - 5);
        r.show = std::stoi(line.substr(show + 6));
        records.push_back(r);
    }
    return records;
}

TestKey::TestKey(std::wstring subKey) : m_subKey(std::move(subKey))
{
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                    &key, nullptr);
    if (key != nullptr)
        RegCloseKey(key);
}

TestKey::~TestKey()
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_subKey.c_str());
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, m_subKey.c_str(), KEY_WOW64_64KEY, 0);
}

void TestKey::SetString(const wchar_t* name, const std::wstring& value) const
{
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, m_subKey.c_str(), name, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool KeyExists(const std::wstring& subKey)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::wstring TestGuid(int n)
{
    wchar_t text[64] = {};
    std::swprintf(text, 64, L"{7E57%04X-0000-4000-8000-%012X}", n, static_cast<unsigned>(GetCurrentProcessId()));
    return text;
}

} // namespace setuptest

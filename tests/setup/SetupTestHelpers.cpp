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

TestKey::TestKey(std::wstring subKey, REGSAM view) : m_subKey(std::move(subKey)), m_view(view)
{
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | m_view, nullptr, &key,
                    nullptr);
    if (key != nullptr)
        RegCloseKey(key);
}

TestKey::~TestKey()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_subKey.c_str(), 0, KEY_ALL_ACCESS | m_view, &key) == ERROR_SUCCESS) {
        RegDeleteTreeW(key, nullptr);
        RegCloseKey(key);
    }
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, m_subKey.c_str(), m_view, 0);
}

void TestKey::SetString(const wchar_t* name, const std::wstring& value) const
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_subKey.c_str(), 0, KEY_SET_VALUE | m_view, &key) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

bool KeyExists(const std::wstring& subKey, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
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

std::string Esc(const std::wstring& path)
{
    std::string out;
    for (char c : Narrow(path)) {
        out += c;
        if (c == '\\')
            out += '\\';
    }
    return out;
}

void DeleteHistory(const wchar_t* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAppKey, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(key, name);
    DWORD subKeys = 1, values = 1;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    // The keys the launcher created go too once nothing else is in them.
    if (subKeys == 0 && values == 0 &&
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kAppKey, KEY_WOW64_64KEY, 0) == ERROR_SUCCESS)
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\NORVAK", KEY_WOW64_64KEY, 0);
}

DWORD RunProgram(const std::wstring& commandLine, DWORD timeoutMs)
{
    Child child;
    EXPECT_TRUE(child.Start(commandLine));
    const DWORD code = child.Wait(timeoutMs);
    EXPECT_NE(code, static_cast<DWORD>(STILL_ACTIVE)) << "did not end (a message box waiting?)";
    return code;
}

std::string Operator(const std::vector<std::string>& steps)
{
    std::string text = "[OPERATOR]\r\nSTEP_COUNT=" + std::to_string(steps.size()) + "\r\n";
    for (std::size_t i = 0; i < steps.size(); ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "STEP_%02zu=", i);
        text += key + steps[i] + "\r\n";
    }
    return text;
}

std::string InstallSection(const std::string& guid, const std::string& more)
{
    return "[INSTALL_A]\r\nInstallGUID=" + guid + "\r\nInstallPackage=pkg.msi\r\n" + more;
}

std::string UnloadSection(const std::wstring& guid, const std::string& more)
{
    return "[UNLOAD_A]\r\nUnloadGUID=" + Narrow(guid) + "\r\n" + more;
}

Box Answer(HANDLE process, int button, DWORD timeoutMs)
{
    struct Search {
        DWORD pid;
        HWND box;
    } search{GetProcessId(process), nullptr};
    Box box;
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
        EnumWindows(
            [](HWND hwnd, LPARAM param) CALLBACK -> BOOL {
                auto* s = reinterpret_cast<Search*>(param);
                DWORD pid = 0;
                GetWindowThreadProcessId(hwnd, &pid);
                wchar_t cls[64] = {};
                GetClassNameW(hwnd, cls, 64);
                if (pid == s->pid && IsWindowVisible(hwnd) && std::wstring(cls) == L"#32770") {
                    s->box = hwnd;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.box != nullptr)
            break;
        if (WaitForSingleObject(process, 100) == WAIT_OBJECT_0)
            return box;
    }
    if (search.box == nullptr)
        return box;
    box.found = true;
    wchar_t text[1024] = {};
    GetWindowTextW(search.box, text, 1024);
    box.caption = Narrow(text);
    if (HWND owner = GetWindow(search.box, GW_OWNER)) {
        wchar_t ownerText[64] = {};
        GetWindowTextW(owner, ownerText, 64);
        box.ownerCaption = Narrow(ownerText);
        box.ownerVisible = IsWindowVisible(owner) != FALSE;
    }
    // The message is the longest static text of the box.
    struct Texts {
        std::wstring longest;
    } texts;
    EnumChildWindows(
        search.box,
        [](HWND child, LPARAM param) CALLBACK -> BOOL {
            wchar_t cls[32] = {};
            GetClassNameW(child, cls, 32);
            if (_wcsicmp(cls, L"Static") == 0) {
                wchar_t t[1024] = {};
                GetWindowTextW(child, t, 1024);
                auto* texts = reinterpret_cast<Texts*>(param);
                if (wcslen(t) > texts->longest.size())
                    texts->longest = t;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    box.text = Narrow(texts.longest);
    PostMessageW(search.box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(search.box, button)));
    return box;
}

} // namespace setuptest

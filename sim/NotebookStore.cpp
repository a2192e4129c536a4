#include "NotebookStore.h"

#include <cwctype>
#include <vector>

#include "SecureWipe.h"

namespace sim::win {

namespace {

std::wstring Variable(const wchar_t* name)
{
    wchar_t buffer[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(buffer, n) : std::wstring();
}

std::wstring FullPath(const std::wstring& path)
{
    wchar_t buffer[MAX_PATH * 2];
    const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 2, buffer, nullptr);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(buffer, n) : path;
}

// One lock per state file, shared by every process and library.
std::wstring MutexName(const std::wstring& path)
{
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (wchar_t c : path) {
        hash ^= static_cast<std::uint64_t>(std::towlower(c));
        hash *= 0x100000001B3ull;
    }
    wchar_t name[64];
    wsprintfW(name, L"Local\\VirtualNotebook-%08X%08X", static_cast<unsigned>(hash >> 32), static_cast<unsigned>(hash));
    return name;
}

bool ReadAll(const std::wstring& path, std::string& bytes, bool& missing)
{
    pw::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return false;
    }
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    return true;
}

bool WriteAll(const std::wstring& path, const std::string& bytes, bool append)
{
    pw::UniqueFileHandle file(CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          append ? OPEN_ALWAYS : CREATE_ALWAYS, 0, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

} // namespace

std::wstring LibraryFolder()
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&LibraryFolder), &self);
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(self, path, MAX_PATH * 2);
    std::wstring folder(path);
    folder.erase(folder.rfind(L'\\') + 1);
    return folder;
}

std::wstring StateFilePath()
{
    const std::wstring configured = Variable(kStateFileVariable);
    if (!configured.empty())
        return FullPath(configured);
    // "QHCI.DLL" is found through the search order and may come from another
    // folder than the others: the machine is the one beside "QSCIEX.DLL".
    std::wstring folder = LibraryFolder();
    if (HMODULE system = GetModuleHandleW(L"QSCIEX.DLL")) {
        wchar_t path[MAX_PATH * 2] = {};
        if (GetModuleFileNameW(system, path, MAX_PATH * 2) > 0) {
            folder = path;
            folder.erase(folder.rfind(L'\\') + 1);
        }
    }
    return FullPath(folder + kDefaultStateFile);
}

CMachineAccess::CMachineAccess() : m_path(StateFilePath())
{
    m_mutex.reset(CreateMutexW(nullptr, FALSE, MutexName(m_path).c_str()));
    if (m_mutex)
        WaitForSingleObject(m_mutex.get(), INFINITE); // an abandoned lock is ours as well
    std::string text;
    bool missing = false;
    if (!ReadAll(m_path, text, missing)) {
        // No file yet: a new machine, written on its first change.
        m_ok = missing;
        if (!missing)
            m_error = "cannot read the state file";
        return;
    }
    auto parsed = Parse(text, &m_error);
    if (parsed) {
        m_state = std::move(*parsed);
        m_ok = true;
    }
}

CMachineAccess::~CMachineAccess()
{
    if (m_ok && m_changed && !WriteAll(m_path, Serialize(m_state), false))
        OutputDebugStringW(L"VirtualNotebook: cannot write the state file\n");
    if (m_mutex)
        ReleaseMutex(m_mutex.get());
}

void CMachineAccess::Journal(const std::string& line)
{
    std::wstring path = Variable(kJournalFileVariable);
    if (path.empty())
        path = WideOf(m_state.journal, CP_UTF8);
    if (path.empty())
        return;
    const bool relative = !(path.size() > 1 && (path[1] == L':' || (path[0] == L'\\' && path[1] == L'\\')));
    if (relative)
        path = m_path.substr(0, m_path.rfind(L'\\') + 1) + path;
    std::string text = line;
    if (!m_ok)
        text += " state-error=" + QuoteText(m_error);
    WriteAll(path, text + "\r\n", true);
}

std::wstring WideOf(const std::string& text, unsigned codePage)
{
    if (text.empty())
        return {};
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string AnsiFromUtf8(const std::string& utf8)
{
    const std::wstring wide = WideOf(utf8, CP_UTF8);
    if (wide.empty())
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), n, nullptr, nullptr);
    return ansi;
}

std::vector<std::uint8_t> ScanCodesOf(const std::string& ansi)
{
    std::vector<char> oem(ansi.begin(), ansi.end());
    if (!oem.empty())
        CharToOemBuffA(ansi.data(), oem.data(), static_cast<DWORD>(oem.size()));
    std::vector<std::uint8_t> codes;
    for (std::size_t i = 0; i < oem.size(); ++i) {
        auto code = static_cast<std::uint8_t>(OemKeyScan(static_cast<unsigned char>(oem[i])) & 0xFF);
        if (code == 0xFF && ansi[i] == ',')
            code = 0x33;
        codes.push_back(code);
    }
    SecureWipe(oem.data(), oem.size());
    return codes;
}

} // namespace sim::win

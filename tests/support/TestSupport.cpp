#include "TestSupport.h"

#include <atomic>
#include <cstring>

#include "Win32Handles.h"

namespace pwtest {

std::wstring BinFolder()
{
    wchar_t path[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    std::wstring folder(path);
    folder.erase(folder.rfind(L'\\') + 1);
    return folder;
}

std::wstring BuildBinFolder()
{
    std::wstring folder = BinFolder();
    folder.pop_back();
    const auto cut = folder.rfind(L'\\');
    if (_wcsicmp(folder.c_str() + cut + 1, L"bin") != 0)
        folder.erase(cut);
    return folder + L"\\";
}

TempDir::TempDir()
{
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    for (;;) {
        m_path = std::wstring(temp) + L"pwtest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(counter++);
        if (CreateDirectoryW(m_path.c_str(), nullptr))
            break;
    }
}

TempDir::~TempDir()
{
    RemoveTree(m_path);
}

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadBytes(const std::wstring& path)
{
    pw::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return {};
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    return bytes;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    pw::UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file)
        return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::wstring CopyProgram(const std::wstring& name, const std::wstring& folder)
{
    const std::wstring target = folder + L"\\" + name;
    CopyFileW((BuildBinFolder() + name).c_str(), target.c_str(), FALSE);
    return target;
}

std::wstring Widen(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), n);
    return text;
}

std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::wstring Quote(const std::wstring& arg)
{
    return L"\"" + arg + L"\"";
}

namespace {

// Our environment plus the extra variables, as a CreateProcess block.
std::wstring EnvironmentBlock(const std::vector<std::wstring>& extra)
{
    std::wstring block;
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* entry = current; *entry; entry += wcslen(entry) + 1) {
        const std::wstring text = entry;
        bool replaced = false;
        for (const auto& add : extra) {
            const auto eq = add.find(L'=');
            if (_wcsnicmp(text.c_str(), add.c_str(), eq + 1) == 0)
                replaced = true;
        }
        if (!replaced)
            block += text + L'\0';
    }
    FreeEnvironmentStringsW(current);
    for (const auto& add : extra)
        block += add + L'\0';
    block += L'\0';
    return block;
}

struct Pipe {
    pw::UniqueHandle read, write;
    bool Open()
    {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        HANDLE r = nullptr, w = nullptr;
        if (!CreatePipe(&r, &w, &sa, 0))
            return false;
        read.reset(r);
        write.reset(w);
        SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0);
        return true;
    }
};

// Reads what a pipe holds now, without blocking: a grandchild (a service the
// child started) may inherit the pipe and keep it open after the child ends.
void DrainAvailable(HANDLE pipe, std::string* into)
{
    char chunk[4096];
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0)
            return;
        DWORD got = 0;
        if (!ReadFile(pipe, chunk, available < sizeof chunk ? available : sizeof chunk, &got, nullptr) || got == 0)
            return;
        into->append(chunk, got);
    }
}

bool CreateChild(std::wstring commandLine, const ProcessOptions& options, STARTUPINFOW& si, DWORD flags,
                 PROCESS_INFORMATION& pi)
{
    std::wstring environment;
    void* envBlock = nullptr;
    if (!options.environment.empty()) {
        environment = EnvironmentBlock(options.environment);
        envBlock = environment.data();
        flags |= CREATE_UNICODE_ENVIRONMENT;
    }
    const wchar_t* cwd = options.currentDirectory.empty() ? nullptr : options.currentDirectory.c_str();
    // Under load Wine occasionally refuses a start once (error 1359).
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::wstring mutableLine = commandLine;
        if (CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, flags, envBlock, cwd, &si, &pi))
            return true;
        if (GetLastError() != ERROR_INTERNAL_ERROR)
            return false;
        Sleep(200);
    }
    return false;
}

void CollectDebugEvents(ProcessResult& result, DWORD timeoutMs, HANDLE process, HANDLE out, HANDLE err)
{
    const DWORD start = GetTickCount();
    for (;;) {
        DrainAvailable(out, &result.out);
        DrainAvailable(err, &result.err);
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, 200)) {
            if (GetTickCount() - start > timeoutMs) {
                result.timedOut = true;
                TerminateProcess(process, 1);
            }
            continue;
        }
        if (event.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT) {
            const auto& info = event.u.DebugString;
            const SIZE_T units = info.nDebugStringLength;
            std::string text;
            if (info.fUnicode) {
                std::wstring wide(units, L'\0');
                SIZE_T got = 0;
                ReadProcessMemory(process, info.lpDebugStringData, wide.data(), units * sizeof(wchar_t), &got);
                wide.resize(wcsnlen(wide.c_str(), wide.size()));
                text = Narrow(wide);
            } else {
                text.assign(units, '\0');
                SIZE_T got = 0;
                ReadProcessMemory(process, info.lpDebugStringData, text.data(), units, &got);
                text.resize(strnlen(text.c_str(), text.size()));
            }
            result.debuggerOutput.push_back(text);
        } else if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) {
            if (event.u.CreateProcessInfo.hFile)
                CloseHandle(event.u.CreateProcessInfo.hFile);
        } else if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) {
            if (event.u.LoadDll.hFile)
                CloseHandle(event.u.LoadDll.hFile);
        }
        DWORD status = DBG_CONTINUE;
        if (event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT &&
            event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
            status = DBG_EXCEPTION_NOT_HANDLED;
        const bool exited = event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT;
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
        if (exited)
            return;
    }
}

// The viewer's side of the debug-output protocol: the buffer holds the
// writer's process id and the text; "ready" lets the next writer in,
// "data" says that one has written.
class DebugViewer {
public:
    bool Open()
    {
        m_ready.reset(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY"));
        m_data.reset(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY"));
        m_mapping.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSize, L"DBWIN_BUFFER"));
        if (!m_ready || !m_data || !m_mapping)
            return false;
        m_view = static_cast<const char*>(MapViewOfFile(m_mapping.get(), FILE_MAP_READ, 0, 0, kSize));
        if (m_view == nullptr)
            return false;
        SetEvent(m_ready.get());
        return true;
    }
    ~DebugViewer()
    {
        if (m_view != nullptr)
            UnmapViewOfFile(m_view);
    }
    // Takes what was written within waitMs; only the texts of pid are kept.
    void Collect(DWORD pid, DWORD waitMs, std::vector<std::string>& texts)
    {
        while (WaitForSingleObject(m_data.get(), waitMs) == WAIT_OBJECT_0) {
            DWORD writer = 0;
            std::memcpy(&writer, m_view, sizeof writer);
            if (writer == pid)
                texts.emplace_back(m_view + sizeof writer, strnlen(m_view + sizeof writer, kSize - sizeof writer));
            SetEvent(m_ready.get());
            waitMs = 0;
        }
    }

private:
    static constexpr DWORD kSize = 4096;
    pw::UniqueHandle m_ready, m_data, m_mapping;
    const char* m_view = nullptr;
};

} // namespace

ProcessResult Run(const std::wstring& commandLine, const ProcessOptions& options)
{
    ProcessResult result;
    Pipe out, err;
    if (!out.Open() || !err.Open())
        return result;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out.write.get();
    si.hStdError = err.write.get();
    PROCESS_INFORMATION pi{};
    const DWORD flags = options.asDebugger ? DEBUG_ONLY_THIS_PROCESS : 0;
    DebugViewer viewer;
    if (options.asDebugViewer && !viewer.Open())
        return result;
    const DWORD start = GetTickCount();
    if (!CreateChild(commandLine, options, si, flags, pi))
        return result;
    result.started = true;
    pw::UniqueHandle process(pi.hProcess), thread(pi.hThread);
    out.write.reset();
    err.write.reset();
    if (options.asDebugger) {
        CollectDebugEvents(result, options.timeoutMs, process.get(), out.read.get(), err.read.get());
        WaitForSingleObject(process.get(), options.timeoutMs);
    } else {
        for (;;) {
            DrainAvailable(out.read.get(), &result.out);
            DrainAvailable(err.read.get(), &result.err);
            if (options.asDebugViewer)
                viewer.Collect(pi.dwProcessId, 0, result.debuggerOutput);
            if (WaitForSingleObject(process.get(), 10) == WAIT_OBJECT_0)
                break;
            if (GetTickCount() - start > options.timeoutMs) {
                result.timedOut = true;
                TerminateProcess(process.get(), 1);
                WaitForSingleObject(process.get(), 5000);
                break;
            }
        }
    }
    DrainAvailable(out.read.get(), &result.out);
    DrainAvailable(err.read.get(), &result.err);
    if (options.asDebugViewer)
        viewer.Collect(pi.dwProcessId, 0, result.debuggerOutput);
    result.elapsedMs = GetTickCount() - start;
    GetExitCodeProcess(process.get(), &result.exitCode);
    return result;
}

Child::Child(Child&& other) noexcept : m_process(std::exchange(other.m_process, nullptr)) {}

Child::~Child()
{
    if (m_process != nullptr) {
        if (WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT)
            TerminateProcess(m_process, 1);
        CloseHandle(m_process);
    }
}

bool Child::Start(const std::wstring& commandLine, const ProcessOptions& options)
{
    STARTUPINFOW si{};
    si.cb = sizeof si;
    // A file, not a pipe: a service the child starts may inherit the handle
    // and outlive the child.
    pw::UniqueHandle output;
    if (!options.outputFile.empty()) {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        const HANDLE file = CreateFileW(options.outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        &sa, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        output.reset(file);
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = output.get();
        si.hStdError = output.get();
    }
    PROCESS_INFORMATION pi{};
    if (!CreateChild(commandLine, options, si, 0, pi))
        return false;
    CloseHandle(pi.hThread);
    m_process = pi.hProcess;
    return true;
}

DWORD Child::Wait(DWORD timeoutMs)
{
    if (WaitForSingleObject(m_process, timeoutMs) == WAIT_TIMEOUT)
        return STILL_ACTIVE;
    DWORD code = 0;
    GetExitCodeProcess(m_process, &code);
    return code;
}

bool SaveDialogsCanOpen()
{
    const HWND combo =
        CreateWindowExW(0, L"ComboBox", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    if (combo == nullptr)
        return false;
    DestroyWindow(combo);
    return true;
}

namespace {

BOOL CALLBACK SaveDialogCandidate(HWND hwnd, LPARAM self)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (pid != GetCurrentProcessId() || std::wstring(cls) != L"#32770" || !IsWindowVisible(hwnd))
        return TRUE;
    auto* driver = reinterpret_cast<SaveDialogDriver*>(self);
    HWND field = GetDlgItem(hwnd, 0x47C); // the file-name combo of the explorer style
    if (field == nullptr)
        field = GetDlgItem(hwnd, 0x480); // the plain edit of the older style
    if (field == nullptr)
        return TRUE;
    SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(driver->path.c_str()));
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDOK)));
    driver->typed = true;
    return FALSE;
}

} // namespace

void SaveDialogDriver::Run()
{
    for (int i = 0; i < 400 && !typed; ++i) {
        EnumWindows(&SaveDialogCandidate, reinterpret_cast<LPARAM>(this));
        Sleep(50);
    }
}

bool EditControlsTakeText()
{
    static const bool works = [] {
        const ProcessResult r = Run(L"\"" + BuildBinFolder() + L"edit_probe.exe\"");
        return r.started && r.exitCode == 0;
    }();
    return works;
}

} // namespace pwtest

// The Windows half of the diagnostic log: settings from "DbgLog.ini", time
// stamps, the destinations and the log file. Compiled once narrow and once
// wide (DBGLOG_WIDE); the platform calls below are overloaded on the
// character type so the logic is written once.
#include "DbgLog.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <share.h>
#include <string>

#include "DbgLogFormat.h"
#include "Win32Handles.h"

namespace DL {
namespace {

using String = std::basic_string<Char>;
using StringView = std::basic_string_view<Char>;

#ifdef DBGLOG_WIDE
constexpr fmt::Build kBuild = fmt::Build::Setup;
#else
constexpr fmt::Build kBuild = fmt::Build::Library;
#endif

constexpr DWORD kPathChars = MAX_PATH; // 259 characters and the terminator

// ---- platform calls by character type ------------------------------------
// Each build uses one half of every pair.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"

DWORD ModuleFileName(char* buf, DWORD n) { return GetModuleFileNameA(nullptr, buf, n); }
DWORD ModuleFileName(wchar_t* buf, DWORD n) { return GetModuleFileNameW(nullptr, buf, n); }
UINT ProfileInt(const char* s, const char* k, int d, const char* f) { return GetPrivateProfileIntA(s, k, d, f); }
UINT ProfileInt(const wchar_t* s, const wchar_t* k, int d, const wchar_t* f) { return GetPrivateProfileIntW(s, k, d, f); }
DWORD ProfileString(const char* s, const char* k, const char* d, char* b, DWORD n, const char* f)
{
    return GetPrivateProfileStringA(s, k, d, b, n, f);
}
DWORD ProfileString(const wchar_t* s, const wchar_t* k, const wchar_t* d, wchar_t* b, DWORD n, const wchar_t* f)
{
    return GetPrivateProfileStringW(s, k, d, b, n, f);
}
DWORD ExpandEnv(const char* in, char* out, DWORD n) { return ExpandEnvironmentStringsA(in, out, n); }
DWORD ExpandEnv(const wchar_t* in, wchar_t* out, DWORD n) { return ExpandEnvironmentStringsW(in, out, n); }
FILE* OpenShared(const char* path, const char* mode) { return _fsopen(path, mode, _SH_DENYWR); }
FILE* OpenShared(const wchar_t* path, const char* mode)
{
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfsopen(path, wideMode.c_str(), _SH_DENYWR);
}
BOOL MakeDirectory(const char* path) { return CreateDirectoryA(path, nullptr); }
BOOL MakeDirectory(const wchar_t* path) { return CreateDirectoryW(path, nullptr); }
DWORD Attributes(const char* path) { return GetFileAttributesA(path); }
DWORD Attributes(const wchar_t* path) { return GetFileAttributesW(path); }
int TimeText(const SYSTEMTIME& t, const char* picture, char* b, int n)
{
    return GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &t, picture, b, n);
}
int TimeText(const SYSTEMTIME& t, const wchar_t* picture, wchar_t* b, int n)
{
    return GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &t, picture, b, n);
}
int DateText(const SYSTEMTIME& t, const char* picture, char* b, int n)
{
    return GetDateFormatA(LOCALE_USER_DEFAULT, 0, &t, picture, b, n);
}
int DateText(const SYSTEMTIME& t, const wchar_t* picture, wchar_t* b, int n)
{
    return GetDateFormatW(LOCALE_USER_DEFAULT, 0, &t, picture, b, n);
}
void DebuggerOutput(const char* text) { OutputDebugStringA(text); }
void DebuggerOutput(const wchar_t* text) { OutputDebugStringW(text); }
DWORD SystemMessage(DWORD flags, HMODULE from, DWORD code, DWORD language, char** text)
{
    return FormatMessageA(flags, from, code, language, reinterpret_cast<char*>(text), 0, nullptr);
}
DWORD SystemMessage(DWORD flags, HMODULE from, DWORD code, DWORD language, wchar_t** text)
{
    return FormatMessageW(flags, from, code, language, reinterpret_cast<wchar_t*>(text), 0, nullptr);
}
#pragma GCC diagnostic pop

// Formats with the C runtime's own conventions: in the wide build "%s" takes
// a wide string, as the format strings of the setup launcher expect.
String FormatV(const Char* format, va_list args)
{
    if (format == nullptr)
        return {};
    va_list probe;
    va_copy(probe, args);
#ifdef DBGLOG_WIDE
    const int needed = _vscwprintf(format, probe);
#else
    const int needed = std::vsnprintf(nullptr, 0, format, probe);
#endif
    va_end(probe);
    if (needed <= 0)
        return {};
    String text(static_cast<std::size_t>(needed) + 1, Char(0));
#ifdef DBGLOG_WIDE
    _vsnwprintf(text.data(), text.size(), format, args);
#else
    std::vsnprintf(text.data(), text.size(), format, args);
#endif
    text.resize(static_cast<std::size_t>(needed));
    return text;
}

String ExpandEnvironment(const String& text)
{
    Char expanded[kPathChars] = {};
    const DWORD n = ExpandEnv(text.c_str(), expanded, kPathChars);
    if (n == 0 || n > kPathChars)
        return text;
    return expanded;
}

String ExecutableFolder()
{
    Char path[kPathChars] = {};
    const DWORD n = ModuleFileName(path, kPathChars);
    String folder(path, n < kPathChars ? n : 0);
    const auto cut = folder.rfind(Char('\\'));
    folder.erase(cut == String::npos ? 0 : cut + 1);
    return folder;
}

String ReadProfileString(const Char* section, const Char* key, const Char* fallback, const String& file)
{
    Char value[kPathChars] = {};
    ProfileString(section, key, fallback, value, kPathChars, file.c_str());
    return value;
}

// ---- process-wide state ---------------------------------------------------

struct Config {
    fmt::Settings settings;
    String logFileKey; // "LogFile", unexpanded
};

const Config& GetConfig()
{
    // Read once per process, on first need (a thread-safe local static).
    static const Config config = [] {
        const String ini = ExecutableFolder() + DL_T("DbgLog.ini");
        const Char* section = DL_T("LOG");
        const auto readInt = [&](const Char* key, int fallback) {
            return static_cast<int>(ProfileInt(section, key, fallback, ini.c_str()));
        };
        Config c;
        c.settings.level = fmt::NormaliseLevel(readInt(DL_T("Level"), fmt::DefaultLevel(kBuild)), kBuild);
        c.settings.destination = fmt::NormaliseDestination(readInt(DL_T("Destination"), fmt::kDestHeldFile));
        c.settings.sourceFileFormat = readInt(DL_T("SourceFileFormat"), 0);
        c.settings.timeDateFormat = fmt::NormaliseTimeDateFormat(readInt(DL_T("TimeDateFormat"), 1));
        c.settings.flush = readInt(DL_T("Flush"), 0);
#ifdef DBGLOG_WIDE
        const Char* defaultFile = DL_T("C:\\Users\\Public\\NORVAK\\INSTALL_LOG\\log.txt");
#else
        const Char* defaultFile = DL_T("%LocalAppData%\\NORVAK\\ORMIX\\VELTDLL.txt");
#endif
        c.logFileKey = ReadProfileString(section, DL_T("LogFile"), defaultFile, ini);
        return c;
    }();
    return config;
}

// Everything that changes after start-up. The recursive lock serialises
// writers; it is recursive because computing the setup log path logs.
struct Output {
    std::recursive_mutex lock;
    enum class PathState { NotYet, Computing, Ready } pathState = PathState::NotYet;
    String logFilePath;
    FILE* heldFile = nullptr;
    bool heldFileTried = false;
    bool firstTickTaken = false;
    DWORD firstTick = 0;
    String lastErrorText; // the one shared buffer for PrintLastError

    ~Output()
    {
        // Runs at process exit, or when the library that holds us is unloaded.
        if (heldFile != nullptr)
            std::fclose(heldFile);
    }
};

Output& GetOutput()
{
    static Output output;
    return output;
}

#ifdef DBGLOG_WIDE
String ComputeLogFilePath()
{
    const String setupIni = ExecutableFolder() + L"SetupConfig.ini";
    const String outputLog = ReadProfileString(L"GENERAL", L"OutputLog", L"Y", setupIni);
    if (outputLog[0] == L'N' || outputLog[0] == L'n')
        return GetConfig().logFileKey;

    const Char* defaultLogPath = L"C:\\Users\\Public\\NORVAK\\INSTALL_LOG";
    String logPath = ReadProfileString(L"GENERAL", L"LogPath", defaultLogPath, setupIni);
    if (logPath.empty())
        logPath = defaultLogPath;
    CDbgLog::CreateLogDir(ExpandEnvironment(logPath).c_str());
    const String product = ReadProfileString(L"GENERAL", L"ProductName", L"", setupIni);
    const String version = ReadProfileString(L"GENERAL", L"Version", L"", setupIni);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return fmt::SetupLogFileName(logPath, product, version,
                                 {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond});
}
#else
String ComputeLogFilePath()
{
    return GetConfig().logFileKey;
}
#endif

// The log file path, computed once; empty while it is being computed, so
// that lines written meanwhile (by CreateLogDir) are dropped.
const String* LogFilePath(Output& out)
{
    switch (out.pathState) {
    case Output::PathState::Ready:
        return &out.logFilePath;
    case Output::PathState::Computing:
        return nullptr;
    case Output::PathState::NotYet:
        break;
    }
    out.pathState = Output::PathState::Computing;
    out.logFilePath = ComputeLogFilePath();
    out.pathState = Output::PathState::Ready;
    return &out.logFilePath;
}

// Shared reading, exclusive writing; when the folder is missing, creates the
// file's immediate parent (one level only) and tries once more.
FILE* OpenLogFile(const String& path, const char* mode)
{
    const String expanded = ExpandEnvironment(path);
    FILE* file = OpenShared(expanded.c_str(), mode);
    if (file == nullptr && errno == ENOENT) {
        const String parent = fmt::ParentPath<Char>(expanded);
        if (!parent.empty())
            MakeDirectory(parent.c_str());
        file = OpenShared(expanded.c_str(), mode);
    }
    return file;
}

// Files and standard error receive narrow text; the wide build converts to
// the ANSI code page first and writes the UTF-16 text when that fails.
void WriteText(FILE* stream, const String& line)
{
#ifdef DBGLOG_WIDE
    char ansi[1024];
    const int n = WideCharToMultiByte(CP_ACP, 0, line.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
    if (n > 0)
        std::fputs(ansi, stream);
    else
        std::fwrite(line.data(), sizeof(wchar_t), line.size(), stream);
#else
    std::fputs(line.c_str(), stream);
#endif
}

void WriteLine(const String& line)
{
    const auto& settings = GetConfig().settings;
    auto& out = GetOutput();
    std::lock_guard guard(out.lock);
    switch (settings.destination) {
    case fmt::kDestDebugger:
        DebuggerOutput(line.c_str());
        break;
    case fmt::kDestHeldFile: {
        if (!out.heldFileTried) {
            const String* path = LogFilePath(out);
            if (path == nullptr)
                return;
            out.heldFileTried = true;
            out.heldFile = OpenLogFile(*path, "w");
        }
        if (out.heldFile != nullptr) {
            WriteText(out.heldFile, line);
            if (settings.flush == 1)
                std::fflush(out.heldFile);
        }
        break;
    }
    case fmt::kDestAppendFile: {
        const String* path = LogFilePath(out);
        if (path == nullptr)
            return;
        if (FILE* file = OpenLogFile(*path, "a")) {
            WriteText(file, line);
            std::fclose(file);
        }
        break;
    }
    case fmt::kDestStderr:
        WriteText(stderr, line);
        std::fflush(stderr);
        break;
    default:
        break;
    }
}

String TimeStamp(int format)
{
    if (format == 0)
        return {};
    if (format == 3) {
        auto& out = GetOutput();
        std::lock_guard guard(out.lock);
        const DWORD now = GetTickCount();
        if (!out.firstTickTaken) {
            out.firstTickTaken = true;
            out.firstTick = now;
        }
        return fmt::Widen<Char>(fmt::ElapsedStamp(out.firstTick, now));
    }
    SYSTEMTIME now{};
    GetLocalTime(&now);
    Char text[64] = {};
    String stamp;
    if (format == 2 && DateText(now, DL_T("yyyy-MM-dd "), text, 64) > 0)
        stamp = text;
    if (TimeText(now, DL_T("HH:mm:ss"), text, 64) > 0)
        stamp += text;
    stamp += fmt::Widen<Char>(fmt::MillisecondsSuffix(now.wMilliseconds));
    return stamp;
}

// The system's text for an error code: the system message table, then
// "netmsg.dll" in US English, then nothing.
String ErrorText(DWORD code)
{
    if (code == 0)
        return {};
    constexpr DWORD common = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
    Char* text = nullptr;
    DWORD n = SystemMessage(common | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                            MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), &text);
    pw::UniqueLocal systemText(text);
    if (n == 0) {
        pw::UniqueModule netmsg(LoadLibraryExW(L"netmsg.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (netmsg) {
            text = nullptr;
            n = SystemMessage(common | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM, netmsg.get(), code,
                              0x409, &text);
            systemText.reset(text);
        }
    }
    if (n == 0 || text == nullptr)
        return {};
    return fmt::WithoutLastLineFeed(String(text, n));
}

} // namespace

int CDbgLog::PrintV(const Char* format, va_list args) const
{
    const auto& settings = GetConfig().settings;
    if (!fmt::Passes(settings, m_level))
        return 0;
    const DWORD savedError = GetLastError(); // logging must not disturb the caller's error
    const String stamp = TimeStamp(settings.timeDateFormat);
    const String prefix = fmt::Prefix<Char>(m_sourceFile ? m_sourceFile : DL_T(""), m_line,
                                            m_category ? m_category : DL_T(""), m_level,
                                            m_functionText ? m_functionText : DL_T(""), settings.sourceFileFormat);
    const String message = FormatV(format, args);
    const String line = fmt::ComposeLine<Char>(stamp, prefix, message);
    WriteLine(line);
    SetLastError(savedError);
    return static_cast<int>(line.size());
}

int CDbgLog::Print(const Char* format, ...) const
{
    va_list args;
    va_start(args, format);
    const int written = PrintV(format, args);
    va_end(args);
    return written;
}

int CDbgLog::PrintLastError(const Char* format, ...) const
{
    const DWORD code = GetLastError();
    va_list args;
    va_start(args, format);
    const int written = PrintV(format, args);
    va_end(args);
    if (!fmt::Passes(GetConfig().settings, m_level))
        return written;
    auto& out = GetOutput();
    std::lock_guard guard(out.lock);
    out.lastErrorText = ErrorText(code);
    Print(DL_T("Get Last Error:%d %s"), static_cast<int>(code), out.lastErrorText.c_str());
    SetLastError(code);
    return written;
}

#ifdef DBGLOG_WIDE
int CDbgLog::CreateLogDir(const Char* path)
{
    DL_SCOPE(DL_TRC, "DL::CDbgLog::CreateLogDir");
    DL_LOG(DL_TRC).Print(L"m_logPath = %s", path);
    if (path == nullptr || *path == L'\0')
        return 0;
    if (Attributes(path) != INVALID_FILE_ATTRIBUTES) {
        DL_LOG(DL_ERR).PrintLastError(L"Error Code: 0x%x", 1);
        return 1;
    }
    // A path without a backslash has no parent: the recursion ends and the
    // folder itself is still attempted.
    const String parent = fmt::ParentPath<Char>(path);
    if (!parent.empty() && Attributes(parent.c_str()) == INVALID_FILE_ATTRIBUTES)
        CreateLogDir(parent.c_str());
    return MakeDirectory(path);
}
#else
void CDbgLog::HexDump(const void* data, int length)
{
    if (GetConfig().settings.destination == fmt::kDestNone)
        return;
    for (const std::string& row : fmt::HexDumpRows(data, length))
        WriteLine(row);
}
#endif

CDbgLogScope::CDbgLogScope(const Char* name, const CDbgLog& site) : m_name(name), m_site(site)
{
    m_site.Print(DL_T("ENTER %s"), m_name);
}

CDbgLogScope::~CDbgLogScope()
{
    m_site.Print(DL_T("LEAVE %s"), m_name);
}

} // namespace DL

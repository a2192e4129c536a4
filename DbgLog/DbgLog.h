// The diagnostic log: a line-oriented trace configured by "DbgLog.ini" beside
// the process's main executable. One source, two builds: narrow (the control
// library) and, with DBGLOG_WIDE defined, UTF-16 (the setup launcher).
//
// Call sites open a scope at the top of each function and write through a
// short-lived CDbgLog:
//     DL_SCOPE(DL_INF, "PassWordFUN::SetPassword");
//     DL_LOG(DL_ERR).Print(DL_T("Error Code: 0x%x"), code);
#pragma once

#include <cstdarg>

#define DL_ERR 0
#define DL_WRN 1
#define DL_INF 2
#define DL_TRC 3

#ifdef DBGLOG_WIDE
#define DL_WIDEN_(x) L##x
#define DL_T(x) DL_WIDEN_(x)
#else
#define DL_T(x) x
#endif

namespace DL {

#ifdef DBGLOG_WIDE
using Char = wchar_t;
#else
using Char = char;
#endif

// The call-site object: five static texts, owns nothing.
class CDbgLog {
public:
    CDbgLog(const Char* sourceFile, int line, const Char* functionText, const Char* category, int level)
        : m_sourceFile(sourceFile), m_line(line), m_functionText(functionText), m_category(category), m_level(level)
    {
    }

    // Each returns the characters of the line written (line feed included),
    // or 0 when the message was filtered out.
    int Print(const Char* format, ...) const;
    int PrintV(const Char* format, va_list args) const;
    // The message, then "Get Last Error:%d %s" with the thread's last error.
    int PrintLastError(const Char* format, ...) const;

#ifdef DBGLOG_WIDE
    // Creates a folder and its missing ancestors; non-zero on success.
    static int CreateLogDir(const Char* path);
#else
    // Rows of sixteen bytes; ignores the level, not a destination of 0.
    static void HexDump(const void* data, int length);
#endif

private:
    const Char* m_sourceFile;
    int m_line;
    const Char* m_functionText;
    const Char* m_category;
    int m_level;
};

// Writes "ENTER name" on construction and "LEAVE name" on destruction.
class CDbgLogScope {
public:
    CDbgLogScope(const Char* name, const CDbgLog& site);
    ~CDbgLogScope();
    CDbgLogScope(const CDbgLogScope&) = delete;
    CDbgLogScope& operator=(const CDbgLogScope&) = delete;

private:
    const Char* m_name;
    CDbgLog m_site;
};

} // namespace DL

// Opens the function's scope; DL_LOG in the same function reuses its name.
#define DL_SCOPE(level, name)                                                                           \
    static constexpr const DL::Char* dlFunctionText_ = DL_T(" (" name ")");                             \
    DL::CDbgLogScope dlScope_(DL_T(name), DL::CDbgLog(DL_T(__FILE__), __LINE__, dlFunctionText_, DL_T(""), level))

#define DL_LOG(level) DL::CDbgLog(DL_T(__FILE__), __LINE__, dlFunctionText_, DL_T(""), level)

// A site outside any scope, naming its function itself.
#define DL_LOG_IN(level, name) DL::CDbgLog(DL_T(__FILE__), __LINE__, DL_T(" (" name ")"), DL_T(""), level)

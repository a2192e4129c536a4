// Writes log lines as its arguments say, so the tests can check what the
// facility does with a given "DbgLog.ini" in a fresh process. Built twice:
// dbglog_probe_a (narrow) and dbglog_probe_w (wide). Commands:
//   print:LEVEL:TEXT    TEXT through "%s" at LEVEL
//   format:LEVEL        "value=%d text=%s hex=0x%x" with 42, "abc", 255
//   scope:LEVEL         a scope "Probe::Scope" with one line inside
//   long:N              a message of N characters 'x' at level 0
//   lasterror:CODE      PrintLastError("Error Code: 0x%x") with that last error
//   hexdump:HEXBYTES    HexDump of the bytes (narrow build)
//   createlogdir:PATH   CreateLogDir, result printed to standard output (wide build)
//   sleep:MS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "DbgLog.h"

namespace {

std::basic_string<DL::Char> Text(const std::string& utf8)
{
#ifdef DBGLOG_WIDE
    std::wstring wide(utf8.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                                      static_cast<int>(wide.size()));
    wide.resize(n > 0 ? n : 0);
    return wide;
#else
    return utf8;
#endif
}

void Scope(int level)
{
    switch (level) {
    case 0: { DL_SCOPE(DL_ERR, "Probe::Scope"); DL_LOG(DL_ERR).Print(DL_T("inside")); break; }
    case 1: { DL_SCOPE(DL_WRN, "Probe::Scope"); DL_LOG(DL_WRN).Print(DL_T("inside")); break; }
    case 2: { DL_SCOPE(DL_INF, "Probe::Scope"); DL_LOG(DL_INF).Print(DL_T("inside")); break; }
    default: { DL_SCOPE(DL_TRC, "Probe::Scope"); DL_LOG(DL_TRC).Print(DL_T("inside")); break; }
    }
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto colon = arg.find(':');
        const std::string command = arg.substr(0, colon);
        const std::string rest = colon == std::string::npos ? "" : arg.substr(colon + 1);
        if (command == "print") {
            const int level = std::atoi(rest.c_str());
            const auto text = Text(rest.substr(rest.find(':') + 1));
            const int n = DL_LOG_IN(level, "Probe::Print").Print(DL_T("%s"), text.c_str());
            std::printf("written=%d\n", n);
        } else if (command == "format") {
            DL_LOG_IN(std::atoi(rest.c_str()), "Probe::Format")
                .Print(DL_T("value=%d text=%s hex=0x%x"), 42, DL_T("abc"), 255);
        } else if (command == "scope") {
            Scope(std::atoi(rest.c_str()));
        } else if (command == "long") {
            const std::basic_string<DL::Char> text(static_cast<std::size_t>(std::atoi(rest.c_str())), DL::Char('x'));
            const int n = DL_LOG_IN(DL_ERR, "Probe::Long").Print(DL_T("%s"), text.c_str());
            std::printf("written=%d\n", n);
        } else if (command == "lasterror") {
            const DWORD code = std::strtoul(rest.c_str(), nullptr, 0);
            SetLastError(code);
            const int n = DL_LOG_IN(DL_ERR, "Probe::LastError").PrintLastError(DL_T("Error Code: 0x%x"), code);
            std::printf("written=%d lasterror=%lu\n", n, GetLastError());
#ifndef DBGLOG_WIDE
        } else if (command == "hexdump") {
            std::string bytes;
            for (std::size_t at = 0; at + 1 < rest.size(); at += 2)
                bytes.push_back(static_cast<char>(std::strtoul(rest.substr(at, 2).c_str(), nullptr, 16)));
            DL::CDbgLog::HexDump(bytes.empty() ? nullptr : bytes.data(), static_cast<int>(bytes.size()));
#else
        } else if (command == "createlogdir") {
            const auto path = Text(rest);
            std::printf("result=%d\n", DL::CDbgLog::CreateLogDir(path.c_str()));
#endif
        } else if (command == "sleep") {
            Sleep(static_cast<DWORD>(std::atoi(rest.c_str())));
        } else {
            std::fprintf(stderr, "unknown command %s\n", arg.c_str());
            return 2;
        }
        std::fflush(stdout);
    }
    return 0;
}

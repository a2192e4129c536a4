// The diagnostic log through real files and processes: each case copies a
// probe program into a fresh folder, writes "DbgLog.ini" beside it (settings
// are read once per process) and looks at what reached the log.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "TestSupport.h"

using namespace pwtest;

namespace {

const std::wstring kNarrow = L"dbglog_probe_a.exe";
const std::wstring kWide = L"dbglog_probe_w.exe";

class Probe {
public:
    explicit Probe(const std::wstring& program)
        : m_exe(CopyProgram(program, m_dir.Path())), m_wide(program == kWide)
    {
    }

    // Writes "DbgLog.ini" with these [LOG] lines; LogFile defaults to log.txt
    // here. The setup build takes "LogFile" only when "SetupConfig.ini" turns
    // its own log off, so that is written too.
    void Ini(const std::string& lines, bool withLogFile = true)
    {
        std::string text = "[LOG]\r\n" + lines;
        if (withLogFile) {
            text += "LogFile=" + Narrow(LogPath()) + "\r\n";
            if (m_wide)
                SetupConfig("[GENERAL]\r\nOutputLog=N\r\n");
        }
        ASSERT_TRUE(WriteBytes(m_dir / L"DbgLog.ini", text));
    }
    void SetupConfig(const std::string& text) { ASSERT_TRUE(WriteBytes(m_dir / L"SetupConfig.ini", text)); }

    ProcessResult Run(const std::vector<std::string>& commands, const ProcessOptions& options = {}) const
    {
        std::wstring line = Quote(m_exe);
        for (const auto& c : commands)
            line += L" " + Quote(Widen(c));
        ProcessResult r = pwtest::Run(line, options);
        EXPECT_TRUE(r.started);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0u) << r.err;
        return r;
    }

    std::wstring LogPath() const { return m_dir / L"log.txt"; }
    std::string Log() const { return ReadBytes(LogPath()); }
    const TempDir& Dir() const { return m_dir; }
    const std::wstring& Exe() const { return m_exe; }

private:
    TempDir m_dir;
    std::wstring m_exe;
    bool m_wide;
};

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string LevelsSeen(const std::string& log)
{
    std::string seen;
    for (const char* tag : {"[ERR]", "[WRN]", "[INF]", "[TRC]"})
        if (Contains(log, tag))
            seen += std::string(tag).substr(1, 3) + " ";
    return seen;
}

const std::vector<std::string> kOneOfEachLevel = {"print:0:zero", "print:1:one", "print:2:two", "print:3:three"};

} // namespace

TEST(DbgLogSettings, LevelAndDestinationTable)
{
    struct Row {
        const char* name;
        const std::wstring* program;
        std::string ini;
        std::string expected; // levels in the log file
    };
    const Row rows[] = {
        {"library default level", &kNarrow, "", "ERR "},
        {"setup default level", &kWide, "", "ERR WRN INF TRC "},
        {"library level 2", &kNarrow, "Level=2\r\n", "ERR WRN INF "},
        {"setup level 1", &kWide, "Level=1\r\n", "ERR WRN "},
        {"library level 3", &kNarrow, "Level=3\r\n", "ERR WRN INF TRC "},
        {"library level 7 means 0", &kNarrow, "Level=7\r\n", "ERR "},
        {"setup level 7 means 3", &kWide, "Level=7\r\n", "ERR WRN INF TRC "},
        {"destination 0 writes nothing", &kNarrow, "Level=3\r\nDestination=0\r\n", ""},
        {"destination 3 appends per line", &kNarrow, "Level=3\r\nDestination=3\r\n", "ERR WRN INF TRC "},
        {"destination 9 means 2", &kWide, "Destination=9\r\n", "ERR WRN INF TRC "},
        {"destination 4 is standard error only", &kNarrow, "Level=3\r\nDestination=4\r\n", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Probe probe(*row.program);
        probe.Ini(row.ini);
        probe.Run(kOneOfEachLevel);
        EXPECT_EQ(LevelsSeen(probe.Log()), row.expected);
    }
}

TEST(DbgLogSettings, StandardErrorDestinationGetsTheLinesInBothBuilds)
{
    for (const auto* program : {&kNarrow, &kWide}) {
        Probe probe(*program);
        probe.Ini("Level=1\r\nDestination=4\r\nTimeDateFormat=0\r\n");
        const auto r = probe.Run(kOneOfEachLevel);
        EXPECT_EQ(LevelsSeen(r.err), "ERR WRN ");
        EXPECT_TRUE(Contains(r.err, "[WRN] (Probe::Print): one\r\n")) << r.err;
        EXPECT_FALSE(Exists(probe.LogPath()));
    }
}

TEST(DbgLogSettings, DebuggerDestinationReachesTheDebugger)
{
    for (const auto* program : {&kNarrow, &kWide}) {
        Probe probe(*program);
        probe.Ini("Level=0\r\nDestination=1\r\nTimeDateFormat=0\r\n");
        ProcessOptions options;
#ifdef _WIN64
        options.asDebugger = true;
#else
        // Wine's WoW64 mode cannot debug a 32-bit process (it faults at its
        // first breakpoint): the 32-bit run reads the same output where a
        // debug-output viewer does.
        options.asDebugViewer = true;
#endif
        const auto r = probe.Run({"print:0:to the debugger", "print:2:filtered"}, options);
        std::string all;
        for (const auto& text : r.debuggerOutput)
            all += text;
        EXPECT_TRUE(Contains(all, "[ERR] (Probe::Print): to the debugger\n")) << all;
        EXPECT_FALSE(Contains(all, "filtered"));
        EXPECT_FALSE(Exists(probe.LogPath()));
        EXPECT_EQ(r.err, "");
    }
}

TEST(DbgLogLine, ExactShapeWithoutTimeStamp)
{
    for (const auto* program : {&kNarrow, &kWide}) {
        Probe probe(*program);
        probe.Ini("Level=3\r\nTimeDateFormat=0\r\n");
        probe.Run({"format:2", "scope:3"});
        const auto lines = Lines(probe.Log());
        ASSERT_EQ(lines.size(), 4u) << probe.Log();
        const std::regex format(R"(DbgLogProbe\.cpp\(\d+\):  \[INF\] \(Probe::Format\): value=42 text=abc hex=0xff)");
        EXPECT_TRUE(std::regex_match(lines[0], format)) << lines[0];
        EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(DbgLogProbe\.cpp\(\d+\):  \[TRC\] \(Probe::Scope\): ENTER Probe::Scope)")))
            << lines[1];
        EXPECT_TRUE(std::regex_match(lines[3], std::regex(R"(DbgLogProbe\.cpp\(\d+\):  \[TRC\] \(Probe::Scope\): LEAVE Probe::Scope)")))
            << lines[3];
        // Text-mode file: every line ends in carriage return and line feed.
        EXPECT_TRUE(Contains(probe.Log(), "hex=0xff\r\n"));
    }
}

TEST(DbgLogLine, ScopeWritesEnterAndLeaveAtItsLevel)
{
    Probe probe(kNarrow);
    probe.Ini("Level=2\r\nTimeDateFormat=0\r\n");
    probe.Run({"scope:2", "scope:3"});
    const auto lines = Lines(probe.Log());
    ASSERT_EQ(lines.size(), 3u) << probe.Log();
    EXPECT_TRUE(Contains(lines[0], "[INF] (Probe::Scope): ENTER Probe::Scope"));
    EXPECT_TRUE(Contains(lines[1], "[INF] (Probe::Scope): inside"));
    EXPECT_TRUE(Contains(lines[2], "[INF] (Probe::Scope): LEAVE Probe::Scope"));
}

TEST(DbgLogLine, TimeStampAndSourceFileFormats)
{
    struct Row {
        std::string ini;
        const char* pattern; // the whole first line
    };
    const Row rows[] = {
        {"TimeDateFormat=1\r\n", R"(\d\d:\d\d:\d\d\.\d{3}: DbgLogProbe\.cpp\(\d+\):  \[ERR\] \(Probe::Print\): a)"},
        {"", R"(\d\d:\d\d:\d\d\.\d{3}: DbgLogProbe\.cpp.*)"},
        {"TimeDateFormat=8\r\n", R"(\d\d:\d\d:\d\d\.\d{3}: DbgLogProbe\.cpp.*)"},
        {"TimeDateFormat=2\r\n", R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}: DbgLogProbe\.cpp.*)"},
        {"TimeDateFormat=3\r\n", R"(0\.000: DbgLogProbe\.cpp.*)"},
        {"TimeDateFormat=0\r\nSourceFileFormat=1\r\n", R"(tests/dbglog/DbgLogProbe\.cpp\(\d+\):  \[ERR\].*)"},
        {"TimeDateFormat=0\r\nSourceFileFormat=2\r\n", R"(DbgLogProbe\.cpp\(\d+\):  \[ERR\].*)"},
    };
    for (const auto* program : {&kNarrow, &kWide}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.ini);
            Probe probe(*program);
            probe.Ini(row.ini);
            probe.Run({"print:0:a", "sleep:1100", "print:0:b"});
            const auto lines = Lines(probe.Log());
            ASSERT_EQ(lines.size(), 2u) << probe.Log();
            EXPECT_TRUE(std::regex_match(lines[0], std::regex(row.pattern))) << lines[0];
            if (row.ini == "TimeDateFormat=3\r\n") {
                EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(1\.\d{3}: .*)"))) << lines[1];
            }
        }
    }
}

TEST(DbgLogLine, LongMessageIsCutTo510CharactersAndLineFeed)
{
    for (const auto* program : {&kNarrow, &kWide}) {
        Probe probe(*program);
        probe.Ini("TimeDateFormat=0\r\n");
        const auto r = probe.Run({"long:600"});
        const std::string log = probe.Log();
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log.size(), 512u); // 510 characters, then CR LF from the text-mode file
        EXPECT_EQ(log.substr(508), "xx\r\n");
        EXPECT_EQ(r.out, "written=511\r\n");
    }
}

TEST(DbgLogLine, PercentSignsInArgumentsAreWrittenUnchanged)
{
    for (const auto* program : {&kNarrow, &kWide}) {
        Probe probe(*program);
        probe.Ini("TimeDateFormat=0\r\n");
        probe.Run({"print:0:C:\\100%\\%s%d%n%%x"});
        EXPECT_TRUE(Contains(probe.Log(), "(Probe::Print): C:\\100%\\%s%d%n%%x\r\n")) << probe.Log();
    }
}

TEST(DbgLogLine, FilteredMessageReturnsZero)
{
    Probe probe(kNarrow);
    probe.Ini("TimeDateFormat=0\r\n");
    const auto r = probe.Run({"print:2:dropped", "print:0:kept"});
    const auto outLines = Lines(r.out);
    ASSERT_EQ(outLines.size(), 2u);
    EXPECT_EQ(outLines[0], "written=0");
    const std::string logged = Lines(probe.Log()).at(0);
    EXPECT_EQ(outLines[1], "written=" + std::to_string(logged.size() + 1));
}

TEST(DbgLogLastError, SecondLineCarriesCodeAndSystemText)
{
    for (const auto* program : {&kNarrow, &kWide}) {
        Probe probe(*program);
        probe.Ini("TimeDateFormat=0\r\n");
        const auto r = probe.Run({"lasterror:2", "lasterror:0"});
        const auto lines = Lines(probe.Log());
        ASSERT_EQ(lines.size(), 4u) << probe.Log();
        EXPECT_TRUE(Contains(lines[0], "[ERR] (Probe::LastError): Error Code: 0x2"));
        const std::string marker = "(Probe::LastError): Get Last Error:2 ";
        ASSERT_TRUE(Contains(lines[1], marker)) << lines[1];
        const std::string text = lines[1].substr(lines[1].find(marker) + marker.size());
        EXPECT_GT(text.size(), 3u) << "system text of error 2 missing";
        EXPECT_EQ(text.find('\n'), std::string::npos);
        EXPECT_TRUE(Contains(lines[3], "Get Last Error:0 ")) << lines[3];
        EXPECT_EQ(lines[3].substr(lines[3].size() - 17), "Get Last Error:0 ");
        // Logging leaves the caller's last error alone.
        EXPECT_TRUE(Contains(r.out, "lasterror=2\r\n")) << r.out;
    }
}

TEST(DbgLogHexDump, RowOfThreeBytesByteForByte)
{
    Probe probe(kNarrow);
    probe.Ini(""); // level 0: the dump ignores the level
    probe.Run({"hexdump:41420A"});
    EXPECT_EQ(probe.Log(), " 0000 : 41 42 0A " + std::string(5 * 3, ' ') + " " + std::string(8 * 3, ' ') +
                               " : AB." + std::string(13, ' ') + "\r\n");
}

TEST(DbgLogHexDump, RowsOffsetsAndDestinationZero)
{
    Probe probe(kNarrow);
    probe.Ini("");
    probe.Run({"hexdump:000102030405060708090A0B0C0D0E0F7E7F20", "hexdump:"});
    const auto lines = Lines(probe.Log());
    ASSERT_EQ(lines.size(), 2u) << probe.Log();
    EXPECT_EQ(lines[0], " 0000 : 00 01 02 03 04 05 06 07  08 09 0A 0B 0C 0D 0E 0F  : ................");
    EXPECT_EQ(lines[1], " 0010 : 7E 7F 20 " + std::string(5 * 3, ' ') + " " + std::string(8 * 3, ' ') + " : ~. " +
                            std::string(13, ' '));

    Probe silent(kNarrow);
    silent.Ini("Destination=0\r\n");
    silent.Run({"hexdump:414243"});
    EXPECT_FALSE(Exists(silent.LogPath()));
}

TEST(DbgLogFile, HeldFileIsEmptiedAppendFileIsKept)
{
    Probe held(kNarrow);
    held.Ini("TimeDateFormat=0\r\n");
    ASSERT_TRUE(WriteBytes(held.LogPath(), "old content\r\n"));
    held.Run({"print:0:first"});
    held.Run({"print:0:second"});
    auto lines = Lines(held.Log());
    ASSERT_EQ(lines.size(), 1u) << held.Log();
    EXPECT_TRUE(Contains(lines[0], "second"));

    Probe append(kNarrow);
    append.Ini("TimeDateFormat=0\r\nDestination=3\r\n");
    ASSERT_TRUE(WriteBytes(append.LogPath(), "old content\r\n"));
    append.Run({"print:0:first"});
    append.Run({"print:0:second"});
    lines = Lines(append.Log());
    ASSERT_EQ(lines.size(), 3u) << append.Log();
    EXPECT_EQ(lines[0], "old content");
    EXPECT_TRUE(Contains(lines[1], "first"));
    EXPECT_TRUE(Contains(lines[2], "second"));
}

TEST(DbgLogFile, NoFileUntilTheFirstLineReachesIt)
{
    Probe probe(kNarrow);
    probe.Ini("");
    probe.Run({"print:2:filtered"});
    EXPECT_FALSE(Exists(probe.LogPath()));
}

TEST(DbgLogFile, SecondProcessOnAHeldFileDropsItsLines)
{
    Probe probe(kNarrow);
    probe.Ini("TimeDateFormat=0\r\nFlush=1\r\n");
    Child first;
    ASSERT_TRUE(first.Start(Quote(probe.Exe()) + L" print:0:first-process sleep:4000 print:0:first-again"));
    for (int i = 0; i < 100 && !Contains(probe.Log(), "first-process"); ++i)
        Sleep(50);
    ASSERT_TRUE(Contains(probe.Log(), "first-process"));
    // Shared reading: the file can be read while it is held.
    probe.Run({"print:0:second-process"});
    EXPECT_EQ(first.Wait(20000), 0u);
    const std::string log = probe.Log();
    EXPECT_FALSE(Contains(log, "second-process")) << log;
    EXPECT_TRUE(Contains(log, "first-again")) << log;
}

TEST(DbgLogFile, MissingParentIsCreatedOneLevelOnly)
{
    Probe probe(kNarrow);
    const std::wstring oneLevel = probe.Dir() / L"logs\\one.txt";
    ASSERT_TRUE(WriteBytes(probe.Dir() / L"DbgLog.ini", "[LOG]\r\nLogFile=" + Narrow(oneLevel) + "\r\n"));
    probe.Run({"print:0:made"});
    EXPECT_TRUE(Contains(ReadBytes(oneLevel), "made"));

    Probe deep(kNarrow);
    const std::wstring deepFile = deep.Dir() / L"a\\b\\two.txt";
    ASSERT_TRUE(WriteBytes(deep.Dir() / L"DbgLog.ini", "[LOG]\r\nLogFile=" + Narrow(deepFile) + "\r\n"));
    deep.Run({"print:0:lost"});
    EXPECT_FALSE(Exists(deep.Dir() / L"a\\b"));
}

TEST(DbgLogFile, EnvironmentVariablesInThePathAreExpanded)
{
    Probe probe(kNarrow);
    ASSERT_TRUE(WriteBytes(probe.Dir() / L"DbgLog.ini", "[LOG]\r\nLogFile=%PWTEST_LOGDIR%\\expanded.txt\r\n"));
    ProcessOptions options;
    options.environment = {L"PWTEST_LOGDIR=" + probe.Dir().Path()};
    probe.Run({"print:0:here"}, options);
    EXPECT_TRUE(Contains(ReadBytes(probe.Dir() / L"expanded.txt"), "here"));
}

TEST(DbgLogFile, LibraryDefaultsWithoutIni)
{
    // The default path lies under %LocalAppData%; point it at our folder.
    Probe probe(kNarrow);
    const std::wstring appData = probe.Dir() / L"appdata";
    ASSERT_TRUE(CreateDirectoryW(appData.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((appData + L"\\NORVAK").c_str(), nullptr));
    ProcessOptions options;
    options.environment = {L"LOCALAPPDATA=" + appData};
    probe.Run({"print:2:info", "print:0:error"}, options);
    const std::string log = ReadBytes(appData + L"\\NORVAK\\ORMIX\\VELTDLL.txt");
    EXPECT_TRUE(Contains(log, "error")) << log;
    EXPECT_FALSE(Contains(log, "info"));

    // Without the maker folder only the last level would be created: that fails.
    Probe bare(kNarrow);
    const std::wstring bareData = bare.Dir() / L"appdata";
    ASSERT_TRUE(CreateDirectoryW(bareData.c_str(), nullptr));
    options.environment = {L"LOCALAPPDATA=" + bareData};
    bare.Run({"print:0:error"}, options);
    EXPECT_FALSE(Exists(bareData + L"\\NORVAK"));
}

TEST(DbgLogSetup, LogFileNamedAfterProductAndVersionInCreatedFolder)
{
    Probe probe(kWide);
    probe.Ini("TimeDateFormat=0\r\n", false);
    const std::wstring logPath = probe.Dir() / L"logs\\deeper";
    probe.SetupConfig("[GENERAL]\r\nLogPath=" + Narrow(logPath) + "\r\nProductName=Prod\r\nVersion=1.2\r\n");
    probe.Run({"print:3:trace line"});
    ASSERT_TRUE(IsFolder(logPath));
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((logPath + L"\\*_setup_log.txt").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    const std::string name = Narrow(found.cFileName);
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(Prod_1\.2_20\d{12}_setup_log\.txt)"))) << name;
    // CreateLogDir's own lines were written before the file existed: dropped.
    const auto lines = Lines(ReadBytes(logPath + L"\\" + found.cFileName));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(Contains(lines[0], "[TRC] (Probe::Print): trace line"));
}

TEST(DbgLogSetup, OutputLogNoUsesDbgLogIniAndCreatesNoFolder)
{
    Probe probe(kWide);
    probe.Ini("TimeDateFormat=0\r\n");
    const std::wstring unused = probe.Dir() / L"never";
    probe.SetupConfig("[GENERAL]\r\nOutputLog=no\r\nLogPath=" + Narrow(unused) + "\r\n");
    probe.Run({"print:3:to dbglog file"});
    EXPECT_TRUE(Contains(probe.Log(), "to dbglog file"));
    EXPECT_FALSE(Exists(unused));
}

TEST(DbgLogSetup, CreateLogDirOnExistingAndNewFolders)
{
    Probe probe(kWide);
    probe.Ini("TimeDateFormat=0\r\n");
    probe.SetupConfig("[GENERAL]\r\nOutputLog=N\r\n");
    const std::wstring fresh = probe.Dir() / L"x\\y\\z";
    const auto r = probe.Run({"createlogdir:" + Narrow(probe.Dir().Path()), "createlogdir:" + Narrow(fresh)});
    const auto out = Lines(r.out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], "result=1");
    EXPECT_NE(out[1], "result=0");
    EXPECT_TRUE(IsFolder(fresh));
    const std::string log = probe.Log();
    EXPECT_TRUE(Contains(log, "[ERR] (DL::CDbgLog::CreateLogDir): Error Code: 0x1\r\n")) << log;
    EXPECT_TRUE(Contains(log, "[TRC] (DL::CDbgLog::CreateLogDir): ENTER DL::CDbgLog::CreateLogDir")) << log;
    EXPECT_TRUE(Contains(log, "(DL::CDbgLog::CreateLogDir): m_logPath = " + Narrow(fresh) + "\r\n")) << log;
    EXPECT_TRUE(Contains(log, "(DL::CDbgLog::CreateLogDir): m_logPath = " + Narrow(probe.Dir() / L"x") + "\r\n"))
        << log;
}

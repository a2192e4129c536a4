// Whole runs of setup.exe: each case copies the launcher into a fresh folder
// beside a "SetupConfig.ini" and recorder programs standing in for the
// programs it starts, runs it and looks at what was started, the registry,
// the exit code and the launcher's own log.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "SetupTestHelpers.h"
#include "TestSupport.h"

using namespace pwtest;
using namespace setuptest;

namespace {

constexpr DWORD kMutexTaken = 0x81000001;
constexpr DWORD kRunFailed = 0x81000004;
constexpr DWORD kVorpFailed = 0x8100000B;
const wchar_t* const kSessionManager = L"SYSTEM\\ControlSet001\\Control\\Session Manager";

std::string RegexQuote(const std::string& text)
{
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string Execute(const std::string& name, const std::string& program, const std::string& more = "")
{
    return "[" + name + "]\r\nExecuteEXE=" + program + "\r\n" + more;
}

const std::string kText104 =
    "Another version of this product is already installed.  Installation of this version cannot continue.  To "
    "configure or remove the existing version of this product, use Add/Remove Programs on the Control Panel.";
const std::string kText105 =
    "Another version of this product is already installed. Do you want to overwrite this version?";
const std::string kText106 =
    "An older version of this product is already installed. Do you want to remove the current version, and install "
    "the new one?";

std::vector<BYTE> ReadPendingRenames(bool& present)
{
    std::vector<BYTE> data(4096);
    DWORD size = static_cast<DWORD>(data.size());
    present = RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations", RRF_RT_ANY, nullptr,
                           data.data(), &size) == ERROR_SUCCESS;
    data.resize(present ? size : 0);
    return data;
}

void SetPendingRenames(const std::vector<BYTE>* data)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    if (data != nullptr)
        RegSetValueExW(key, L"PendingFileRenameOperations", 0, REG_MULTI_SZ, data->data(),
                       static_cast<DWORD>(data->size()));
    else
        RegDeleteValueW(key, L"PendingFileRenameOperations");
    RegCloseKey(key);
}

// Puts the machine's pending-rename list back after a test.
class PendingRenamesKept {
public:
    PendingRenamesKept() { m_data = ReadPendingRenames(m_present); }
    ~PendingRenamesKept() { SetPendingRenames(m_present ? &m_data : nullptr); }

private:
    bool m_present = false;
    std::vector<BYTE> m_data;
};

} // namespace

// ---- program steps and the configuration ---------------------------------------

TEST(SetupRun, ProgramStepCommandLinesFollowTheSilentSwitch)
{
    Launcher run;
    const std::wstring full = run.Recorder(L"full.exe");
    run.Recorder(L"step.exe");
    run.Config(Operator({"EXECUTE_REL", "EXECUTE_FULL"}) +
               Execute("EXECUTE_REL", "step.exe", "Param=a  b\r\nSilent=/quiet\r\n") +
               Execute("EXECUTE_FULL", Esc(full), "ISFullPath=Y\r\nParam=x\r\n"));

    struct Row {
        const wchar_t* args;
        bool silent;
    };
    const Row rows[] = {{L"-s", false}, {L"/s", true}, {L"-x /SILENT", true}, {L"", false}};
    for (const auto& row : rows) {
        EXPECT_EQ(run.Run(row.args), 0u) << Narrow(row.args);
    }
    const auto rel = run.Runs(L"step.exe");
    const auto abs = run.Runs(L"full.exe");
    ASSERT_EQ(rel.size(), std::size(rows));
    ASSERT_EQ(abs.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(Narrow(rows[i].args));
        EXPECT_EQ(rel[i].cmd, run.W() + "\\step.exe a  b" + (rows[i].silent ? " /quiet" : ""));
        EXPECT_EQ(rel[i].cwd, run.W());
        EXPECT_EQ(rel[i].show, rows[i].silent ? SW_HIDE : SW_SHOWNORMAL);
        EXPECT_EQ(abs[i].cmd, Narrow(full) + " x" + (rows[i].silent ? " " : ""));
    }
    const std::string log = run.Log();
    EXPECT_TRUE(Contains(log, "[TRC] (main): Is Silent Install? = No")) << log;
    EXPECT_TRUE(Contains(log, "ENTER CSetup::RunSetup")) << log;
}

TEST(SetupRun, ExpectedResultsDecideWhetherTheRunGoesOn)
{
    struct Row {
        long exitCode;
        DWORD launcher;
        std::size_t laterRuns;
    };
    const Row rows[] = {{3010, 0, 1}, {0, kRunFailed, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.exitCode);
        Launcher run;
        run.Recorder(L"check.exe", row.exitCode);
        run.Recorder(L"later.exe");
        run.Config(Operator({"EXECUTE_CHECKED", "EXECUTE_LATER"}) +
                   Execute("EXECUTE_CHECKED", "check.exe", "NeedCheckResult=y\r\nResult=0xBC2\r\n") +
                   Execute("EXECUTE_LATER", "later.exe"));
        EXPECT_EQ(run.Run(), row.launcher);
        EXPECT_EQ(run.Runs(L"later.exe").size(), row.laterRuns);
        if (row.launcher != 0) {
            EXPECT_TRUE(Contains(run.Log(), "Error Code: 0x81000009"));
            EXPECT_TRUE(Contains(run.Log(), "Error Code: 0x81000004"));
            // A stopped run writes no history.
            EXPECT_NE(RegGetValueW(HKEY_LOCAL_MACHINE, kAppKey, L"PwTest", RRF_RT_ANY | kHistoryView, nullptr, nullptr, nullptr),
                      ERROR_SUCCESS);
        }
    }
}

TEST(SetupRun, ConditionsDecideWhichStepsRun)
{
    Launcher run;
    run.Recorder(L"yes.exe", 0);
    run.Recorder(L"no.exe", 1);
    for (const wchar_t* step : {L"s1.exe", L"s2.exe", L"s3.exe", L"s4.exe", L"s5.exe", L"s6.exe", L"s7.exe"})
        run.Recorder(step);
    run.Config(Operator({"EXECUTE_1", "EXECUTE_2", "EXECUTE_3", "EXECUTE_4", "EXECUTE_5", "EXECUTE_6", "EXECUTE_7"}) +
               Execute("EXECUTE_1", "s1.exe", "CheckCondition=yes.exe\r\n") +      // exit 0: left out
               Execute("EXECUTE_2", "s2.exe", "CheckCondition=no.exe\r\n") +       // exit 1: runs
               Execute("EXECUTE_3", "s3.exe", "CheckCondition=0\r\n") +            // prepared, not started
               Execute("EXECUTE_4", "s4.exe", "CheckCondition=1\r\n") +
               Execute("EXECUTE_5", "s5.exe", "CheckCondition=absent.exe\r\n") +   // cannot start: runs
               Execute("EXECUTE_6", "s6.exe", "ExecuteConditionParam=/REPAIR\r\n") +
               Execute("EXECUTE_7", "s7.exe", "ExecuteConditionParam=/repair\r\n"));
    EXPECT_EQ(run.Run(L"/s /repair"), 0u);
    const std::size_t expected[] = {0, 1, 0, 1, 1, 1, 0};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(run.Runs(L"s" + std::to_wstring(i + 1) + L".exe").size(), expected[i]) << "step " << i + 1;
    // The condition programs ran while the file was read, with the plain path.
    ASSERT_EQ(run.Runs(L"yes.exe").size(), 1u);
    EXPECT_EQ(run.Runs(L"yes.exe")[0].cmd, run.W() + "\\yes.exe");
    const std::string log = run.Log();
    EXPECT_TRUE(Contains(log, "EXECUTE_3 CheckCondition = 0")) << log;
    EXPECT_TRUE(Contains(log, "EXECUTE_4 CheckCondition = 1 || CheckCondition = null")) << log;
    EXPECT_TRUE(Contains(log, "EXECUTE_1 tempexe = " + run.W() + "\\yes.exe")) << log;
    // The condition program that could not start has no exit line of its own.
    EXPECT_FALSE(Contains(log, "Exit Code : -2147467259")) << log;
    EXPECT_TRUE(Contains(log, "Skip this step = TRUE")) << log;
}

TEST(SetupRun, StepTableAndOrderFollowTheFile)
{
    Launcher run;
    for (const wchar_t* step : {L"twice.exe", L"early.exe", L"cased.exe", L"ignored.exe"})
        run.Recorder(step);
    run.Config(Execute("EXECUTE_EARLY", "early.exe") +
               Operator({"EXECUTE_TWICE", "EXECUTE_EARLY", "EXECUTE_TWICE", "execute_cased", "EXECUTE_NOSECTION"}) +
               Execute("EXECUTE_TWICE", "twice.exe") + Execute("EXECUTE_cased", "cased.exe") +
               "[Operator]\r\nSTEP_COUNT=1\r\nSTEP_00=EXECUTE_IGN\r\n" + Execute("EXECUTE_IGN", "ignored.exe"));
    EXPECT_EQ(run.Run(), 0u);
    EXPECT_EQ(run.Runs(L"twice.exe").size(), 2u);
    EXPECT_EQ(run.Runs(L"early.exe").size(), 0u);   // stands above [OPERATOR]
    EXPECT_EQ(run.Runs(L"cased.exe").size(), 0u);   // names differ in case
    EXPECT_EQ(run.Runs(L"ignored.exe").size(), 0u); // [Operator] is not [OPERATOR]
    const std::string log = run.Log();
    EXPECT_TRUE(Contains(log, "STEP_COUNT = 5")) << log;
    EXPECT_TRUE(Contains(log, "OperatorStep03 = execute_cased")) << log;
    EXPECT_TRUE(Contains(log, "Section: GENERAL.")) << log;
    std::size_t rejected = 0;
    for (std::size_t p = 0; (p = log.find("Error Code: 0x81000006", p)) != std::string::npos; ++p)
        ++rejected;
    EXPECT_EQ(rejected, 3u); // EXECUTE_EARLY, EXECUTE_cased, EXECUTE_IGN

    for (const char* count : {"0", "-3"}) {
        Launcher none;
        none.Recorder(L"twice.exe");
        none.Config(std::string("[OPERATOR]\r\nSTEP_COUNT=") + count + "\r\nSTEP_00=EXECUTE_TWICE\r\n" +
                    Execute("EXECUTE_TWICE", "twice.exe"));
        EXPECT_EQ(none.Run(), 0u);
        EXPECT_TRUE(none.Runs(L"twice.exe").empty()) << count;
    }
}

// A hostile or mistyped count cannot keep the launcher reading absent keys:
// it ends at once, the steps whose keys exist (beyond the first hundred
// positions too) still run, and one log line says that reading stopped.
TEST(SetupRun, HugeStepCountsEndAtOnce)
{
    for (const char* count : {"99999999", "2147483647", "0x7FFFFFFF", "dword:7fffffff", "100000"}) {
        SCOPED_TRACE(count);
        Launcher run;
        run.Recorder(L"first.exe");
        run.Recorder(L"far.exe");
        run.Config(std::string("[OPERATOR]\r\nSTEP_COUNT=") + count +
                   "\r\nSTEP_00=EXECUTE_FIRST\r\nSTEP_150=EXECUTE_FAR\r\nstep_2000000000=EXECUTE_FAR\r\n" +
                   Execute("EXECUTE_FIRST", "first.exe") + Execute("EXECUTE_FAR", "far.exe"));
        const DWORD start = GetTickCount();
        EXPECT_EQ(run.Run(L"/s", 20000), 0u);
        EXPECT_LT(GetTickCount() - start, 20000u);
        EXPECT_EQ(run.Runs(L"first.exe").size(), 1u);
        const std::string log = run.Log();
        // The last key stands at position 2 000 000 000, within the count or not.
        const bool reachesFar = std::string(count) != "100000" && std::string(count) != "99999999";
        EXPECT_EQ(run.Runs(L"far.exe").size(), reachesFar ? 2u : 1u);
        EXPECT_TRUE(Contains(log, "OperatorStep99 = \r\n")) << "the first hundred positions are read in full";
        EXPECT_TRUE(Contains(log, "OperatorStep150 = EXECUTE_FAR"));
        EXPECT_FALSE(Contains(log, "OperatorStep100 = "));
        EXPECT_TRUE(Contains(log, "from position 100 on only the STEP keys present were read")) << log;
    }

    // Counts that a real file holds are read position by position, as always.
    Launcher sane;
    sane.Recorder(L"first.exe");
    sane.Config("[OPERATOR]\r\nSTEP_COUNT=3\r\nSTEP_00=EXECUTE_FIRST\r\n" + Execute("EXECUTE_FIRST", "first.exe"));
    EXPECT_EQ(sane.Run(), 0u);
    const std::string log = sane.Log();
    EXPECT_TRUE(Contains(log, "OperatorStep02 = \r\n")) << log;
    EXPECT_FALSE(Contains(log, "were read"));
}

TEST(SetupRun, HugeOlderPackageCountsEndAtOnce)
{
    for (const char* count : {"2147483647", "100000", "0x7FFFFFFF"}) {
        SCOPED_TRACE(count);
        Launcher run;
        run.Recorder(L"step.exe");
        run.Config(std::string("[VORP]\r\nVORP_OLD_VERSION_COUNT=") + count + "\r\nVORP_GUIDE_00=" +
                   Narrow(TestGuid(70)) + "\r\n" + Operator({"EXECUTE_S"}) + Execute("EXECUTE_S", "step.exe"));
        const DWORD start = GetTickCount();
        EXPECT_EQ(run.Run(L"/s", 20000), 0u);
        EXPECT_LT(GetTickCount() - start, 20000u);
        EXPECT_EQ(run.Runs(L"step.exe").size(), 1u);
        EXPECT_TRUE(Contains(run.Log(), "from position 100 on only the VORP_GUIDE keys present were read"))
            << run.Log();
    }
}

TEST(SetupRun, OverLongCommandIsRefusedAndNothingStarts)
{
    Launcher run;
    run.Recorder(L"long.exe");
    run.Config(Operator({"EXECUTE_LONG"}) + Execute("EXECUTE_LONG", "long.exe", "Param=" + std::string(17000, 'p') +
                                                                                    "\r\nNeedCheckResult=Y\r\n"));
    EXPECT_EQ(run.Run(), kRunFailed); // 0x80004005 is not the expected 0
    EXPECT_TRUE(run.Runs(L"long.exe").empty());
    EXPECT_TRUE(Contains(run.Log(), "[ERR] (CSetup::RunCmd): Error Code: 0x80004005"));
}

// ---- install steps ------------------------------------------------------------

TEST(SetupRun, InstallStepCommandLines)
{
    const std::wstring guid = TestGuid(20);
    TestKey registered(kUninstall + guid);
    struct Row {
        const char* name;
        std::string section;
        std::string general;
        const wchar_t* args;
        std::string expected; // after "MsiExec.exe /i \"<work>\\pkg.msi\" "; <LOG> is the step log
    };
    const std::string g = Narrow(guid);
    const Row rows[] = {
        {"new silent install", InstallSection("{NOT-REGISTERED}", ""), "", L"/s",
         " REINSTALLMODE=voums /log \"<LOG>\" /qn REBOOT=Suppress"},
        {"no log option", InstallSection("{NOT-REGISTERED}", ""), "OutputLog=n\r\n", L"/s",
         " REINSTALLMODE=voums /qn REBOOT=Suppress"},
        {"custom properties, not silent", InstallSection("{NOT-REGISTERED}", "ParamEX=ADDLOCAL=ALL\r\n"), "", L"",
         " ADDLOCAL=ALL /log \"<LOG>\""},
        // Registered, but FileExist00 absent: not installed, no question.
        {"registered without files", InstallSection(g, "ShowNotify=Y\r\nRepairMode=Y\r\nRepairParamEX=R=1\r\n"), "",
         L"", " REINSTALLMODE=voums /log \"<LOG>\""},
        {"registered with files, silent repair",
         InstallSection(g, "ShowNotify=Y\r\nRepairMode=Y\r\nRepairParamEX=REINSTALL=ALL\r\nFileExist00=<W>\\\\pkg.msi\r\n"),
         "", L"/s", " REINSTALL=ALL /log \"<LOG>\" /qn REBOOT=Suppress"},
        // The scan stops at the first missing file.
        {"files up to a gap",
         InstallSection(g, "RepairMode=Y\r\nRepairParamEX=R=1\r\nFileExist00=<W>\\\\pkg.msi\r\n"
                           "FileExist01=<W>\\\\missing.txt\r\nFileExist02=<W>\\\\pkg.msi\r\n"),
         "", L"/s", " REINSTALLMODE=voums /log \"<LOG>\" /qn REBOOT=Suppress"},
        {"wildcards and variables",
         InstallSection(g, "RepairMode=Y\r\nRepairParamEX=R=1\r\nFileExist00=<W>\\\\*.msi\r\n"
                           "FileExist01=%SystemRoot%\\\\system32\r\n"),
         "", L"/s", " R=1 /log \"<LOG>\" /qn REBOOT=Suppress"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Launcher run;
        run.Recorder(L"MsiExec.exe"); // found in the launcher's folder before the system's
        WriteBytes(run / L"pkg.msi", "not a package");
        std::string section = std::regex_replace(row.section, std::regex("<W>"), Esc(run.Work()));
        run.Config(Operator({"INSTALL_A"}) + section, row.general);
        EXPECT_EQ(run.Run(row.args), 0u);
        const auto runs = run.Runs(L"MsiExec.exe");
        ASSERT_EQ(runs.size(), 1u);
        const std::string log = RegexQuote(run.L()) + R"(\\PwTest_1\.0_\d{14}_install_log\.log)";
        const std::string expected = RegexQuote("MsiExec.exe /i \"" + run.W() + "\\pkg.msi\" " + row.expected);
        const std::string pattern = std::regex_replace(expected, std::regex("<LOG>"), log);
        EXPECT_TRUE(std::regex_match(runs[0].cmd, std::regex(pattern))) << runs[0].cmd << "\n" << pattern;
    }
}

TEST(SetupRun, InstallOverAnInstalledCopyAsks)
{
    const std::wstring guid = TestGuid(21);
    TestKey registered(kUninstall + guid);
    for (int answer : {IDNO, IDYES}) {
        SCOPED_TRACE(answer);
        Launcher run;
        run.Recorder(L"MsiExec.exe");
        WriteBytes(run / L"pkg.msi", "x");
        run.Config(Operator({"INSTALL_A"}) +
                   InstallSection(Narrow(guid), "ShowNotify=Y\r\nRepairMode=Y\r\nRepairParamEX=REINSTALL=ALL\r\n"
                                                "FileExist00=" + Esc(run / L"pkg.msi") + "\r\n"));
        Child child;
        ASSERT_TRUE(run.Start(child, L""));
        const Box box = Answer(child.Handle(), answer);
        EXPECT_TRUE(box.found);
        EXPECT_EQ(box.text, kText105);
        EXPECT_EQ(box.caption, "");
        const DWORD code = child.Wait(30000);
        if (answer == IDNO) {
            EXPECT_EQ(code, kRunFailed);
            EXPECT_TRUE(run.Runs(L"MsiExec.exe").empty());
        } else {
            EXPECT_EQ(code, 0u);
            ASSERT_EQ(run.Runs(L"MsiExec.exe").size(), 1u);
            EXPECT_TRUE(Contains(run.Runs(L"MsiExec.exe")[0].cmd, "  REINSTALL=ALL /log"));
        }
    }
}

// ---- uninstall and check steps ----------------------------------------------------

TEST(SetupRun, UninstallStepDecisionsAndCommandLines)
{
    struct Row {
        const char* name;
        std::string registered; // UninstallString, <W> for the work path; empty: no registration
        const char* displayVersion;
        std::string section;
        DWORD launcher;
        std::string expected; // regex of the started line; empty: nothing started
        std::string general = "";
    };
    const std::string log = "<L>\\\\PwTest_1\\.0_\\d{14}_uninstall_log\\.log";
    const Row rows[] = {
        {"basic msi, older copy", "\"<W>\\unins.exe\" /x{X}", "1.0",
         "TYPE=BASIC_MSI\r\nVersion=2.0\r\nParamEX=EXTRA=1\r\n", 0,
         "\"<W>\\\\unins\\.exe\" /x\\{X\\} EXTRA=1 /qn REBOOT=Suppress /log \"" + log + "\""},
        {"same version", "\"<W>\\unins.exe\"", "2.0.0", "TYPE=BASIC_MSI\r\nVersion=2.0\r\n", 0, ""},
        {"newer copy stops the run", "\"<W>\\unins.exe\"", "2.0", "TYPE=BASIC_MSI\r\nVersion=1.5\r\n", kRunFailed,
         ""},
        {"not registered", "", "", "TYPE=BASIC_MSI\r\nVersion=2.0\r\n", 0, ""},
        {"install script, unquoted", "<W>\\unins.exe -runfromtemp -l0x0409 -removeonly", "1.0",
         "TYPE=INSTALL_SCRIPT\r\nVersion=2.0\r\nSetupISS=setup.iss\r\n", 0,
         "\"<W>\\\\unins\\.exe\" -removeonly /s /f1\"<W>\\\\setup\\.iss\" /f2\"" + log + "\""},
        {"install script without the step log", "<W>\\unins.exe -runfromtemp", "1.0",
         "TYPE=INSTALL_SCRIPT\r\nVersion=2.0\r\nSetupISS=setup.iss\r\n", 0,
         "\"<W>\\\\unins\\.exe\" -removeonly /s /f1\"<W>\\\\setup\\.iss\"", "OutputLog=N\r\n"},
        {"install script without .exe", "\"<W>\\unins\" -x", "", "TYPE=INSTALL_SCRIPT\r\nVersion=1\r\nSetupISS=setup.iss\r\n",
         0, "\"<W>\\\\unins\" -removeonly /s /f1\"<W>\\\\setup\\.iss\" /f2\"" + log + "\""},
        {"install script, response file missing", "\"<W>\\unins.exe\"", "1.0",
         "TYPE=INSTALL_SCRIPT\r\nVersion=2.0\r\nSetupISS=absent.iss\r\n", kRunFailed, ""},
        {"other type runs the registration as it is", "\"<W>\\unins.exe\" /remove", "", "Version=2.0\r\n", 0,
         "\"<W>\\\\unins\\.exe\" /remove"},
        {"forced removal that leaves the product registered", "\"<W>\\unins.exe\"", "9.0",
         "TYPE=BASIC_MSI\r\nVersion=1.0\r\nForceUninstall=Y\r\n", kRunFailed,
         "\"<W>\\\\unins\\.exe\" /qn REBOOT=Suppress /log \"" + log + "\""},
    };
    int n = 30;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Launcher run;
        run.Recorder(L"unins.exe");
        run.Recorder(L"later.exe");
        WriteBytes(run / L"setup.iss", "iss");
        const std::string w = run.W();
        std::unique_ptr<Registration> reg;
        std::wstring guid = TestGuid(n++);
        if (!row.registered.empty()) {
            reg = std::make_unique<Registration>(n++, Widen(std::regex_replace(row.registered, std::regex("<W>"), w)),
                                                 Widen(row.displayVersion));
            guid = reg->guid;
        }
        run.Config(Operator({"UNLOAD_A", "EXECUTE_LATER"}) + UnloadSection(guid, row.section) +
                       Execute("EXECUTE_LATER", "later.exe"),
                   row.general);
        EXPECT_EQ(run.Run(), row.launcher);
        const auto runs = run.Runs(L"unins.exe");
        if (row.expected.empty()) {
            EXPECT_TRUE(runs.empty()) << runs[0].cmd;
        } else {
            ASSERT_EQ(runs.size(), 1u);
            std::string pattern = std::regex_replace(row.expected, std::regex("<W>"), RegexQuote(w));
            pattern = std::regex_replace(pattern, std::regex("<L>"), RegexQuote(run.L()));
            EXPECT_TRUE(std::regex_match(runs[0].cmd, std::regex(pattern))) << runs[0].cmd << "\n" << pattern;
        }
        EXPECT_EQ(run.Runs(L"later.exe").size(), row.launcher == 0 ? 1u : 0u);
    }
}

TEST(SetupRun, UninstallAsksBeforeRemoving)
{
    for (int answer : {IDNO, IDYES}) {
        SCOPED_TRACE(answer);
        Launcher run;
        run.Recorder(L"unins.exe");
        Registration reg(40, L"\"" + run.Work() + L"\\unins.exe\"", L"1.0");
        run.Config(Operator({"UNLOAD_A"}) + UnloadSection(reg.guid, "TYPE=X\r\nVersion=2.0\r\nShowNotify=y\r\n"));
        Child child;
        ASSERT_TRUE(run.Start(child, L""));
        const Box box = Answer(child.Handle(), answer);
        EXPECT_TRUE(box.found);
        EXPECT_EQ(box.text, kText106);
        EXPECT_EQ(child.Wait(30000), answer == IDYES ? 0u : kRunFailed);
        EXPECT_EQ(run.Runs(L"unins.exe").size(), answer == IDYES ? 1u : 0u);
    }
}

TEST(SetupRun, CheckStepStopsWhenTheProductIsRegistered)
{
    const std::wstring guid = TestGuid(50);
    TestKey registered(kUninstall + guid);
    const std::string section = "[CHECK_A]\r\nCheckGUID=" + Narrow(guid) + "\r\nCheckCondition=0\r\n";
    {
        Launcher run;
        run.Config(Operator({"CHECK_A"}) + section);
        Child child;
        ASSERT_TRUE(run.Start(child, L""));
        const Box box = Answer(child.Handle(), IDOK);
        EXPECT_TRUE(box.found);
        EXPECT_EQ(box.text, kText104);
        EXPECT_EQ(box.caption, "");
        EXPECT_EQ(box.ownerCaption, "Dialog");
        EXPECT_FALSE(box.ownerVisible);
        EXPECT_EQ(child.Wait(30000), kRunFailed);
    }
    {
        Launcher run; // silent: no box at all
        run.Config(Operator({"CHECK_A"}) + section);
        EXPECT_EQ(run.Run(L"/S"), kRunFailed);
        EXPECT_TRUE(Contains(run.Log(), "The product has installed, setup will exit"));
    }
    {
        Launcher run;
        run.Config(Operator({"CHECK_A"}) + "[CHECK_A]\r\nCheckGUID={NOT-REGISTERED}\r\n");
        EXPECT_EQ(run.Run(L""), 0u);
    }
}

// ---- the driver -----------------------------------------------------------------

TEST(SetupRun, SecondLauncherEndsAtOnce)
{
    Launcher first;
    first.Recorder(L"slow.exe", 0, 4000);
    first.Config(Operator({"EXECUTE_SLOW"}) + Execute("EXECUTE_SLOW", "slow.exe"));
    Launcher second;
    second.Recorder(L"cond.exe");
    second.Config(Operator({"EXECUTE_X"}) + Execute("EXECUTE_X", "cond.exe", "CheckCondition=cond.exe\r\n"));

    Child child;
    ASSERT_TRUE(first.Start(child, L"/s"));
    for (int i = 0; i < 100 && first.Runs(L"slow.exe").empty(); ++i)
        Sleep(100);
    ASSERT_EQ(first.Runs(L"slow.exe").size(), 1u);
    EXPECT_EQ(second.Run(), kMutexTaken);
    EXPECT_TRUE(second.Runs(L"cond.exe").empty()); // no configuration was read
    EXPECT_EQ(child.Wait(30000), 0u);
    EXPECT_EQ(second.Run(), 0u);
}

TEST(SetupRun, HistoryValueIsWrittenWhole)
{
    Launcher run;
    run.Config("");
    EXPECT_EQ(run.Run(), 0u);
    BYTE data[1024] = {};
    DWORD size = sizeof data;
    DWORD type = 0;
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kAppKey, L"PwTest", RRF_RT_ANY | RRF_NOEXPAND | kHistoryView, &type, data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(size, 520u);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data)), L"1.0");
    EXPECT_EQ(reinterpret_cast<const wchar_t*>(data)[3], L'\0');
}

TEST(SetupRun, WithoutConfigurationTheRunWritesAnEmptyHistory)
{
    TempDir dir;
    const std::wstring exe = CopyProgram(L"setup.exe", dir.Path());
    EXPECT_EQ(RunProgram(Quote(exe) + L" /s"), 0u);
    BYTE data[1024] = {1};
    DWORD size = sizeof data;
    DWORD type = 0;
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, kAppKey, L"", RRF_RT_ANY | kHistoryView, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(size, 520u);
    EXPECT_EQ(data[0], 0);
    DeleteHistory(L"");
}

TEST(SetupRun, PendingRenamesAreRestoredByteForByte)
{
    PendingRenamesKept kept;
    const std::string add = "add \"HKLM\\SYSTEM\\ControlSet001\\Control\\Session Manager\" /v "
                            "PendingFileRenameOperations /t REG_MULTI_SZ /d fromstep /f";
    const std::string step = Operator({"EXECUTE_REG"}) + Execute("EXECUTE_REG", "reg.exe", "ISFullPath=Y\r\nParam=" + add + "\r\n");

    // Present before the run (with an odd byte count): back exactly as it was.
    const std::vector<BYTE> before = {'\\', 0, '?', 0, 'a', 0, 0, 0, 0, 0, 7};
    SetPendingRenames(&before);
    {
        Launcher run;
        run.Config(step);
        EXPECT_EQ(run.Run(), 0u);
        bool present = false;
        const auto after = ReadPendingRenames(present);
        EXPECT_TRUE(present);
        // The odd last byte is dropped from the count when written back.
        EXPECT_EQ(after, std::vector<BYTE>(before.begin(), before.end() - 1));
    }
    // Created by a step: deleted.
    SetPendingRenames(nullptr);
    {
        Launcher run;
        run.Config(step);
        EXPECT_EQ(run.Run(), 0u);
        bool present = true;
        ReadPendingRenames(present);
        EXPECT_FALSE(present);
    }
    // A stopped run leaves what the step wrote.
    {
        Launcher run;
        run.Config(Operator({"EXECUTE_REG"}) +
                   Execute("EXECUTE_REG", "reg.exe", "ISFullPath=Y\r\nNeedCheckResult=Y\r\nResult=5\r\nParam=" + add + "\r\n"));
        EXPECT_EQ(run.Run(), kRunFailed);
        bool present = false;
        ReadPendingRenames(present);
        EXPECT_TRUE(present);
    }
}

// ---- the older package ------------------------------------------------------------

namespace {

class OlderPackage {
public:
    OlderPackage(Launcher& run, bool withInstallShieldKey)
        : m_guid(TestGuid(60)), m_unused(TestGuid(61)), m_source(run / L"src")
    {
        CreateDirectoryW(m_source.c_str(), nullptr);
        CreateDirectoryW((m_source + L"\\VORP").c_str(), nullptr);
        m_setup = PlaceRecorder(m_source + L"\\VORP", L"setup.exe");
        m_key = std::make_unique<TestKey>(kUninstall + m_guid);
        if (withInstallShieldKey) {
            m_shield = std::make_unique<TestKey>(kUninstall + (L"InstallShield_" + m_guid));
            m_shield->SetString(L"InstallSource", m_source);
        }
        WriteBytes(run / L"b.iss", "response B");
        for (const wchar_t* batch : {L"DELETEVORP_ODM.BAT", L"DELETEVORP_INHOUSE.BAT"})
            WriteBytes(run / batch, "@echo %~nx0>> \"%~dp0batch.rec\"\r\n");
        run.Config("[VORP]\r\nVORP_OLD_VERSION_COUNT=2\r\nVORP_GUIDE_00=" + Narrow(m_unused) +
                   "\r\nSETUPISS_00=a.iss\r\nVORP_GUIDE_01=" + Narrow(m_guid) + "\r\nSETUPISS_01=b.iss\r\n");
    }

    std::wstring m_guid, m_unused, m_source, m_setup;
    std::unique_ptr<TestKey> m_key, m_shield;
};

} // namespace

TEST(SetupRun, OlderPackageIsRemovedFirst)
{
    for (long probeCode : {0L, 1L, -1L}) {
        SCOPED_TRACE(probeCode);
        Launcher run;
        OlderPackage old(run, true);
        if (probeCode >= 0)
            run.Recorder(L"IsSupportVELT.exe", probeCode);
        EXPECT_EQ(run.Run(), 0u);
        EXPECT_EQ(ReadBytes(old.m_source + L"\\VORP\\setup.iss"), "response B");
        const auto setups = Records(old.m_setup);
        ASSERT_EQ(setups.size(), 1u);
        EXPECT_EQ(setups[0].cmd, "\"" + Narrow(old.m_source) + "\\VORP\\setup.exe\" /s /removeonly");
        if (probeCode >= 0) {
            ASSERT_EQ(run.Runs(L"IsSupportVELT.exe").size(), 1u);
            EXPECT_EQ(run.Runs(L"IsSupportVELT.exe")[0].cmd, "\"" + run.W() + "\\IsSupportVELT.exe\"");
        }
        const std::string batch = probeCode == 0 ? "DELETEVORP_ODM.BAT" : "DELETEVORP_INHOUSE.BAT";
        EXPECT_EQ(ReadBytes(run / L"batch.rec"), batch + "\r\n");
        EXPECT_FALSE(KeyExists(kUninstall + old.m_guid));
        EXPECT_FALSE(KeyExists(kUninstall + (L"InstallShield_" + old.m_guid)));
        const std::string log = run.Log();
        EXPECT_TRUE(Contains(log, std::string(48, '-') + "VORP REG DELETE Begin" + std::string(71, '-') + "\r\n")) << log;
        EXPECT_TRUE(Contains(log, std::string(48, '-') + "VORP REG DELETE End" + std::string(71, '-') + "\r\n"));
        EXPECT_TRUE(Contains(log, std::string(83, '*') + "\r\n"));
        EXPECT_TRUE(Contains(log, "m_nOldVORPCount = 2"));
    }
}

TEST(SetupRun, OlderPackageRemovalFailsWhenItsInstallShieldKeyIsGone)
{
    Launcher run;
    OlderPackage old(run, false);
    run.Recorder(L"step.exe");
    run.Config("[VORP]\r\nVORP_OLD_VERSION_COUNT=1\r\nVORP_GUIDE_00=" + Narrow(old.m_guid) +
               "\r\nSETUPISS_00=b.iss\r\n" + Operator({"EXECUTE_S"}) + Execute("EXECUTE_S", "step.exe"));
    EXPECT_EQ(run.Run(), kVorpFailed);
    EXPECT_TRUE(run.Runs(L"step.exe").empty());
    const std::string log = run.Log();
    EXPECT_TRUE(Contains(log, "Error Code: 0x8100000b")) << log;
    // Without an InstallShield key the source folder is empty: the older
    // setup is looked for under the root of the current drive.
    EXPECT_TRUE(Contains(log, "(CSetup::RunCmd): \"\\VORP\\setup.exe\" /s /removeonly")) << log;
    EXPECT_TRUE(Records(old.m_setup).empty());
}

TEST(SetupRun, OlderPackageThatRemovedItsOwnRegistration)
{
    Launcher run;
    OlderPackage old(run, true);
    run.Recorder(L"step.exe");
    // The clean-up batch file takes the registration away before the
    // launcher looks for it: nothing is left to delete, and that is no failure.
    const std::string del = "@reg delete \"HKLM\\" + Narrow(kUninstall + old.m_guid) + "\" /f\r\n";
    for (const wchar_t* batch : {L"DELETEVORP_ODM.BAT", L"DELETEVORP_INHOUSE.BAT"})
        WriteBytes(run / batch, del);
    run.Config("[VORP]\r\nVORP_OLD_VERSION_COUNT=1\r\nVORP_GUIDE_00=" + Narrow(old.m_guid) +
               "\r\nSETUPISS_00=b.iss\r\n" + Operator({"EXECUTE_S"}) + Execute("EXECUTE_S", "step.exe"));
    EXPECT_EQ(run.Run(), 0u);
    EXPECT_EQ(Records(old.m_setup).size(), 1u);
    EXPECT_FALSE(KeyExists(kUninstall + old.m_guid));
    EXPECT_TRUE(KeyExists(kUninstall + (L"InstallShield_" + old.m_guid))); // not touched
    EXPECT_EQ(run.Runs(L"step.exe").size(), 1u);
    EXPECT_FALSE(Contains(run.Log(), "VORP REG DELETE Begin"));
}

// ---- a real Windows Installer package ----------------------------------------------

TEST(SetupRun, RealPackageIsInstalledAndLaterRemoved)
{
    const std::wstring code = L"{6F1D2C3B-1A2B-4C5D-8E9F-0A1B2C3D4E5F}";
    const std::wstring key = kUninstall + code;
    if (KeyExists(key))
        RunProgram(L"msiexec /x " + code + L" /qn", 120000);
    ASSERT_FALSE(KeyExists(key));

    Launcher install;
    CopyFileW((BinFolder() + L"setup_test_package.msi").c_str(), (install / L"pkg.msi").c_str(), FALSE);
    install.Config(Operator({"INSTALL_PKG"}) + "[INSTALL_PKG]\r\nInstallGUID=" + Narrow(code) +
                   "\r\nInstallPackage=pkg.msi\r\nVersion=1.0.0\r\n");
    EXPECT_EQ(install.Run(L"/s"), 0u);
    ASSERT_TRUE(KeyExists(key));
    wchar_t version[64] = {};
    DWORD size = sizeof version;
    RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DisplayVersion", RRF_RT_REG_SZ, nullptr, version, &size);
    EXPECT_EQ(std::wstring(version), L"1.0.0");
    // Each build installs a package of its own architecture: the 32-bit
    // launcher starts the 32-bit MsiExec.exe (the system folder a 32-bit
    // process sees), which installs the x86 package into the 32-bit program
    // folder and registers it where a 32-bit process looks.
#ifdef _WIN64
    const std::wstring programFiles = L"C:\\Program Files\\";
#else
    const std::wstring programFiles = L"C:\\Program Files (x86)\\";
#endif
    EXPECT_TRUE(Exists(programFiles + L"SetupTestPackage\\payload.txt"));
    // The installer wrote the step log the launcher asked for.
    WIN32_FIND_DATAW found{};
    const HANDLE log = FindFirstFileW((Widen(install.L()) + L"\\PwTest_1.0_*_install_log.log").c_str(), &found);
    EXPECT_NE(log, INVALID_HANDLE_VALUE);
    if (log != INVALID_HANDLE_VALUE)
        FindClose(log);

    Launcher remove;
    remove.Config(Operator({"UNLOAD_PKG"}) + "[UNLOAD_PKG]\r\nTYPE=BASIC_MSI\r\nUnloadGUID=" + Narrow(code) +
                  "\r\nVersion=2.0\r\nParamEX=REMOVE=ALL\r\nForceUninstall=N\r\n");
    EXPECT_EQ(remove.Run(L"/s"), 0u);
    EXPECT_FALSE(KeyExists(key));
    EXPECT_FALSE(Exists(programFiles + L"SetupTestPackage\\payload.txt"));
}

TEST(SetupRun, ResourcesOfTheLauncher)
{
    const std::wstring exe = BinFolder() + L"setup.exe";
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    const std::pair<UINT, const std::string*> strings[] = {{104, &kText104}, {105, &kText105}, {106, &kText106}};
    for (const auto& [id, text] : strings) {
        const wchar_t* p = nullptr;
        const int n = LoadStringW(module, id, reinterpret_cast<wchar_t*>(&p), 0);
        EXPECT_EQ(Narrow(std::wstring(p, n > 0 ? n : 0)), *text) << id;
    }
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(108), reinterpret_cast<LPCWSTR>(RT_DIALOG)), nullptr);
    // Icon 102: a group of two 16 x 16 images of different colour depths.
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(102), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
    ASSERT_NE(group, nullptr);
    const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    ASSERT_NE(dir, nullptr);
    const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
    ASSERT_EQ(count, 2);
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = dir + 6 + i * 14;
        EXPECT_EQ(entry[0], 16);
        EXPECT_EQ(entry[1], 16);
    }
    EXPECT_NE(*reinterpret_cast<const WORD*>(dir + 6 + 6), *reinterpret_cast<const WORD*>(dir + 6 + 14 + 6));
    FreeLibrary(module);
}

// The product under one user-interface language, end to end: start-up
// through pwctl against the virtual notebook with its real dialog, and the
// launcher's message boxes.
//
// tests/CMakeLists.txt runs this program once per language with LC_ALL set:
// Wine takes a process's language and ANSI code page from its Unix locale
// when it starts, and its children inherit them. PWTEST_LANGID is the
// language Wine must then report, so that a locale Wine ignored fails here
// instead of testing English again.
#include <gtest/gtest.h>

#include <cwchar>
#include <thread>

#include "EnginePlatform.h"
#include "NotebookCertify.h"
#include "NotebookSupport.h"
#include "OrnPwChkDialog.h"
#include "ProductLanguages.h"
#include "SetupTestHelpers.h"

using namespace pwtest;

namespace {

constexpr DWORD kRunFailed = 0x81000004;

LANGID StartedFor()
{
    wchar_t value[16] = {};
    GetEnvironmentVariableW(L"PWTEST_LANGID", value, 16);
    return static_cast<LANGID>(std::wcstoul(value, nullptr, 16));
}

const ProductLanguage& Language()
{
    return ResourceLanguageFor(GetUserDefaultUILanguage());
}

bool IsEnglish()
{
    return std::string(Language().section) == "English";
}

// An entry of a built binary in the language this system reads; an empty
// or missing one never matches what a window shows.
std::wstring Entry(const wchar_t* binary, UINT id)
{
    ResourceFile file(BuildBinFolder() + binary);
    const std::wstring text = file.String(id, Language().id).value_or(L"");
    return text.empty() ? L"<missing entry " + std::to_wstring(id) + L">" : text;
}

std::wstring Unquoted(const std::wstring& text)
{
    return text.size() >= 2 && text.front() == L'"' && text.back() == L'"' ? text.substr(1, text.size() - 2) : text;
}

std::string Ansi(const std::wstring& text)
{
    return InCodePage(text, GetACP()).value_or("<not in the ANSI code page>");
}

std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

// The verification dialog of one process, once it shows.
HWND WaitForDialog(DWORD pid, HANDLE process)
{
    struct Search {
        DWORD pid;
        HWND found;
    } search{pid, nullptr};
    for (int i = 0; i < 400 && search.found == nullptr; ++i) {
        EnumWindows(
            [](HWND window, LPARAM param) CALLBACK -> BOOL {
                auto* s = reinterpret_cast<Search*>(param);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == s->pid && IsWindowVisible(window) && GetDlgItem(window, IDC_CERTIFY_PASSWORD) != nullptr) {
                    s->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr && WaitForSingleObject(process, 50) == WAIT_OBJECT_0)
            break;
    }
    return search.found;
}

// The virtual notebook with the control installed beside its libraries, so
// that the language file lands in this test's own folder.
struct Machine {
    explicit Machine(const sim::CScenario& scenario) : notebook(scenario)
    {
        notebook.InstallLibraries();
        dll = CopyProgram(L"VELTDll.dll", notebook.Folder());
    }

    bool Start(Child& child, const std::wstring& args)
    {
        ProcessOptions options;
        options.environment = notebook.Environment();
        options.outputFile = Output();
        return child.Start(Quote(BuildBinFolder() + L"pwctl.exe") + L" --dll " + Quote(dll) + L" " + args, options);
    }
    std::wstring Output() const { return notebook.Folder() + L"\\pwctl-output.txt"; }
    std::wstring LanguageFile() const { return notebook.Folder() + L"\\OrnPwChk.lng"; }

    // A value as the dialog's INI reader gives it (quotes stripped).
    std::wstring Lng(const char* section, const wchar_t* key) const
    {
        wchar_t value[1024] = {};
        GetPrivateProfileStringW(Widen(section).c_str(), key, L"<none>", value, 1024, LanguageFile().c_str());
        return value;
    }
    std::vector<std::wstring> Sections() const
    {
        wchar_t names[4096] = {};
        const DWORD n = GetPrivateProfileSectionNamesW(names, 4096, LanguageFile().c_str());
        std::vector<std::wstring> out;
        for (const wchar_t* p = names; p < names + n && *p; p += wcslen(p) + 1)
            out.emplace_back(p);
        return out;
    }
    std::vector<std::string> SentTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& entry : notebook.Journal())
            if (entry.Field("request") == "SetText")
                texts.push_back(entry.Field("text"));
        return texts;
    }

    VirtualNotebook notebook;
    std::wstring dll;
};

std::vector<std::wstring> ExpectedSections()
{
    if (IsEnglish())
        return {L"English"};
    return {Widen(Language().section), L"English"};
}

} // namespace

TEST(Library, TheProcessRunsInTheLanguageItWasStartedFor)
{
    EXPECT_EQ(GetUserDefaultUILanguage(), StartedFor());
}

// A supervisor password alone: while the dialog is up the language file holds
// the skip texts in this language's section (and the English ones), the
// dialog shows them, and skipping writes the normal texts back.
TEST(Library, StartUpWritesTheLanguageSectionAndTheDialogShowsIt)
{
    Machine m(sim::CScenario().Class21().Supervisor("boss").RealDialog());
    const std::string section = Language().section;
    Child pwctl;
    ASSERT_TRUE(m.Start(pwctl, L"status"));
    const HWND dialog = WaitForDialog(GetProcessId(pwctl.Handle()), pwctl.Handle());
    ASSERT_NE(dialog, nullptr) << ReadBytes(m.Output());

    EXPECT_EQ(WindowText(dialog), Entry(L"VELTDll.dll", 2));
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_CERTIFY_PROMPT)), Unquoted(Entry(L"VELTDll.dll", 10004)));
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDCANCEL)), Unquoted(Entry(L"VELTDll.dll", 10002)));
    EXPECT_EQ(m.Sections(), ExpectedSections());
    EXPECT_EQ(m.Lng(section.c_str(), L"PasswordMsg"), Unquoted(Entry(L"VELTDll.dll", 10004)));
    EXPECT_EQ(m.Lng(section.c_str(), L"CancelButton"), Unquoted(Entry(L"VELTDll.dll", 10002)));
    EXPECT_EQ(m.Lng("English", L"PasswordMsg"), L"Enter supervisor password or skip to register user password only.");
    EXPECT_EQ(m.Lng("English", L"CancelButton"), L"Skip");
    // Written as the string table has it: quotes and all, in the ANSI code page.
    const std::string raw = ReadBytes(m.LanguageFile());
    EXPECT_NE(raw.find("[" + section + "]"), std::string::npos) << raw;
    EXPECT_NE(raw.find("PasswordMsg=" + Ansi(Entry(L"VELTDll.dll", 10004))), std::string::npos) << raw;

    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_NE(pwctl.Wait(30000), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_NE(ReadBytes(m.Output()).find("init:       110"), std::string::npos) << ReadBytes(m.Output());

    EXPECT_EQ(m.Sections(), ExpectedSections());
    EXPECT_EQ(m.Lng(section.c_str(), L"PasswordMsg"), Unquoted(Entry(L"VELTDll.dll", 10003)));
    EXPECT_EQ(m.Lng(section.c_str(), L"CancelButton"), Unquoted(Entry(L"VELTDll.dll", 10001)));
    EXPECT_EQ(m.Lng("English", L"PasswordMsg"), L"Please type a %Target1%.");
    EXPECT_EQ(m.Lng("English", L"CancelButton"), L"Cancel");
    if (!IsEnglish()) {
        EXPECT_NE(m.Lng(section.c_str(), L"PasswordMsg"), L"Please type a %Target1%.");
        EXPECT_NE(m.Lng(section.c_str(), L"CancelButton"), L"Cancel");
    }
}

// Both passwords: the dialog asks with the normal prompt of this language
// (from the file start-up left), and the engine sends its caption and
// messages in the thread's ANSI code page.
TEST(Library, VerificationTextsReachTheDialogInTheAnsiCodePage)
{
    Machine m(sim::CScenario().Class21().Supervisor("boss").RealDialog());
    {
        Child skip;
        ASSERT_TRUE(m.Start(skip, L"status"));
        const HWND dialog = WaitForDialog(GetProcessId(skip.Handle()), skip.Handle());
        ASSERT_NE(dialog, nullptr);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        ASSERT_NE(skip.Wait(30000), static_cast<DWORD>(STILL_ACTIVE));
    }
    m.notebook.Write(sim::CScenario().Class21().Supervisor("boss").User("me").RealDialog().State());
    m.notebook.ClearJournal();

    Child pwctl;
    ASSERT_TRUE(m.Start(pwctl, L"status"));
    const HWND dialog = WaitForDialog(GetProcessId(pwctl.Handle()), pwctl.Handle());
    ASSERT_NE(dialog, nullptr) << ReadBytes(m.Output());
    const std::wstring target = Widen(sim::TargetPhrase(Language().section, sim::TargetKind::Password));
    std::wstring prompt = Unquoted(Entry(L"VELTDll.dll", 10003));
    prompt.replace(prompt.find(L"%Target1%"), 9, target);
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_CERTIFY_PROMPT)), prompt);
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDCANCEL)), Unquoted(Entry(L"VELTDll.dll", 10001)));

    // A wrong password (the empty field, which needs no typing: a 32-bit
    // program under Wine's WoW64 mode cannot take text in an edit control):
    // the retry message the engine sent.
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_CERTIFY_MESSAGE)), Entry(L"VELTDll.dll", 3560));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_NE(pwctl.Wait(30000), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_NE(ReadBytes(m.Output()).find("init:       6 "), std::string::npos) << ReadBytes(m.Output());

    const std::vector<std::string> expected = {
        "CaptionTitle=" + Ansi(Entry(L"VELTDll.dll", 2)),
        "DiagTokenErrMsg=" + Ansi(Entry(L"VELTDll.dll", 3561)),
        "DiagRetryPwMsg=" + Ansi(Entry(L"VELTDll.dll", 3560)),
    };
    EXPECT_EQ(m.SentTexts(), expected);
    if (!IsEnglish()) {
        EXPECT_NE(Entry(L"VELTDll.dll", 3560), L"Verification error.  Input correct password.");
    }
}

// The engine's own ANSI-to-OEM conversion (which wipes its temporary copy)
// gives what the platform's conversion gives, for every byte of this
// language's code pages. (Double-byte sequences do not compare fairly here:
// Wine's conversion reads one UTF-16 unit per byte, past what it converted.)
TEST(Library, AnsiToOemGivesWhatThePlatformGives)
{
    EnginePlatform platform;
    std::vector<std::string> texts;
    for (int b = 1; b < 256; ++b)
        texts.push_back(std::string(1, static_cast<char>(b)));
    std::string all;
    for (int b = 0x20; b < 256; ++b)
        all += static_cast<char>(b);
    if (MultiByteToWideChar(CP_ACP, 0, all.data(), static_cast<int>(all.size()), nullptr, 0) ==
        static_cast<int>(all.size()))
        texts.push_back(all); // a single-byte code page: the whole row at once
    int differ = 0;
    for (const std::string& text : texts) {
        std::string ours = text, theirs = text;
        platform.AnsiToOem(ours.data(), static_cast<DWORD>(ours.size()));
        CharToOemBuffA(theirs.data(), theirs.data(), static_cast<DWORD>(theirs.size()));
        if (ours != theirs && ++differ <= 5)
            ADD_FAILURE() << "ANSI " << Hex(text) << ": " << Hex(ours) << " instead of " << Hex(theirs);
    }
    EXPECT_EQ(differ, 0) << "of " << texts.size() << " texts in code pages " << GetACP() << "/" << GetOEMCP();
}

// The launcher's three questions, each in this language.
TEST(Launcher, MessageBoxesSpeakTheLanguage)
{
    using namespace setuptest;
    const auto expect = [](const Box& box, UINT id) {
        EXPECT_TRUE(box.found) << id;
        EXPECT_EQ(Widen(box.text), Entry(L"setup.exe", id)) << id;
        EXPECT_EQ(box.caption, "") << id;
    };
    {
        const std::wstring guid = TestGuid(1);
        TestKey registered(kUninstall + guid);
        Launcher run;
        run.Config(Operator({"CHECK_A"}) + "[CHECK_A]\r\nCheckGUID=" + Narrow(guid) + "\r\nCheckCondition=0\r\n");
        Child child;
        ASSERT_TRUE(run.Start(child, L""));
        expect(Answer(child.Handle(), IDOK), 104);
        EXPECT_EQ(child.Wait(30000), kRunFailed);
    }
    {
        const std::wstring guid = TestGuid(2);
        TestKey registered(kUninstall + guid);
        Launcher run;
        run.Recorder(L"MsiExec.exe");
        WriteBytes(run / L"pkg.msi", "x");
        run.Config(Operator({"INSTALL_A"}) +
                   InstallSection(Narrow(guid), "ShowNotify=Y\r\nFileExist00=" + Esc(run / L"pkg.msi") + "\r\n"));
        Child child;
        ASSERT_TRUE(run.Start(child, L""));
        expect(Answer(child.Handle(), IDNO), 105);
        EXPECT_EQ(child.Wait(30000), kRunFailed);
        EXPECT_TRUE(run.Runs(L"MsiExec.exe").empty());
    }
    {
        Launcher run;
        run.Recorder(L"unins.exe");
        Registration reg(3, L"\"" + run.Work() + L"\\unins.exe\"", L"1.0");
        run.Config(Operator({"UNLOAD_A"}) + UnloadSection(reg.guid, "TYPE=X\r\nVersion=2.0\r\nShowNotify=y\r\n"));
        Child child;
        ASSERT_TRUE(run.Start(child, L""));
        expect(Answer(child.Handle(), IDNO), 106);
        EXPECT_EQ(child.Wait(30000), kRunFailed);
        EXPECT_TRUE(run.Runs(L"unins.exe").empty());
    }
    if (!IsEnglish()) {
        EXPECT_NE(Entry(L"setup.exe", 105).substr(0, 20), L"Another version of t");
    }
}

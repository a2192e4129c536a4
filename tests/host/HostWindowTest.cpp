// The reference host as a person uses it: the real window of PasswordHost.exe
// in a child process, driven by control identifiers (clicks, typed keys,
// text), against the virtual notebook. The control is registered as for any
// host; the window creates it by its class identifier.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>

#include "ComTestSupport.h"
#include "HostTexts.h"
#include "NotebookSupport.h"
#include "ProductLanguages.h"
#include "ResultCodes.h"
#include "ResultSentences.h"

using namespace pwtest;

namespace {

constexpr int kMessageBoxText = 0xFFFF; // the static that holds a message box's text

std::wstring HostPath()
{
    return BuildBinFolder() + L"PasswordHost.exe";
}

// Texts as the host shows them: its own string table in the language of
// this run (PWTEST_LANGID, set with LC_ALL; English without it).
class HostStrings {
public:
    HostStrings() : m_file(HostPath())
    {
        LANGID id = 1033;
        wchar_t value[16] = {};
        if (GetEnvironmentVariableW(L"PWTEST_LANGID", value, 16) > 0)
            id = static_cast<LANGID>(wcstoul(value, nullptr, 16));
        m_language = ResourceLanguageFor(id).id;
    }
    std::wstring operator()(UINT id) const { return m_file.String(id, m_language).value_or(L"<missing>"); }
    LANGID Language() const { return m_language; }

private:
    ResourceFile m_file;
    LANGID m_language;
};

std::wstring TextOf(HWND window)
{
    wchar_t text[2048] = {};
    DWORD_PTR got = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &got);
    return text;
}

struct WindowSearch {
    DWORD process;
    std::function<bool(HWND)> wanted;
    HWND found = nullptr;
};

BOOL CALLBACK Candidate(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<WindowSearch*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    if (process == search->process && IsWindowVisible(window) && std::wstring(cls) == L"#32770" &&
        search->wanted(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// One run of the host against a notebook of the test's own.
class HostRun {
public:
    explicit HostRun(const VirtualNotebook& notebook)
    {
        ProcessOptions options;
        options.environment = notebook.Environment();
        EXPECT_TRUE(m_child.Start(Quote(HostPath()), options));
        m_main = WaitForDialog([](HWND w) { return GetDlgItem(w, IDC_STATUS) != nullptr; }, 30000);
        EXPECT_NE(m_main, nullptr) << "the main window did not appear";
    }
    ~HostRun()
    {
        if (m_child.Handle() != nullptr && m_child.Wait(0) == STILL_ACTIVE) {
            if (m_main != nullptr)
                PostMessageW(m_main, WM_CLOSE, 0, 0);
            if (m_child.Wait(10000) == STILL_ACTIVE)
                TerminateProcess(m_child.Handle(), 1);
        }
    }
    HostRun(const HostRun&) = delete;
    HostRun& operator=(const HostRun&) = delete;

    HWND Main() const { return m_main; }
    HWND Item(int id) const { return GetDlgItem(m_main, id); }
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    bool Shown(int id) const { return IsWindowVisible(Item(id)) != FALSE; }
    std::wstring Text(int id) const { return TextOf(Item(id)); }
    DWORD Process() const { return GetProcessId(m_child.Handle()); }
    DWORD WaitExit(DWORD ms) { return m_child.Wait(ms); }

    HWND WaitForDialog(const std::function<bool(HWND)>& wanted, DWORD ms = 20000) const
    {
        for (DWORD waited = 0; waited <= ms; waited += 50) {
            WindowSearch search{GetProcessId(m_child.Handle()), wanted};
            EnumWindows(&Candidate, reinterpret_cast<LPARAM>(&search));
            if (search.found != nullptr)
                return search.found;
            Sleep(50);
        }
        return nullptr;
    }
    HWND WaitForMessageBox(DWORD ms = 20000) const
    {
        return WaitForDialog([](HWND w) { return GetDlgItem(w, kMessageBoxText) != nullptr; }, ms);
    }
    // The window has finished its work when its status line is neither
    // "starting" nor "working", or a message box asks for the person.
    void WaitIdle(const HostStrings& texts) const
    {
        const std::wstring starting = texts(IDS_STARTING), working = texts(IDS_WORKING);
        for (int i = 0; i < 600; ++i) {
            const std::wstring status = Text(IDC_STATUS);
            if (status != starting && status != working)
                return;
            if (WaitForMessageBox(0) != nullptr)
                return;
            Sleep(50);
        }
        ADD_FAILURE() << "the window stayed busy";
    }

private:
    Child m_child;
    HWND m_main = nullptr;
};

void Click(HWND button)
{
    ASSERT_NE(button, nullptr);
    PostMessageW(button, BM_CLICK, 0, 0);
}

// Types as the keyboard does, one character message at a time.
void Type(HWND edit, const std::wstring& text)
{
    for (const wchar_t c : text) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(edit, WM_CHAR, c, 1, SMTO_NORMAL, 10000, &ignored);
    }
}

int FieldLength(HWND edit)
{
    DWORD_PTR length = 0;
    SendMessageTimeoutW(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length);
    return static_cast<int>(length);
}

// Answers the message box that comes up, returning its text.
std::wstring AnswerMessageBox(const HostRun& host, int button)
{
    const HWND box = host.WaitForMessageBox();
    if (box == nullptr)
        return L"<no message box>";
    const std::wstring text = TextOf(GetDlgItem(box, kMessageBoxText));
    PostMessageW(GetDlgItem(box, button), BM_CLICK, 0, 0);
    for (int i = 0; i < 200 && IsWindow(box); ++i)
        Sleep(25);
    return text;
}

HWND OpenPasswordDialog(const HostRun& host, int button)
{
    Click(host.Item(button));
    return host.WaitForDialog([](HWND w) { return GetDlgItem(w, IDC_NEW_PASSWORD) != nullptr; });
}

// Types the password twice and confirms.
void EnterPassword(HWND dialog, const std::wstring& password)
{
    ASSERT_NE(dialog, nullptr) << "the password dialog did not open";
    Type(GetDlgItem(dialog, IDC_NEW_PASSWORD), password);
    Type(GetDlgItem(dialog, IDC_CONFIRM_PASSWORD), password);
    Click(GetDlgItem(dialog, IDOK));
}

std::string Utf8(const std::wstring& text)
{
    return Narrow(text);
}

// Journal entries that carry a password write to the firmware.
int PasswordWrites(const VirtualNotebook& notebook)
{
    int writes = 0;
    for (const sim::JournalEntry& e : notebook.Journal()) {
        const std::optional<FirmwareCallBlock> in = e.Block("in");
        if (in && (in->Request == 0x0602 || in->Request == 0x0603))
            ++writes;
    }
    return writes;
}

class HostWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        CleanRegistration();
        ASSERT_EQ(Regsvr32(L"/s"), 0u);
    }
    static void TearDownTestSuite() { CleanRegistration(); }
    HostStrings texts;
};

struct PanelCase {
    const char* name;
    sim::CScenario scenario;
    LONG initCode;
    bool userSet, userChange, userDelete, owner;
    bool supervisorSet, supervisorChange, supervisorDelete, policy;
};

// Wine 8 in its WoW64 mode faults in the text shaping of a 32-bit program's
// edit controls once they hold text; where it does, the tests that type or
// show text in an edit are skipped instead of crashing the window.
#define SKIP_WITHOUT_EDIT_TEXT()                                                                                      \
    if (!EditControlsTakeText())                                                                                      \
    GTEST_SKIP() << "this system's edit controls cannot take text in a program of this build"

} // namespace

// Every enable state follows the two records of the control, for the machine
// states and start-up outcomes that matter.
TEST_F(HostWindow, EnableStatesFollowTheControl)
{
    const PanelCase cases[] = {
        {"no password", sim::CScenario().PcPolicy(0), 0, true, false, false, true, true, false, false, false},
        {"supervisor only, verified as supervisor",
         sim::CScenario().Supervisor("boss1").PcPolicy(0).Answers({sim::Typed("boss1")}), 0, true, false, false,
         true, false, true, true, true},
        {"supervisor only, skipped; users may not set their own",
         sim::CScenario().Supervisor("boss1").PcPolicy(0).Answers({sim::Cancel()}), 110, false, false, false, true,
         false, false, false, false},
        {"supervisor only, skipped; users may set their own",
         sim::CScenario().Supervisor("boss1").PcPolicy(0x2).Answers({sim::Cancel()}), 110, true, false, false,
         true, false, false, false, false},
        {"both, verified as user; users may change and delete",
         sim::CScenario().Supervisor("boss1").User("us3r").PcPolicy(0xC).Answers({sim::Typed("us3r")}), 0, false,
         true, true, true, false, false, false, false},
        {"both, verified as user; users may not change or delete",
         sim::CScenario().Supervisor("boss1").User("us3r").PcPolicy(0).Answers({sim::Typed("us3r")}), 0, false,
         false, false, true, false, false, false, false},
        {"both, verified as supervisor",
         sim::CScenario().Supervisor("boss1").User("us3r").PcPolicy(0).Answers({sim::Typed("boss1")}), 0, false,
         true, true, true, false, true, true, true},
        {"no owner string", sim::CScenario().PcPolicy(0).Set("owner.supported=no"), 0, true, false, false, false,
         true, false, false, false},
    };
    for (const PanelCase& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualNotebook notebook(c.scenario);
        HostRun host(notebook);
        ASSERT_NE(host.Main(), nullptr);
        host.WaitIdle(texts);
        const results::CodeMeaning init = results::Describe(results::Operation::Init, c.initCode);
        EXPECT_EQ(Utf8(host.Text(IDC_STATUS)), Utf8(texts(static_cast<UINT>(init.sentence))));
        EXPECT_EQ(host.Enabled(IDC_USER_SET), c.userSet);
        EXPECT_EQ(host.Enabled(IDC_USER_CHANGE), c.userChange);
        EXPECT_EQ(host.Enabled(IDC_USER_DELETE), c.userDelete);
        EXPECT_EQ(host.Enabled(IDC_OWNER_EDIT), c.owner);
        EXPECT_EQ(host.Enabled(IDC_OWNER_APPLY), c.owner);
        EXPECT_EQ(host.Enabled(IDC_SUPERVISOR_SET), c.supervisorSet);
        EXPECT_EQ(host.Enabled(IDC_SUPERVISOR_CHANGE), c.supervisorChange);
        EXPECT_EQ(host.Enabled(IDC_SUPERVISOR_DELETE), c.supervisorDelete);
        EXPECT_EQ(host.Enabled(IDC_SUPERVISOR_POLICY), c.policy);
        EXPECT_TRUE(host.Enabled(IDCANCEL));
        // The HDD password is offered with the user password on this machine.
        EXPECT_TRUE(host.Shown(IDC_USER_HDD));
        EXPECT_EQ(host.Enabled(IDC_USER_HDD), c.userSet);
    }
}

// Start-up codes that leave nothing to do disable every operation and say why
// in a message box; the machine without HDD password support hides the box.
TEST_F(HostWindow, StartUpFailuresExplainThemselves)
{
    struct Case {
        const char* name;
        sim::CScenario scenario;
        LONG code;
    };
    const Case cases[] = {
        {"a firmware status read fails", sim::CScenario().Fault("hardware 0x62 read fail"), 15},
        {"the verification was cancelled", sim::CScenario().User("us3r").Answers({sim::Cancel()}), 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualNotebook notebook(c.scenario);
        HostRun host(notebook);
        ASSERT_NE(host.Main(), nullptr);
        const results::CodeMeaning init = results::Describe(results::Operation::Init, c.code);
        EXPECT_EQ(Utf8(AnswerMessageBox(host, IDOK)), Utf8(texts(static_cast<UINT>(init.sentence))));
        host.WaitIdle(texts);
        EXPECT_EQ(Utf8(host.Text(IDC_STATUS)), Utf8(texts(static_cast<UINT>(init.sentence))));
        // Not verified, the window still offers what the firmware allows without
        // proof; after a failed read it offers nothing.
        const bool usable = c.code == 6;
        EXPECT_EQ(host.Enabled(IDC_USER_CHANGE), usable);
        EXPECT_FALSE(host.Enabled(IDC_SUPERVISOR_SET));
        EXPECT_FALSE(host.Enabled(IDC_SUPERVISOR_POLICY));
        EXPECT_EQ(host.Enabled(IDC_OWNER_EDIT), usable);
        EXPECT_TRUE(host.Enabled(IDCANCEL));
    }

    VirtualNotebook noHdd(sim::CScenario().Set("hdd.support=1"));
    HostRun host(noHdd);
    ASSERT_NE(host.Main(), nullptr);
    host.WaitIdle(texts);
    EXPECT_TRUE(host.Enabled(IDC_USER_SET));
    EXPECT_FALSE(host.Shown(IDC_USER_HDD));
}

// The whole job of a person: the supervisor password first; then, verified as
// supervisor, the user password set, changed and deleted, the owner string
// and the policy. Each result as the window shows it and as the machine holds it.
TEST_F(HostWindow, WholeFlowFromTheWindow)
{
    SKIP_WITHOUT_EDIT_TEXT();
    std::vector<sim::DialogAnswer> answers(12, sim::Typed("boss1"));
    sim::CScenario scenario = sim::CScenario().PcPolicy(0);
    VirtualNotebook notebook(scenario);
    {
        sim::NotebookState state = notebook.State();
        state.answers = answers;
        notebook.Write(state);
    }
    {
        HostRun host(notebook);
        ASSERT_NE(host.Main(), nullptr);
        host.WaitIdle(texts);
        EnterPassword(OpenPasswordDialog(host, IDC_SUPERVISOR_SET), L"boss1");
        EXPECT_EQ(Utf8(AnswerMessageBox(host, IDNO)), Utf8(texts(IDS_OFFER_REBOOT))) << "a restart is offered";
        host.WaitIdle(texts);
        EXPECT_EQ(Utf8(host.Text(IDC_STATUS)), Utf8(texts(PW_SAY_SUPERVISOR_SET)));
        EXPECT_TRUE(notebook.State().supervisor.has_value());
        EXPECT_FALSE(host.Enabled(IDC_SUPERVISOR_SET));
        PostMessageW(host.Main(), WM_CLOSE, 0, 0);
        EXPECT_EQ(host.WaitExit(15000), 0u);
    }

    HostRun host(notebook); // start-up verifies the supervisor
    ASSERT_NE(host.Main(), nullptr);
    host.WaitIdle(texts);
    ASSERT_TRUE(host.Enabled(IDC_SUPERVISOR_POLICY));

    struct Step {
        const char* name;
        int button;
        const wchar_t* password; // null: a delete, confirmed
        UINT sentence;
        bool userRegistered;
    };
    const Step steps[] = {
        {"set the user password", IDC_USER_SET, L"us3r-pass", PW_SAY_USER_SET, true},
        {"change it", IDC_USER_CHANGE, L"n3w-pass", PW_SAY_USER_CHANGED, true},
        {"delete it", IDC_USER_DELETE, nullptr, PW_SAY_USER_DELETED, false},
    };
    std::optional<sim::Passcode> before;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.password != nullptr) {
            EnterPassword(OpenPasswordDialog(host, step.button), step.password);
        } else {
            Click(host.Item(step.button));
            EXPECT_EQ(Utf8(AnswerMessageBox(host, IDYES)), Utf8(texts(IDS_CONFIRM_DELETE_USER)));
        }
        EXPECT_EQ(Utf8(AnswerMessageBox(host, IDNO)), Utf8(texts(IDS_OFFER_REBOOT)));
        host.WaitIdle(texts);
        EXPECT_EQ(Utf8(host.Text(IDC_STATUS)), Utf8(texts(step.sentence)));
        const sim::NotebookState state = notebook.State();
        EXPECT_EQ(state.user.has_value(), step.userRegistered);
        if (state.user && before) {
            EXPECT_NE(*state.user, *before) << "the change reached the firmware";
        }
        before = state.user;
        EXPECT_EQ(host.Enabled(IDC_USER_SET), !step.userRegistered) << "refreshed after the operation";
        EXPECT_EQ(host.Enabled(IDC_USER_DELETE), step.userRegistered);
    }

    // The owner string, as typed into the field.
    SendMessageW(host.Item(IDC_OWNER_EDIT), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Property of the IT department"));
    Click(host.Item(IDC_OWNER_APPLY));
    host.WaitIdle(texts);
    EXPECT_EQ(Utf8(host.Text(IDC_STATUS)), Utf8(texts(PW_SAY_OWNER_WRITTEN)));
    EXPECT_EQ(notebook.State().owner, "Property of the IT department");

    // The policy: forbid the hardware setup tool (bit 16) to users.
    const std::uint32_t policyBefore = notebook.State().userPolicy;
    ASSERT_NE(policyBefore & (1u << 16), 0u);
    Click(host.Item(IDC_SUPERVISOR_POLICY));
    const HWND policy = host.WaitForDialog([](HWND w) { return GetDlgItem(w, IDC_PERMIT_FIRST) != nullptr; });
    ASSERT_NE(policy, nullptr);
    const HWND setupTool = GetDlgItem(policy, IDC_PERMIT_FIRST + 3);
    EXPECT_EQ(Utf8(TextOf(setupTool)), Utf8(texts(IDS_PERMIT_SETUP_TOOL)));
    EXPECT_EQ(SendMessageW(setupTool, BM_GETCHECK, 0, 0), BST_CHECKED);
    Click(setupTool);
    for (int i = 0; i < 100 && SendMessageW(setupTool, BM_GETCHECK, 0, 0) == BST_CHECKED; ++i)
        Sleep(20);
    Click(GetDlgItem(policy, IDOK));
    host.WaitIdle(texts);
    EXPECT_EQ(Utf8(host.Text(IDC_STATUS)), Utf8(texts(PW_SAY_POLICY_WRITTEN)));
    EXPECT_EQ(notebook.State().userPolicy, policyBefore & ~(1u << 16)) << "only that permission changed";
}

// What the dialog refuses never reaches the firmware: characters the control
// calls illegal or the code page lacks, the 51st byte, and two different entries.
TEST_F(HostWindow, PasswordDialogRefusesBeforeAnythingIsSent)
{
    SKIP_WITHOUT_EDIT_TEXT();
    VirtualNotebook notebook(sim::CScenario().PcPolicy(0));
    HostRun host(notebook);
    ASSERT_NE(host.Main(), nullptr);
    host.WaitIdle(texts);
    notebook.ClearJournal();

    const HWND dialog = OpenPasswordDialog(host, IDC_SUPERVISOR_SET);
    ASSERT_NE(dialog, nullptr);
    const HWND field = GetDlgItem(dialog, IDC_NEW_PASSWORD);
    Type(field, L"ab");
    struct Refused {
        wchar_t c;
        const char* why;
    };
    const Refused refused[] = {
        {L'\u00E9', "an ANSI letter that the OEM code page holds above 0x7F"},
        {L'\u00FC', "another such letter"},
        {L'\u03A9', "not in the ANSI code page of this run: the control would type a '?' instead"},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.why);
        Type(field, std::wstring(1, r.c));
        EXPECT_EQ(FieldLength(field), 2) << "the character was not taken";
        EXPECT_EQ(Utf8(TextOf(GetDlgItem(dialog, IDC_PASSWORD_MESSAGE))),
                  Utf8(texts(IDS_TIP_ILLEGAL)).replace(Utf8(texts(IDS_TIP_ILLEGAL)).find("%s"), 2,
                                                      Utf8(std::wstring(1, r.c))));
    }
    Type(field, L"c");
    EXPECT_EQ(FieldLength(field), 3) << "a legal character after a refused one";
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_PASSWORD_MESSAGE)), L"") << "the tip goes with the next good key";

    // The limit counts bytes of the ANSI text, as the control does.
    Type(field, std::wstring(47, L'x'));
    EXPECT_EQ(FieldLength(field), 50);
    Type(field, L"y");
    EXPECT_EQ(FieldLength(field), 50) << "the 51st byte was refused";
    EXPECT_EQ(Utf8(TextOf(GetDlgItem(dialog, IDC_PASSWORD_MESSAGE))), Utf8(texts(IDS_TIP_LIMIT)));

    // Two different entries: said in the dialog, which stays open.
    Type(GetDlgItem(dialog, IDC_CONFIRM_PASSWORD), L"abc");
    Click(GetDlgItem(dialog, IDOK));
    for (int i = 0; i < 100 && TextOf(GetDlgItem(dialog, IDC_PASSWORD_MESSAGE)) != texts(IDS_MISMATCH); ++i)
        Sleep(20);
    EXPECT_EQ(Utf8(TextOf(GetDlgItem(dialog, IDC_PASSWORD_MESSAGE))), Utf8(texts(IDS_MISMATCH)));
    EXPECT_TRUE(IsWindow(dialog));
    Click(GetDlgItem(dialog, IDCANCEL));
    for (int i = 0; i < 200 && IsWindow(dialog); ++i)
        Sleep(20);
    EXPECT_FALSE(IsWindow(dialog));

    host.WaitIdle(texts);
    EXPECT_EQ(PasswordWrites(notebook), 0) << "nothing was sent to the firmware";
    EXPECT_FALSE(notebook.State().supervisor.has_value());
}

// Closing the window while the verification dialog is held open: the host
// calls ForceQuit, the dialog is aborted and the host ends cleanly.
TEST_F(HostWindow, ClosingDuringVerificationAbortsIt)
{
    VirtualNotebook notebook(sim::CScenario().Supervisor("boss1").Answers({sim::Hold(60000)}));
    HostRun host(notebook);
    ASSERT_NE(host.Main(), nullptr);
    // Start-up verifies: wait until the notebook's dialog is up.
    bool verifying = false;
    for (int i = 0; i < 400 && !verifying; ++i) {
        for (const sim::JournalEntry& e : notebook.Journal())
            verifying = verifying || (e.library == "ORNPWCHK" && e.Field("request") == "SetText");
        Sleep(50);
    }
    ASSERT_TRUE(verifying);
    Sleep(500);
    const DWORD start = GetTickCount();
    PostMessageW(host.Main(), WM_CLOSE, 0, 0);
    EXPECT_EQ(host.WaitExit(20000), 0u) << "the host ended, with exit code 0";
    EXPECT_LT(GetTickCount() - start, 20000u);
    bool aborted = false;
    for (const sim::JournalEntry& e : notebook.Journal())
        aborted = aborted || (e.library == "ORNPWCHK" && e.Field("request") == "Abort");
    EXPECT_TRUE(aborted) << "the journal shows the abort request";
}

namespace {

// A PNG file of 8-bit RGB rows, compressed with stored deflate blocks: small
// enough to write here, readable by every viewer.
std::string Png(int width, int height, const std::vector<std::uint8_t>& rgb)
{
    std::uint32_t table[256];
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    const auto crc = [&](const std::string& bytes) {
        std::uint32_t c = 0xFFFFFFFFu;
        for (const unsigned char b : bytes)
            c = table[(c ^ b) & 0xFF] ^ (c >> 8);
        return c ^ 0xFFFFFFFFu;
    };
    const auto be32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    const auto chunk = [&](const char* type, const std::string& data) {
        const std::string body = std::string(type) + data;
        return be32(static_cast<std::uint32_t>(data.size())) + body + be32(crc(body));
    };
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0'; // no filter
        raw.append(reinterpret_cast<const char*>(rgb.data()) + static_cast<std::size_t>(y) * width * 3,
                   static_cast<std::size_t>(width) * 3);
    }
    std::string z = "\x78\x01";
    std::uint32_t a = 1, b = 0;
    for (const unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        z += static_cast<char>(at + n >= raw.size() ? 1 : 0);
        z += static_cast<char>(n & 0xFF);
        z += static_cast<char>(n >> 8);
        z += static_cast<char>(~n & 0xFF);
        z += static_cast<char>((~n >> 8) & 0xFF);
        z.append(raw, at, n);
        if (raw.empty())
            break;
    }
    z += be32((b << 16) | a);
    std::string header = be32(static_cast<std::uint32_t>(width)) + be32(static_cast<std::uint32_t>(height));
    header += std::string{8, 2, 0, 0, 0}; // 8-bit RGB
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", z) + chunk("IEND", "");
}

// The window as the screen shows it.
// A 32-bit program under Wine's WoW64 mode cannot read the screen (and a
// window asked to print itself there gives a black picture).
const std::string kScreenUnreadable = "the screen could not be copied";

// Empty when the picture is written, else what failed.
std::string Screenshot(HWND window, const std::wstring& path)
{
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(500);
    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0)
        return "the window has no size";
    // Copied straight into a DIB section: no GetDIBits, whose answers differ
    // between the 32- and 64-bit programs under Wine.
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const int stride = (width * 3 + 3) & ~3;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    std::vector<std::uint8_t> bgr;
    if (bitmap != nullptr && bits != nullptr) {
        const HGDIOBJ old = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY) != FALSE;
        GdiFlush();
        SelectObject(memory, old);
        const auto* first = static_cast<const std::uint8_t*>(bits);
        bgr.assign(first, first + static_cast<std::size_t>(stride) * height);
    }
    if (bitmap != nullptr)
        DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied)
        return kScreenUnreadable;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < 3; ++k)
                rgb[(static_cast<std::size_t>(y) * width + x) * 3 + k] =
                    bgr[static_cast<std::size_t>(y) * stride + x * 3 + (2 - k)];
    // A picture of one colour shows no window.
    if (std::all_of(rgb.begin(), rgb.end(), [&](std::uint8_t v) { return v == rgb.front(); }))
        return "the picture is of one colour";
    CreateDirectoryW((BuildBinFolder() + L"..\\test-output").c_str(), nullptr);
    return WriteBytes(path, Png(width, height, rgb)) ? "" : "the picture could not be written to " + Utf8(path);
}

} // namespace

// The window in the language of the run (one ctest entry per language): its
// title, labels and status come from the host's table for that language, and
// the window is kept as a picture in the build's test output.
TEST_F(HostWindow, SpeaksTheLanguageOfTheRun)
{
    // Where edits cannot show text (see above) the owner string stays empty:
    // the labels are still checked and the picture still taken.
    const std::string owner = EditControlsTakeText() ? "Property of the IT department\r\nRoom 4.12" : "";
    VirtualNotebook notebook(sim::CScenario().Supervisor("boss1").Owner(owner).Answers({sim::Typed("boss1")}));
    HostRun host(notebook);
    ASSERT_NE(host.Main(), nullptr);
    host.WaitIdle(texts);
    EXPECT_EQ(Utf8(TextOf(host.Main())), Utf8(texts(IDS_PRODUCT_NAME)));
    const struct {
        int control;
        UINT text;
    } labels[] = {
        {IDC_USER_GROUP, IDS_USER_GROUP},     {IDC_USER_SET, IDS_SET},
        {IDC_USER_HDD, IDS_ALSO_HDD},         {IDC_SUPERVISOR_GROUP, IDS_SUPERVISOR_GROUP},
        {IDC_SUPERVISOR_DELETE, IDS_DELETE},  {IDC_SUPERVISOR_POLICY, IDS_POLICY},
        {IDC_OWNER_GROUP, IDS_OWNER_GROUP},   {IDC_OWNER_APPLY, IDS_APPLY},
        {IDCANCEL, IDS_CLOSE},                {IDC_STATUS, PW_SAY_INIT_READY},
    };
    for (const auto& label : labels)
        EXPECT_EQ(Utf8(host.Text(label.control)), Utf8(texts(label.text))) << label.control;
    EXPECT_EQ(Utf8(host.Text(IDC_OWNER_EDIT)), owner);

    const ProductLanguage* language = FindProductLanguage(texts.Language());
    ASSERT_NE(language, nullptr);
    const std::wstring picture =
        BuildBinFolder() + L"..\\test-output\\host-window-" + Widen(language->section) + L".png";
    const std::string failure = Screenshot(host.Main(), picture);
    if (failure == kScreenUnreadable)
        GTEST_SKIP() << "the window's texts are checked; no picture: " << failure << " by a program of this build here";
    EXPECT_EQ(failure, "");
    EXPECT_GT(ReadBytes(picture).size(), 1000u);
}

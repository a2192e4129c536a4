// pwctl: the command-line host of the PasswordCtl control. It creates the
// control as any host does (registered class, or --dll for a library that is
// not registered), calls Init, runs one command and reports every result
// code with its meaning. Passwords come from a prompt without echo or from
// standard input, never from the command line.
#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "FleetSettings.h"
#include "JsonText.h"
#include "ResultCodes.h"
#include "SecretText.h"
#include "VELTDll_h.h"

using namespace pwctl;
using namespace results;

namespace {

enum Exit : int { kOk = 0, kFailed = 1, kUsage = 2, kSetupError = 3 };

const char kUsageText[] =
    "usage: pwctl [--json] [--dll PATH] [--password-stdin] COMMAND\n"
    "commands:\n"
    "  status                          both panels' buttons, HDD password, owner string, user policy\n"
    "  set --user [--hdd] | --supervisor   register a password (asked for, or read with --password-stdin)\n"
    "  change --user | --supervisor     change a password (the new one is asked for)\n"
    "  delete --user | --supervisor     delete a password\n"
    "  owner get | owner set TEXT       read or write the owner string\n"
    "  policy get | policy set NAME=0|1|2 ...   read or write the user policy (2 leaves a field alone)\n"
    "  check-chars                      which characters of a password the firmware prompt can type\n"
    "  memo                             save a password to a text file chosen in a dialog\n"
    "  export FILE                      write the owner string and user policy (and, for inventory, which\n"
    "                                   passwords are registered and the HDD password state) as JSON\n"
    "  apply FILE [--dry-run]           bring the owner string and user policy to the file's values\n"
    "The current password is never asked for here: the verification dialog asks when needed.\n"
    "Exit code: 0 success, 1 the operation reported a failure code, 2 usage or a bad file, 3 the control\n"
    "could not be used.\n";

std::string Hex(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

using pw::SecretBstr;
using pw::SecretText;

// One line from standard input (UTF-8), or from the console without echo.
bool ReadPassword(const Options& options, const char* prompt, SecretText& out)
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(input, &mode) != 0;
    if (!options.passwordStdin && console) {
        std::fprintf(stderr, "%s: ", prompt);
        std::fflush(stderr);
        SetConsoleMode(input, mode & ~ENABLE_ECHO_INPUT);
        wchar_t buffer[256];
        DWORD got = 0;
        const BOOL ok = ReadConsoleW(input, buffer, 255, &got, nullptr);
        SetConsoleMode(input, mode);
        std::fprintf(stderr, "\n");
        if (!ok)
            return false;
        out.text.assign(buffer, got);
        SecureZeroMemory(buffer, sizeof buffer);
    } else {
        if (!options.passwordStdin) {
            std::fprintf(stderr, "pwctl: no console to ask for the password; use --password-stdin\n");
            return false;
        }
        std::string line;
        char c;
        DWORD got = 0;
        while (ReadFile(input, &c, 1, &got, nullptr) && got == 1 && c != '\n')
            line += c;
        const int n = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
        out.text.assign(static_cast<std::size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), out.text.data(), n);
        SecureZeroMemory(line.data(), line.size());
    }
    while (!out.text.empty() && (out.text.back() == L'\r' || out.text.back() == L'\n'))
        out.text.pop_back();
    return true;
}

// Output in words or as one JSON object.
class Report {
public:
    explicit Report(bool json) : m_json(json) {}

    // One result code of an operation; returns whether it means success.
    bool Code(Operation operation, LONG code)
    {
        const CodeMeaning meaning = Describe(operation, code);
        if (m_json) {
            JsonObject o;
            o.Number("code", code).Text("meaning", meaning.text).Bool("success", meaning.success);
            m_object.Raw(OperationName(operation), o.Str());
        } else {
            std::printf("%-11s %d (%s)\n", (std::string(OperationName(operation)) + ":").c_str(), static_cast<int>(code),
                        meaning.text.c_str());
        }
        m_ok = m_ok && meaning.success;
        return meaning.success;
    }
    void Value(const char* key, const std::string& json, const std::string& words)
    {
        if (m_json)
            m_object.Raw(key, json);
        else
            std::printf("%s\n", words.c_str());
    }
    void Error(const std::string& message)
    {
        if (m_json)
            m_object.Text("error", message);
        else
            std::fprintf(stderr, "pwctl: %s\n", message.c_str());
        m_ok = false;
    }
    void Finish(const std::string& command)
    {
        if (m_json) {
            JsonObject head;
            head.Text("command", command).Bool("success", m_ok);
            std::string text = head.Str();
            const std::string body = m_object.Str();
            if (body != "{}")
                text = text.substr(0, text.size() - 1) + "," + body.substr(1);
            std::printf("%s\n", text.c_str());
        }
    }
    bool Ok() const { return m_ok; }

private:
    bool m_json;
    bool m_ok = true;
    JsonObject m_object;
};

std::string ExplainCreation(HRESULT hr)
{
    const char* bits = sizeof(void*) == 8 ? "64-bit" : "32-bit";
    switch (hr) {
    case REGDB_E_CLASSNOTREG:
        return std::string("PasswordCtl is not registered for ") + bits +
               " programs. Register VELTDll.dll of the same architecture (regsvr32 VELTDll.dll, or per user: "
               "regsvr32 /n /i:user VELTDll.dll), or pass --dll PATH (" + Hex(hr) + ")";
    case CO_E_DLLNOTFOUND:
    case static_cast<HRESULT>(0x8007007E): // the module could not be found
        return "the registered VELTDll.dll cannot be found: register it again (" + Hex(hr) + ")";
    case static_cast<HRESULT>(0x800700C1): // not a valid application for this architecture
        return std::string("the registered VELTDll.dll is not a ") + bits + " library: use the pwctl of its "
               "architecture (" + Hex(hr) + ")";
    case CO_E_NOTINITIALIZED:
        return "COM is not initialised (" + Hex(hr) + ")";
    default:
        return "creating PasswordCtl failed (" + Hex(hr) + ")";
    }
}

// The library a per-user registration names. The platform merges the
// user's classes into the classes root on Windows; a COM runtime that does
// not (Wine's) still gets the control this way.
std::wstring PerUserServer()
{
    HKEY key = nullptr;
    const wchar_t* path = L"Software\\Classes\\CLSID\\{6E2A4D18-0B7C-4C95-A3D1-2F8E6B0C9D57}\\InprocServer32";
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value - sizeof(wchar_t), type = 0;
    const LONG read = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_SZ ? std::wstring(value) : std::wstring();
}

HRESULT CreateFromLibrary(const std::wstring& dll, IPasswordCtl** control, std::string& why);

// The control: registered class, or the class object of a library file.
HRESULT CreateControl(const Options& options, IPasswordCtl** control, std::string& why)
{
    if (!options.dll.empty())
        return CreateFromLibrary(options.dll, control, why);
    const HRESULT hr = CoCreateInstance(CLSID_PasswordCtl, nullptr, CLSCTX_INPROC_SERVER, IID_IPasswordCtl,
                                        reinterpret_cast<void**>(control));
    if (hr == REGDB_E_CLASSNOTREG) {
        const std::wstring perUser = PerUserServer();
        if (!perUser.empty())
            return CreateFromLibrary(perUser, control, why);
    }
    if (FAILED(hr))
        why = ExplainCreation(hr);
    return hr;
}

HRESULT CreateFromLibrary(const std::wstring& dll, IPasswordCtl** control, std::string& why)
{
    HRESULT hr;
    Options options;
    options.dll = dll;
    // Kept loaded for the life of the process, like a registered server.
    const HMODULE library = LoadLibraryW(options.dll.c_str());
    if (library == nullptr) {
        const DWORD error = GetLastError();
        why = error == ERROR_BAD_EXE_FORMAT
                  ? std::string("--dll: the library is not a ") + (sizeof(void*) == 8 ? "64-bit" : "32-bit") +
                        " library: use the pwctl of its architecture"
                  : "--dll: cannot load " + Utf8(options.dll) + " (error " + std::to_string(error) + ")";
        return HRESULT_FROM_WIN32(error);
    }
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    const auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "DllGetClassObject")));
    if (getClassObject == nullptr) {
        why = "--dll: " + Utf8(options.dll) + " is not a COM server";
        return E_NOINTERFACE;
    }
    IClassFactory* factory = nullptr;
    hr = getClassObject(CLSID_PasswordCtl, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) {
        why = "--dll: the library offers no PasswordCtl (" + Hex(hr) + ")";
        return hr;
    }
    hr = factory->CreateInstance(nullptr, IID_IPasswordCtl, reinterpret_cast<void**>(control));
    factory->Release();
    if (FAILED(hr))
        why = "--dll: creating PasswordCtl failed (" + Hex(hr) + ")";
    return hr;
}

// The record's fields in the order of kPolicyFieldNames.
INT UserPolicy::*const kPolicyMembers[] = {
    &UserPolicy::nPermitSetUPass,   &UserPolicy::nPermitDelUPass,    &UserPolicy::nPermitChgUPass,
    &UserPolicy::nPermitOpenQSS,    &UserPolicy::nPermitUpdateBIOS,  &UserPolicy::nPermitSetDelHPass,
    &UserPolicy::nPermitChgHPass,   &UserPolicy::nPermitOnOffTpm,    &UserPolicy::nPermitOwnClrTpm,
};
static_assert(sizeof kPolicyMembers / sizeof kPolicyMembers[0] == kPolicyFieldCount);

void ShowPolicy(Report& report, const UserPolicy& policy)
{
    JsonObject json;
    std::string words = "user policy:";
    for (std::size_t i = 0; i < kPolicyFieldCount; ++i) {
        const char* name = kPolicyFieldNames[i];
        const int v = policy.*kPolicyMembers[i];
        json.Number(name, v);
        words += std::string("\n  ") + name + " = " + std::to_string(v) +
                 (v == 1 ? " (granted)" : v == 0 ? " (not granted)" : v == 2 ? " (not offered)" : "");
    }
    report.Value("policy", json.Str(), words);
}

void ShowPanel(Report& report, const char* key, const char* title, const CTLStatus& s, bool user)
{
    JsonObject json;
    json.Bool("set", s.IsSetPassButtonEnabled).Bool("delete", s.IsDeletePassButtonEnabled)
        .Bool("change", s.IsChangePassButtonEnabled);
    const auto onOff = [](LONG v) { return v ? "enabled" : "disabled"; };
    std::string words = std::string(title) + ": set " + onOff(s.IsSetPassButtonEnabled) + ", delete " +
                        onOff(s.IsDeletePassButtonEnabled) + ", change " + onOff(s.IsChangePassButtonEnabled);
    if (user) {
        json.Bool("ownerEdit", s.IsOwnerEditEnabled);
        words += std::string(", owner string edit ") + onOff(s.IsOwnerEditEnabled);
    } else {
        json.Bool("userPolicy", s.IsChangeUPolicyButtonEnabled);
        words += std::string(", user policy ") + onOff(s.IsChangeUPolicyButtonEnabled);
    }
    report.Value(key, json.Str(), words);
}

// What a panel shows of its password: delete and change are offered only for
// a registered password, set only for a missing one.
std::string PasswordWord(const CTLStatus& panel)
{
    if (panel.IsDeletePassButtonEnabled || panel.IsChangePassButtonEnabled)
        return "registered";
    return panel.IsSetPassButtonEnabled ? "not registered" : "not shown";
}

int Status(IPasswordCtl* control, Report& report)
{
    CTLStatus user{}, supervisor{};
    control->GetCTLStatus(1, &user);
    control->GetCTLStatus(0, &supervisor);
    ShowPanel(report, "userPanel", "user panel", user, true);
    ShowPanel(report, "supervisorPanel", "supervisor panel", supervisor, false);

    const std::string userWord = PasswordWord(user), supervisorWord = PasswordWord(supervisor);
    report.Value("passwords", JsonObject().Text("user", userWord).Text("supervisor", supervisorWord).Str(),
                 "passwords:  user " + userWord + ", supervisor " + supervisorWord);

    LONG support = 0, enable = 0, code = 0;
    control->IsSuppordHdd(&support, &enable, &code);
    report.Code(Operation::HddSupport, code);
    report.Value("hdd", JsonObject().Bool("supported", support).Bool("enabled", enable).Str(),
                 std::string("HDD password: ") + (support ? "supported" : "not supported") + ", operations " +
                     (enable ? "enabled" : "disabled"));

    BSTR owner = nullptr;
    control->GetOwnerString(&owner, &code);
    if (report.Code(Operation::GetOwner, code)) {
        const std::string text = Utf8(owner ? std::wstring(owner, SysStringLen(owner)) : std::wstring());
        report.Value("owner", JsonString(text), "owner string: \"" + text + "\"");
    }
    SysFreeString(owner);

    UserPolicy policy{};
    control->GetPolicyStatus(&policy, &code);
    if (report.Code(Operation::GetPolicy, code))
        ShowPolicy(report, policy);
    return report.Ok() ? kOk : kFailed;
}

bool ReadWholeFile(const std::wstring& path, std::string& text)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char buffer[4096];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0) {
        text.append(buffer, got);
        if (text.size() > (1u << 20)) { // no settings file is this large
            ok = false;
            break;
        }
    }
    CloseHandle(file);
    return ok;
}

std::wstring Utf16(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

// The owner string and user policy as the machine holds them; a field whose
// read failed stays empty, and `failure` names it.
Settings ReadSettings(IPasswordCtl* control, std::string& failure)
{
    Settings machine;
    LONG code = 0;
    BSTR owner = nullptr;
    control->GetOwnerString(&owner, &code);
    if (Describe(Operation::GetOwner, code).success)
        machine.owner = Utf8(owner ? std::wstring(owner, SysStringLen(owner)) : std::wstring());
    else
        failure = "ownerString: the read failed: " + Describe(Operation::GetOwner, code).text;
    SysFreeString(owner);
    UserPolicy policy{};
    control->GetPolicyStatus(&policy, &code);
    if (Describe(Operation::GetPolicy, code).success) {
        for (std::size_t i = 0; i < kPolicyFieldCount; ++i)
            machine.policy[i] = policy.*kPolicyMembers[i];
    } else {
        failure = "userPolicy: the read failed: " + Describe(Operation::GetPolicy, code).text;
    }
    return machine;
}

int Export(IPasswordCtl* control, Report& report, const std::wstring& path)
{
    std::string failure;
    const Settings machine = ReadSettings(control, failure);
    CTLStatus user{}, supervisor{};
    control->GetCTLStatus(1, &user);
    control->GetCTLStatus(0, &supervisor);
    Inventory inventory{PasswordWord(supervisor), PasswordWord(user)};
    LONG support = 0, enable = 0, code = 0;
    control->IsSuppordHdd(&support, &enable, &code);
    inventory.hddSupported = support != 0;
    inventory.hddEnabled = enable != 0;
    const std::string text = SettingsText(machine, inventory);

    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool ok = file != INVALID_HANDLE_VALUE &&
                    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    const DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (!ok) {
        report.Error("cannot write " + Utf8(path) + " (error " + std::to_string(error) + ")");
        return kFailed;
    }
    if (!failure.empty()) {
        report.Error(failure);
        return kFailed;
    }
    report.Value("exported", JsonString(Utf8(path)), "exported to " + Utf8(path));
    return kOk;
}

int Apply(IPasswordCtl* control, Report& report, const Settings& file, bool dryRun)
{
    std::string failure;
    const Settings machine = ReadSettings(control, failure);
    if (!failure.empty()) {
        report.Error(failure);
        return kFailed;
    }
    const std::vector<Change> changes = PlanChanges(machine, file);
    std::string words = changes.empty() ? "nothing to change: the machine matches the file" : "";
    std::string json = "[";
    for (const Change& c : changes) {
        words += std::string(words.empty() ? "" : "\n") + (dryRun ? "would change " : "change ") + c.field + ": " +
                 c.before + " -> " + c.after;
        json += std::string(json.size() > 1 ? "," : "") +
                JsonObject().Text("field", c.field).Raw("before", c.before).Raw("after", c.after).Str();
    }
    report.Value(dryRun ? "wouldChange" : "changes", json + "]", words);
    if (dryRun || changes.empty())
        return kOk;

    LONG code = 0;
    if (file.owner && machine.owner != file.owner) {
        const std::wstring owner = Utf16(*file.owner);
        BSTR text = SysAllocStringLen(owner.data(), static_cast<UINT>(owner.size()));
        control->SetOwnerString(text, &code);
        SysFreeString(text);
        if (!Describe(Operation::SetOwner, code).success) {
            report.Error("ownerString: the write failed: " + Describe(Operation::SetOwner, code).text + " (code " +
                         std::to_string(code) + ")");
            return kFailed;
        }
    }
    std::string policyFields;
    UserPolicy policy{};
    for (std::size_t i = 0; i < kPolicyFieldCount; ++i) {
        policy.*kPolicyMembers[i] = *machine.policy[i];
        const std::optional<int>& wanted = file.policy[i];
        if (wanted && *wanted != 2 && *wanted != *machine.policy[i]) {
            policy.*kPolicyMembers[i] = *wanted;
            policyFields += std::string(policyFields.empty() ? "" : ", ") + kPolicyFieldNames[i];
        }
    }
    if (!policyFields.empty()) {
        control->SetPolicy(policy, &code);
        if (!Describe(Operation::SetPolicy, code).success) {
            report.Error("userPolicy (" + policyFields + "): the write failed: " +
                         Describe(Operation::SetPolicy, code).text + " (code " + std::to_string(code) + ")");
            return kFailed;
        }
    }
    // Done when the machine reads back as the file says.
    const std::vector<Change> left = PlanChanges(ReadSettings(control, failure), file);
    if (!failure.empty() || !left.empty()) {
        report.Error(!failure.empty() ? failure : left.front().field + ": reads back as " + left.front().before);
        return kFailed;
    }
    return kOk;
}

int Run(const Options& options, IPasswordCtl* control, Report& report, const Settings& applied)
{
    const std::wstring& command = options.args[0];
    const std::vector<std::wstring> rest(options.args.begin() + 1, options.args.end());
    LONG code = 0;
    if (command == L"status")
        return Status(control, report);
    if (command == L"export")
        return Export(control, report, rest[0]);
    if (command == L"apply")
        return Apply(control, report, applied, Has(rest, L"--dry-run"));

    if (command == L"set" || command == L"change" || command == L"delete") {
        const int isUser = Panel(rest);
        if (isUser < 0 || (Has(rest, L"--hdd") && (command != L"set" || !isUser))) {
            report.Error("say --user or --supervisor (--hdd only with set --user)");
            return kUsage;
        }
        if (command == L"delete") {
            control->DeletePassword(isUser, &code);
            return report.Code(Operation::DeletePassword, code) ? kOk : kFailed;
        }
        SecretText password;
        if (!ReadPassword(options, command == L"set" ? "New password" : "New password", password)) {
            report.Error("no password was given");
            return kUsage;
        }
        const SecretBstr text(password.text);
        if (command == L"set") {
            control->SetPassword(text.Get(), Has(rest, L"--hdd") ? 1 : 0, isUser, &code);
            return report.Code(Operation::SetPassword, code) ? kOk : kFailed;
        }
        control->ChangePassword(text.Get(), isUser, &code);
        return report.Code(Operation::ChangePassword, code) ? kOk : kFailed;
    }

    if (command == L"owner" && !rest.empty() && rest[0] == L"get" && rest.size() == 1) {
        BSTR owner = nullptr;
        control->GetOwnerString(&owner, &code);
        const bool ok = report.Code(Operation::GetOwner, code);
        if (ok) {
            const std::string text = Utf8(owner ? std::wstring(owner, SysStringLen(owner)) : std::wstring());
            report.Value("owner", JsonString(text), "owner string: \"" + text + "\"");
        }
        SysFreeString(owner);
        return ok ? kOk : kFailed;
    }
    if (command == L"owner" && rest.size() == 2 && rest[0] == L"set") {
        BSTR text = SysAllocString(rest[1].c_str());
        control->SetOwnerString(text, &code);
        SysFreeString(text);
        return report.Code(Operation::SetOwner, code) ? kOk : kFailed;
    }

    if (command == L"policy" && !rest.empty() && rest[0] == L"get" && rest.size() == 1) {
        UserPolicy policy{};
        control->GetPolicyStatus(&policy, &code);
        const bool ok = report.Code(Operation::GetPolicy, code);
        if (ok)
            ShowPolicy(report, policy);
        return ok ? kOk : kFailed;
    }
    if (command == L"policy" && rest.size() >= 2 && rest[0] == L"set") {
        // The write builds on the policy as last read, so read it first.
        UserPolicy policy{};
        control->GetPolicyStatus(&policy, &code);
        if (!report.Code(Operation::GetPolicy, code))
            return kFailed;
        for (std::size_t i = 1; i < rest.size(); ++i) {
            const std::string assignment = Utf8(rest[i]);
            std::size_t field = 0;
            int value = 0;
            if (!ParsePolicyAssignment(assignment, field, value)) {
                report.Error("policy set takes NAME=0|1|2 with NAME one of the record's fields: " + assignment);
                return kUsage;
            }
            policy.*kPolicyMembers[field] = value;
        }
        control->SetPolicy(policy, &code);
        return report.Code(Operation::SetPolicy, code) ? kOk : kFailed;
    }

    if (command == L"check-chars" && rest.empty()) {
        SecretText password;
        if (!ReadPassword(options, "Password to check", password)) {
            report.Error("no password was given");
            return kUsage;
        }
        std::string positions;
        JsonObject json;
        std::string list = "[";
        for (std::size_t i = 0; i < password.text.size(); ++i) {
            const SecretBstr one(password.text.substr(i, 1));
            LONG legal = 0;
            control->IsLegalChar(one.Get(), &legal);
            if (!legal) {
                positions += (positions.empty() ? "" : ", ") + std::to_string(i + 1);
                list += (list.size() > 1 ? "," : "") + std::to_string(i + 1);
            }
        }
        list += "]";
        const bool ok = positions.empty() && !password.text.empty();
        report.Value("illegalPositions", list,
                     password.text.empty() ? "the password is empty"
                     : ok                  ? "every character can be typed at the firmware prompt"
                                           : "characters the firmware prompt cannot type, at positions: " + positions);
        if (!ok)
            report.Error("the password cannot be used");
        return ok ? kOk : kFailed;
    }

    if (command == L"memo" && rest.empty()) {
        SecretText password;
        if (!ReadPassword(options, "Password to save", password)) {
            report.Error("no password was given");
            return kUsage;
        }
        const SecretBstr text(password.text);
        control->CreatePasswordFile(text.Get(), &code);
        return report.Code(Operation::Memo, code) ? kOk : kFailed;
    }

    report.Error("unknown command or arguments; see pwctl --help");
    return kUsage;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    Options options;
    switch (ParseCommandLine(std::vector<std::wstring>(argv + 1, argv + argc), options)) {
    case Parsed::Help:
        std::fputs(kUsageText, stdout);
        return kOk;
    case Parsed::Usage:
        std::fputs(kUsageText, stderr);
        return kUsage;
    case Parsed::Run:
        break;
    }

    Report report(options.json);
    const std::string commandName = Utf8(options.args[0]);
    if (const std::string problem = Validate(options.args); !problem.empty()) {
        report.Error(problem);
        report.Finish(commandName);
        return kUsage;
    }
    // A settings file is read before anything else happens: a bad one
    // changes nothing.
    Settings applied;
    if (options.args[0] == L"apply") {
        std::string problem;
        std::string text;
        if (!ReadWholeFile(options.args[1], text))
            problem = "cannot read " + Utf8(options.args[1]);
        else if (!ParseSettings(text, applied, problem))
            problem = Utf8(options.args[1]) + ": " + problem;
        if (!problem.empty()) {
            report.Error(problem);
            report.Finish(commandName);
            return kUsage;
        }
    }
    if (FAILED(CoInitialize(nullptr))) {
        report.Error("COM could not be initialised");
        report.Finish(commandName);
        return kSetupError;
    }
    int exitCode = kOk;
    IPasswordCtl* control = nullptr;
    std::string why;
    if (FAILED(CreateControl(options, &control, why))) {
        report.Error(why);
        exitCode = kSetupError;
    } else {
        LONG code = 0;
        control->Init(&code);
        exitCode = report.Code(Operation::Init, code) ? Run(options, control, report, applied) : kFailed;
        control->Release();
    }
    report.Finish(commandName);
    CoUninitialize();
    return exitCode;
}

// The launcher: its run state, the program runner, the configuration
// reader, the older-package removal and the run itself.
#include "Setup.h"

#include <windows.h>

#include <cstdarg>
#include <cstring>
#include <cwchar>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "DbgLog.h"
#include "RegConfig.h"
#include "SetupLogic.h"

CSetup theSetup;

namespace {

const wchar_t* const kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t* const kUninstallKeyWow = L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t* const kPendingRenames = L"PendingFileRenameOperations";

const wchar_t* TrueFalse(BOOL value)
{
    return value ? L"TRUE" : L"FALSE";
}

std::wstring Padded(const wchar_t* format, int value)
{
    wchar_t text[64] = {};
    _snwprintf(text, 63, format, value);
    return text;
}

// The positions of a counted key list that are read: each one below
// setup::kPositionsReadInFull, beyond that only those whose key the section
// holds (an absent key reads as empty and does nothing). With a count of two
// thousand million the launcher thus still ends at once. cut tells whether
// positions were left out.
std::vector<INT32> PositionsToRead(const storage::StorageHandle& store, const wchar_t* prefix, INT32 count,
                                   bool& cut)
{
    std::vector<INT32> positions;
    const INT32 full = std::min(count, setup::kPositionsReadInFull);
    for (INT32 i = 0; i < full; ++i)
        positions.push_back(i);
    cut = false;
    if (count > full) {
        std::vector<std::wstring> keys;
        if (store.Get() != nullptr)
            store.Get()->EnumValues(keys);
        const std::vector<INT32> keyed = setup::KeyedPositions(keys, prefix, full, count);
        positions.insert(positions.end(), keyed.begin(), keyed.end());
        cut = static_cast<std::int64_t>(keyed.size()) < static_cast<std::int64_t>(count) - full;
    }
    return positions;
}

// The system's pending file-rename list, saved before installers run and
// put back afterwards, so that whatever they scheduled for the restart is
// discarded.
class PendingRenameGuard {
public:
    // Opens "SYSTEM\Select" (its failure is the caller's) and remembers the
    // list when it can be read.
    HRESULT Save()
    {
        const HRESULT hr = m_select.Open(L"SYSTEM\\Select", KEY_ALL_ACCESS);
        if (FAILED(hr))
            return hr;
        std::vector<DWORD> current;
        if (m_select.GetValue(L"Current", current) == S_OK && !current.empty()) {
            const std::wstring key =
                L"SYSTEM\\ControlSet00" + std::to_wstring(current[0]) + L"\\Control\\Session Manager";
            if (m_session.Open(key.c_str(), KEY_ALL_ACCESS) == S_OK) {
                m_bSessionOpen = true;
                m_bSaved = m_session.GetValue(kPendingRenames, m_saved) == S_OK;
            }
        }
        return S_OK;
    }

    // Writes the saved list back (an odd last byte is dropped) or deletes a
    // list that appeared meanwhile; only a failed deletion is answered.
    HRESULT Restore()
    {
        if (m_bSaved) {
            std::vector<wchar_t> data(m_saved.size() / sizeof(wchar_t));
            std::memcpy(data.data(), m_saved.data(), data.size() * sizeof(wchar_t));
            m_session.SetValue(kPendingRenames, data);
            return S_OK;
        }
        if (!m_bSessionOpen)
            return S_OK;
        std::vector<BYTE> now;
        if (m_session.GetValue(kPendingRenames, now) != S_OK)
            return S_OK;
        return m_session.DeleteValue(kPendingRenames);
    }

private:
    RegConfigAccess m_select;
    RegConfigAccess m_session;
    bool m_bSessionOpen = false;
    bool m_bSaved = false;
    std::vector<BYTE> m_saved;
};

// Stand-in for the window framework's start-up: it keeps the instance and
// the command line the run works with.
struct FrameworkState {
    HINSTANCE instance = nullptr;
    std::wstring commandLine;
};
FrameworkState g_framework;

bool InitFramework(HINSTANCE instance, HINSTANCE /*previous*/, const wchar_t* commandLine, int /*show*/)
{
    if (instance == nullptr || commandLine == nullptr)
        return false;
    g_framework.instance = instance;
    g_framework.commandLine = commandLine;
    return true;
}

} // namespace

// ---- hidden owner dialog ----------------------------------------------------

CHideDialog::~CHideDialog()
{
    DestroyWindow();
    if (m_hIcon != nullptr)
        DestroyIcon(m_hIcon);
}

BOOL CHideDialog::Create(HINSTANCE instance)
{
    m_hWnd = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_HIDE), nullptr, &CHideDialog::DialogProc,
                                reinterpret_cast<LPARAM>(this));
    return m_hWnd != nullptr;
}

void CHideDialog::DestroyWindow()
{
    if (m_hWnd != nullptr) {
        ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
}

INT_PTR CALLBACK CHideDialog::DialogProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        reinterpret_cast<CHideDialog*>(lParam)->OnInitDialog(hwnd);
        return TRUE;
    }
    return FALSE;
}

void CHideDialog::OnInitDialog(HWND hwnd)
{
    m_hIcon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SETUP), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
}

int CSetup::ShowMessage(UINT id, UINT type)
{
    wchar_t text[1024] = {};
    LoadStringW(GetModuleHandleW(nullptr), id, text, 1024);
    return MessageBoxW(m_dlgHide.GetSafeHwnd(), text, L"", type);
}

// ---- program runner ---------------------------------------------------------

DWORD CSetup::RunCmdV(bool hidden, const wchar_t* format, va_list args)
{
    va_list probe;
    va_copy(probe, args);
    const int needed = _vscwprintf(format, probe);
    va_end(probe);
    // A command that does not fit the buffer is refused, never cut: a cut
    // command line could start something other than what was configured.
    if (needed < 0 || static_cast<std::size_t>(needed) >= setup::kCommandBufferChars) {
        DL_LOG_IN(DL_ERR, "CSetup::RunCmd").Print(L"Error Code: 0x%x", E_FAIL);
        return static_cast<DWORD>(E_FAIL);
    }
    std::vector<wchar_t> command(setup::kCommandBufferChars, L'\0');
    _vsnwprintf(command.data(), command.size() - 1, format, args);
    DL_LOG_IN(DL_INF, "CSetup::RunCmd").Print(L"%s\n", command.data());

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = hidden ? SW_HIDE : SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, m_szWorkPath, &startup,
                        &process))
        return static_cast<DWORD>(E_FAIL);
    pw::UniqueHandle processHandle(process.hProcess);
    pw::UniqueHandle threadHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    DL_LOG_IN(DL_WRN, "CSetup::RunCmd").Print(L"Exit Code : %d", exitCode);
    return exitCode;
}

DWORD CSetup::RunCmd(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const DWORD code = RunCmdV(m_bSilent != FALSE, format, args);
    va_end(args);
    return code;
}

DWORD CSetup::RunCmdWithNoWnd(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const DWORD code = RunCmdV(true, format, args);
    va_end(args);
    return code;
}

bool CSetup::HasInstalled(const std::wstring& productCode)
{
    if (productCode.empty()) {
        DL_LOG_IN(DL_ERR, "CSetup::HasInstalled").Print(L"Error Code: 0x%x", 0);
        return false;
    }
    DL_LOG_IN(DL_TRC, "CSetup::HasInstalled").Print(L"%s", productCode.c_str());
    const std::wstring key = std::wstring(kUninstallKey) + L"\\" + productCode;
    DL_LOG_IN(DL_TRC, "CSetup::HasInstalled").Print(L"%s", key.c_str());
    pw::UniqueKey opened;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

// ---- configuration ----------------------------------------------------------

HRESULT CSetup::InitSetup()
{
    DL_SCOPE(DL_TRC, "CSetup::InitSetup");
    const std::wstring file = std::wstring(m_szWorkPath) + L"\\SetupConfig.ini";
    std::vector<std::wstring> allSections;
    if (!GetSectionNames(file, allSections)) {
        DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", E_FAIL);
        return E_FAIL;
    }
    if (allSections.empty()) {
        const DWORD lastError = GetLastError();
        DL_LOG(DL_ERR).Print(L"ASSERT( %s )", L"!allSections.empty()");
        DL_LOG(DL_ERR).Print(L" GetLastError %d", lastError);
    }
    for (const auto& name : allSections) {
        const storage::StorageHandle store = OpenIniStorage(file, name);
        DL_LOG(DL_TRC).Print(L"Section: %s.", name.c_str());
        const setup::SectionKind kind = setup::ClassifySection(name);
        switch (kind) {
        case setup::SectionKind::General:
            GetGeneralInfo(store);
            break;
        case setup::SectionKind::VORP:
            GetVORPInfo(store);
            break;
        case setup::SectionKind::Operator:
            GetOperatorList(0, store, L"");
            break;
        case setup::SectionKind::Ignored:
            break;
        default:
            GetOperatorList(setup::OperatorKind(kind), store, name);
            break;
        }
    }
    return S_OK;
}

HRESULT CSetup::GetGeneralInfo(const storage::StorageHandle& store)
{
    DL_SCOPE(DL_TRC, "CSetup::GetGeneralInfo");
    m_bOutpuLog = TRUE;
    store.ReadString(L"ProductName", m_ProductName);
    store.ReadString(L"Version", m_ProductVersion);
    DL_LOG(DL_TRC).Print(L"m_ProductName = %s", m_ProductName.c_str());
    DL_LOG(DL_TRC).Print(L"m_ProductVersion = %s", m_ProductVersion.c_str());
    if (store.ReadString(L"LogPath", m_Logpath))
        DL_LOG(DL_TRC).Print(L"m_Logpath = %s", m_Logpath.c_str());
    std::wstring outputLog;
    store.ReadString(L"OutputLog", outputLog);
    if (setup::IsNo(outputLog)) {
        DL_LOG(DL_TRC).Print(L"m_bOutpuLog = FALSE");
        m_bOutpuLog = FALSE;
    }
    return S_OK;
}

HRESULT CSetup::GetOperatorList(int kind, const storage::StorageHandle& store, const std::wstring& section)
{
    DL_SCOPE(DL_TRC, "CSetup::GetOperatorList");
    const auto text = [&store](const wchar_t* key, std::wstring& field) { store.ReadString(key, field); };
    const auto flag = [&store](const wchar_t* key) -> BOOL {
        std::wstring value;
        store.ReadString(key, value);
        return setup::IsYes(value);
    };

    if (kind == 0) {
        INT32 count = 0;
        store.ReadInt(L"STEP_COUNT", count);
        DL_LOG(DL_TRC).Print(L"STEP_COUNT = %d", count);
        bool cut = false;
        for (const INT32 i : PositionsToRead(store, L"STEP_", count, cut)) {
            std::wstring name;
            store.ReadString(Padded(L"STEP_%02d", i), name);
            m_mapOperator.try_emplace(name);
            m_vecStepOrder.push_back(name);
            DL_LOG(DL_TRC).Print(L"OperatorStep%02d = %s", i, name.c_str());
        }
        if (cut)
            DL_LOG(DL_TRC).Print(L"STEP_COUNT = %d: from position %d on only the STEP keys present were read", count,
                                 setup::kPositionsReadInFull);
        return S_OK;
    }

    std::unique_ptr<Operator> step;
    switch (kind) {
    case 1: {
        auto op = std::make_unique<OperatorExecute>();
        op->m_bISFullPath = flag(L"ISFullPath");
        text(L"ExecuteEXE", op->m_ExecuteEXE);
        text(L"Param", op->m_Param);
        text(L"Silent", op->m_Silent);
        op->m_bNeedCheckResult = flag(L"NeedCheckResult");
        store.ReadInt(L"Result", op->m_nResult);
        text(L"ExecuteConditionParam", op->m_ExecuteConditionParam);
        step = std::move(op);
        break;
    }
    case 2: {
        auto op = std::make_unique<OperatorInstall>();
        text(L"Version", op->m_Version);
        text(L"InstallGUID", op->m_InstallGUID);
        text(L"InstallPackage", op->m_InstallPackage);
        text(L"ParamEX", op->m_ParamEX);
        op->m_bRepairMode = flag(L"RepairMode");
        text(L"RepairParamEX", op->m_RepairParamEX);
        op->m_bShowNotify = flag(L"ShowNotify");
        // Every file up to the first empty entry must exist for the product
        // to count as installed.
        op->m_bFileExist = FALSE;
        for (int j = 0; j <= 98; ++j) {
            std::wstring file;
            store.ReadString(Padded(L"FileExist%02d", j), file);
            if (file.empty()) {
                DL_LOG(DL_INF).Print(L"File = %s isExit = %s", file.c_str(), TrueFalse(op->m_bFileExist));
                break;
            }
            wchar_t expanded[MAX_PATH] = {};
            const DWORD n = ExpandEnvironmentStringsW(file.c_str(), expanded, MAX_PATH);
            if (n == 0 || n > MAX_PATH)
                expanded[0] = L'\0';
            DL_LOG(DL_INF).Print(L"File = %s", expanded);
            WIN32_FIND_DATAW found{};
            const HANDLE search = FindFirstFileW(expanded, &found);
            op->m_bFileExist = search != INVALID_HANDLE_VALUE;
            if (search != INVALID_HANDLE_VALUE)
                FindClose(search);
            DL_LOG(DL_INF).Print(L"File = %s isExit = %s", expanded, TrueFalse(op->m_bFileExist));
            if (!op->m_bFileExist)
                break;
        }
        step = std::move(op);
        break;
    }
    case 3: {
        auto op = std::make_unique<OperatorUninstall>();
        text(L"Version", op->m_Version);
        text(L"TYPE", op->m_TYPE);
        text(L"UnloadGUID", op->m_UnloadGUID);
        text(L"SetupISS", op->m_SetupISS);
        text(L"ParamEX", op->m_ParamEX);
        op->m_bForceUninstall = flag(L"ForceUninstall");
        op->m_bShowNotify = flag(L"ShowNotify");
        step = std::move(op);
        break;
    }
    case 4: {
        auto op = std::make_unique<OperatorCheck>();
        text(L"CheckGUID", op->m_CheckGUID);
        step = std::move(op);
        break;
    }
    default:
        return S_OK;
    }

    // A step section must be listed in [OPERATOR], which must come first.
    const auto entry = m_mapOperator.find(section);
    if (entry == m_mapOperator.end()) {
        DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", SETUP_E_NOT_LISTED);
        return SETUP_E_NOT_LISTED;
    }
    Operator* op = step.get();
    entry->second = std::move(step);

    std::wstring condition;
    store.ReadString(L"CheckCondition", condition);
    if (condition == L"0") {
        DL_LOG(DL_INF).Print(L"%s CheckCondition = 0", section.c_str());
        op->m_bSkip = TRUE;
    } else if (condition == L"1" || condition.empty()) {
        DL_LOG(DL_INF).Print(L"%s CheckCondition = 1 || CheckCondition = null", section.c_str());
        op->m_bExcluded = FALSE;
    } else {
        const std::wstring command = std::wstring(m_szWorkPath) + L"\\" + condition;
        DL_LOG(DL_INF).Print(L"%s tempexe = %s", section.c_str(), command.c_str());
        const DWORD exitCode = RunCmd(L"%s", command.c_str());
        DL_LOG(DL_INF).Print(L"%s CheckCondition exit code = %d", section.c_str(), exitCode);
        op->m_bExcluded = exitCode == 0;
    }
    return S_OK;
}

HRESULT CSetup::GetVORPInfo(const storage::StorageHandle& store)
{
    DL_SCOPE(DL_TRC, "CSetup::GetVORPInfo");
    store.ReadInt(L"VORP_OLD_VERSION_COUNT", m_nOldVORPCount);
    if (m_nOldVORPCount > 0) {
        DL_LOG(DL_INF).Print(L"m_nOldVORPCount = %d", m_nOldVORPCount);
        bool cut = false;
        for (const INT32 i : PositionsToRead(store, L"VORP_GUIDE_", m_nOldVORPCount, cut)) {
            store.ReadString(Padded(L"VORP_GUIDE_%02d", i), m_strVORPGuid);
            m_bVORPInstalled = HasInstalled(m_strVORPGuid);
            if (m_bVORPInstalled) {
                store.ReadString(Padded(L"SETUPISS_%02d", i), m_strVORPIss);
                break;
            }
            m_strVORPGuid.clear();
        }
        if (cut && !m_bVORPInstalled)
            DL_LOG(DL_INF).Print(L"m_nOldVORPCount = %d: from position %d on only the VORP_GUIDE keys present were read",
                                 m_nOldVORPCount, setup::kPositionsReadInFull);
    }
    return S_OK;
}

// ---- older package ----------------------------------------------------------

HRESULT CSetup::UninstallVORP()
{
    DL_SCOPE(DL_TRC, "CSetup::UninstallVORP");
    PendingRenameGuard renames;
    HRESULT hr = renames.Save();
    if (FAILED(hr)) {
        DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", hr);
        return hr;
    }
    const std::wstring work = m_szWorkPath;
    const std::wstring iss = work + L"\\" + m_strVORPIss;

    std::wstring source;
    if (HasInstalled(m_strVORPGuid)) {
        for (const wchar_t* parent : {kUninstallKey, kUninstallKeyWow}) {
            RegConfigAccess shield;
            const std::wstring key = std::wstring(parent) + L"\\InstallShield_" + m_strVORPGuid;
            if (shield.Open(key.c_str(), KEY_READ) != S_OK)
                continue;
            std::vector<wchar_t> value;
            if (shield.GetValue(L"InstallSource", value) == S_OK) {
                value.push_back(L'\0');
                source = value.data();
            }
            break;
        }
    }

    const std::wstring target = source + L"\\VORP\\setup.iss";
    CopyFileW(iss.c_str(), target.c_str(), FALSE);
    RunCmd(L"\"%s\\VORP\\setup.exe\" /s /removeonly", source.c_str());

    const wchar_t* batch = L"DELETEVORP_ODM.BAT";
    if (RunCmd(L"\"%s\\%s\"", work.c_str(), L"IsSupportVELT.exe") != 0) {
        batch = L"DELETEVORP_INHOUSE.BAT";
        DL_LOG(DL_INF).Print(L"DELETEVORP_INHOUSE.BAT");
    } else {
        DL_LOG(DL_INF).Print(L"DELETEVORP_ODM.BAT");
    }
    RunCmdWithNoWnd(L"\"%s\\%s\"", work.c_str(), batch);

    hr = renames.Restore();
    if (FAILED(hr))
        DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", hr);

    const std::wstring stars(83, L'*');
    const std::wstring hyphensBefore(48, L'-');
    const std::wstring hyphensAfter(71, L'-');
    DL_LOG(DL_INF).Print(L"%s", stars.c_str());
    for (const wchar_t* parent : {kUninstallKey, kUninstallKeyWow}) {
        {
            RegConfigAccess registration;
            const std::wstring key = std::wstring(parent) + L"\\" + m_strVORPGuid;
            if (registration.Open(key.c_str(), KEY_READ) != S_OK)
                continue;
        }
        DL_LOG(DL_INF).Print(L"%sVORP REG DELETE Begin%s", hyphensBefore.c_str(), hyphensAfter.c_str());
        RegConfigAccess uninstall;
        hr = uninstall.Open(parent, KEY_ALL_ACCESS);
        if (SUCCEEDED(hr))
            hr = uninstall.DeleteSubKey(m_strVORPGuid.c_str());
        if (SUCCEEDED(hr))
            hr = uninstall.DeleteSubKey((L"InstallShield_" + m_strVORPGuid).c_str());
        if (FAILED(hr)) {
            DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", hr);
            return hr;
        }
        DL_LOG(DL_INF).Print(L"%sVORP REG DELETE End%s", hyphensBefore.c_str(), hyphensAfter.c_str());
        break;
    }
    DL_LOG(DL_INF).Print(L"%s", stars.c_str());
    return S_OK;
}

// ---- the run ----------------------------------------------------------------

HRESULT CSetup::CreateSetupMutex()
{
    DL_SCOPE(DL_INF, "CSetup::CreateSetupMutex");
    m_hMutex.reset(CreateMutexW(nullptr, FALSE, L"Global\\SETUPEXE"));
    // Without a mutex object at all the run goes on unprotected.
    if (m_hMutex && GetLastError() == ERROR_ALREADY_EXISTS)
        return SETUP_E_MUTEX;
    return S_OK;
}

HRESULT CSetup::InitWorkPath()
{
    DL_SCOPE(DL_TRC, "CSetup::InitWorkPath");
    const DWORD n = GetModuleFileNameW(nullptr, m_szWorkPath, kWorkPathChars);
    wchar_t* cut = (n == 0 || n >= kWorkPathChars) ? nullptr : std::wcsrchr(m_szWorkPath, L'\\');
    if (cut == nullptr) {
        DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", E_FAIL);
        return E_FAIL;
    }
    *cut = L'\0';
    return S_OK;
}

HRESULT CSetup::RunSetup()
{
    DL_SCOPE(DL_TRC, "CSetup::RunSetup");
    PendingRenameGuard renames;
    HRESULT hr = renames.Save();
    if (FAILED(hr)) {
        DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", hr);
        return hr;
    }
    for (const auto& name : m_vecStepOrder) {
        const auto entry = m_mapOperator.find(name);
        if (entry == m_mapOperator.end() || !entry->second || entry->second->m_bExcluded)
            continue;
        Operator& step = *entry->second;
        if (FAILED(step.InitExeCute())) {
            DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", SETUP_E_STEP_INIT);
            return SETUP_E_STEP_INIT;
        }
        if (step.m_bForceExit) {
            DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", SETUP_E_STEP_STOP);
            return SETUP_E_STEP_STOP;
        }
        step.ExeCute();
        if (step.m_bForceExit) {
            DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", SETUP_E_STEP_STOP);
            return SETUP_E_STEP_STOP;
        }
    }
    hr = renames.Restore();
    if (FAILED(hr))
        DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", hr);
    return S_OK;
}

HRESULT CSetup::WriteAppHistory()
{
    DL_SCOPE(DL_TRC, "CSetup::WriteAppHistory");
    RegConfigAccess app;
    HRESULT hr = app.Create(L"SOFTWARE\\NORVAK\\App");
    if (FAILED(hr)) {
        DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", hr);
        return hr;
    }
    wchar_t version[RegConfigAccess::kTextChars] = {};
    wcsncpy(version, m_ProductVersion.c_str(), RegConfigAccess::kTextChars - 1);
    hr = app.SetValue(m_ProductName.c_str(), version);
    if (FAILED(hr)) {
        DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", hr);
        return hr;
    }
    return S_OK;
}

int SetupMain()
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (instance == nullptr) {
        DL_LOG_IN(DL_TRC, "main").Print(L"Fatal Error: GetModuleHandle failed\n");
        return 1;
    }
    if (!InitFramework(instance, nullptr, GetCommandLineW(), 0)) {
        DL_LOG_IN(DL_TRC, "main").Print(L"Fatal Error: MFC initialization failed\n");
        return 1;
    }
    CSetup& setup = theSetup;
    const auto fail = [](HRESULT code) {
        DL_LOG_IN(DL_ERR, "main").Print(L"Error Code: 0x%x", code);
        return static_cast<int>(code);
    };

    DL_LOG_IN(DL_TRC, "main").Print(L"Create the globle mutex!");
    if (FAILED(setup.CreateSetupMutex()))
        return fail(SETUP_E_MUTEX);

    DL_LOG_IN(DL_TRC, "main").Print(L"Is Silent Install?");
    setup.m_strCmdLine = g_framework.commandLine;
    if (!setup.m_strCmdLine.empty())
        CharUpperBuffW(setup.m_strCmdLine.data(), static_cast<DWORD>(setup.m_strCmdLine.size()));
    setup.m_bSilent = setup.m_strCmdLine.find(L"/S") != std::wstring::npos;
    DL_LOG_IN(DL_TRC, "main").Print(L"Is Silent Install? = %s", setup.m_bSilent ? L"Yes" : L"No");

    setup.m_dlgHide.Create(instance);

    if (FAILED(setup.InitWorkPath()))
        return fail(SETUP_E_WORKPATH);
    if (FAILED(setup.InitSetup()))
        return fail(SETUP_E_CONFIG);
    if (setup.m_bVORPInstalled && FAILED(setup.UninstallVORP()))
        return fail(SETUP_E_VORP);
    if (FAILED(setup.RunSetup()))
        return fail(SETUP_E_RUN);
    if (FAILED(setup.WriteAppHistory()))
        return fail(SETUP_E_HISTORY);

    setup.m_dlgHide.DestroyWindow();
    setup.m_hMutex.reset();
    return 0;
}

#include "Operator.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "DbgLog.h"
#include "RegConfig.h"
#include "Setup.h"
#include "SetupLogic.h"

namespace {

std::wstring WorkPath()
{
    return theSetup.m_szWorkPath;
}

// A registry text as a string: up to its first terminator.
std::wstring Text(std::vector<wchar_t> value)
{
    value.push_back(L'\0');
    return value.data();
}

} // namespace

// ---- base -------------------------------------------------------------------

HRESULT Operator::InitLogName()
{
    return S_OK;
}

void Operator::BuildLogFileName(const wchar_t* kind)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t stamp[32] = {};
    _snwprintf(stamp, 31, L"%04d%02d%02d%02d%02d%02d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
               now.wSecond);
    m_LogFileName = theSetup.m_Logpath + L"\\" + theSetup.m_ProductName + L"_" + theSetup.m_ProductVersion + L"_" +
                    stamp + L"_" + kind + L"_log.log";
}

HRESULT Operator::InitExeCute()
{
    DL_SCOPE(DL_TRC, "Operator::InitExeCute");
    if (m_bISFullPath)
        m_Execute = m_ExecuteEXE + L" " + m_Param;
    else
        m_Execute = WorkPath() + L"\\" + m_ExecuteEXE + L" " + m_Param;
    DL_LOG(DL_TRC).Print(L"m_Execute = %s", m_Execute.c_str());
    return S_OK;
}

DWORD Operator::ExeCute()
{
    DL_SCOPE(DL_TRC, "Operator::ExeCute");
    DL_LOG(DL_TRC).Print(L"Skip this step = %s", m_bSkip ? L"TRUE" : L"FALSE");
    if (m_bSkip)
        return 0;
    return theSetup.RunCmd(L"%s", m_Execute.c_str());
}

// ---- program step -----------------------------------------------------------

HRESULT OperatorExecute::InitExeCute()
{
    // The command line was upper-cased, so only an upper-case value matches.
    if (!m_ExecuteConditionParam.empty() && theSetup.m_strCmdLine.find(m_ExecuteConditionParam) == std::wstring::npos)
        m_bSkip = TRUE;
    if (theSetup.m_bSilent)
        m_Param += L" " + m_Silent;
    return Operator::InitExeCute();
}

DWORD OperatorExecute::ExeCute()
{
    const DWORD result = Operator::ExeCute();
    if (m_bNeedCheckResult && !m_bSkip)
        m_bForceExit = result != static_cast<DWORD>(m_nResult);
    return result;
}

// ---- install step -----------------------------------------------------------

HRESULT OperatorInstall::InitLogName()
{
    DL_SCOPE(DL_TRC, "OperatorInstall::InitLogName");
    BuildLogFileName(L"install");
    DL_LOG(DL_TRC).Print(L"Log File Name = %s", m_LogFileName.c_str());
    return S_OK;
}

HRESULT OperatorInstall::InitExeCute()
{
    DL_SCOPE(DL_TRC, "OperatorInstall::InitExeCute");
    m_bISFullPath = TRUE;
    InitLogName();
    const bool installed = theSetup.HasInstalled(m_InstallGUID) && m_bFileExist;
    m_ExecuteEXE = L"MsiExec.exe";
    m_Param = L"/i \"" + WorkPath() + L"\\" + m_InstallPackage + L"\" ";

    if (installed && m_bShowNotify && !theSetup.m_bSilent &&
        theSetup.ShowMessage(IDS_OVERWRITE, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        DL_LOG(DL_TRC).Print(L"Needn't overwrite,Force exit");
        m_bForceExit = TRUE;
        DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", 0);
        return S_OK;
    }
    DL_LOG(DL_TRC).Print(L"Needn't Force exit");

    if (installed && m_bRepairMode) {
        DL_LOG(DL_TRC).Print(L"Repair install");
        m_Param += L" " + m_RepairParamEX;
    } else if (m_ParamEX.empty()) {
        DL_LOG(DL_TRC).Print(L"new install with default param");
        m_Param += L" REINSTALLMODE=voums";
    } else {
        DL_LOG(DL_TRC).Print(L"new install with custom param");
        m_Param += L" " + m_ParamEX;
    }
    if (theSetup.m_bOutpuLog) {
        DL_LOG(DL_TRC).Print(L"Need output log");
        m_Param += L" /log \"" + m_LogFileName + L"\"";
    }
    if (theSetup.m_bSilent) {
        DL_LOG(DL_TRC).Print(L"Silent install");
        m_Param += L" /qn REBOOT=Suppress";
    }
    return Operator::InitExeCute();
}

// ---- uninstall step ---------------------------------------------------------

HRESULT OperatorUninstall::InitLogName()
{
    DL_SCOPE(DL_TRC, "OperatorUninstall::InitLogName");
    BuildLogFileName(L"uninstall");
    DL_LOG(DL_TRC).Print(L"Log File Name = %s", m_LogFileName.c_str());
    return S_OK;
}

int OperatorUninstall::VersionCompare(const std::wstring& release, const std::wstring& installed)
{
    DL_SCOPE(DL_TRC, "OperatorUninstall::VersionCompare");
    return setup::VersionCompare(release, installed);
}

HRESULT OperatorUninstall::InitExeCute()
{
    DL_SCOPE(DL_TRC, "OperatorUninstall::InitExeCute");
    InitLogName();
    m_bISFullPath = TRUE;
    m_bSkip = TRUE;

    // A registration that cannot be read counts as a product not installed.
    std::wstring uninstallString;
    std::wstring displayVersion;
    {
        RegConfigAccess registration;
        const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + m_UnloadGUID;
        if (registration.Open(key.c_str(), KEY_READ) == S_OK) {
            std::vector<wchar_t> value;
            if (registration.GetValue(L"UninstallString", value) == S_OK)
                uninstallString = Text(value);
            value.clear();
            if (registration.GetValue(L"DisplayVersion", value) == S_OK)
                displayVersion = Text(value);
            m_bSkip = FALSE;
        }
    }

    if (!m_bForceUninstall) {
        const int c = VersionCompare(m_Version, displayVersion);
        if (c == -1)
            m_bForceExit = TRUE;
        else if (c == 0)
            m_bSkip = TRUE;
    }
    if (m_bForceExit) {
        DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", 0);
        return S_OK;
    }
    if (uninstallString.empty()) {
        DL_LOG(DL_TRC).Print(L"Hasn't install, skip this step.");
        m_bSkip = TRUE;
        return S_OK;
    }
    if (m_bSkip)
        return S_OK;
    if (m_bShowNotify && !theSetup.m_bSilent &&
        theSetup.ShowMessage(IDS_REMOVE_OLDER, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        DL_LOG(DL_TRC).Print(L"Needn't Remove,Force exit");
        m_bForceExit = TRUE;
        DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", 0);
        return S_OK;
    }
    DL_LOG(DL_TRC).Print(L"Hasn install, go on this step.");

    if (m_TYPE == L"INSTALL_SCRIPT" && uninstallString.front() != L'"')
        m_Execute = L"\"" + uninstallString + L"\"";
    else
        m_Execute = uninstallString;

    if (m_TYPE == L"BASIC_MSI") {
        if (!m_ParamEX.empty())
            m_Execute += L" " + m_ParamEX;
        if (theSetup.m_bSilent)
            m_Execute += L" /qn REBOOT=Suppress";
        if (theSetup.m_bOutpuLog)
            m_Execute += L" /log \"" + m_LogFileName + L"\"";
    } else if (m_TYPE == L"INSTALL_SCRIPT") {
        m_Execute = setup::RemoveOnlyCommand(m_Execute);
        const std::wstring iss = WorkPath() + L"\\" + m_SetupISS;
        if (GetFileAttributesW(iss.c_str()) == INVALID_FILE_ATTRIBUTES) {
            DL_LOG(DL_ERR).Print(L"Error Code: 0x%x", SETUP_E_NO_ISS);
            return SETUP_E_NO_ISS;
        }
        m_Execute += L" /s /f1\"" + iss + L"\"";
        if (theSetup.m_bOutpuLog)
            m_Execute += L" /f2\"" + m_LogFileName + L"\"";
    }
    return S_OK;
}

DWORD OperatorUninstall::ExeCute()
{
    DL_SCOPE(DL_TRC, "OperatorUninstall::ExeCute");
    if (m_bSkip)
        return 0;
    const DWORD result = theSetup.RunCmd(L"%s", m_Execute.c_str());
    // A forced removal that leaves the product registered stops the run.
    if (m_bForceUninstall)
        m_bForceExit = theSetup.HasInstalled(m_UnloadGUID);
    return result;
}

// ---- check step -------------------------------------------------------------

DWORD OperatorCheck::ExeCute()
{
    DL_SCOPE(DL_TRC, "OperatorCheck::ExeCute");
    if (theSetup.HasInstalled(m_CheckGUID)) {
        DL_LOG(DL_TRC).Print(L"The product has installed, setup will exit");
        if (!theSetup.m_bSilent)
            theSetup.ShowMessage(IDS_ALREADY_INSTALLED, MB_OK | MB_ICONSTOP);
        m_bForceExit = TRUE;
    }
    return 0;
}

// The installation steps: start a program, install a Windows Installer
// package, remove an installed product, or stop when a product is present.
// The driver calls InitExeCute and then ExeCute for each step in order.
#pragma once

#include <windows.h>

#include <string>

class Operator {
public:
    virtual ~Operator() = default;
    virtual HRESULT InitLogName();
    // The started program's exit code, or 0 when nothing was started.
    virtual DWORD ExeCute();
    virtual HRESULT InitExeCute();

    std::wstring m_Execute;
    std::wstring m_ExecuteEXE;
    std::wstring m_Param;
    std::wstring m_LogFileName;
    std::wstring m_ParamEX;
    BOOL m_bISFullPath = FALSE;
    BOOL m_bSkip = FALSE;
    BOOL m_bExcluded = FALSE;
    BOOL m_bForceExit = FALSE;

protected:
    // "%s\%s_%s_<local time>_<kind>_log.log" in the configured log folder.
    void BuildLogFileName(const wchar_t* kind);
};

class OperatorExecute : public Operator {
public:
    DWORD ExeCute() override;
    HRESULT InitExeCute() override;

    BOOL m_bNeedCheckResult = FALSE;
    INT32 m_nResult = 0;
    std::wstring m_Silent;
    std::wstring m_ExecuteConditionParam;
};

class OperatorInstall : public Operator {
public:
    HRESULT InitLogName() override;
    HRESULT InitExeCute() override;

    std::wstring m_InstallGUID;
    std::wstring m_Version;
    std::wstring m_InstallPackage;
    std::wstring m_RepairParamEX;
    BOOL m_bRepairMode = FALSE;
    BOOL m_bShowNotify = FALSE;
    BOOL m_bFileExist = FALSE;
};

class OperatorUninstall : public Operator {
public:
    HRESULT InitLogName() override;
    DWORD ExeCute() override;
    HRESULT InitExeCute() override;

    static int VersionCompare(const std::wstring& release, const std::wstring& installed);

    std::wstring m_TYPE;
    std::wstring m_UnloadGUID;
    std::wstring m_SetupISS;
    std::wstring m_Version;
    BOOL m_bForceUninstall = FALSE;
    BOOL m_bShowNotify = FALSE;
};

class OperatorCheck : public Operator {
public:
    DWORD ExeCute() override;

    std::wstring m_CheckGUID;
};

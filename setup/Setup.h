// The launcher's run state, its hidden owner window and the services that
// the configuration, the steps and the older-package removal call back into.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Operator.h"
#include "Storage.h"
#include "Win32Handles.h"

// Launcher codes (negative HRESULTs) and process exit codes.
inline constexpr HRESULT SETUP_E_MUTEX = static_cast<HRESULT>(0x81000001);
inline constexpr HRESULT SETUP_E_WORKPATH = static_cast<HRESULT>(0x81000002);
inline constexpr HRESULT SETUP_E_CONFIG = static_cast<HRESULT>(0x81000003);
inline constexpr HRESULT SETUP_E_RUN = static_cast<HRESULT>(0x81000004);
inline constexpr HRESULT SETUP_E_NO_ISS = static_cast<HRESULT>(0x81000005);
inline constexpr HRESULT SETUP_E_NOT_LISTED = static_cast<HRESULT>(0x81000006);
inline constexpr HRESULT SETUP_E_STEP_INIT = static_cast<HRESULT>(0x81000007);
inline constexpr HRESULT SETUP_E_STEP_STOP = static_cast<HRESULT>(0x81000009);
inline constexpr HRESULT SETUP_E_HISTORY = static_cast<HRESULT>(0x8100000A);
inline constexpr HRESULT SETUP_E_VORP = static_cast<HRESULT>(0x8100000B);

// Resource identifiers.
inline constexpr UINT IDS_ALREADY_INSTALLED = 104;
inline constexpr UINT IDS_OVERWRITE = 105;
inline constexpr UINT IDS_REMOVE_OLDER = 106;
inline constexpr UINT IDI_SETUP = 102;
inline constexpr UINT IDD_HIDE = 108;

// Created hidden from template 108, never shown: the owner of the steps'
// message boxes.
class CHideDialog {
public:
    CHideDialog() = default;
    CHideDialog(const CHideDialog&) = delete;
    CHideDialog& operator=(const CHideDialog&) = delete;
    ~CHideDialog();

    BOOL Create(HINSTANCE instance);
    void DestroyWindow();
    HWND GetSafeHwnd() const { return m_hWnd; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND hwnd);

    HWND m_hWnd = nullptr;
    HICON m_hIcon = nullptr;
};

class CSetup {
public:
    static constexpr DWORD kWorkPathChars = 1024;

    HRESULT CreateSetupMutex();
    HRESULT InitWorkPath();
    HRESULT InitSetup();
    HRESULT GetGeneralInfo(const storage::StorageHandle& store);
    HRESULT GetOperatorList(int kind, const storage::StorageHandle& store, const std::wstring& section);
    HRESULT GetVORPInfo(const storage::StorageHandle& store);
    HRESULT UninstallVORP();
    HRESULT RunSetup();
    HRESULT WriteAppHistory();

    // Start a program and wait; its exit code, or 0x80004005 when it could
    // not be started (also when the command would not fit the buffer).
    DWORD RunCmd(const wchar_t* format, ...);
    DWORD RunCmdWithNoWnd(const wchar_t* format, ...);
    bool HasInstalled(const std::wstring& productCode);

    // One of the strings 104 to 106 in a box owned by the hidden dialog.
    int ShowMessage(UINT id, UINT type);

    pw::UniqueHandle m_hMutex;
    BOOL m_bSilent = FALSE;
    std::wstring m_strCmdLine;
    wchar_t m_szWorkPath[kWorkPathChars] = {};
    std::vector<std::wstring> m_vecStepOrder;
    std::map<std::wstring, std::unique_ptr<Operator>> m_mapOperator;
    std::wstring m_Logpath = L"C:\\Users\\Public\\NORVAK\\INSTALL_LOG";
    std::wstring m_ProductName;
    std::wstring m_ProductVersion;
    BOOL m_bOutpuLog = TRUE;
    CHideDialog m_dlgHide;
    INT32 m_nOldVORPCount = 0;
    std::wstring m_strVORPGuid;
    std::wstring m_strVORPIss;
    BOOL m_bVORPInstalled = FALSE;

private:
    DWORD RunCmdV(bool hidden, const wchar_t* format, va_list args);
};

// The one run state, built before main.
extern CSetup theSetup;

// The entry routine's body, separated so that tests can drive it.
int SetupMain();

// The password engine: one per control object. It binds the maker's firmware
// libraries, caches the machine's security state, encodes passcodes, runs the
// verification exchange and performs the password, policy and owner-string
// operations. Every operation returns a plain signed 32-bit code; nothing is
// thrown across its boundary.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "ControlRecords.h"
#include "DbgLog.h"
#include "FirmwareLibraries.h"
#include "ScanCodes.h"

class EnginePlatform;

// Status codes of the firmware call layer.
enum : WORD {
    STS_SUCCESS = 0x0000,
    STS_SCI_OPEN_FAILED = 0x0101,
    STS_SCI_CLOSE_FAILED = 0x0103,
    STS_SEC_READ_FAILED = 0x01FF,
    STS_SEC_BUSY = 0x0200,
    STS_SEC_CONNECT_FAILED = 0x0201,
    STS_SEC_DISCONNECT_FAILED = 0x0203,
    STS_SEC_TIMEOUT = 0x0204,
    STS_SEC_BAD_PARAMETER = 0x0205,
    STS_SEC_NO_LEVEL = 0x0206,
    STS_SEC_FUNCTION_FAILED = 0x02FF,
    STS_DLL_NOT_FOUND_FUNCTION = 0x0300,
};

// A refused change or delete: the firmware's own retry limit was reached.
inline bool IsFirmwareRetryOver(const FirmwareCallBlock& block)
{
    return block.Completion() == 0x83 && (block.ValueA & 0xFFFF) == 0;
}

// Verified rights.
enum : BYTE { ROLE_USER = 1, ROLE_SUPERVISOR = 2, ROLE_NONE = 3 };

// How one caller runs the verification exchange.
struct CertifyParams {
    DWORD dwFlags = 0;               // flags word of the verify request
    UINT uTokenMsg = 0;              // string ids of the two messages
    UINT uRetryMsg = 0;
    DWORD dwOpenParam = 8;           // offset 12 of the open request (the policy sends 0)
    BOOL bVerifyingDuringOpen = 0;   // setting a password holds bVerifying during its open too
    BOOL bSuccessCloseOnAbortCode = 0; // start-up closes 0x80000000 with the success form
    std::function<void(int)> afterOpen; // sees the open answer, whatever it is
    std::function<void()> beforeVerify; // after the texts, before the verify request
    std::function<void()> afterVerify; // runs between the verify answer and the close
};

enum class CertifyStage {
    LibraryMissing, // nothing was sent
    OpenFailed,     // the open was not answered with 1; the library stays loaded
    Answered,       // the verify request was answered, closed and the library freed
};

struct CertifyResult {
    CertifyStage stage = CertifyStage::LibraryMissing;
    LONG lReturn = 0;       // answer of the verify request
    LONG lOutcome = 0;      // outcome word (offset 8 of the answer)
    BOOL bHasPasscode = 0;  // outcome bit 0x1000 with a verified answer
    BYTE passcode[8] = {};  // natural byte order

    ~CertifyResult();
};

class PassWordFUN {
public:
    explicit PassWordFUN(EnginePlatform& platform);
    PassWordFUN();
    ~PassWordFUN();
    PassWordFUN(const PassWordFUN&) = delete;
    PassWordFUN& operator=(const PassWordFUN&) = delete;

    // Start-up.
    int InitVELTDLL();
    int CheckOSVersion(int* code);

    // Binding.
    int PrepareExportFunc();
    int LoadCertifyFunc();
    int FreeCertifyFunc();

    // Firmware call layer.
    int QSCISecurity(FirmwareCallBlock* block, WORD* status, int get, const BYTE* authorization);
    int QHCIGetFunction(FirmwareCallBlock* block);
    int QHCISetFunction(FirmwareCallBlock* block);

    // Security status refresh.
    int GetBiosStatus(DWORD* out);
    int ReadSecurityStatus(DWORD pair[2], WORD* status);
    int RefreshSecurityStatus();
    int RefreshPCPolicy();
    int RefreshUserPolicy();
    int ReadPolicyPage(DWORD pair[2], WORD selector, WORD* status);
    int ReadHddFlags(DWORD pair[2], WORD* status);
    int ProbeSecurityInterface();
    int CheckSecurityLevel(WORD* status);
    int DeleteGRPID(int index, BYTE* value);
    int CheckHDDPWStatus();
    int CheckHDDPWStatus(LONG* support, LONG* enable);

    // Passcodes.
    int IsLegalPass(std::string text);
    int GetPassCode(std::string text, BYTE* passcode);

    // Verification exchange.
    void RunCertify(const CertifyParams& params, CertifyResult& result);
    void SkipDialog(int skip);

    // Password operations.
    int SetPassword(const wchar_t* Passcode, LONG bCheckSetHddPW, LONG bIsUser);
    int ChangePassword(const wchar_t* Passcode, LONG bIsUser);
    int DeletePassword(LONG bIsUser);

    // Control status, user policy, owner string.
    int GetUserCTLStatus(CTLStatus* status);
    int GetSupervisorCTLStatus(CTLStatus* status);
    int IsOwnerStringSupported();
    int GetUserPolicy(UserPolicy* policy);
    int SetPolicy(UserPolicy policy);
    int GetOwnerString(BSTR* ownerString);
    int SetOwnerString(const wchar_t* ownerString);

    // Quit, reboot, keyboard, password file.
    void ForceQuit(UINT_PTR wParam);
    void RebootMachine();
    void ActivateUSKeyboard();
    void UnloadKeyboard();
    int CreatePasswordFile(const wchar_t* Password);

    // ---- state, in declaration order ----------------------------------------
    fwlib::QSCIGetWithOpenIF_t QSCIGetWithOpenIF = nullptr;
    fwlib::QSCISetWithOpenIF_t QSCISetWithOpenIF = nullptr;
    fwlib::QSCISupportCheck_t QSCISupportCheck = nullptr;
    fwlib::QSCIOpenInterface_t QSCIOpenInterface = nullptr;
    fwlib::QSCICloseInterface_t QSCICloseInterface = nullptr;
    fwlib::QSCIGet_t QSCIGet = nullptr;
    fwlib::QSCISet_t QSCISet = nullptr;
    fwlib::QHCIFunction_t QHCIFunction = nullptr;
    fwlib::QHCIOwnerString_t QHCIOwnerString = nullptr;
    FARPROC QSCCallSlots[24] = {}; // binding order; see QSC_Insert / QSC_Compare below
    fwlib::certify_t certify = nullptr;

    DWORD dwSecurityStatus = 0;
    DWORD dwPCPolicy = 0;
    DWORD dwUserPolicy = 0;
    DWORD dwUserPolicyEx = 0;
    DWORD dwPolicy8200Ex = 0;
    BYTE VerifiedPasscode[8] = {};
    BYTE Role = 0;
    BYTE ScInfo = 0;
    HMODULE hPwChk = nullptr;
    LONG bConnected = 0;
    LONG bLongAuthLength = 0;
    LONG bQuit = 0;
    LONG bVerifying = 0;
    signed char HDDPWclass = 0;
    DWORD dwPolicySnapshot = 0;
    DWORD dwPolicySnapshotEx = 0;
    DWORD dwHddFlags = 0;
    DWORD cBios = 0;
    LONG bHDDSupport = 0;
    LONG bHDDCueOccupied = 0;
    std::string strLanguage;
    char szLangFile[MAX_PATH] = {};
    LONG bUnloadUSLayout = 0;

private:
    static constexpr int kSlotInsert = 17;
    static constexpr int kSlotCompare = 20;
    fwlib::QSC_Insert_t QSC_Insert() const;
    fwlib::QSC_Compare_t QSC_Compare() const;

    bool ScanCodesOf(const std::string& oem, const std::string& text,
                     std::uint8_t (&codes)[scancode::kMaxPasswordBytes]);
    int SendCertify(BYTE* buffer);
    int CallWithRetry(DWORD handle, FirmwareCallBlock* block, const FirmwareCallBlock& start, int get, WORD* status);
    int CallHardware(FirmwareCallBlock* block, WORD function, const DL::CDbgLog& errorSite);
    int CheckNewPassword(const std::string& text, BYTE* passcode, int passcodeFailure, const DL::CDbgLog& site);
    int ReadPair(WORD request, WORD selector, DWORD pair[2], WORD* status);
    int RefreshControlState();
    int ReadOwnerStringSize(WORD* size);

    EnginePlatform& m_platform;
};

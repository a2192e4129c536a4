// Start-up: keyboard, operating system, binding, security state, language
// file and the first verification.
#include <cstdio>
#include <cstring>

#include "DbgLog.h"
#include "EnginePlatform.h"
#include "GetPath.h"
#include "PassWordFUN.h"

namespace {

const HKL kUsLayout = reinterpret_cast<HKL>(static_cast<ULONG_PTR>(0x04090409));
constexpr UINT kActivateForProcess = KLF_ACTIVATE | KLF_SETFORPROCESS; // 0x101

constexpr DWORD kUserRegistered = 0x1;
constexpr DWORD kSupervisorRegistered = 0x2;

} // namespace

void PassWordFUN::ActivateUSKeyboard()
{
    const HKL layout = m_platform.LoadKeyboardLayoutA("00000409", kActivateForProcess);
    m_platform.ActivateKeyboardLayout(layout, KLF_SETFORPROCESS);
}

int PassWordFUN::CheckOSVersion(int* code)
{
    DL_SCOPE(DL_INF, "PassWordFUN::CheckOSVersion");
    OSVERSIONINFOA info{};
    if (!m_platform.GetVersionRecord(info)) {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", 0);
        return 0;
    }
    int version = 0;
    const DWORD major = info.dwMajorVersion;
    const DWORD minor = info.dwMinorVersion;
    if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && major == 4) {
        version = minor == 0 ? 1 : minor == 10 ? 2 : minor == 90 ? 3 : 0;
    } else if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        if (major <= 4)
            version = 4;
        else if (major == 5)
            version = minor == 0 ? 5 : minor == 1 ? 6 : minor == 2 ? 7 : 0;
        else if (major == 6)
            version = minor == 0 ? 8 : minor == 1 ? 9 : 16;
        else
            version = 16;
    }
    *code = version;
    DL_LOG(DL_INF).Print("OS Version = %x", version);
    return 1;
}

int PassWordFUN::InitVELTDLL()
{
    DL_SCOPE(DL_INF, "PassWordFUN::InitVELTDLL");
    const auto fail = [&](int code) {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", code);
        return code;
    };

    // 1. The US English layout, in which passcodes are computed.
    bUnloadUSLayout = 1;
    for (HKL layout : m_platform.KeyboardLayouts()) {
        if (layout == kUsLayout)
            bUnloadUSLayout = 0;
    }
    m_platform.DisableImeForThread();
    ActivateUSKeyboard();

    // 2. Operating system: NT 6.1 and later only.
    DL_LOG(DL_INF).Print("Check OS Version!");
    int version = 0;
    if (!CheckOSVersion(&version))
        return fail(1);
    if (version != 9 && version != 16)
        return fail(2);

    // 3. Firmware libraries.
    DL_LOG(DL_INF).Print("Check Dll load!");
    if (!PrepareExportFunc())
        return fail(3);

    // 4. Security level and passcode class.
    bConnected = 0;
    WORD status = 0;
    const int levelOk = CheckSecurityLevel(&status);
    if (!levelOk)
        return fail(17);
    DL_LOG(DL_INF).Print("ErrorCode = %x", status);

    // 5. The rest of the security state.
    DWORD pair[2] = {};
    WORD readStatus = 0;
    if (!RefreshPCPolicy() || !RefreshSecurityStatus() || !ReadHddFlags(pair, &readStatus))
        return fail(15);
    dwHddFlags = pair[0];
    if (!GetBiosStatus(&cBios) || !ProbeSecurityInterface() || !CheckHDDPWStatus())
        return fail(15);

    // 6. The verification dialog's language.
    strLanguage = m_platform.StringEntry(10000);
    CGetPath path(m_platform);
    std::snprintf(szLangFile, sizeof szLangFile, "%s\\%s", path.GetInstallPath(), "OrnPwChk.lng");

    // 7, 8. Which passwords exist decides whether and how to verify.
    const bool userSet = dwSecurityStatus & kUserRegistered;
    const bool supervisorSet = dwSecurityStatus & kSupervisorRegistered;
    const bool verify = userSet || supervisorSet;
    if (!verify)
        DL_LOG(DL_INF).Print("Both User and Supervisor Password hasn't set!");
    const bool skipMode = supervisorSet && !userSet;
    if (skipMode) {
        DL_LOG(DL_INF).Print("Supervisor Password has set but User Password hasn't set!");
        SkipDialog(1);
    }

    // 9.
    bHDDSupport = 0;
    bHDDCueOccupied = 0;

    // 10. A quit before the dialog: ready, nothing shown.
    if (bQuit) {
        fail(0);
        return 0;
    }
    // 11.
    if (!verify) {
        Role = ROLE_NONE;
        return 0;
    }
    // 12.
    if (ScInfo == 0)
        return fail(16);

    // 13. The first verification.
    CertifyParams params;
    params.dwFlags = 0x21091003;
    params.uTokenMsg = 3561;
    params.uRetryMsg = 3560;
    params.dwOpenParam = 8;
    params.bSuccessCloseOnAbortCode = 1;
    params.afterVerify = [&] {
        if (skipMode) // 14.
            SkipDialog(0);
    };
    CertifyResult answer;
    RunCertify(params, answer);
    if (answer.stage == CertifyStage::LibraryMissing)
        return fail(3);
    if (answer.stage == CertifyStage::OpenFailed)
        return fail(4);

    // 15.
    int result = 0;
    if (answer.lReturn == 1) {
        const DWORD outcome = static_cast<DWORD>(answer.lOutcome);
        if (outcome & certify::kOutcomeUser)
            Role = ROLE_USER;
        if (outcome & certify::kOutcomeSupervisor)
            Role = ROLE_SUPERVISOR;
        if (answer.bHasPasscode)
            std::memcpy(VerifiedPasscode, answer.passcode, sizeof VerifiedPasscode);
    } else if (static_cast<DWORD>(answer.lReturn) == 0x80000000u) {
        result = 6;
    } else {
        if (answer.lOutcome == -1) {
            DL_LOG(DL_INF).Print("Retry over!");
            result = 5;
        } else if (answer.lOutcome == 0) {
            DL_LOG(DL_INF).Print("Cancel!");
            result = userSet ? 6 : 110;
        }
        Role = ROLE_NONE;
    }
    // 16. The exchange has freed the library.
    if (result != 0)
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", result);
    return result;
}

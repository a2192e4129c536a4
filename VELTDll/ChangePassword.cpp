// Replacing the supervisor or user password: the verification library
// supplies the current passcode, the caller the new password.
#include <cstring>

#include "DbgLog.h"
#include "EnginePlatform.h"
#include "PassWordFUN.h"
#include "SecureWipe.h"

namespace {

constexpr WORD kLongAuthLength = 50;
constexpr WORD kSubChangeUser = 0x000D;
constexpr WORD kSubChangeSupervisor = 0x000E;

} // namespace

int PassWordFUN::ChangePassword(const wchar_t* Passcode, LONG bIsUser)
{
    DL_SCOPE(DL_INF, "PassWordFUN::ChangePassword");
    const auto fail = [&](int code) {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", code);
        return code;
    };

    const SecretText text(m_platform.WideToAnsi(Passcode));
    BYTE passcode[8] = {};
    const WipeOnExit wipePasscode(passcode);
    if (const int code = CheckNewPassword(text.Text(), passcode, 0xE, DL_LOG(DL_INF)); code != 0)
        return fail(code);

    if (bQuit)
        return fail(0);

    CertifyParams params;
    params.dwFlags = bIsUser && Role != ROLE_SUPERVISOR ? 0x2091001 : 0x2091002;
    params.uTokenMsg = 3551;
    params.uRetryMsg = 3550;
    CertifyResult answer;
    RunCertify(params, answer);
    if (answer.stage == CertifyStage::LibraryMissing)
        return fail(3);
    if (answer.stage == CertifyStage::OpenFailed)
        return fail(4);
    if (answer.lReturn == 0 && answer.lOutcome == -1) {
        DL_LOG(DL_INF).Print("Retry over!");
        return 5;
    }
    if (answer.lReturn == 0 && answer.lOutcome == 0)
        return 6;
    if (answer.lReturn != 1) {
        DL_LOG(DL_INF).Print("Change Password Failed!");
        return 4;
    }
    // The library has been released by now.
    const DWORD outcome = static_cast<DWORD>(answer.lOutcome);
    const bool temporal = outcome & certify::kOutcomeSupervisor;
    const bool passVery = outcome & certify::kOutcomePassVery;
    BYTE current[8] = {}; // eight zero bytes unless the answer carried one
    const WipeOnExit wipeCurrent(current);
    if (answer.bHasPasscode)
        std::memcpy(current, answer.passcode, sizeof current);

    FirmwareCallBlock request{};
    const WipeOnExit wipeRequest(request);
    fw::PutPasscode(request, passcode);
    request.Request = fw::kRequestPassword;
    request.SubRequest = bIsUser ? kSubChangeUser : kSubChangeSupervisor;
    FirmwareCallBlock halves{};
    fw::PutPasscode(halves, current);
    request.ValueA = halves.Data0;
    request.ValueB = halves.Data1;
    SecureWipe(&halves, sizeof halves);
    request.Function = fw::kSystemWrite;
    request.Length = bLongAuthLength && temporal ? kLongAuthLength : static_cast<WORD>(text.Size());
    WORD status = 0;

    if (bIsUser) {
        // Authority comes from the answer's passcode, not the one we hold.
        if (QSCISecurity(&request, &status, 0, temporal ? current : nullptr)) {
            if (Role == ROLE_USER)
                std::memcpy(VerifiedPasscode, passcode, sizeof VerifiedPasscode);
            DL_LOG(DL_INF).Print("Change User password OK!");
            return 105;
        }
        if (IsFirmwareRetryOver(request)) {
            DL_LOG(DL_INF).Print("Change User Password,Retry over!");
            return 5;
        }
        if (passVery) {
            DL_LOG(DL_INF).Print("Change User Password failed!");
            return 13;
        }
        return 0;
    }

    if (QSCISecurity(&request, &status, 0, nullptr)) {
        if (Role == ROLE_SUPERVISOR)
            std::memcpy(VerifiedPasscode, passcode, sizeof VerifiedPasscode);
        DL_LOG(DL_INF).Print("Change Supervisor password OK!");
        return 106;
    }
    if (IsFirmwareRetryOver(request)) {
        DL_LOG(DL_INF).Print("Change Supervisor Password,Retry over!");
        return 5;
    }
    if (passVery) {
        DL_LOG(DL_INF).Print("Change Supervisor Password failed!");
        return 13;
    }
    return 0;
}

// Removing the supervisor or user password; the verification library
// supplies the current passcode.
#include <cstring>

#include "DbgLog.h"
#include "EnginePlatform.h"
#include "PassWordFUN.h"
#include "SecureWipe.h"

namespace {

constexpr WORD kSubDeleteUser = 0x0009;
constexpr WORD kSubDeleteSupervisor = 0x000B;

} // namespace

int PassWordFUN::DeletePassword(LONG bIsUser)
{
    DL_SCOPE(DL_INF, "PassWordFUN::DeletePassword");
    const auto fail = [&](int code) {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", code);
        return code;
    };

    if (bQuit)
        return fail(0);

    CertifyParams params;
    params.dwFlags = bIsUser && Role != ROLE_SUPERVISOR ? 0x2091001 : 0x2091002;
    params.uTokenMsg = 3549;
    params.uRetryMsg = 3548;
    CertifyResult answer;
    bool temporal = false;
    bool passVery = false;
    params.afterOpen = [&](int opened) {
        DL_LOG(DL_INF).Print("CallCertify success! RetVal = %d", opened);
        if (opened != 1)
            return;
        DL_LOG(DL_INF).Print("tmptitle = %s", m_platform.StringEntry(2).c_str());
        DL_LOG(DL_INF).Print("%s", bIsUser ? "Verification of User Password deletion!"
                                     : "Verification of Supervisor Password deletion!");
        DL_LOG(DL_INF).Print("tmpstr = %s", m_platform.StringEntry(2).c_str());
    };
    params.beforeVerify = [&] {
        if (!bIsUser)
            return;
        DL_LOG(DL_INF).Print("%s", Role == ROLE_SUPERVISOR ? "Has Supervisor right!" : "Has User right!");
    };
    params.afterVerify = [&] {
        DL_LOG(DL_INF).Print("Switch RetVal = %d", static_cast<int>(answer.lReturn));
        if (answer.lReturn == 0) {
            DL_LOG(DL_INF).Print("%s", answer.lOutcome == -1 ? "Retry over!"
                                 : answer.lOutcome == 0 ? "Delete Cancel!"
                                                        : "Delete Password Failed!");
        } else if (answer.lReturn == 1) {
            const DWORD outcome = static_cast<DWORD>(answer.lOutcome);
            if (outcome & certify::kOutcomeSupervisor) {
                DL_LOG(DL_INF).Print("WithTemporalSV = TRUE!");
                temporal = true;
            }
            if (outcome & certify::kOutcomePassVery) {
                DL_LOG(DL_INF).Print("PassVery\t= TRUE!");
                passVery = true;
            }
            if (outcome & certify::kOutcomePasscode)
                DL_LOG(DL_INF).Print("memcpy passcode = TRUE!");
        }
    };
    RunCertify(params, answer);
    if (answer.stage == CertifyStage::LibraryMissing)
        return fail(static_cast<int>(E_FAIL)); // here, unlike the other callers: 0x80004005
    if (answer.stage == CertifyStage::OpenFailed)
        return fail(4);
    if (answer.lReturn == 0)
        return answer.lOutcome == -1 ? 5 : answer.lOutcome == 0 ? 6 : 4;
    if (answer.lReturn != 1)
        return 4;

    BYTE current[8] = {}; // eight zero bytes unless the answer carried one
    const WipeOnExit wipeCurrent(current);
    if (answer.bHasPasscode)
        std::memcpy(current, answer.passcode, sizeof current);

    FirmwareCallBlock request{};
    const WipeOnExit wipeRequest(request);
    FirmwareCallBlock halves{};
    fw::PutPasscode(halves, current);
    request.Request = fw::kRequestPassword;
    request.ValueA = halves.Data0;
    request.ValueB = halves.Data1;
    request.Function = fw::kSystemWrite;
    SecureWipe(&halves, sizeof halves);
    DL_LOG(DL_INF).Print("Begin delete password!");
    WORD status = 0;

    if (bIsUser) {
        request.SubRequest = kSubDeleteUser;
        DL_LOG(DL_INF).Print("Delete User Password!");
        const auto deleted = [&] {
            DL_LOG(DL_INF).Print("Delete User Password OK!");
            if (Role == ROLE_USER)
                Role = ROLE_NONE;
            return 100;
        };
        if (temporal) {
            DL_LOG(DL_INF).Print("Delete User Password,by Super right!");
            // Kept even when the firmware then refuses.
            std::memcpy(VerifiedPasscode, current, sizeof VerifiedPasscode);
            if (QSCISecurity(&request, &status, 0, VerifiedPasscode))
                return deleted();
            if (IsFirmwareRetryOver(request)) {
                DL_LOG(DL_INF).Print("Delete User Password failed,Retry over! ErrorStatus = %d", status);
                return 5;
            }
            DL_LOG(DL_INF).Print("Delete User Password failed,No right!ErrorStatus = %d", status);
            return 7;
        }
        DL_LOG(DL_INF).Print("Delete User Password,by User right!");
        if (QSCISecurity(&request, &status, 0, nullptr))
            return deleted();
        if (IsFirmwareRetryOver(request)) {
            DL_LOG(DL_INF).Print("Delete User Password failed,Retry over!");
            return 5;
        }
        if (passVery) {
            DL_LOG(DL_INF).Print("Delete User Password failed,No right! ErrorStatus = %d", status);
            return 7;
        }
        return 0;
    }

    request.SubRequest = kSubDeleteSupervisor;
    DL_LOG(DL_INF).Print("Delete Supervisor Password!");
    if (QSCISecurity(&request, &status, 0, nullptr)) {
        DL_LOG(DL_INF).Print("Delete Supervisor Password,OK!");
        Role = ROLE_NONE;
        return 101;
    }
    if (IsFirmwareRetryOver(request)) {
        DL_LOG(DL_INF).Print("Delete Supervisor Password,Retry over!");
        return 5;
    }
    if (passVery) {
        DL_LOG(DL_INF).Print("Delete Supervisor Password,No right! ErrorStatus = %d", status);
        return 7;
    }
    return 0;
}

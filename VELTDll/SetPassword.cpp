// Registering a new supervisor, user or user-and-HDD password.
#include <cstring>

#include "DbgLog.h"
#include "EnginePlatform.h"
#include "PassWordFUN.h"
#include "SecureWipe.h"

namespace {

constexpr WORD kLongAuthLength = 50;
constexpr DWORD kUsersMayRegister = 0x2; // PC policy bit 1

constexpr WORD kSubSetUser = 0x0005;
constexpr WORD kSubSetSupervisor = 0x0006;
constexpr WORD kSubSetHdd = 0x011C;

FirmwareCallBlock SetRequest(WORD request, WORD subRequest, const BYTE passcode[8], WORD length)
{
    FirmwareCallBlock block{};
    fw::PutPasscode(block, passcode);
    block.Request = request;
    block.SubRequest = subRequest;
    block.Function = fw::kSystemWrite;
    block.Length = length;
    return block;
}

} // namespace

int PassWordFUN::SetPassword(const wchar_t* Passcode, LONG bCheckSetHddPW, LONG bIsUser)
{
    DL_SCOPE(DL_INF, "PassWordFUN::SetPassword");
    const auto fail = [&](int code) {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", code);
        return code;
    };

    const SecretText text(m_platform.WideToAnsi(Passcode));
    // Neither the text nor its length may reach a log: a fixed mask.
    DL_LOG(DL_INF).Print("Get password = ********");
    DL_LOG(DL_INF).Print("bCheckSetHddPW = %d , bIsUser = %d ", static_cast<int>(bCheckSetHddPW),
                         static_cast<int>(bIsUser));

    // The input checks come before the quit test: a bad text is reported
    // even after a quit.
    BYTE passcode[8] = {};
    const WipeOnExit wipePasscode(passcode);
    if (const int code = CheckNewPassword(text.Text(), passcode, 0x15, DL_LOG(DL_INF)); code != 0)
        return fail(code);

    if (bQuit)
        return fail(0);

    // Whether the user request (and the Length rule) carries supervisor authority.
    bool authorize = false;
    if (ScInfo) {
        if (!RefreshPCPolicy())
            return fail(0xF);
        if (!(dwPCPolicy & kUsersMayRegister)) {
            CertifyParams params;
            params.dwFlags = Role == ROLE_SUPERVISOR ? 0x2091002 : 0x2091003;
            params.uTokenMsg = 3557;
            params.uRetryMsg = 3556;
            params.bVerifyingDuringOpen = 1;
            CertifyResult answer;
            RunCertify(params, answer);
            if (answer.stage == CertifyStage::LibraryMissing)
                return fail(3);
            if (answer.stage == CertifyStage::OpenFailed)
                return fail(4);
            if (answer.lReturn == 0) {
                if (answer.lOutcome == -1) {
                    DL_LOG(DL_INF).Print("Retry over!");
                    return 5;
                }
                return answer.lOutcome == 0 ? 6 : 4;
            }
            if (answer.lReturn != 1)
                return 4;
            // Stays even when the request below fails.
            std::memcpy(VerifiedPasscode, answer.bHasPasscode ? answer.passcode : passcode, sizeof VerifiedPasscode);
            authorize = true;
        }
    } else {
        authorize = Role == ROLE_SUPERVISOR;
    }

    const WORD textLength = static_cast<WORD>(text.Size());
    const WORD length = bLongAuthLength && authorize ? kLongAuthLength : textLength;
    WORD status = 0;

    if (bCheckSetHddPW == 1 && bIsUser != 0) {
        DL_LOG(DL_INF).Print("Set BIOS password!");
        FirmwareCallBlock user = SetRequest(fw::kRequestPassword, kSubSetUser, passcode, length);
        const WipeOnExit wipeUser(user);
        DL_LOG(DL_INF).Print("Set HDD password!");
        FirmwareCallBlock hdd = SetRequest(fw::kRequestHdd, kSubSetHdd, passcode, textLength);
        const WipeOnExit wipeHdd(hdd);

        if (!QSCISecurity(&user, &status, 0, authorize ? VerifiedPasscode : nullptr)) {
            DL_LOG(DL_INF).Print("Set User Password failed!");
            return 10;
        }
        if (!QSCISecurity(&hdd, &status, 0, Role == ROLE_SUPERVISOR ? VerifiedPasscode : nullptr)) {
            // The user password stays set; 11 tells the caller so.
            DL_LOG(DL_INF).Print("Set User Password failed!");
            return 11;
        }
        DL_LOG(DL_INF).Print("Set BIOS and HDD Password OK!");
        return 104;
    }

    DL_LOG(DL_INF).Print("Set password");
    if (bIsUser == 0) {
        // The supervisor request never carries authority, though its Length
        // follows the same rule as the user's.
        FirmwareCallBlock request = SetRequest(fw::kRequestPassword, kSubSetSupervisor, passcode, length);
        const WipeOnExit wipeRequest(request);
        if (!QSCISecurity(&request, &status, 0, nullptr)) {
            DL_LOG(DL_INF).Print("Set Supervisor Password failed!");
            return 21;
        }
        if (Role != ROLE_SUPERVISOR) {
            Role = ROLE_SUPERVISOR;
            std::memcpy(VerifiedPasscode, passcode, sizeof VerifiedPasscode);
        }
        return 103;
    }

    FirmwareCallBlock request = SetRequest(fw::kRequestPassword, kSubSetUser, passcode, length);
    const WipeOnExit wipeRequest(request);
    if (!QSCISecurity(&request, &status, 0, authorize ? VerifiedPasscode : nullptr)) {
        DL_LOG(DL_INF).Print("Set User Password failed!");
        return 21;
    }
    if (Role == ROLE_NONE) {
        Role = ROLE_USER;
        std::memcpy(VerifiedPasscode, passcode, sizeof VerifiedPasscode);
    }
    DL_LOG(DL_INF).Print("Set User Password OK!");
    return 102;
}

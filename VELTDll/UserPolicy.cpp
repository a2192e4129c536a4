// Reading and writing the user policy: what a person without supervisor
// rights may do.
#include <cstring>

#include "DbgLog.h"
#include "EnginePlatform.h"
#include "PassWordFUN.h"
#include "PolicyBits.h"
#include "SecureWipe.h"

namespace {

constexpr DWORD kSkipPolicyPages = 0x80000000u; // dwUserPolicyEx bit 31
constexpr DWORD kPolicyChanged = 1u << 21;      // dwSecurityStatus bit 21

// The record's fields in table order.
void ToArray(const UserPolicy& policy, std::int32_t (&fields)[policy::kFieldCount])
{
    const INT values[policy::kFieldCount] = {
        policy.nPermitSetUPass,   policy.nPermitDelUPass,    policy.nPermitChgUPass,
        policy.nPermitOpenQSS,    policy.nPermitUpdateBIOS,  policy.nPermitSetDelHPass,
        policy.nPermitChgHPass,   policy.nPermitOnOffTpm,    policy.nPermitOwnClrTpm};
    for (int i = 0; i < policy::kFieldCount; ++i)
        fields[i] = values[i];
}

INT* Field(UserPolicy& policy, int index)
{
    INT* const fields[policy::kFieldCount] = {
        &policy.nPermitSetUPass,   &policy.nPermitDelUPass,    &policy.nPermitChgUPass,
        &policy.nPermitOpenQSS,    &policy.nPermitUpdateBIOS,  &policy.nPermitSetDelHPass,
        &policy.nPermitChgHPass,   &policy.nPermitOnOffTpm,    &policy.nPermitOwnClrTpm};
    return fields[index];
}

const char* const kCheckNames[7] = {
    "check for SetUPassCheck",  "check for DeleteUPassCheck", "check for ChangeUPassCheck",
    "check for UseHWSetupCheck", "check for UpdateBIOSCheck", "check for HPassRegDelCheck",
    "check for HPassChangeCheck"};

} // namespace

int PassWordFUN::GetUserPolicy(UserPolicy* policy)
{
    DL_SCOPE(DL_INF, "PassWordFUN::GetUserPolicy");
    const auto fail = [&] {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", 15);
        return 15;
    };
    for (int i = 0; i < policy::kFieldCount; ++i)
        *Field(*policy, i) = policy::kNotOffered;

    DWORD pair[2] = {};
    WORD status = 0;
    RefreshUserPolicy();
    if (RefreshUserPolicy() && !(dwUserPolicyEx & kSkipPolicyPages))
        ReadPolicyPage(pair, 0x0281, &status);
    dwPolicySnapshot = dwUserPolicy;
    dwPolicySnapshotEx = dwUserPolicyEx;

    DL_LOG(DL_INF).Print("Initialize Checkboxes");
    for (int i = 0; i < policy::kFieldCount; ++i)
        *Field(*policy, i) = (dwPolicySnapshot >> policy::kBits[i]) & 1;

    DWORD mask[2] = {};
    if (!ReadPair(fw::kRequestPolicy, 0x8081, mask, &status))
        return fail();
    const DWORD support = mask[0];
    if (RefreshUserPolicy() && !(dwUserPolicyEx & kSkipPolicyPages) && !ReadPolicyPage(pair, 0x8281, &status))
        return fail();
    DWORD security[2] = {}; // a pair of its own: dwSecurityStatus stays
    if (!ReadSecurityStatus(security, &status))
        return fail();

    for (int i = 0; i < 7; ++i) {
        DL_LOG(DL_INF).Print("%s", kCheckNames[i]);
        if (!(support & (1u << policy::kBits[i])))
            *Field(*policy, i) = policy::kNotOffered;
    }
    if (security[1] & policy::kTpmPresent) {
        DL_LOG(DL_INF).Print("check for TPMOwnClrChk");
        if (!(support & (1u << policy::kBits[policy::kTpmOwnerClear])))
            policy->nPermitOwnClrTpm = policy::kNotOffered;
        DL_LOG(DL_INF).Print("check for TPMOnOffChk");
        if (!(support & (1u << policy::kBits[policy::kTpmOnOff])))
            policy->nPermitOnOffTpm = policy::kNotOffered;
    } else {
        policy->nPermitOwnClrTpm = policy::kNotOffered;
        policy->nPermitOnOffTpm = policy::kNotOffered;
    }
    return 0;
}

int PassWordFUN::SetPolicy(UserPolicy policy)
{
    DL_SCOPE(DL_INF, "PassWordFUN::SetPolicy");
    const auto fail = [&](int code) {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", code);
        return code;
    };

    CertifyParams params;
    params.dwFlags = 0x02091002;
    params.uTokenMsg = 3559;
    params.uRetryMsg = 3558;
    params.dwOpenParam = 0;
    CertifyResult answer;
    RunCertify(params, answer);
    if (answer.stage == CertifyStage::LibraryMissing)
        return fail(3);
    if (answer.stage == CertifyStage::OpenFailed)
        return fail(4);
    if (answer.lReturn == 0) {
        int code = 4;
        if (answer.lOutcome == -1) {
            DL_LOG(DL_INF).Print("Retry over!");
            code = 5;
        } else if (answer.lOutcome == 0) {
            code = 6;
        }
        // A quit arrived while the dialog was up: end the caller's loop too.
        if (bQuit == 1)
            m_platform.PostQuitMessage(0);
        return code;
    }
    if (answer.lReturn != 1)
        return 4;
    std::memset(VerifiedPasscode, 0, sizeof VerifiedPasscode);
    if (answer.bHasPasscode)
        std::memcpy(VerifiedPasscode, answer.passcode, sizeof VerifiedPasscode);

    DL_LOG(DL_INF).Print("Set PC Policy");
    std::int32_t fields[policy::kFieldCount] = {};
    ToArray(policy, fields);
    FirmwareCallBlock request{};
    request.Request = fw::kRequestPolicy;
    request.SubRequest = fw::kSubUserPolicyWrite;
    request.ValueB = policy::Apply(dwPolicySnapshot, fields);
    request.ValueA = dwPolicySnapshotEx;
    request.Function = fw::kSystemWrite;
    WORD status = 0;
    if (!QSCISecurity(&request, &status, 0, VerifiedPasscode))
        return fail(519);
    if (!RefreshSecurityStatus())
        return fail(513);
    if (dwSecurityStatus & kPolicyChanged)
        return fail(525);
    return 108;
}

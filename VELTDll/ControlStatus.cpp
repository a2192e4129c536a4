// Which buttons of the user and supervisor panels the interface may enable.
#include "DbgLog.h"
#include "PassWordFUN.h"

namespace {

constexpr DWORD kUserRegistered = 0x1;
constexpr DWORD kSupervisorRegistered = 0x2;
constexpr DWORD kUsersMayRegister = 0x2; // PC policy bits 1, 2, 3
constexpr DWORD kUsersMayDelete = 0x4;
constexpr DWORD kUsersMayChange = 0x8;
constexpr DWORD kSkipPolicyPages = 0x80000000u; // dwUserPolicyEx bit 31
constexpr DWORD kSkipPage0200 = 0x80;           // dwPolicy8200Ex bit 7

} // namespace

// The reads both panels start from; 0 at the first failure.
int PassWordFUN::RefreshControlState()
{
    if (!RefreshPCPolicy() || !RefreshUserPolicy())
        return 0;
    DWORD pair[2] = {};
    WORD status = 0;
    if (!(dwUserPolicyEx & kSkipPolicyPages)) {
        if (!ReadPolicyPage(pair, 0x8200, &status))
            return 0;
        dwPolicy8200Ex = pair[1];
    }
    if (!(dwPolicy8200Ex & kSkipPage0200) && !ReadPolicyPage(pair, 0x0200, &status))
        return 0;
    return RefreshSecurityStatus();
}

int PassWordFUN::IsOwnerStringSupported()
{
    FirmwareCallBlock block{};
    block.Request = fw::kRegisterOwnerString;
    block.Data1 = 0; // byte position 0
    return QHCIGetFunction(&block);
}

int PassWordFUN::GetUserCTLStatus(CTLStatus* status)
{
    DL_SCOPE(DL_INF, "PassWordFUN::GetUserCTLStatus");
    // IsChangeUPolicyButtonEnabled belongs to the supervisor panel: untouched.
    status->IsSetPassButtonEnabled = 1;
    status->IsDeletePassButtonEnabled = 1;
    status->IsChangePassButtonEnabled = 1;
    status->IsOwnerEditEnabled = 1;

    // A failed read leaves every owned button enabled.
    if (!RefreshControlState() || !CheckHDDPWStatus()) {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", 0);
        return 0;
    }
    if (bHDDCueOccupied) {
        DL_LOG(DL_INF).Print("HDD cue is occupied, all USER password operations are inhibited");
        status->IsSetPassButtonEnabled = 0;
        status->IsDeletePassButtonEnabled = 0;
        status->IsChangePassButtonEnabled = 0;
    }

    const bool userSet = dwSecurityStatus & kUserRegistered;
    const bool supervisorSet = dwSecurityStatus & kSupervisorRegistered;
    const bool restricted =
        (Role == ROLE_USER && supervisorSet) || (Role == ROLE_NONE && supervisorSet && !userSet);

    DL_LOG(DL_INF).Print("check for SetUPassButton");
    if (userSet || (restricted && !(dwPCPolicy & kUsersMayRegister)))
        status->IsSetPassButtonEnabled = 0;
    DL_LOG(DL_INF).Print("check for DeleteUPassButton");
    if (!userSet || (restricted && !(dwPCPolicy & kUsersMayDelete)))
        status->IsDeletePassButtonEnabled = 0;
    DL_LOG(DL_INF).Print("check for ChangeUPassButton");
    if (!userSet || (restricted && !(dwPCPolicy & kUsersMayChange)))
        status->IsChangePassButtonEnabled = 0;

    DL_LOG(DL_INF).Print("Check Owner String supported or not");
    if (!IsOwnerStringSupported())
        status->IsOwnerEditEnabled = 0;
    return 1;
}

int PassWordFUN::GetSupervisorCTLStatus(CTLStatus* status)
{
    DL_SCOPE(DL_INF, "PassWordFUN::GetSupervisorCTLStatus");
    // IsOwnerEditEnabled belongs to the user panel: untouched.
    status->IsSetPassButtonEnabled = 1;
    status->IsDeletePassButtonEnabled = 1;
    status->IsChangePassButtonEnabled = 1;
    status->IsChangeUPolicyButtonEnabled = 1;

    if (!RefreshControlState()) {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", 0);
        return 0;
    }
    const bool userSet = dwSecurityStatus & kUserRegistered;
    const bool supervisorSet = dwSecurityStatus & kSupervisorRegistered;
    const bool supervisor = Role == ROLE_SUPERVISOR;

    DL_LOG(DL_INF).Print("check for SetSPassButton");
    if (supervisorSet || userSet)
        status->IsSetPassButtonEnabled = 0;
    DL_LOG(DL_INF).Print("check for DeleteSPassButton");
    if (!supervisorSet || !supervisor)
        status->IsDeletePassButtonEnabled = 0;
    DL_LOG(DL_INF).Print("check for ChangeSPassButton");
    if (!supervisorSet || !supervisor)
        status->IsChangePassButtonEnabled = 0;
    DL_LOG(DL_INF).Print("check for ChangeUPolicyButton");
    if (!supervisor)
        status->IsChangeUPolicyButtonEnabled = 0;
    return 1;
}

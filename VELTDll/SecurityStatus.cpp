// Reading the machine's security state into the engine's fields.
#include "DbgLog.h"
#include "PassWordFUN.h"

namespace {

constexpr DWORD kBit31 = 0x80000000u;

FirmwareCallBlock ReadBlock(WORD request, WORD selector)
{
    FirmwareCallBlock block{};
    block.Request = request;
    block.ValueB = selector;
    block.Function = fw::kSystemRead;
    return block;
}

} // namespace

// One read through the exchange; the pair is ValueB then ValueA.
int PassWordFUN::ReadPair(WORD request, WORD selector, DWORD pair[2], WORD* status)
{
    FirmwareCallBlock block = ReadBlock(request, selector);
    if (!QSCISecurity(&block, status, 1, nullptr))
        return 0;
    pair[0] = block.ValueB;
    pair[1] = block.ValueA;
    return 1;
}

int PassWordFUN::GetBiosStatus(DWORD* out)
{
    DL_SCOPE(DL_INF, "PassWordFUN::GetBiosStatus");
    FirmwareCallBlock block{};
    block.Request = fw::kRegisterBiosStatus;
    if (!QHCIGetFunction(&block))
        return 0;
    *out = block.ValueA;
    return 1;
}

int PassWordFUN::ReadSecurityStatus(DWORD pair[2], WORD* status)
{
    return ReadPair(fw::kRequestSecurity, 0x0000, pair, status);
}

int PassWordFUN::RefreshSecurityStatus()
{
    DL_SCOPE(DL_INF, "PassWordFUN::RefreshSecurityStatus");
    DWORD pair[2] = {};
    WORD status = 0;
    if (!ReadSecurityStatus(pair, &status))
        return 0;
    dwSecurityStatus = pair[0];
    return 1;
}

int PassWordFUN::RefreshPCPolicy()
{
    DL_SCOPE(DL_INF, "PassWordFUN::RefreshPCPolicy");
    DWORD pair[2] = {};
    WORD status = 0;
    if (!ReadPair(fw::kRequestPolicy, 0x0000, pair, &status))
        return 0;
    dwPCPolicy = pair[0];
    return 1;
}

int PassWordFUN::RefreshUserPolicy()
{
    DWORD pair[2] = {};
    WORD status = 0;
    if (!ReadPair(fw::kRequestPolicy, 0x0081, pair, &status))
        return 0;
    dwUserPolicy = pair[0];
    dwUserPolicyEx = pair[1];
    return 1;
}

int PassWordFUN::ReadPolicyPage(DWORD pair[2], WORD selector, WORD* status)
{
    switch (selector) {
    case 0x0200:
    case 0x0281:
    case 0x8200:
    case 0x8281:
        return ReadPair(fw::kRequestPolicy, selector, pair, status);
    default:
        *status = STS_SEC_BAD_PARAMETER;
        return 0;
    }
}

int PassWordFUN::ReadHddFlags(DWORD pair[2], WORD* status)
{
    return ReadPair(fw::kRequestHdd, 0x0101, pair, status);
}

int PassWordFUN::ProbeSecurityInterface()
{
    if (QSCIGetWithOpenIF == nullptr)
        return 0;
    FirmwareCallBlock block{};
    block.Request = fw::kRequestConnection;
    block.Function = fw::kSystemRead;
    return QSCIGetWithOpenIF(&block) ? 1 : 0;
}

int PassWordFUN::DeleteGRPID(int index, BYTE* value)
{
    DL_SCOPE(DL_INF, "PassWordFUN::DeleteGRPID");
    const auto insert = QSC_Insert();
    if (insert == nullptr) {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", 0);
        return 0;
    }
    return insert(index, value);
}

int PassWordFUN::CheckSecurityLevel(WORD* status)
{
    DL_SCOPE(DL_INF, "PassWordFUN::CheckSecurityLevel");
    ScInfo = 0;
    DL_LOG(DL_INF).Print("Check DLL function pointer!");
    if (QSCIGetWithOpenIF == nullptr) {
        *status = STS_DLL_NOT_FOUND_FUNCTION;
        return 0;
    }

    DL_LOG(DL_INF).Print("Call SCI,Get Security Level!");
    FirmwareCallBlock block{};
    block.Request = fw::kRequestConnection;
    block.Function = fw::kSystemRead;
    if (!QSCIGetWithOpenIF(&block)) {
        *status = STS_SEC_READ_FAILED;
        return 0;
    }

    DL_LOG(DL_INF).Print("Check Security Level!");
    const DWORD level = block.ValueA;
    if ((level & 0x0F) == 0) {
        *status = STS_SEC_NO_LEVEL;
        return 0;
    }
    *status = STS_SUCCESS;
    HDDPWclass = static_cast<signed char>((level >> 4) & 0x0F);
    const DWORD levelMinor = (level >> 16) & 0x0F;
    const DWORD levelMajor = (level >> 20) & 0x0F;

    if (levelMajor == 2 && levelMinor == 1) {
        BYTE grp = 0;
        if (!DeleteGRPID(0, &grp)) {
            *status = STS_SEC_BAD_PARAMETER;
            return 0;
        }
        if (grp != 0)
            ScInfo = 1;
    }
    DL_LOG(DL_INF).Print("ScInfo = %d", ScInfo);
    if (levelMajor == 1 && levelMinor == 1)
        ScInfo = 1;

    if (!RefreshSecurityStatus()) {
        *status = STS_SEC_READ_FAILED;
        return 0;
    }
    if (levelMajor == 2 && levelMinor == 1 && HDDPWclass >= 3)
        bLongAuthLength = 1;
    if (!RefreshUserPolicy()) {
        *status = STS_SEC_READ_FAILED;
        return 0;
    }
    if (dwUserPolicyEx & kBit31)
        return 1;
    DWORD pair[2] = {};
    WORD pageStatus = 0;
    if (!ReadPolicyPage(pair, 0x8281, &pageStatus)) {
        *status = STS_SEC_READ_FAILED;
        return 0;
    }
    return 1;
}

int PassWordFUN::CheckHDDPWStatus()
{
    DL_SCOPE(DL_INF, "PassWordFUN::CheckHDDPWStatus");
    DL_LOG(DL_INF).Print("Check if HDD password support!,Check if HDD password set!");
    DL_LOG(DL_INF).Print("CALL SCI to check!");
    DWORD pair[2] = {};
    WORD status = 0;
    if (!ReadPair(fw::kRequestHdd, 0x0000, pair, &status)) {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", 0);
        return 0;
    }
    if ((pair[0] & 0xFFFF) != 0) {
        DL_LOG(DL_INF).Print("Not Support HDD!");
        bHDDSupport = 0;
        return 1;
    }
    DL_LOG(DL_INF).Print("Support HDD!");
    bHDDSupport = 1;
    if (!ReadPair(fw::kRequestHdd, 0x0100, pair, &status)) {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", 0);
        return 0;
    }
    if ((pair[1] & 0xFFFF) != 0) {
        DL_LOG(DL_INF).Print("HDD Password has not Set!");
        bHDDCueOccupied = 0;
    } else {
        DL_LOG(DL_INF).Print("HDD Password has bHDDCueOccupied!");
        bHDDCueOccupied = 1;
    }
    return 1;
}

int PassWordFUN::CheckHDDPWStatus(LONG* support, LONG* enable)
{
    DL_SCOPE(DL_INF, "PassWordFUN::CheckHDDPWStatus");
    constexpr int kFail = static_cast<int>(E_FAIL);
    if (!CheckHDDPWStatus()) {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", kFail);
        return kFail;
    }
    *support = bHDDSupport;
    *enable = 1;
    if (bHDDCueOccupied) {
        *enable = 0;
        return 0;
    }
    if (!(dwPCPolicy & (1u << 5)) && Role != ROLE_SUPERVISOR) {
        *enable = 0;
        return 0;
    }
    const int isBios = (cBios >> 3) & 1;
    if (!isBios || HDDPWclass == 0 || HDDPWclass == 1 || !bHDDSupport) {
        DL_LOG(DL_INF).Print("cBios.bs.IsBios = %d,HDDPWclass = %d,HDDPWclass = %d", isBios, HDDPWclass,
                             static_cast<int>(bHDDSupport));
        *support = 0;
        *enable = 0;
        return 0;
    }
    if (dwHddFlags & 0x2) {
        *enable = (dwHddFlags & 0x1) ? 0 : 1;
        return 0;
    }
    if (dwHddFlags & 0x1) {
        *enable = 0;
        return 0;
    }
    *enable = 1;
    if (!RefreshPCPolicy()) {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", kFail);
        return kFail;
    }
    if (Role == ROLE_SUPERVISOR)
        *enable = 1;
    else
        *enable = (dwPCPolicy & (1u << 5)) ? 1 : 0;
    return 0;
}

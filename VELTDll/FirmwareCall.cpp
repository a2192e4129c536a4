// The firmware call layer: the security exchange over the system interface
// and the single calls of the hardware interface.
#include <cstring>

#include "DbgLog.h"
#include "EnginePlatform.h"
#include "PassWordFUN.h"

namespace {

constexpr int kMaxBusyRetries = 300;
constexpr DWORD kBusyWaitMs = 15;
constexpr DWORD kConnectedWaitMs = 750;

FirmwareCallBlock ConnectionBlock(WORD selector)
{
    FirmwareCallBlock block{};
    block.Request = fw::kRequestConnection;
    block.ValueB = selector;
    block.Function = fw::kSystemWrite;
    return block;
}

} // namespace

// Retry rule: done on a non-zero return with completion 0x00; a busy
// completion is asked again up to 300 times, 15 ms apart; anything else
// fails. Every attempt starts from the request as given.
int PassWordFUN::CallWithRetry(DWORD handle, FirmwareCallBlock* block, const FirmwareCallBlock& start, int get,
                               WORD* status)
{
    for (int retries = 0;; ++retries) {
        *block = start;
        const BOOL called = get ? QSCIGet(handle, block) : QSCISet(handle, block);
        if (called && block->Completion() == fw::kDone)
            return 1;
        if (block->Completion() != fw::kBusy) {
            *status = STS_SEC_FUNCTION_FAILED;
            return 0;
        }
        if (retries == kMaxBusyRetries) {
            *status = STS_SEC_TIMEOUT;
            return 0;
        }
        m_platform.Sleep(kBusyWaitMs);
    }
}

int PassWordFUN::QSCISecurity(FirmwareCallBlock* block, WORD* status, int get, const BYTE* authorization)
{
    DL_SCOPE(DL_INF, "PassWordFUN::QSCISecurity");
    const auto info = [&](const char* text) { DL_LOG(DL_INF).Print("%s", text); };

    if (block->Request <= 0x0600 || block->Request >= 0x0700) {
        info("ErrorStatus = STS_SEC_BAD_PARAMETER!");
        *status = STS_SEC_BAD_PARAMETER;
        return 0;
    }
    if (QSCIOpenInterface == nullptr || QSCICloseInterface == nullptr) {
        info("ErrorStatus = STS_DLL_NOT_FOUND_FUNCTION!");
        *status = STS_DLL_NOT_FOUND_FUNCTION;
        return 0;
    }
    // Every exchange writes (connect, disconnect), so a missing QSCISet is as
    // fatal as a missing QSCIGet.
    if (QSCIGet == nullptr || QSCISet == nullptr) {
        *status = STS_DLL_NOT_FOUND_FUNCTION;
        return 0;
    }
    const FirmwareCallBlock request = *block;

    // From here on a failure returns at once and leaves the handle open.
    DWORD handle = 0;
    if (!QSCIOpenInterface(&handle)) {
        info("ErrorStatus = STS_SCI_OPEN_FAILED!");
        *status = STS_SCI_OPEN_FAILED;
        return 0;
    }

    info("check Security Interface connected or not!");
    if (bConnected) {
        m_platform.Sleep(kConnectedWaitMs);
        if (bConnected) {
            *status = STS_SEC_BUSY;
            return 0;
        }
    }

    info("set connect flag!");
    bConnected = 1;
    info("connect to security interface!");
    FirmwareCallBlock connect = ConnectionBlock(fw::kSelectorConnect);
    info("call connect security function!");
    if (!QSCISet(handle, &connect)) {
        *status = STS_SEC_CONNECT_FAILED;
        bConnected = 0;
        return 0;
    }
    info("check return value");
    if (connect.Completion() != fw::kDone) {
        *status = STS_SEC_CONNECT_FAILED;
        bConnected = 0;
        return 0;
    }

    info("Go up to temporal SV if necessary");
    if (authorization != nullptr) {
        FirmwareCallBlock rights{};
        fw::PutPasscode(rights, authorization);
        rights.Request = fw::kRequestSecurity;
        rights.SubRequest = fw::kSubTemporarySupervisor;
        rights.Function = fw::kSystemWrite;
        FirmwareCallBlock reply{};
        const int ok = CallWithRetry(handle, &reply, rights, 0, status);
        std::memset(&rights, 0, sizeof rights); // carried the verified passcode
        std::memset(&reply, 0, sizeof reply);
        if (!ok) {
            bConnected = 0;
            return 0;
        }
    }

    info("call security function and wait for finishing!");
    if (!CallWithRetry(handle, block, request, get, status)) {
        bConnected = 0;
        return 0;
    }

    info("disconnect from security interface");
    FirmwareCallBlock disconnect = ConnectionBlock(fw::kSelectorDisconnect);
    if (!QSCISet(handle, &disconnect) || disconnect.Completion() != fw::kDone) {
        *status = STS_SEC_DISCONNECT_FAILED;
        bConnected = 0;
        return 0;
    }

    bConnected = 0;
    info("close SCI Interface!");
    if (!QSCICloseInterface(handle)) {
        *status = STS_SCI_CLOSE_FAILED;
        return 0;
    }
    info("function success!");
    *status = STS_SUCCESS;
    return 1;
}

// One hardware call: no retry, no look at the completion; the caller's
// preset Function is always overwritten.
int PassWordFUN::CallHardware(FirmwareCallBlock* block, WORD function, const DL::CDbgLog& errorSite)
{
    if (block == nullptr) {
        errorSite.Print("Error Code: 0x%x", 0);
        return 0;
    }
    block->Function = function;
    if (QHCIFunction == nullptr) {
        errorSite.Print("Error Code: 0x%x", 0);
        return 0;
    }
    return QHCIFunction(block);
}

int PassWordFUN::QHCIGetFunction(FirmwareCallBlock* block)
{
    DL_SCOPE(DL_INF, "PassWordFUN::QHCIGetFunction");
    return CallHardware(block, fw::kHardwareRead, DL_LOG(DL_ERR));
}

int PassWordFUN::QHCISetFunction(FirmwareCallBlock* block)
{
    DL_SCOPE(DL_INF, "PassWordFUN::QHCISetFunction");
    return CallHardware(block, fw::kHardwareWrite, DL_LOG(DL_ERR));
}

// The verification exchange with the maker's dialog library, and the prompt
// texts the engine leaves for it in its language file.
#include <cstring>

#include "Cmd5.h"
#include "DbgLog.h"
#include "EnginePlatform.h"
#include "PassWordFUN.h"
#include "SecureWipe.h"

namespace {

// The request buffer: zero-filled for every request, wiped when done since
// the verify answer carries a passcode.
class CertifyBuffer {
public:
    CertifyBuffer() { Clear(); }
    ~CertifyBuffer() { SecureWipe(m_bytes, sizeof m_bytes); }
    void Clear() { SecureWipe(m_bytes, sizeof m_bytes); }
    BYTE* Data() { return m_bytes; }

    void Put(std::size_t offset, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            m_bytes[offset + i] = static_cast<BYTE>(value >> (8 * i));
    }
    std::uint32_t Get(std::size_t offset) const
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(m_bytes[offset + i]) << (8 * i);
        return value;
    }
    void Request(std::uint32_t code, std::uint32_t size)
    {
        Clear();
        Put(certify::kCodeOffset, code);
        Put(certify::kSizeOffset, size);
    }

private:
    BYTE m_bytes[certify::kBufferSize];
};

} // namespace

// -1 stands for "no entry point bound".
int PassWordFUN::SendCertify(BYTE* buffer)
{
    return certify != nullptr ? certify(buffer) : -1;
}

void PassWordFUN::RunCertify(const CertifyParams& params, CertifyResult& result)
{
    result = {};
    if (!LoadCertifyFunc()) {
        result.stage = CertifyStage::LibraryMissing;
        return;
    }
    CertifyBuffer buffer;

    buffer.Request(certify::kOpen, certify::kOpenSize);
    buffer.Put(certify::kExtraOffset, params.dwOpenParam);
    if (params.bVerifyingDuringOpen)
        bVerifying = 1;
    const int opened = SendCertify(buffer.Data());
    if (params.bVerifyingDuringOpen)
        bVerifying = 0;
    if (params.afterOpen)
        params.afterOpen(opened);
    if (opened != 1) {
        result.stage = CertifyStage::OpenFailed; // the library stays loaded
        return;
    }

    const std::pair<const char*, UINT> texts[] = {
        {"CaptionTitle=", 2}, {"DiagTokenErrMsg=", params.uTokenMsg}, {"DiagRetryPwMsg=", params.uRetryMsg}};
    for (const auto& [key, id] : texts) {
        const std::string text = key + m_platform.StringEntry(id);
        if (text.size() > certify::kMaxText || certify == nullptr)
            continue;
        buffer.Request(certify::kSetText, static_cast<std::uint32_t>(text.size()));
        std::memcpy(buffer.Data() + certify::kParameterOffset, text.data(), text.size());
        SendCertify(buffer.Data());
    }

    if (params.beforeVerify)
        params.beforeVerify();
    buffer.Request(certify::kVerify, certify::kVerifySize);
    buffer.Put(certify::kParameterOffset, params.dwFlags);
    bVerifying = 1;
    result.lReturn = SendCertify(buffer.Data());
    bVerifying = 0;
    result.lOutcome = static_cast<LONG>(buffer.Get(certify::kParameterOffset));
    result.stage = CertifyStage::Answered;
    if (result.lReturn == 1 && (static_cast<DWORD>(result.lOutcome) & certify::kOutcomePasscode)) {
        result.bHasPasscode = 1;
        std::memcpy(result.passcode, buffer.Data() + certify::kExtraOffset, 8);
    }
    if (params.afterVerify)
        params.afterVerify();

    const bool successForm = result.lReturn == 1 ||
                             (params.bSuccessCloseOnAbortCode && static_cast<DWORD>(result.lReturn) == 0x80000000u);
    if (successForm) {
        buffer.Request(certify::kClose, certify::kCloseSuccessSize);
        buffer.Put(certify::kParameterOffset, certify::kCloseSuccessParameter);
        // Check value: the first 8 digest bytes of the parameter's 4 bytes.
        Cmd5 md5;
        md5.Digest(buffer.Data() + certify::kParameterOffset, 4);
        std::memcpy(buffer.Data() + certify::kExtraOffset, md5.Digest(), 8);
    } else {
        buffer.Request(certify::kClose, certify::kCloseFailureSize);
    }
    SendCertify(buffer.Data());
    FreeCertifyFunc();
}

void PassWordFUN::SkipDialog(int skip)
{
    DL_SCOPE(DL_INF, "PassWordFUN::SkipDialog");
    const std::string prompt = m_platform.StringEntry(skip ? 10004 : 10003);
    const std::string button = m_platform.StringEntry(skip ? 10002 : 10001);
    // Without a language name there is no section of our own: use English.
    const char* section = strLanguage.empty() ? "English" : strLanguage.c_str();
    m_platform.WriteProfileString(section, "PasswordMsg", prompt.c_str(), szLangFile);
    m_platform.WriteProfileString(section, "CancelButton", button.c_str(), szLangFile);
    if (strLanguage != "English") {
        m_platform.WriteProfileString(
            "English", "PasswordMsg",
            skip ? "Enter supervisor password or skip to register user password only." : "Please type a %Target1%.",
            szLangFile);
        m_platform.WriteProfileString("English", "CancelButton", skip ? "Skip" : "Cancel", szLangFile);
    }
}

void PassWordFUN::ForceQuit(UINT_PTR wParam)
{
    DL_SCOPE(DL_INF, "PassWordFUN::ForceQuit");
    (void)wParam;
    bQuit = 1; // one-way: never cleared for the life of the engine
    // Re-entered from the dialog's message loop: close the dialog that the
    // interrupted operation is waiting on. Class-2.0 dialogs are left alone.
    if (ScInfo && bVerifying == 1 && certify != nullptr) {
        CertifyBuffer buffer;
        buffer.Request(certify::kAbort, certify::kAbortSize);
        certify(buffer.Data());
    }
}

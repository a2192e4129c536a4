#include "NotebookCertify.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Cmd5.h"

namespace sim {

std::uint32_t ReadWord(const std::uint8_t* buffer, std::size_t offset)
{
    std::uint32_t v;
    std::memcpy(&v, buffer + offset, 4);
    return v;
}

void WriteWord(std::uint8_t* buffer, std::size_t offset, std::uint32_t value)
{
    std::memcpy(buffer + offset, &value, 4);
}

Passcode CloseCheckValue()
{
    const std::uint8_t parameter[4] = {0x00, 0x08, 0x00, 0x00};
    Cmd5 md5;
    md5.Digest(parameter, sizeof parameter);
    Passcode check{};
    std::memcpy(check.data(), md5.Digest(), 8);
    return check;
}

CVerifyJudge::CVerifyJudge(std::uint32_t flags, const NotebookState& machine)
    : m_flags(flags), m_class21(machine.PasscodeClass21()), m_limit(machine.dialogRetries)
{
    if (flags & kAskUser)
        m_user = machine.user;
    if (flags & kAskSupervisor)
        m_supervisor = machine.supervisor;
}

CVerifyJudge::Verdict CVerifyJudge::Attempt(const Passcode& typed)
{
    m_outcome = 0;
    if (!m_user && !m_supervisor) {
        // No password that could prove the asked rights is registered: there
        // is nothing to check, and no rights to report.
        m_outcome = m_flags & kAskPassVery;
        return Verdict::Verified;
    }
    if (m_user && *m_user == typed)
        m_outcome |= kAskUser;
    if (m_supervisor && *m_supervisor == typed)
        m_outcome |= kAskSupervisor;
    if (m_outcome == 0) {
        ++m_wrong;
        return m_wrong >= m_limit ? Verdict::RetryLimit : Verdict::Retry;
    }
    if (m_flags & kAskPasscode) {
        m_outcome |= kAskPasscode;
        m_passcode = typed;
    }
    m_outcome |= m_flags & kAskPassVery;
    return Verdict::Verified;
}

TargetKind CVerifyJudge::Target() const
{
    const bool user = m_flags & kAskUser, supervisor = m_flags & kAskSupervisor;
    if (supervisor && !user)
        return TargetKind::Supervisor;
    if (user && !supervisor)
        return TargetKind::User;
    return TargetKind::Password;
}

std::int32_t CCertifySession::Handle(std::uint8_t* buffer, std::optional<std::int32_t> openAnswer)
{
    const std::uint32_t code = ReadWord(buffer, certify::kCodeOffset);
    const std::uint32_t size = ReadWord(buffer, certify::kSizeOffset);
    const std::uint32_t parameter = ReadWord(buffer, certify::kParameterOffset);
    switch (code) {
    case certify::kOpen: {
        const std::uint32_t extra = ReadWord(buffer, certify::kExtraOffset);
        if (size != certify::kOpenSize || parameter != 0 || (extra != 8 && extra != 0))
            return kCertifyBadRequest;
        m_texts.clear();
        m_abort = false;
        if (openAnswer) {
            m_open = *openAnswer == 1;
            return *openAnswer;
        }
        m_open = true;
        return 1;
    }
    case certify::kSetText: {
        const char* text = reinterpret_cast<const char*>(buffer + certify::kParameterOffset);
        const std::size_t length = strnlen(text, certify::kMaxText + 1);
        if (!m_open || length > certify::kMaxText || size != length)
            return kCertifyBadRequest;
        const std::string line(text, length);
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            return kCertifyBadRequest;
        m_texts[line.substr(0, eq)] = line.substr(eq + 1);
        return 1;
    }
    case certify::kClose: {
        const bool wasOpen = m_open;
        m_open = false;
        if (!wasOpen)
            return kCertifyBadRequest;
        if (size == certify::kCloseFailureSize && parameter == 0)
            return 1;
        if (size == certify::kCloseSuccessSize && parameter == certify::kCloseSuccessParameter) {
            const Passcode check = CloseCheckValue();
            return std::memcmp(buffer + certify::kExtraOffset, check.data(), 8) == 0 ? 1 : kCertifyBadRequest;
        }
        return kCertifyBadRequest;
    }
    case certify::kAbort:
        if (size != certify::kAbortSize || parameter != 0)
            return kCertifyBadRequest;
        if (!m_verifying)
            return 0;
        m_abort = true;
        return 1;
    default:
        return kCertifyBadRequest;
    }
}

std::optional<std::uint32_t> CCertifySession::BeginVerify(const std::uint8_t* buffer)
{
    if (!m_open || m_verifying || ReadWord(buffer, certify::kSizeOffset) != certify::kVerifySize)
        return std::nullopt;
    m_verifying = true;
    m_abort = false;
    return ReadWord(buffer, certify::kParameterOffset);
}

std::int32_t CCertifySession::FinishVerify(std::uint8_t* buffer, const VerifyEnd& end)
{
    m_verifying = false;
    if (m_abort) {
        m_abort = false;
        WriteWord(buffer, certify::kParameterOffset, 0);
        return 0;
    }
    switch (end.kind) {
    case VerifyEnd::Kind::Verified:
        WriteWord(buffer, certify::kParameterOffset, end.outcome);
        if (end.outcome & certify::kOutcomePasscode)
            std::memcpy(buffer + certify::kExtraOffset, end.passcode.data(), 8);
        return 1;
    case VerifyEnd::Kind::RetryLimit:
        WriteWord(buffer, certify::kParameterOffset, 0xFFFFFFFFu);
        return 0;
    case VerifyEnd::Kind::Cancelled:
        WriteWord(buffer, certify::kParameterOffset, 0);
        return 0;
    case VerifyEnd::Kind::Failed:
        WriteWord(buffer, certify::kParameterOffset, end.outcome);
        return 0;
    case VerifyEnd::Kind::Returned:
        return end.value;
    }
    return kCertifyBadRequest;
}

std::string CCertifySession::Text(const std::string& key) const
{
    const auto it = m_texts.find(key);
    return it == m_texts.end() ? std::string() : it->second;
}

std::string CCertifySession::RequestName(std::uint32_t code)
{
    switch (code) {
    case certify::kOpen: return "Open";
    case certify::kSetText: return "SetText";
    case certify::kVerify: return "Verify";
    case certify::kClose: return "Close";
    case certify::kAbort: return "Abort";
    default: {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%08X", code);
        return buf;
    }
    }
}

std::string StripQuotes(const std::string& value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

std::string FillTarget(const std::string& text, const std::string& target)
{
    static const std::string placeholder = "%Target1%";
    std::string out = text;
    for (std::size_t at = out.find(placeholder); at != std::string::npos; at = out.find(placeholder, at + target.size()))
        out.replace(at, placeholder.size(), target);
    return out;
}

std::string LanguageSection(std::uint16_t langId)
{
    switch (langId) {
    case 1028: return "ChineseTW";
    case 3076: return "ChineseHK";
    case 2052: return "Chinese";
    case 1046: return "PortugueseBr";
    default: break;
    }
    switch (langId & 0x3FF) {
    case 0x04: return "Chinese";
    case 0x05: return "Czech";
    case 0x06: return "Danish";
    case 0x07: return "German";
    case 0x08: return "Greek";
    case 0x0A: return "Spanish";
    case 0x0B: return "Finnish";
    case 0x0C: return "French";
    case 0x0E: return "Hungarian";
    case 0x10: return "Italian";
    case 0x11: return "Japanese";
    case 0x12: return "Korean";
    case 0x13: return "Dutch";
    case 0x14: return "Norwegian";
    case 0x15: return "Polish";
    case 0x16: return "Portuguese";
    case 0x19: return "Russian";
    case 0x1B: return "Slovak";
    case 0x1D: return "Swedish";
    case 0x1F: return "Turkish";
    default: return "English";
    }
}

} // namespace sim

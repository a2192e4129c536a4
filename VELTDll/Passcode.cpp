// Passcodes: which typed passwords the firmware's prompt could reproduce, and
// their 8-byte encoding from the keyboard scan codes.
#include <cstring>
#include <vector>

#include "Cmd5.h"
#include "DbgLog.h"
#include "EnginePlatform.h"
#include "PassWordFUN.h"
#include "ScanCodes.h"
#include "SecureWipe.h"

namespace {

// A private OEM copy of the password, wiped when it goes.
class OemCopy {
public:
    OemCopy(EnginePlatform& platform, const std::string& text) : m_text(text)
    {
        if (!m_text.empty())
            platform.AnsiToOem(m_text.data(), static_cast<DWORD>(m_text.size()));
    }
    ~OemCopy() { SecureWipe(m_text.data(), m_text.size()); }
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

} // namespace

// The scan codes of the password through this process's key-scan service.
bool PassWordFUN::ScanCodesOf(const std::string& oem, const std::string& text,
                              std::uint8_t (&codes)[scancode::kMaxPasswordBytes])
{
    return scancode::PasswordScanCodes(oem, text, [this](unsigned char c) { return m_platform.OemKeyScan(c); },
                                       codes);
}

int PassWordFUN::IsLegalPass(std::string text)
{
    DL_SCOPE(DL_INF, "PassWordFUN::IsLegalPass");
    DL_LOG(DL_INF).Print("check string length");
    if (text.empty() || text.size() > scancode::kMaxPasswordBytes) {
        SecureWipe(text.data(), text.size());
        return 0;
    }
    DL_LOG(DL_INF).Print("check characters");
    const OemCopy oem(m_platform, text);
    std::uint8_t scanCodes[scancode::kMaxPasswordBytes] = {};
    const int legal = ScanCodesOf(oem.Text(), text, scanCodes) && scancode::AllLegal(scanCodes, text.size()) ? 1 : 0;
    SecureWipe(scanCodes, sizeof scanCodes);
    SecureWipe(text.data(), text.size());
    return legal;
}

int PassWordFUN::GetPassCode(std::string text, BYTE* passcode)
{
    DL_SCOPE(DL_INF, "PassWordFUN::GetPassCode");
    DL_LOG(DL_INF).Print("initialize");
    const OemCopy oem(m_platform, text);
    DL_LOG(DL_INF).Print("check string length");
    if (text.empty() || text.size() > scancode::kMaxPasswordBytes) {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", 0);
        SecureWipe(text.data(), text.size());
        return 0;
    }
    DL_LOG(DL_INF).Print("memalloc");
    std::uint8_t scanCodes[scancode::kMaxPasswordBytes] = {};
    BYTE result[16] = {};
    const auto cleanUp = [&] {
        SecureWipe(scanCodes, sizeof scanCodes);
        SecureWipe(result, sizeof result);
        SecureWipe(text.data(), text.size());
    };

    DL_LOG(DL_INF).Print("create scancode");
    ScanCodesOf(oem.Text(), text, scanCodes); // the length was checked above

    if (ScInfo) {
        DL_LOG(DL_INF).Print("class 2.1 create passcode");
        Cmd5 md5;
        md5.Digest(scanCodes, text.size());
        std::memcpy(result, md5.Digest(), sizeof result);
    } else {
        DL_LOG(DL_INF).Print("class 2.0 create passcode");
        const auto compare = QSC_Compare();
        if (compare == nullptr || !compare(scanCodes, static_cast<int>(text.size()), result)) {
            cleanUp();
            return 0;
        }
    }
    DL_LOG(DL_INF).Print("copy upper 8Bytes of result");
    std::memcpy(passcode, result, 8);
    DL_LOG(DL_INF).Print("cleaning...");
    cleanUp();
    return 1;
}

// The checks every new password passes before anything else happens, with
// the calling operation's trace lines: 0 and the passcode, or the code of
// the first failed check (18 empty, 19 too long, 20 illegal character, the
// caller's own code when the passcode cannot be made).
int PassWordFUN::CheckNewPassword(const std::string& text, BYTE* passcode, int passcodeFailure,
                                  const DL::CDbgLog& site)
{
    site.Print("Check no input!");
    if (text.empty())
        return 0x12;
    site.Print("Check length!");
    if (text.size() > scancode::kMaxPasswordBytes)
        return 0x13;
    site.Print("Check character legality!");
    if (!IsLegalPass(text))
        return 0x14;
    site.Print("create passcode using MD5!");
    if (!GetPassCode(text, passcode))
        return passcodeFailure;
    return 0;
}

// Construction and library binding.
#include "PassWordFUN.h"

#include <cstdio>

#include "DbgLog.h"
#include "EnginePlatform.h"
#include "GetPath.h"
#include "SecureWipe.h"

CertifyResult::~CertifyResult()
{
    SecureWipe(passcode, sizeof passcode);
}

PassWordFUN::PassWordFUN(EnginePlatform& platform) : m_platform(platform) {}

PassWordFUN::PassWordFUN() : PassWordFUN(DefaultEnginePlatform()) {}

PassWordFUN::~PassWordFUN()
{
    SecureWipe(VerifiedPasscode, sizeof VerifiedPasscode);
}

fwlib::QSC_Insert_t PassWordFUN::QSC_Insert() const
{
    return fwlib::EntryPointCast<fwlib::QSC_Insert_t>(QSCCallSlots[kSlotInsert]);
}

fwlib::QSC_Compare_t PassWordFUN::QSC_Compare() const
{
    return fwlib::EntryPointCast<fwlib::QSC_Compare_t>(QSCCallSlots[kSlotCompare]);
}

namespace {

template <class Fn>
bool Bind(EnginePlatform& platform, HMODULE module, const char* name, Fn& slot)
{
    slot = fwlib::EntryPointCast<Fn>(platform.FindEntryPoint(module, name));
    return slot != nullptr;
}

} // namespace

int PassWordFUN::PrepareExportFunc()
{
    DL_SCOPE(DL_INF, "PassWordFUN::PrepareExportFunc");
    CGetPath path(m_platform);
    const char* folder = path.GetInstallPath();
    char file[MAX_PATH * 2] = {};
    const auto fail = [&] {
        DL_LOG(DL_ERR).Print("Error Code: 0x%x", 0);
        return 0;
    };

    // The firmware libraries stay loaded for the life of the process: their
    // handles are deliberately not kept.
    std::snprintf(file, sizeof file, "%s%s", folder, "QSCIEX.DLL");
    const HMODULE qsciex = m_platform.LoadModule(file);
    if (qsciex == nullptr)
        return fail();
    if (!Bind(m_platform, qsciex, "QSCIGetWithOpenIF", QSCIGetWithOpenIF) ||
        !Bind(m_platform, qsciex, "QSCISetWithOpenIF", QSCISetWithOpenIF) ||
        !Bind(m_platform, qsciex, "QSCISupportCheck", QSCISupportCheck) ||
        !Bind(m_platform, qsciex, "QSCIOpenInterface", QSCIOpenInterface) ||
        !Bind(m_platform, qsciex, "QSCICloseInterface", QSCICloseInterface) ||
        !Bind(m_platform, qsciex, "QSCIGet", QSCIGet) || !Bind(m_platform, qsciex, "QSCISet", QSCISet))
        return fail();

    // By bare name: the platform's library search order, not the install folder.
    const HMODULE qhci = m_platform.LoadModule("QHCI.DLL");
    if (qhci == nullptr)
        return fail();
    if (!Bind(m_platform, qhci, "QHCIFunction", QHCIFunction) ||
        !Bind(m_platform, qhci, "QHCIOwnerString", QHCIOwnerString))
        return fail();

    std::snprintf(file, sizeof file, "%s%s", folder, "QSCCALL.DLL");
    const HMODULE qsccall = m_platform.LoadModule(file);
    if (qsccall == nullptr)
        return fail();
    for (int slot = 0; slot < 24; ++slot) {
        if (!Bind(m_platform, qsccall, fwlib::kQsccallSlots[slot], QSCCallSlots[slot]))
            return fail();
    }
    return 1;
}

int PassWordFUN::LoadCertifyFunc()
{
    // Loads again on every call, whatever hPwChk held before.
    CGetPath path(m_platform);
    char file[MAX_PATH * 2] = {};
    std::snprintf(file, sizeof file, "%s%s", path.GetInstallPath(), "ORNPWCHK.DLL");
    hPwChk = m_platform.LoadModule(file);
    if (hPwChk == nullptr)
        return 0;
    certify = fwlib::EntryPointCast<fwlib::certify_t>(m_platform.FindEntryPoint(hPwChk, "certify"));
    return certify != nullptr ? 1 : 0;
}

int PassWordFUN::FreeCertifyFunc()
{
    if (hPwChk != nullptr) {
        m_platform.ReleaseModule(hPwChk);
        hPwChk = nullptr;
    }
    certify = nullptr;
    return 1;
}

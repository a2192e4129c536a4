#include "ComTestSupport.h"

namespace pwtest {

std::wstring LibraryPath()
{
    std::wstring folder = BinFolder(); // ...\bin\com\ .
    folder.pop_back();
    folder.erase(folder.rfind(L'\\') + 1);
    return folder + L"VELTDll.dll";
}

DWORD Regsvr32(const std::wstring& options)
{
    const ProcessResult r = Run(L"regsvr32.exe " + options + L" " + Quote(LibraryPath()));
    return r.started ? r.exitCode : 0xFFFFFFFF;
}

void CleanRegistration()
{
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (const wchar_t* key : {L"Software\\Classes\\CLSID\\{3B1C7E52-9A0D-4F61-8E2B-5C7D90A1E3F4}",
                                   L"Software\\Classes\\CLSID\\{6E2A4D18-0B7C-4C95-A3D1-2F8E6B0C9D57}",
                                   L"Software\\Classes\\TypeLib\\{A5D3F0C2-7E41-4B8A-9C06-1D2E3F4A5B6C}",
                                   L"Software\\Classes\\Interface\\{C7E9B2A4-5D13-4F0E-8A62-9B1C0D2E3F40}",
                                   L"Software\\Classes\\Interface\\{A817E7A2-43FA-11D0-9E44-00AA00B6770A}",
                                   L"Software\\Classes\\Interface\\{D2F4A6B8-1C3E-4A5B-9D7F-0E1A2B3C4D5E}"})
            RegDeleteTreeW(root, key);
    }
}

} // namespace pwtest

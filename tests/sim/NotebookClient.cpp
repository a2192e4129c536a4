// A second process on the same virtual notebook: loads "QSCIEX.DLL" from its
// own folder and runs one exchange.
//   notebook_client status              prints the status words "ValueB ValueA"
//   notebook_client set-user HEX16      registers a user passcode, prints the completion
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "FirmwareLibraries.h"
#include "NotebookState.h"

namespace {

struct Qsciex {
    fwlib::QSCIOpenInterface_t open;
    fwlib::QSCICloseInterface_t close;
    fwlib::QSCIGet_t get;
    fwlib::QSCISet_t set;
};

template <class T>
T Bind(HMODULE module, const char* name)
{
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Open, connect, one request, disconnect, close; the request's completion or 0xFF.
int Exchange(const Qsciex& q, FirmwareCallBlock& block, bool get)
{
    DWORD handle = 0;
    if (!q.open(&handle))
        return 0xFF;
    FirmwareCallBlock connect{};
    connect.Request = fw::kRequestConnection;
    connect.ValueB = fw::kSelectorConnect;
    connect.Function = fw::kSystemWrite;
    if (!q.set(handle, &connect) || connect.Completion() != fw::kDone)
        return 0xFF;
    const BOOL ok = get ? q.get(handle, &block) : q.set(handle, &block);
    FirmwareCallBlock disconnect{};
    disconnect.Request = fw::kRequestConnection;
    disconnect.Function = fw::kSystemWrite;
    q.set(handle, &disconnect);
    q.close(handle);
    return ok ? block.Completion() : 0xFF;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.erase(folder.rfind(L'\\') + 1);
    // The firmware library stays loaded for the life of the process, as in the engine.
    HMODULE module = LoadLibraryW((folder + L"QSCIEX.DLL").c_str());
    if (module == nullptr)
        return 3;
    const Qsciex q{Bind<fwlib::QSCIOpenInterface_t>(module, "QSCIOpenInterface"),
                   Bind<fwlib::QSCICloseInterface_t>(module, "QSCICloseInterface"),
                   Bind<fwlib::QSCIGet_t>(module, "QSCIGet"), Bind<fwlib::QSCISet_t>(module, "QSCISet")};
    if (!q.open || !q.close || !q.get || !q.set)
        return 3;

    FirmwareCallBlock block{};
    if (std::strcmp(argv[1], "status") == 0) {
        block.Request = fw::kRequestSecurity;
        block.Function = fw::kSystemRead;
        if (Exchange(q, block, true) != fw::kDone)
            return 1;
        std::printf("%08lX %08lX\n", static_cast<unsigned long>(block.ValueB), static_cast<unsigned long>(block.ValueA));
        return 0;
    }
    if (std::strcmp(argv[1], "set-user") == 0 && argc == 3) {
        const auto passcode = sim::ParsePasscodeHex(argv[2]);
        if (!passcode)
            return 2;
        block.Request = fw::kRequestPassword;
        block.SubRequest = 0x0005;
        block.Function = fw::kSystemWrite;
        block.Length = 4;
        fw::PutPasscode(block, passcode->data());
        std::printf("%02X\n", Exchange(q, block, false));
        return 0;
    }
    return 2;
}

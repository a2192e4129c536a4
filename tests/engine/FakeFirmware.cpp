#include "FakeFirmware.h"

#include <cstdio>

namespace fake {
namespace {

Firmware g_firmware;

BOOL Dispatch(const char* op, FirmwareCallBlock* block)
{
    Firmware& f = g_firmware;
    f.calls.push_back({op, *block});
    if (f.answer)
        return f.answer(op, *block);
    return Done(*block);
}

BOOL WINAPI Open(DWORD* handle)
{
    g_firmware.calls.push_back({"open", {}});
    *handle = 0x1234;
    return g_firmware.openResult;
}
BOOL WINAPI Close(DWORD handle)
{
    FirmwareCallBlock b{};
    b.Data0 = handle;
    g_firmware.calls.push_back({"close", b});
    return g_firmware.closeResult;
}
BOOL WINAPI Get(DWORD, FirmwareCallBlock* block) { return Dispatch("get", block); }
BOOL WINAPI Set(DWORD, FirmwareCallBlock* block) { return Dispatch("set", block); }
BOOL WINAPI OneCall(FirmwareCallBlock* block) { return Dispatch("onecall", block); }
BOOL WINAPI Qhci(FirmwareCallBlock* block) { return Dispatch("qhci", block); }
BOOL WINAPI Unused() { return TRUE; }
BOOL WINAPI Insert(int, BYTE* value)
{
    g_firmware.calls.push_back({"insert", {}});
    *value = g_firmware.insertByte;
    return g_firmware.insertResult;
}
BOOL WINAPI Compare(const BYTE* input, int count, BYTE* output)
{
    g_firmware.calls.push_back({"compare", {}});
    for (int i = 0; i < 16; ++i)
        output[i] = static_cast<BYTE>(input[i % count] + i);
    return TRUE;
}

} // namespace

Firmware& Current()
{
    return g_firmware;
}

void Reset()
{
    g_firmware = Firmware{};
}

std::vector<FirmwareCallBlock> Firmware::Blocks(const std::string& op) const
{
    std::vector<FirmwareCallBlock> out;
    for (const Call& c : calls)
        if (c.op == op)
            out.push_back(c.block);
    return out;
}

std::string Firmware::Trace() const
{
    std::string out;
    for (const Call& c : calls) {
        if (!out.empty())
            out += ' ';
        out += c.op;
        if (c.op == "get" || c.op == "set" || c.op == "onecall" || c.op == "qhci") {
            char text[32];
            std::snprintf(text, sizeof text, ":%04X/%04X", c.block.Request,
                          c.op == "set" && c.block.SubRequest ? c.block.SubRequest : c.block.ValueB & 0xFFFF);
            out += text;
        }
    }
    return out;
}

void Bind(PassWordFUN& engine)
{
    engine.QSCIGetWithOpenIF = OneCall;
    engine.QSCISetWithOpenIF = OneCall;
    engine.QSCISupportCheck = Unused;
    engine.QSCIOpenInterface = Open;
    engine.QSCICloseInterface = Close;
    engine.QSCIGet = Get;
    engine.QSCISet = Set;
    engine.QHCIFunction = Qhci;
    engine.QHCIOwnerString = Unused;
    for (FARPROC& slot : engine.QSCCallSlots)
        slot = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(Unused));
    engine.QSCCallSlots[17] = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(Insert));
    engine.QSCCallSlots[20] = reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(Compare));
}

} // namespace fake

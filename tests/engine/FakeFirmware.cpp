#include "FakeFirmware.h"

#include <cstdio>
#include <cstring>

namespace fake {
namespace {

Firmware g_firmware;
Certify g_certify;

std::uint32_t Word(const BYTE* buffer, std::size_t offset)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(buffer[offset + i]) << (8 * i);
    return value;
}

void PutWord(BYTE* buffer, std::size_t offset, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        buffer[offset + i] = static_cast<BYTE>(value >> (8 * i));
}

LONG WINAPI CertifyFake(BYTE* buffer)
{
    Certify& c = g_certify;
    CertifyRequest r;
    r.code = Word(buffer, certify::kCodeOffset);
    r.size = Word(buffer, certify::kSizeOffset);
    r.parameter = Word(buffer, certify::kParameterOffset);
    r.extra = Word(buffer, certify::kExtraOffset);
    std::memcpy(r.check, buffer + certify::kExtraOffset, 8);
    if (r.code == certify::kSetText)
        r.text.assign(reinterpret_cast<const char*>(buffer + certify::kParameterOffset));
    c.requests.push_back(r);
    if (c.onRequest)
        c.onRequest(r);

    switch (r.code) {
    case certify::kOpen:
        return c.openResult;
    case certify::kVerify: {
        if (c.duringVerify)
            c.duringVerify();
        if (c.aborted) {
            PutWord(buffer, certify::kParameterOffset, 0);
            return 0;
        }
        PutWord(buffer, certify::kParameterOffset, c.outcome);
        std::memcpy(buffer + certify::kExtraOffset, c.passcode, 8);
        return c.verifyResult;
    }
    case certify::kAbort:
        c.aborted = true;
        return 1;
    default:
        return 1;
    }
}

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
    g_certify = Certify{};
}

Certify& CurrentCertify()
{
    return g_certify;
}

FARPROC CertifyEntryPoint()
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(CertifyFake));
}

std::string Certify::Trace() const
{
    std::string out;
    for (const CertifyRequest& r : requests) {
        if (!out.empty())
            out += ' ';
        char text[32] = {};
        switch (r.code) {
        case certify::kOpen:
            std::snprintf(text, sizeof text, "open:%u", r.extra);
            break;
        case certify::kSetText:
            std::snprintf(text, sizeof text, "text");
            break;
        case certify::kVerify:
            std::snprintf(text, sizeof text, "verify:%08X", r.parameter);
            break;
        case certify::kClose:
            std::snprintf(text, sizeof text, "close:%X", r.parameter);
            break;
        case certify::kAbort:
            std::snprintf(text, sizeof text, "abort");
            break;
        default:
            std::snprintf(text, sizeof text, "?%08X", r.code);
        }
        out += text;
    }
    return out;
}

std::vector<std::string> Certify::Texts() const
{
    std::vector<std::string> texts;
    for (const CertifyRequest& r : requests)
        if (r.code == certify::kSetText)
            texts.push_back(r.text);
    return texts;
}

const CertifyRequest* Certify::Find(std::uint32_t code) const
{
    for (const CertifyRequest& r : requests)
        if (r.code == code)
            return &r;
    return nullptr;
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

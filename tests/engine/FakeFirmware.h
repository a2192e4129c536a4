// An in-process firmware for the engine's decision tests: plain functions
// bound straight into the engine's entry-point fields, answering through a
// handler the test sets and recording every call in order. (The end-to-end
// tests use the virtual notebook's libraries instead.)
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "PassWordFUN.h"

namespace fake {

struct Call {
    std::string op; // "open", "close", "get", "set", "onecall", "qhci", "insert", "compare"
    FirmwareCallBlock block{}; // as the engine sent it
};

struct Firmware {
    // Answer a block in place; return what the entry point returns. The
    // default completes every request.
    std::function<BOOL(const std::string& op, FirmwareCallBlock& block)> answer;
    BOOL openResult = TRUE;
    BOOL closeResult = TRUE;
    BYTE insertByte = 0;
    BOOL insertResult = TRUE;
    std::vector<Call> calls;

    // Requests of one kind, in order.
    std::vector<FirmwareCallBlock> Blocks(const std::string& op) const;
    // "set 0600/8002", "get 0601/0000", ... one word per call.
    std::string Trace() const;
};

// A verification library: records every request of the 520-byte buffer and
// answers as scripted.
struct CertifyRequest {
    std::uint32_t code = 0;
    std::uint32_t size = 0;
    std::uint32_t parameter = 0; // offset 8
    std::uint32_t extra = 0;     // offset 12
    BYTE check[8] = {};          // offsets 12..19
    std::string text;            // text requests
};

struct Certify {
    LONG openResult = 1;
    LONG verifyResult = 1;
    DWORD outcome = 0;   // written over the flags word of a verify request
    BYTE passcode[8] = {}; // offsets 12..19 of the verify answer
    // Runs while the verify request is outstanding, as the real dialog's
    // message loop does; an abort arriving meanwhile makes the verify answer
    // a cancellation.
    std::function<void()> duringVerify;
    bool aborted = false;
    // Sees every request as it arrives (before the answer).
    std::function<void(const CertifyRequest&)> onRequest;
    std::vector<CertifyRequest> requests;

    // "open:8 text text text verify:02091003 close:800", one word per request.
    std::string Trace() const;
    std::vector<std::string> Texts() const;
    const CertifyRequest* Find(std::uint32_t code) const;
};

Certify& CurrentCertify();
// The entry point to hand out for "certify".
FARPROC CertifyEntryPoint();

// The firmware the entry points below talk to.
Firmware& Current();
void Reset();

// Binds every entry point of the engine to the fake.
void Bind(PassWordFUN& engine);

// A completed reply: completion byte 0.
inline BOOL Done(FirmwareCallBlock& block)
{
    block.SetCompletion(fw::kDone);
    return TRUE;
}

} // namespace fake

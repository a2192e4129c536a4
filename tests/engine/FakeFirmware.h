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

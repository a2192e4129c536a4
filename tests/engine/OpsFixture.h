// A fixture for the operations: the engine bound to the in-process firmware
// and verification library, with a table of read replies and the writes to
// refuse.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <cstring>
#include <functional>
#include <utility>

#include "FakeFirmware.h"
#include "TestPlatform.h"
#include "TestSupport.h"
#include "Trace.h"

namespace ops {

// Natural byte order, as the verification library hands passcodes back.
inline const BYTE kAnswerPasscode[8] = {0xA1, 0xA2, 0xA3, 0xA4, 0xB5, 0xB6, 0xB7, 0xB8};
// The block form of kAnswerPasscode: bytes 4..7 first.
inline constexpr DWORD kAnswerHigh = 0xB8B7B6B5; // Data0 / ValueA
inline constexpr DWORD kAnswerLow = 0xA4A3A2A1;  // Data1 / ValueB

inline std::string HexOf(const BYTE* bytes, int n = 8)
{
    return pwtest::Hex(std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(n)));
}

class Ops : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        fake::Bind(engine);
        platform.certifyEntry = fake::CertifyEntryPoint();
        firmware.answer = [this](const std::string& op, FirmwareCallBlock& b) { return Answer(op, b); };
        // Passcodes are computed on the US layout, as after start-up.
        PassWordFUN().ActivateUSKeyboard();
    }

    // Reads answer from `reads` ((request, selector) -> (ValueA, ValueB));
    // writes whose (request, sub-code) is in `refused` come back with
    // `refusal` as completion and `refusalValueA`.
    BOOL Answer(const std::string& op, FirmwareCallBlock& b)
    {
        if (op == "get") {
            const auto found = reads.find({b.Request, static_cast<WORD>(b.ValueB & 0xFFFF)});
            if (failedReads.count({b.Request, static_cast<WORD>(b.ValueB & 0xFFFF)})) {
                b.SetCompletion(0x86);
                return TRUE;
            }
            if (found != reads.end()) {
                b.ValueA = found->second.first;
                b.ValueB = found->second.second;
            }
        } else if (op == "set" && refused.count({b.Request, b.SubRequest})) {
            b.SetCompletion(refusal);
            b.ValueA = refusalValueA;
            return TRUE;
        } else if (op == "qhci" && qhci) {
            return qhci(b);
        }
        return fake::Done(b);
    }

    // The passcode the engine computes for a text on this machine class.
    std::string PasscodeOf(const std::string& text)
    {
        BYTE code[8] = {};
        EXPECT_EQ(engine.GetPassCode(text, code), 1);
        return HexOf(code);
    }
    static std::string BlockPasscode(const FirmwareCallBlock& b)
    {
        BYTE code[8] = {};
        fw::GetPasscode(b.Data0, b.Data1, code);
        return HexOf(code);
    }
    static std::string ValuePasscode(const FirmwareCallBlock& b)
    {
        BYTE code[8] = {};
        fw::GetPasscode(b.ValueA, b.ValueB, code);
        return HexOf(code);
    }
    // The firmware's record without the class 2.0 passcode routine's calls.
    std::string FirmwareTrace() const
    {
        std::string t = firmware.Trace();
        for (std::size_t at; (at = t.find("compare")) != std::string::npos;)
            t.erase(at, t.compare(at, 8, "compare ") == 0 ? 8 : 7);
        while (!t.empty() && t.back() == ' ')
            t.pop_back();
        return t;
    }
    // The writes of one request code, in order (connect/disconnect left out).
    std::vector<FirmwareCallBlock> Writes(WORD request) const
    {
        std::vector<FirmwareCallBlock> out;
        for (const auto& b : firmware.Blocks("set"))
            if (b.Request == request)
                out.push_back(b);
        return out;
    }
    void Verified(LONG result, DWORD outcome, bool withPasscode = true)
    {
        dialog.verifyResult = result;
        dialog.outcome = outcome | (withPasscode ? certify::kOutcomePasscode : 0);
        std::memcpy(dialog.passcode, kAnswerPasscode, 8);
    }

    fake::Firmware& firmware = fake::Current();
    fake::Certify& dialog = fake::CurrentCertify();
    std::map<std::pair<WORD, WORD>, std::pair<DWORD, DWORD>> reads;
    std::set<std::pair<WORD, WORD>> failedReads;
    std::set<std::pair<WORD, WORD>> refused;
    BYTE refusal = 0x86;
    DWORD refusalValueA = 1;
    std::function<BOOL(FirmwareCallBlock&)> qhci;
    TestPlatform platform;
    PassWordFUN engine{platform};
};

} // namespace ops

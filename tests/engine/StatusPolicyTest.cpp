// Control status of both panels and the user policy, read and written.
#include "OpsFixture.h"

using namespace ops;
using pwtest::Trace;

namespace {

class StatusPolicy : public Ops {
protected:
    void SetUp() override
    {
        Ops::SetUp();
        qhci = [this](FirmwareCallBlock& b) {
            ownerProbes.push_back(b);
            return ownerSupported ? fake::Done(b) : FALSE;
        };
    }
    // Machine state for the control status.
    void Machine(DWORD security, DWORD pcPolicy, bool hddOccupied, DWORD policyEx = 0, DWORD page8200Ex = 0)
    {
        reads[{0x0604, 0x0000}] = {0, pcPolicy};
        reads[{0x0604, 0x0081}] = {policyEx, 0};
        reads[{0x0604, 0x8200}] = {page8200Ex, 0};
        reads[{0x0601, 0x0000}] = {0, security};
        reads[{0x0603, 0x0000}] = {0, 0};                    // HDD password supported
        reads[{0x0603, 0x0100}] = {hddOccupied ? 0u : 1u, 0}; // low half 0: slot taken
    }
    // The reads that went out: "0604/0081 0601/0000 ..." and "qhci" for the probe.
    std::string ReadTrace() const
    {
        std::string out;
        for (const auto& c : firmware.calls) {
            char text[16] = {};
            if (c.op == "get")
                std::snprintf(text, sizeof text, "%04X/%04X", c.block.Request, c.block.ValueB & 0xFFFF);
            else if (c.op == "qhci")
                std::snprintf(text, sizeof text, "qhci:%04X", c.block.Request);
            else
                continue;
            out += (out.empty() ? "" : " ") + std::string(text);
        }
        return out;
    }
    bool ownerSupported = true;
    std::vector<FirmwareCallBlock> ownerProbes;
};

UserPolicy AllFields(int value)
{
    return UserPolicy{value, value, value, value, value, value, value, value, value};
}

std::vector<int> Fields(const UserPolicy& p)
{
    return {p.nPermitSetUPass,   p.nPermitDelUPass, p.nPermitChgUPass, p.nPermitOpenQSS,  p.nPermitUpdateBIOS,
            p.nPermitSetDelHPass, p.nPermitChgHPass, p.nPermitOnOffTpm, p.nPermitOwnClrTpm};
}

constexpr DWORD U = 0x1; // user password registered
constexpr DWORD S = 0x2; // supervisor password registered

} // namespace

TEST_F(StatusPolicy, ControlStatusRules)
{
    struct Row {
        const char* name;
        DWORD security;
        BYTE role;
        DWORD pc;
        bool hdd, owner;
        std::vector<LONG> user;       // set, delete, change, owner edit
        std::vector<LONG> supervisor; // set, delete, change, policy
    };
    const Row rows[] = {
        {"nothing registered", 0, ROLE_NONE, 0, false, true, {1, 0, 0, 1}, {1, 0, 0, 0}},
        {"supervisor only, restricted", S, ROLE_NONE, 0, false, true, {0, 0, 0, 1}, {0, 0, 0, 0}},
        {"supervisor only, users may register", S, ROLE_NONE, 0x2, false, true, {1, 0, 0, 1}, {0, 0, 0, 0}},
        {"supervisor only, verified user restricted", S, ROLE_USER, 0, false, true, {0, 0, 0, 1}, {0, 0, 0, 0}},
        {"supervisor only, verified supervisor", S, ROLE_SUPERVISOR, 0, false, true, {1, 0, 0, 1}, {0, 1, 1, 1}},
        {"both, user, delete allowed", U | S, ROLE_USER, 0x4, false, true, {0, 1, 0, 1}, {0, 0, 0, 0}},
        {"both, user, change allowed", U | S, ROLE_USER, 0x8, false, true, {0, 0, 1, 1}, {0, 0, 0, 0}},
        {"both, none is not restricted", U | S, ROLE_NONE, 0, false, true, {0, 1, 1, 1}, {0, 0, 0, 0}},
        {"both, supervisor", U | S, ROLE_SUPERVISOR, 0, false, true, {0, 1, 1, 1}, {0, 1, 1, 1}},
        {"user only", U, ROLE_USER, 0, false, true, {0, 1, 1, 1}, {0, 0, 0, 0}},
        {"hdd slot taken", U, ROLE_USER, 0xE, true, true, {0, 0, 0, 1}, {0, 0, 0, 0}},
        {"no owner string", 0, ROLE_NONE, 0, false, false, {1, 0, 0, 0}, {1, 0, 0, 0}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Machine(r.security, r.pc, r.hdd);
        ownerSupported = r.owner;
        engine.Role = r.role;
        CTLStatus user{9, 9, 9, 9, 7};
        EXPECT_EQ(engine.GetUserCTLStatus(&user), 1);
        EXPECT_EQ((std::vector<LONG>{user.IsSetPassButtonEnabled, user.IsDeletePassButtonEnabled,
                                     user.IsChangePassButtonEnabled, user.IsOwnerEditEnabled}),
                  r.user);
        EXPECT_EQ(user.IsChangeUPolicyButtonEnabled, 7) << "not the user panel's";
        CTLStatus supervisor{9, 9, 9, -3, 9};
        EXPECT_EQ(engine.GetSupervisorCTLStatus(&supervisor), 1);
        EXPECT_EQ((std::vector<LONG>{supervisor.IsSetPassButtonEnabled, supervisor.IsDeletePassButtonEnabled,
                                     supervisor.IsChangePassButtonEnabled, supervisor.IsChangeUPolicyButtonEnabled}),
                  r.supervisor);
        EXPECT_EQ(supervisor.IsOwnerEditEnabled, -3) << "not the supervisor panel's";
    }
    ASSERT_FALSE(ownerProbes.empty());
    EXPECT_EQ(ownerProbes.back().Request, 0x0029);
    EXPECT_EQ(ownerProbes.back().Data1 & 0xFFFF, 0u);
    EXPECT_EQ(ownerProbes.back().Function, fw::kHardwareRead);
}

TEST_F(StatusPolicy, ControlStatusReadsAndTraceLines)
{
    Machine(U, 0, true);
    CTLStatus status{};
    Trace trace;
    engine.GetUserCTLStatus(&status);
    EXPECT_EQ(ReadTrace(), "0604/0000 0604/0081 0604/8200 0604/0200 0601/0000 0603/0000 0603/0100 qhci:0029");
    const std::vector<std::string> lines = {"HDD cue is occupied, all USER password operations are inhibited",
                                            "check for SetUPassButton", "check for DeleteUPassButton",
                                            "check for ChangeUPassButton", "Check Owner String supported or not"};
    EXPECT_EQ(trace.Messages("PassWordFUN::GetUserCTLStatus"), lines);

    // Bit 31 of the policy's second word skips the 0x8200 page; bit 7 of
    // the last 0x8200 reply skips the 0x0200 page.
    fake::Reset();
    firmware.answer = [this](const std::string& op, FirmwareCallBlock& b) { return Answer(op, b); };
    Machine(U, 0, false, 0, 0x80);
    trace.Mark();
    engine.GetSupervisorCTLStatus(&status);
    EXPECT_EQ(ReadTrace(), "0604/0000 0604/0081 0604/8200 0601/0000");
    EXPECT_EQ(engine.dwPolicy8200Ex, 0x80u);
    const std::vector<std::string> supervisorLines = {"check for SetSPassButton", "check for DeleteSPassButton",
                                                      "check for ChangeSPassButton", "check for ChangeUPolicyButton"};
    EXPECT_EQ(trace.Messages("PassWordFUN::GetSupervisorCTLStatus"), supervisorLines);

    fake::Reset();
    firmware.answer = [this](const std::string& op, FirmwareCallBlock& b) { return Answer(op, b); };
    Machine(U, 0, false, 0x80000000u, 0);
    engine.dwPolicy8200Ex = 0;
    engine.GetSupervisorCTLStatus(&status);
    EXPECT_EQ(ReadTrace(), "0604/0000 0604/0081 0604/0200 0601/0000");
}

TEST_F(StatusPolicy, ControlStatusReadFailureLeavesEveryOwnedButtonEnabled)
{
    const std::pair<WORD, WORD> failing[] = {{0x0604, 0x0000}, {0x0604, 0x8200}, {0x0601, 0x0000}, {0x0603, 0x0100}};
    for (const auto& f : failing) {
        SCOPED_TRACE(std::to_string(f.first) + "/" + std::to_string(f.second));
        Machine(U | S, 0, true);
        failedReads = {f};
        engine.Role = ROLE_USER;
        CTLStatus user{0, 0, 0, 0, 5};
        Trace trace;
        EXPECT_EQ(engine.GetUserCTLStatus(&user), 0);
        EXPECT_EQ(trace.Messages("PassWordFUN::GetUserCTLStatus"), std::vector<std::string>{"Error Code: 0x0"});
        EXPECT_EQ((std::vector<LONG>{user.IsSetPassButtonEnabled, user.IsDeletePassButtonEnabled,
                                     user.IsChangePassButtonEnabled, user.IsOwnerEditEnabled,
                                     user.IsChangeUPolicyButtonEnabled}),
                  (std::vector<LONG>{1, 1, 1, 1, 5}));
        if (f.first == 0x0603)
            continue; // the supervisor panel does not read the HDD state
        CTLStatus supervisor{0, 0, 0, 5, 0};
        EXPECT_EQ(engine.GetSupervisorCTLStatus(&supervisor), 0);
        EXPECT_EQ((std::vector<LONG>{supervisor.IsSetPassButtonEnabled, supervisor.IsDeletePassButtonEnabled,
                                     supervisor.IsChangePassButtonEnabled, supervisor.IsOwnerEditEnabled,
                                     supervisor.IsChangeUPolicyButtonEnabled}),
                  (std::vector<LONG>{1, 1, 1, 5, 1}));
    }
}

TEST_F(StatusPolicy, GetUserPolicyMapsBitsSupportAndTpm)
{
    // Policy bits 1, 3, 16, 5 and 20; everything offered.
    const DWORD word = (1u << 1) | (1u << 3) | (1u << 16) | (1u << 5) | (1u << 20);
    struct Row {
        const char* name;
        DWORD support;
        bool tpm;
        std::vector<int> fields;
    };
    const Row rows[] = {
        {"all offered", 0xFFFFFFFF, true, {1, 0, 1, 1, 0, 1, 0, 1, 0}},
        {"no TPM", 0xFFFFFFFF, false, {1, 0, 1, 1, 0, 1, 0, 2, 2}},
        {"mask clears", ~((1u << 1) | (1u << 17) | (1u << 21)), true, {2, 0, 1, 1, 2, 1, 0, 1, 2}},
        {"nothing offered", 0, true, {2, 2, 2, 2, 2, 2, 2, 2, 2}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        fake::Reset();
        firmware.answer = [this](const std::string& op, FirmwareCallBlock& b) { return Answer(op, b); };
        reads[{0x0604, 0x0081}] = {0x1234, word};
        reads[{0x0604, 0x8081}] = {0, r.support};
        reads[{0x0601, 0x0000}] = {r.tpm ? (1u << 28) : 0u, 0x3};
        engine.dwSecurityStatus = 0x55;
        UserPolicy policy = AllFields(-9);
        Trace trace;
        EXPECT_EQ(engine.GetUserPolicy(&policy), 0);
        EXPECT_EQ(Fields(policy), r.fields);
        EXPECT_EQ(engine.dwPolicySnapshot, word);
        EXPECT_EQ(engine.dwPolicySnapshotEx, 0x1234u);
        EXPECT_EQ(engine.dwSecurityStatus, 0x55u) << "the status read has a pair of its own";
        EXPECT_EQ(ReadTrace(), "0604/0081 0604/0081 0604/0281 0604/8081 0604/0081 0604/8281 0601/0000");
        std::vector<std::string> lines = {"Initialize Checkboxes",     "check for SetUPassCheck",
                                          "check for DeleteUPassCheck", "check for ChangeUPassCheck",
                                          "check for UseHWSetupCheck",  "check for UpdateBIOSCheck",
                                          "check for HPassRegDelCheck", "check for HPassChangeCheck"};
        if (r.tpm) {
            lines.push_back("check for TPMOwnClrChk");
            lines.push_back("check for TPMOnOffChk");
        }
        EXPECT_EQ(trace.Messages("PassWordFUN::GetUserPolicy"), lines);
    }

    // Bit 31 of the second word skips both pages.
    fake::Reset();
    firmware.answer = [this](const std::string& op, FirmwareCallBlock& b) { return Answer(op, b); };
    reads[{0x0604, 0x0081}] = {0x80000000u, word};
    UserPolicy policy{};
    EXPECT_EQ(engine.GetUserPolicy(&policy), 0);
    EXPECT_EQ(ReadTrace(), "0604/0081 0604/0081 0604/8081 0604/0081 0601/0000");
}

TEST_F(StatusPolicy, GetUserPolicyFailures)
{
    const DWORD word = (1u << 2) | (1u << 19);
    const std::pair<WORD, WORD> failing[] = {{0x0604, 0x8081}, {0x0604, 0x8281}, {0x0601, 0x0000}};
    for (const auto& f : failing) {
        SCOPED_TRACE(f.second);
        fake::Reset();
        firmware.answer = [this](const std::string& op, FirmwareCallBlock& b) { return Answer(op, b); };
        reads[{0x0604, 0x0081}] = {0, word};
        failedReads = {f};
        UserPolicy policy = AllFields(-9);
        Trace trace;
        EXPECT_EQ(engine.GetUserPolicy(&policy), 15);
        EXPECT_EQ(trace.Messages("PassWordFUN::GetUserPolicy").back(), "Error Code: 0xf");
        EXPECT_EQ(Fields(policy), (std::vector<int>{0, 1, 0, 0, 0, 0, 1, 0, 0})) << "the policy bits, not 2";
    }
    // The policy reads themselves failing: ignored, the snapshot taken anyway.
    fake::Reset();
    firmware.answer = [this](const std::string& op, FirmwareCallBlock& b) { return Answer(op, b); };
    failedReads = {{0x0604, 0x0081}};
    engine.dwUserPolicy = 0x8;
    UserPolicy policy{};
    EXPECT_EQ(engine.GetUserPolicy(&policy), 0);
    EXPECT_EQ(engine.dwPolicySnapshot, 0x8u);
    EXPECT_EQ(ReadTrace(), "0604/0081 0604/0081 0604/8081 0604/0081 0601/0000");
}

TEST_F(StatusPolicy, SetPolicyWritesOnlyTheLowestBitOfEachField)
{
    // Before any read the snapshot is zero: only the chosen bits are written.
    Verified(1, 0x2);
    UserPolicy only = AllFields(2);
    only.nPermitSetUPass = 1;
    EXPECT_EQ(engine.SetPolicy(only), 108);
    ASSERT_EQ(Writes(fw::kRequestPolicy).size(), 1u);
    EXPECT_EQ(Writes(fw::kRequestPolicy)[0].ValueB, 0x2u);

    struct Row {
        const char* name;
        DWORD snapshot;
        UserPolicy fields;
        DWORD written;
    };
    const Row rows[] = {
        {"all 2 keep the snapshot", 0xDEADBEEF, AllFields(2), 0xDEADBEEF},
        {"only the lowest bit counts", 0x0000000A, {0, 3, 2, -1, 4, 2, 1, 2, 0}, 0x0009000C},
        {"clearing", 0xFFFFFFFF, AllFields(0),
         ~((1u << 1) | (1u << 2) | (1u << 3) | (1u << 16) | (1u << 17) | (1u << 5) | (1u << 19) | (1u << 20) |
           (1u << 21))},
        {"setting", 0, AllFields(1), 0x003B002E},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        fake::Reset();
        firmware.answer = [this](const std::string& op, FirmwareCallBlock& b) { return Answer(op, b); };
        Verified(1, 0x2);
        engine.dwPolicySnapshot = r.snapshot;
        engine.dwPolicySnapshotEx = 0x4321;
        engine.dwUserPolicy = 0x77; // not what the write starts from
        Trace trace;
        EXPECT_EQ(engine.SetPolicy(r.fields), 108);
        EXPECT_EQ(FirmwareTrace(), "open set:0600/8002 set:0601/0002 set:0604/0003 set:0600/0000 close "
                                    "open set:0600/8002 get:0601/0000 set:0600/0000 close");
        const auto write = Writes(fw::kRequestPolicy).at(0);
        EXPECT_EQ(write.ValueB, r.written);
        EXPECT_EQ(write.ValueA, 0x4321u);
        EXPECT_EQ(write.Function, fw::kSystemWrite);
        EXPECT_EQ(BlockPasscode(Writes(fw::kRequestSecurity).at(0)), HexOf(kAnswerPasscode));
        EXPECT_EQ(dialog.Trace(), "open:0 text text text verify:02091002 close:800");
        EXPECT_EQ(trace.Messages("PassWordFUN::SetPolicy"), std::vector<std::string>{"Set PC Policy"});
        EXPECT_EQ(engine.dwPolicySnapshot, r.snapshot) << "not updated after the write";
    }
    EnginePlatform& strings = DefaultEnginePlatform();
    EXPECT_EQ(dialog.Texts(), (std::vector<std::string>{"CaptionTitle=" + strings.StringEntry(2),
                                                        "DiagTokenErrMsg=" + strings.StringEntry(3559),
                                                        "DiagRetryPwMsg=" + strings.StringEntry(3558)}));
}

TEST_F(StatusPolicy, SetPolicyCodes)
{
    struct Row {
        const char* name;
        bool present;
        LONG open, verify;
        DWORD outcome;
        bool refuse, statusFails;
        DWORD security;
        int code;
        const char* last;
    };
    const Row rows[] = {
        {"written", true, 1, 1, 0x2, false, false, 0, 108, "Set PC Policy"},
        {"written, bit 21", true, 1, 1, 0x2, false, false, 1u << 21, 525, "Error Code: 0x20d"},
        {"status read fails", true, 1, 1, 0x2, false, true, 0, 513, "Error Code: 0x201"},
        {"write refused", true, 1, 1, 0x2, true, false, 0, 519, "Error Code: 0x207"},
        {"library missing", false, 1, 1, 0, false, false, 0, 3, "Error Code: 0x3"},
        {"open refused", true, 0, 1, 0, false, false, 0, 4, "Error Code: 0x4"},
        {"retry over", true, 1, 0, 0xFFFFFFFF, false, false, 0, 5, "Retry over!"},
        {"cancelled", true, 1, 0, 0, false, false, 0, 6, ""},
        {"declined", true, 1, 0, 3, false, false, 0, 4, ""},
        {"library error", true, 1, 2, 0, false, false, 0, 4, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        fake::Reset();
        firmware.answer = [this](const std::string& op, FirmwareCallBlock& b) { return Answer(op, b); };
        platform.certifyPresent = r.present;
        dialog.openResult = r.open;
        Verified(r.verify, r.outcome, r.verify == 1);
        refused = r.refuse ? std::set<std::pair<WORD, WORD>>{{0x0604, 0x0003}} : std::set<std::pair<WORD, WORD>>{};
        failedReads = r.statusFails ? std::set<std::pair<WORD, WORD>>{{0x0601, 0x0000}}
                                    : std::set<std::pair<WORD, WORD>>{};
        reads[{0x0601, 0x0000}] = {0, r.security};
        Trace trace;
        EXPECT_EQ(engine.SetPolicy(AllFields(2)), r.code);
        const auto messages = trace.Messages("PassWordFUN::SetPolicy");
        EXPECT_EQ(messages.empty() ? "" : messages.back(), r.last);
        if (r.code < 100 && r.code != 513 && r.code != 519) {
            EXPECT_TRUE(firmware.calls.empty()) << "nothing written without a passed verification";
        }
        EXPECT_TRUE(platform.quitMessages.empty());
    }
}

TEST_F(StatusPolicy, SetPolicyVerifiedPasscodeAndQuitMessage)
{
    std::memcpy(engine.VerifiedPasscode, kAnswerPasscode, 8);
    Verified(1, 0x2, false);
    EXPECT_EQ(engine.SetPolicy(AllFields(2)), 108);
    EXPECT_EQ(HexOf(engine.VerifiedPasscode), "00 00 00 00 00 00 00 00") << "zero without a passcode";
    EXPECT_EQ(BlockPasscode(Writes(fw::kRequestSecurity).at(0)), "00 00 00 00 00 00 00 00");

    // A quit during the dialog: the caller's message loop is told to end.
    for (const DWORD outcome : {0u, 0xFFFFFFFFu, 7u}) {
        fake::Reset();
        platform.quitMessages.clear();
        Verified(0, outcome, false);
        engine.bQuit = 1;
        engine.SetPolicy(AllFields(2));
        EXPECT_EQ(platform.quitMessages, std::vector<int>{0}) << outcome;
        EXPECT_TRUE(firmware.calls.empty());
    }
    // ...but not after a passed verification, which goes on to write.
    fake::Reset();
    firmware.answer = [this](const std::string& op, FirmwareCallBlock& b) { return Answer(op, b); };
    platform.quitMessages.clear();
    Verified(1, 0x2);
    EXPECT_EQ(engine.SetPolicy(AllFields(2)), 108);
    EXPECT_TRUE(platform.quitMessages.empty());
}

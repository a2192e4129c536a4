// Changing and deleting passwords: verification always, the current
// passcode from the answer, the temporal and PassVery flags, and the
// classification of a refused request.
#include "OpsFixture.h"

using namespace ops;
using pwtest::Trace;

namespace {

const BYTE kHeld[8] = {0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18};
const std::string kZero = "00 00 00 00 00 00 00 00";

class ChangeDelete : public Ops {
protected:
    void SetUp() override
    {
        Ops::SetUp();
        engine.ScInfo = 1;
        Restart();
    }
    // A fresh firmware and dialog for the next row.
    void Restart()
    {
        fake::Reset();
        firmware.answer = [this](const std::string& op, FirmwareCallBlock& b) { return Answer(op, b); };
        refused.clear();
        refusal = 0x86;
        refusalValueA = 1;
        std::memcpy(engine.VerifiedPasscode, kHeld, 8);
        platform.certifyLoads = platform.certifyReleases = 0;
    }
    std::string Held() const { return HexOf(engine.VerifiedPasscode); }
};

} // namespace

TEST_F(ChangeDelete, ChangeChecksItsInputBeforeQuitAndDialog)
{
    const std::pair<std::wstring, int> rows[] = {
        {L"", 18}, {std::wstring(59, L'a') + L"\t", 19}, {L"tab\there", 20}};
    for (const LONG quit : {0, 1}) {
        for (const auto& [text, code] : rows) {
            engine.bQuit = quit;
            EXPECT_EQ(engine.ChangePassword(text.c_str(), 1), code);
        }
    }
    engine.bQuit = 0;
    engine.ScInfo = 0;
    engine.QSCCallSlots[20] = nullptr;
    Trace trace;
    EXPECT_EQ(engine.ChangePassword(L"Secret1", 1), 14);
    EXPECT_EQ(trace.Messages("PassWordFUN::ChangePassword").back(), "Error Code: 0xe");
    EXPECT_EQ(platform.certifyLoads, 0);
    EXPECT_TRUE(firmware.calls.empty());

    engine.ScInfo = 1;
    engine.bQuit = 1;
    EXPECT_EQ(engine.ChangePassword(L"Secret1", 1), 0);
    EXPECT_EQ(platform.certifyLoads, 0);
    EXPECT_EQ(engine.DeletePassword(1), 0);
    EXPECT_EQ(platform.certifyLoads, 0);
    EXPECT_TRUE(firmware.calls.empty());
}

TEST_F(ChangeDelete, FlagsWordAndMessages)
{
    struct Row {
        LONG isUser;
        BYTE role;
        const char* flags;
    };
    const Row rows[] = {
        {1, ROLE_USER, "02091001"},       {1, ROLE_NONE, "02091001"}, {1, ROLE_SUPERVISOR, "02091002"},
        {0, ROLE_USER, "02091002"},       {0, ROLE_NONE, "02091002"}, {0, ROLE_SUPERVISOR, "02091002"},
    };
    EnginePlatform& strings = DefaultEnginePlatform();
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.isUser) + "/" + std::to_string(r.role));
        for (const bool change : {true, false}) {
            Restart();
            engine.Role = r.role;
            Verified(0, 0, false); // cancelled: only the exchange is of interest here
            EXPECT_EQ(change ? engine.ChangePassword(L"Secret1", r.isUser) : engine.DeletePassword(r.isUser), 6);
            EXPECT_EQ(dialog.Trace(), std::string("open:8 text text text verify:") + r.flags + " close:0");
            const std::vector<std::string> texts = {
                "CaptionTitle=" + strings.StringEntry(2),
                "DiagTokenErrMsg=" + strings.StringEntry(change ? 3551 : 3549),
                "DiagRetryPwMsg=" + strings.StringEntry(change ? 3550 : 3548)};
            EXPECT_EQ(dialog.Texts(), texts);
            EXPECT_TRUE(firmware.calls.empty());
            EXPECT_EQ(platform.certifyReleases, 1);
        }
    }
}

TEST_F(ChangeDelete, VerificationOutcomes)
{
    struct Row {
        const char* name;
        bool present;
        LONG open, verify;
        DWORD outcome;
        int change, remove;
        const char* changeLine; // last line of the change, "" for none
    };
    const Row rows[] = {
        {"library missing", false, 1, 1, 0, 3, static_cast<int>(0x80004005), "Error Code: 0x3"},
        {"open refused", true, 0, 1, 0, 4, 4, "Error Code: 0x4"},
        {"retry over", true, 1, 0, 0xFFFFFFFF, 5, 5, "Retry over!"},
        {"cancelled", true, 1, 0, 0, 6, 6, "create passcode using MD5!"},
        {"declined", true, 1, 0, 9, 4, 4, "Change Password Failed!"},
        {"library error", true, 1, -5, 0, 4, 4, "Change Password Failed!"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        for (const bool change : {true, false}) {
            Restart();
            platform.certifyPresent = r.present;
            dialog.openResult = r.open;
            Verified(r.verify, r.outcome, false);
            Trace trace;
            EXPECT_EQ(change ? engine.ChangePassword(L"Secret1", 1) : engine.DeletePassword(1),
                      change ? r.change : r.remove);
            EXPECT_TRUE(firmware.calls.empty());
            if (change) {
                EXPECT_EQ(trace.Messages("PassWordFUN::ChangePassword").back(), r.changeLine);
            }
            EXPECT_EQ(Held(), HexOf(kHeld));
        }
    }
    // Delete without the library: the general failure, with its error line.
    Restart();
    platform.certifyPresent = false;
    Trace trace;
    EXPECT_EQ(engine.DeletePassword(0), static_cast<int>(0x80004005));
    EXPECT_EQ(trace.Messages("PassWordFUN::DeletePassword"), std::vector<std::string>{"Error Code: 0x80004005"});
    EXPECT_TRUE(dialog.requests.empty());
}

TEST_F(ChangeDelete, ChangeRequestCarriesBothPasscodes)
{
    const std::string fresh = PasscodeOf("Secret1");
    struct Row {
        const char* name;
        LONG isUser;
        DWORD outcome;
        bool withPasscode;
        LONG longLength;
        bool authorized;
        WORD sub, length;
        int code;
    };
    const Row rows[] = {
        {"user by own right", 1, 0x1, true, 1, false, 0x000D, 7, 105},
        {"user with temporal rights", 1, 0x2, true, 1, true, 0x000D, 50, 105},
        {"temporal without long length", 1, 0x2, true, 0, true, 0x000D, 7, 105},
        {"no passcode in the answer", 1, 0x2, false, 0, true, 0x000D, 7, 105},
        {"supervisor never authorized", 0, 0x2, true, 0, false, 0x000E, 7, 106},
        {"supervisor long length", 0, 0x2, true, 1, false, 0x000E, 50, 106},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Restart();
        engine.Role = ROLE_NONE;
        engine.bLongAuthLength = r.longLength;
        Verified(1, r.outcome, r.withPasscode);
        EXPECT_EQ(engine.ChangePassword(L"Secret1", r.isUser), r.code);
        const auto writes = Writes(fw::kRequestPassword);
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0].SubRequest, r.sub);
        EXPECT_EQ(writes[0].Function, fw::kSystemWrite);
        EXPECT_EQ(writes[0].Length, r.length);
        EXPECT_EQ(BlockPasscode(writes[0]), fresh);
        const std::string current = r.withPasscode ? HexOf(kAnswerPasscode) : kZero;
        EXPECT_EQ(ValuePasscode(writes[0]), current);
        if (r.withPasscode) {
            EXPECT_EQ(writes[0].ValueA, kAnswerHigh);
            EXPECT_EQ(writes[0].ValueB, kAnswerLow);
        }
        const auto rights = Writes(fw::kRequestSecurity);
        ASSERT_EQ(rights.size(), r.authorized ? 1u : 0u);
        if (r.authorized) {
            EXPECT_EQ(BlockPasscode(rights[0]), current) << "the answer's passcode, not the one held";
        }
        EXPECT_EQ(platform.certifyReleases, 1) << "released before the request";
    }
}

TEST_F(ChangeDelete, ChangeRoleAndVerifiedPasscode)
{
    const std::string fresh = PasscodeOf("Secret1");
    struct Row {
        LONG isUser;
        BYTE role;
        bool refuse;
        bool takesFresh;
    };
    const Row rows[] = {
        {1, ROLE_USER, false, true},        {1, ROLE_SUPERVISOR, false, false}, {1, ROLE_NONE, false, false},
        {0, ROLE_SUPERVISOR, false, true},  {0, ROLE_USER, false, false},       {1, ROLE_USER, true, false},
        {0, ROLE_SUPERVISOR, true, false},
    };
    for (const Row& r : rows) {
        Restart();
        if (r.refuse)
            refused = {{0x0602, 0x000D}, {0x0602, 0x000E}};
        engine.Role = r.role;
        Verified(1, 0x1);
        engine.ChangePassword(L"Secret1", r.isUser);
        EXPECT_EQ(engine.Role, r.role);
        EXPECT_EQ(Held(), r.takesFresh ? fresh : HexOf(kHeld)) << r.isUser << "/" << int(r.role);
    }
}

TEST_F(ChangeDelete, ChangeRefusalClassification)
{
    struct Row {
        LONG isUser;
        BYTE completion;
        DWORD valueA;
        bool passVery;
        int code;
        const char* line; // "" when none
    };
    const Row rows[] = {
        {1, 0x83, 0x0000, false, 5, "Change User Password,Retry over!"},
        {1, 0x83, 0x10000, true, 5, "Change User Password,Retry over!"}, // only the low half counts
        {1, 0x83, 0x0001, true, 13, "Change User Password failed!"},
        {1, 0x84, 0x0000, true, 13, "Change User Password failed!"},
        {1, 0x83, 0x0001, false, 0, ""},
        {0, 0x83, 0x0000, false, 5, "Change Supervisor Password,Retry over!"},
        {0, 0x86, 0x0000, true, 13, "Change Supervisor Password failed!"},
        {0, 0x86, 0x0000, false, 0, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.isUser) + " " + std::to_string(r.completion) + " " + std::to_string(r.valueA));
        Restart();
        refused = {{0x0602, 0x000D}, {0x0602, 0x000E}};
        refusal = r.completion;
        refusalValueA = r.valueA;
        Verified(1, 0x1 | (r.passVery ? certify::kOutcomePassVery : 0));
        Trace trace;
        EXPECT_EQ(engine.ChangePassword(L"Secret1", r.isUser), r.code);
        const auto messages = trace.Messages("PassWordFUN::ChangePassword");
        EXPECT_EQ(messages.back(), *r.line ? r.line : "create passcode using MD5!");
    }
    // Success lines.
    Restart();
    Verified(1, 0x1);
    Trace trace;
    EXPECT_EQ(engine.ChangePassword(L"Secret1", 1), 105);
    EXPECT_EQ(trace.Messages("PassWordFUN::ChangePassword").back(), "Change User password OK!");
    trace.Mark();
    EXPECT_EQ(engine.ChangePassword(L"Secret1", 0), 106);
    EXPECT_EQ(trace.Messages("PassWordFUN::ChangePassword").back(), "Change Supervisor password OK!");
}

TEST_F(ChangeDelete, DeleteTraceOfAUserDeletionWithSupervisorRights)
{
    engine.Role = ROLE_SUPERVISOR;
    Verified(1, 0x2 | certify::kOutcomePassVery);
    Trace trace;
    EXPECT_EQ(engine.DeletePassword(1), 100);
    const std::string title = DefaultEnginePlatform().StringEntry(2);
    const std::vector<std::string> lines = {
        "CallCertify success! RetVal = 1",
        "tmptitle = " + title,
        "Verification of User Password deletion!",
        "tmpstr = " + title,
        "Has Supervisor right!",
        "Switch RetVal = 1",
        "WithTemporalSV = TRUE!",
        "PassVery\t= TRUE!",
        "memcpy passcode = TRUE!",
        "Begin delete password!",
        "Delete User Password!",
        "Delete User Password,by Super right!",
        "Delete User Password OK!",
    };
    EXPECT_EQ(trace.Messages("PassWordFUN::DeletePassword"), lines);
    EXPECT_EQ(dialog.Trace(), "open:8 text text text verify:02091002 close:800");
    EXPECT_EQ(FirmwareTrace(), "open set:0600/8002 set:0601/0002 set:0602/0009 set:0600/0000 close");
    const auto request = Writes(fw::kRequestPassword).at(0);
    EXPECT_EQ(request.ValueA, kAnswerHigh);
    EXPECT_EQ(request.ValueB, kAnswerLow);
    EXPECT_EQ(request.Data0, 0u) << "no new passcode";
    EXPECT_EQ(request.Data1, 0u);
    EXPECT_EQ(request.Length, 0);
    EXPECT_EQ(BlockPasscode(Writes(fw::kRequestSecurity).at(0)), HexOf(kAnswerPasscode));
    EXPECT_EQ(Held(), HexOf(kAnswerPasscode));
    EXPECT_EQ(engine.Role, ROLE_SUPERVISOR);
}

TEST_F(ChangeDelete, DeleteOpenValueIsTracedWhateverItIs)
{
    for (const LONG open : {0, 2}) {
        Restart();
        dialog.openResult = open;
        Trace trace;
        EXPECT_EQ(engine.DeletePassword(0), 4);
        const std::vector<std::string> lines = {"CallCertify success! RetVal = " + std::to_string(open),
                                                "Error Code: 0x4"};
        EXPECT_EQ(trace.Messages("PassWordFUN::DeletePassword"), lines);
        EXPECT_EQ(dialog.Trace(), "open:8");
        EXPECT_EQ(platform.certifyReleases, 0) << "left loaded";
    }
    // The declined answers name themselves.
    const std::pair<DWORD, const char*> declined[] = {
        {0xFFFFFFFF, "Retry over!"}, {0, "Delete Cancel!"}, {5, "Delete Password Failed!"}};
    for (const auto& [outcome, line] : declined) {
        Restart();
        Verified(0, outcome, false);
        Trace trace;
        engine.DeletePassword(0);
        const auto messages = trace.Messages("PassWordFUN::DeletePassword");
        EXPECT_EQ(messages.at(messages.size() - 2), "Switch RetVal = 0");
        EXPECT_EQ(messages.back(), line);
    }
}

TEST_F(ChangeDelete, DeleteRefusalsAndRoles)
{
    struct Row {
        const char* name;
        LONG isUser;
        BYTE role;
        DWORD outcome;
        BYTE completion;
        DWORD valueA;
        bool refuse;
        int code;
        const char* last;
        BYTE roleAfter;
        bool takesAnswer;
    };
    // The status of a refused request is STS_SEC_FUNCTION_FAILED: 767.
    const Row rows[] = {
        {"user by user right", 1, ROLE_USER, 0x1, 0, 0, false, 100, "Delete User Password OK!", ROLE_NONE, false},
        {"user while none", 1, ROLE_NONE, 0x1, 0, 0, false, 100, "Delete User Password OK!", ROLE_NONE, false},
        {"user by super right", 1, ROLE_SUPERVISOR, 0x2, 0, 0, false, 100, "Delete User Password OK!",
         ROLE_SUPERVISOR, true},
        {"super right, retry over", 1, ROLE_SUPERVISOR, 0x2, 0x83, 0, true, 5,
         "Delete User Password failed,Retry over! ErrorStatus = 767", ROLE_SUPERVISOR, true},
        {"super right, refused without PassVery", 1, ROLE_USER, 0x2, 0x86, 0, true, 7,
         "Delete User Password failed,No right!ErrorStatus = 767", ROLE_USER, true},
        {"user right, retry over", 1, ROLE_USER, 0x1, 0x83, 0, true, 5, "Delete User Password failed,Retry over!",
         ROLE_USER, false},
        {"user right, PassVery", 1, ROLE_USER, 0x1 | 0x10000, 0x86, 0, true, 7,
         "Delete User Password failed,No right! ErrorStatus = 767", ROLE_USER, false},
        {"user right, plain refusal", 1, ROLE_USER, 0x1, 0x86, 0, true, 0, "Delete User Password,by User right!",
         ROLE_USER, false},
        {"supervisor", 0, ROLE_SUPERVISOR, 0x2, 0, 0, false, 101, "Delete Supervisor Password,OK!", ROLE_NONE,
         false},
        {"supervisor while user", 0, ROLE_USER, 0x1, 0, 0, false, 101, "Delete Supervisor Password,OK!", ROLE_NONE,
         false},
        {"supervisor retry over", 0, ROLE_SUPERVISOR, 0x2, 0x83, 0x20000, true, 5,
         "Delete Supervisor Password,Retry over!", ROLE_SUPERVISOR, false},
        {"supervisor PassVery", 0, ROLE_SUPERVISOR, 0x2 | 0x10000, 0x83, 1, true, 7,
         "Delete Supervisor Password,No right! ErrorStatus = 767", ROLE_SUPERVISOR, false},
        {"supervisor plain refusal", 0, ROLE_SUPERVISOR, 0x2, 0x86, 0, true, 0, "Delete Supervisor Password!",
         ROLE_SUPERVISOR, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Restart();
        if (r.refuse)
            refused = {{0x0602, 0x0009}, {0x0602, 0x000B}};
        refusal = r.completion;
        refusalValueA = r.valueA;
        engine.Role = r.role;
        Verified(1, r.outcome);
        Trace trace;
        EXPECT_EQ(engine.DeletePassword(r.isUser), r.code);
        EXPECT_EQ(trace.Messages("PassWordFUN::DeletePassword").back(), r.last);
        EXPECT_EQ(engine.Role, r.roleAfter);
        EXPECT_EQ(Held(), r.takesAnswer ? HexOf(kAnswerPasscode) : HexOf(kHeld));
        const auto rights = Writes(fw::kRequestSecurity);
        EXPECT_EQ(rights.size(), r.isUser && (r.outcome & 0x2) ? 1u : 0u) << "supervisor deletions never authorized";
        EXPECT_EQ(Writes(fw::kRequestPassword).at(0).SubRequest, r.isUser ? 0x0009 : 0x000B);
    }
    // No passcode in the answer: eight zero bytes.
    Restart();
    engine.Role = ROLE_USER;
    Verified(1, 0x1, false);
    EXPECT_EQ(engine.DeletePassword(1), 100);
    EXPECT_EQ(ValuePasscode(Writes(fw::kRequestPassword).at(0)), kZero);
}

// Setting a password: input checks, the authorization decision of both
// machine classes, the requests that go out and what the engine remembers.
#include "OpsFixture.h"

using namespace ops;
using pwtest::Trace;

namespace {

const BYTE kHeld[8] = {0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18};

class SetPassword : public Ops {
protected:
    void SetUp() override
    {
        Ops::SetUp();
        std::memcpy(engine.VerifiedPasscode, kHeld, 8);
    }
    std::string Held() const { return HexOf(engine.VerifiedPasscode); }
};

const char* const kPlainUser = "open set:0600/8002 set:0602/0005 set:0600/0000 close";
const char* const kAuthorizedUser = "open set:0600/8002 set:0601/0002 set:0602/0005 set:0600/0000 close";

} // namespace

TEST_F(SetPassword, InputChecksComeBeforeTheQuitTestAndReachNothing)
{
    struct Row {
        std::wstring text;
        int code;
    };
    const Row rows[] = {
        {L"", 18},
        {std::wstring(51, L'x'), 19},
        {std::wstring(59, L'a') + L"\t", 19}, // the length test comes first
        {L"tab\there", 20},
        {L"caf\u00E9", 20},
    };
    for (const LONG quit : {0, 1}) {
        for (const Row& r : rows) {
            SCOPED_TRACE(std::to_string(r.code) + " quit " + std::to_string(quit));
            engine.bQuit = quit;
            Trace trace;
            EXPECT_EQ(engine.SetPassword(r.text.c_str(), 0, 1), r.code);
            char line[32];
            std::snprintf(line, sizeof line, "Error Code: 0x%x", r.code);
            EXPECT_EQ(trace.Messages("PassWordFUN::SetPassword").back(), line);
            EXPECT_NE(trace.All().find("[ERR] (PassWordFUN::SetPassword): Error Code"), std::string::npos);
        }
    }
    EXPECT_TRUE(firmware.calls.empty());
    EXPECT_TRUE(dialog.requests.empty());

    // A valid text after a quit: 0, and still nothing sent.
    engine.ScInfo = 1;
    Trace trace;
    EXPECT_EQ(engine.SetPassword(L"Secret1", 1, 1), 0);
    EXPECT_EQ(trace.Messages("PassWordFUN::SetPassword").back(), "Error Code: 0x0");
    EXPECT_TRUE(firmware.calls.empty());
    EXPECT_EQ(platform.certifyLoads, 0);
}

TEST_F(SetPassword, PasscodeFailureGives21)
{
    engine.QSCCallSlots[20] = nullptr; // class 2.0 without its routine
    EXPECT_EQ(engine.SetPassword(L"Secret1", 0, 1), 21);
    EXPECT_TRUE(firmware.calls.empty());
}

TEST_F(SetPassword, Class20AuthorityFollowsTheVerifiedRight)
{
    struct Row {
        LONG isUser;
        BYTE role;
        int code;
        bool authorized;
        BYTE roleAfter;
        bool newVerified;
    };
    const Row rows[] = {
        {1, ROLE_NONE, 102, false, ROLE_USER, true},
        {1, ROLE_USER, 102, false, ROLE_USER, false},
        {1, ROLE_SUPERVISOR, 102, true, ROLE_SUPERVISOR, false},
        {0, ROLE_NONE, 103, false, ROLE_SUPERVISOR, true},
        {0, ROLE_USER, 103, false, ROLE_SUPERVISOR, true},
        {0, ROLE_SUPERVISOR, 103, false, ROLE_SUPERVISOR, false},
    };
    const std::string fresh = PasscodeOf("Secret1");
    for (const Row& r : rows) {
        SCOPED_TRACE("user " + std::to_string(r.isUser) + " role " + std::to_string(r.role));
        fake::Reset();
        firmware.answer = [this](const std::string& op, FirmwareCallBlock& b) { return Answer(op, b); };
        std::memcpy(engine.VerifiedPasscode, kHeld, 8);
        engine.Role = r.role;
        EXPECT_EQ(engine.SetPassword(L"Secret1", 0, r.isUser), r.code);

        std::string expected = r.authorized ? kAuthorizedUser : kPlainUser;
        if (!r.isUser)
            expected.replace(expected.find("0602/0005"), 9, "0602/0006");
        EXPECT_EQ(FirmwareTrace(), expected);
        const auto writes = Writes(fw::kRequestPassword);
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(BlockPasscode(writes[0]), fresh);
        EXPECT_EQ(writes[0].Function, fw::kSystemWrite);
        EXPECT_EQ(writes[0].Length, 7);
        if (r.authorized) {
            EXPECT_EQ(BlockPasscode(Writes(fw::kRequestSecurity).at(0)), HexOf(kHeld));
        }
        EXPECT_EQ(engine.Role, r.roleAfter);
        EXPECT_EQ(Held(), r.newVerified ? fresh : HexOf(kHeld));
        EXPECT_TRUE(dialog.requests.empty()) << "class 2.0 never verifies";
    }
}

TEST_F(SetPassword, Class21VerifiesUnlessUsersMayRegister)
{
    engine.ScInfo = 1;
    const std::string fresh = PasscodeOf("Secret1");
    struct Row {
        const char* name;
        LONG isUser;
        BYTE role;
        bool present;
        LONG open, verify;
        DWORD outcome;
        bool withPasscode;
        int code;
        const char* dialogTrace;
        const char* authorization; // "answer", "fresh", or null for no request
        BYTE roleAfter;
        const char* verifiedAfter; // "answer", "fresh", "held"
    };
    const Row rows[] = {
        {"user verified", 1, ROLE_USER, true, 1, 1, 0x1, true, 102,
         "open:8 text text text verify:02091003 close:800", "answer", ROLE_USER, "answer"},
        {"no passcode in the answer", 1, ROLE_USER, true, 1, 1, 0x1, false, 102,
         "open:8 text text text verify:02091003 close:800", "fresh", ROLE_USER, "fresh"},
        {"supervisor verifies", 1, ROLE_SUPERVISOR, true, 1, 1, 0x2, true, 102,
         "open:8 text text text verify:02091002 close:800", "answer", ROLE_SUPERVISOR, "answer"},
        {"none becomes user", 1, ROLE_NONE, true, 1, 1, 0x1, true, 102,
         "open:8 text text text verify:02091003 close:800", "answer", ROLE_USER, "fresh"},
        {"supervisor set goes without authority", 0, ROLE_USER, true, 1, 1, 0x2, true, 103,
         "open:8 text text text verify:02091003 close:800", nullptr, ROLE_SUPERVISOR, "fresh"},
        {"library missing", 1, ROLE_USER, false, 1, 1, 0, false, 3, "", nullptr, ROLE_USER, "held"},
        {"open refused", 1, ROLE_USER, true, 0, 1, 0, false, 4, "open:8", nullptr, ROLE_USER, "held"},
        {"retry over", 1, ROLE_USER, true, 1, 0, 0xFFFFFFFF, false, 5,
         "open:8 text text text verify:02091003 close:0", nullptr, ROLE_USER, "held"},
        {"cancelled", 0, ROLE_NONE, true, 1, 0, 0, false, 6,
         "open:8 text text text verify:02091003 close:0", nullptr, ROLE_NONE, "held"},
        {"declined", 1, ROLE_USER, true, 1, 0, 7, false, 4,
         "open:8 text text text verify:02091003 close:0", nullptr, ROLE_USER, "held"},
        {"library error", 1, ROLE_USER, true, 1, static_cast<LONG>(0x80000000), 0, false, 4,
         "open:8 text text text verify:02091003 close:0", nullptr, ROLE_USER, "held"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        fake::Reset();
        firmware.answer = [this](const std::string& op, FirmwareCallBlock& b) { return Answer(op, b); };
        reads[{0x0604, 0x0000}] = {0, 0x0}; // bit 1 clear: users may not register
        platform.certifyPresent = r.present;
        platform.certifyLoads = platform.certifyReleases = 0;
        std::memcpy(engine.VerifiedPasscode, kHeld, 8);
        engine.Role = r.role;
        dialog.openResult = r.open;
        Verified(r.verify, r.outcome, r.withPasscode);
        std::vector<LONG> verifying;
        dialog.onRequest = [&](const fake::CertifyRequest&) { verifying.push_back(engine.bVerifying); };

        Trace trace;
        EXPECT_EQ(engine.SetPassword(L"Secret1", 0, r.isUser), r.code);
        EXPECT_EQ(dialog.Trace(), r.dialogTrace);
        const auto messages = trace.Messages("PassWordFUN::SetPassword");
        if (r.code == 3 || (r.code == 4 && r.open != 1)) {
            EXPECT_EQ(messages.back(), "Error Code: 0x" + std::to_string(r.code));
            EXPECT_EQ(platform.certifyReleases, 0);
        } else {
            EXPECT_EQ(messages.back().find("Error Code"), std::string::npos) << messages.back();
            EXPECT_EQ(platform.certifyReleases, 1);
        }
        if (r.code == 5) {
            EXPECT_EQ(messages.back(), "Retry over!");
        }
        if (r.present && !verifying.empty()) {
            EXPECT_EQ(verifying.front(), 1) << "held during the open too";
            if (verifying.size() > 4) {
                EXPECT_EQ(verifying[4], 1) << "held during the verify";
            }
            if (verifying.size() > 5) {
                EXPECT_EQ(verifying[5], 0) << "cleared before the close";
            }
        }
        EXPECT_EQ(engine.bVerifying, 0);

        const auto rights = Writes(fw::kRequestSecurity);
        const auto writes = Writes(fw::kRequestPassword);
        if (r.code >= 100) {
            ASSERT_EQ(writes.size(), 1u);
            EXPECT_EQ(BlockPasscode(writes[0]), fresh);
            EXPECT_EQ(writes[0].SubRequest, r.isUser ? 0x0005 : 0x0006);
            if (r.authorization) {
                ASSERT_EQ(rights.size(), 1u);
                EXPECT_EQ(BlockPasscode(rights[0]),
                          std::string(r.authorization) == "answer" ? HexOf(kAnswerPasscode) : fresh);
            } else {
                EXPECT_TRUE(rights.empty());
            }
        } else {
            EXPECT_TRUE(writes.empty());
            EXPECT_EQ(FirmwareTrace(), "open set:0600/8002 get:0604/0000 set:0600/0000 close");
        }
        EXPECT_EQ(engine.Role, r.roleAfter);
        const std::string v = r.verifiedAfter;
        EXPECT_EQ(Held(), v == "answer" ? HexOf(kAnswerPasscode) : v == "fresh" ? fresh : HexOf(kHeld));
    }
}

TEST_F(SetPassword, Class21TextsAreTheRegistrationMessages)
{
    engine.ScInfo = 1;
    engine.Role = ROLE_USER;
    Verified(1, 0x1);
    ASSERT_EQ(engine.SetPassword(L"Secret1", 0, 1), 102);
    EnginePlatform& strings = DefaultEnginePlatform();
    const std::vector<std::string> texts = {"CaptionTitle=" + strings.StringEntry(2),
                                            "DiagTokenErrMsg=" + strings.StringEntry(3557),
                                            "DiagRetryPwMsg=" + strings.StringEntry(3556)};
    EXPECT_EQ(dialog.Texts(), texts);
    for (const auto& r : dialog.requests)
        if (r.code == certify::kSetText) {
            EXPECT_EQ(r.size, r.text.size());
        }
}

TEST_F(SetPassword, Class21PolicyBitSkipsTheDialogAndTheAuthority)
{
    engine.ScInfo = 1;
    engine.Role = ROLE_USER;
    reads[{0x0604, 0x0000}] = {0, 0x2};
    EXPECT_EQ(engine.SetPassword(L"Secret1", 0, 1), 102);
    EXPECT_EQ(platform.certifyLoads, 0);
    EXPECT_EQ(FirmwareTrace(), std::string("open set:0600/8002 get:0604/0000 set:0600/0000 close ") + kPlainUser);
    EXPECT_EQ(Held(), HexOf(kHeld));

    failedReads.insert({0x0604, 0x0000});
    Trace trace;
    EXPECT_EQ(engine.SetPassword(L"Secret1", 0, 1), 15);
    EXPECT_EQ(trace.Messages("PassWordFUN::SetPassword").back(), "Error Code: 0xf");
}

TEST_F(SetPassword, LongLengthOnlyWithAuthority)
{
    struct Row {
        const char* name;
        LONG hdd, isUser;
        BYTE role;
        LONG longLength;
        std::vector<WORD> lengths; // of the password writes, then the HDD write
        int code;
    };
    const Row rows[] = {
        {"authorized user", 0, 1, ROLE_SUPERVISOR, 1, {50}, 102},
        {"plain user", 0, 1, ROLE_USER, 1, {7}, 102},
        {"flag clear", 0, 1, ROLE_SUPERVISOR, 0, {7}, 102},
        {"supervisor request takes the rule too", 0, 0, ROLE_SUPERVISOR, 1, {50}, 103},
        {"hdd request keeps the true length", 1, 1, ROLE_SUPERVISOR, 1, {50, 7}, 104},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        fake::Reset();
        firmware.answer = [this](const std::string& op, FirmwareCallBlock& b) { return Answer(op, b); };
        engine.Role = r.role;
        engine.bLongAuthLength = r.longLength;
        EXPECT_EQ(engine.SetPassword(L"Secret1", r.hdd, r.isUser), r.code);
        std::vector<WORD> lengths;
        for (const auto& b : Writes(fw::kRequestPassword))
            lengths.push_back(b.Length);
        for (const auto& b : Writes(fw::kRequestHdd))
            lengths.push_back(b.Length);
        EXPECT_EQ(lengths, r.lengths);
    }
}

TEST_F(SetPassword, UserAndHddTogether)
{
    const std::string fresh = PasscodeOf("Secret1");
    struct Row {
        const char* name;
        LONG hdd, isUser;
        BYTE role;
        std::set<std::pair<WORD, WORD>> refused;
        int code;
        const char* trace;
        const char* last;
    };
    const std::string authUser = kAuthorizedUser;
    const Row rows[] = {
        {"supervisor: both authorized", 1, 1, ROLE_SUPERVISOR, {}, 104,
         "open set:0600/8002 set:0601/0002 set:0602/0005 set:0600/0000 close "
         "open set:0600/8002 set:0601/0002 set:0603/011C set:0600/0000 close",
         "Set BIOS and HDD Password OK!"},
        {"user: neither authorized", 1, 1, ROLE_USER, {}, 104,
         "open set:0600/8002 set:0602/0005 set:0600/0000 close open set:0600/8002 set:0603/011C set:0600/0000 close",
         "Set BIOS and HDD Password OK!"},
        {"none: role stays", 1, 1, ROLE_NONE, {}, 104,
         "open set:0600/8002 set:0602/0005 set:0600/0000 close open set:0600/8002 set:0603/011C set:0600/0000 close",
         "Set BIOS and HDD Password OK!"},
        {"user request refused: no hdd request", 1, 1, ROLE_NONE, {{0x0602, 5}}, 10,
         "open set:0600/8002 set:0602/0005", "Set User Password failed!"},
        {"hdd request refused", 1, 1, ROLE_USER, {{0x0603, 0x011C}}, 11,
         "open set:0600/8002 set:0602/0005 set:0600/0000 close open set:0600/8002 set:0603/011C",
         "Set User Password failed!"},
        {"only exactly 1 selects the hdd", 2, 1, ROLE_USER, {}, 102, kPlainUser, "Set User Password OK!"},
        {"hdd ignored for the supervisor", 1, 0, ROLE_SUPERVISOR, {}, 103,
         "open set:0600/8002 set:0602/0006 set:0600/0000 close", "Set password"},
        {"supervisor refused", 0, 0, ROLE_NONE, {{0x0602, 6}}, 21, "open set:0600/8002 set:0602/0006",
         "Set Supervisor Password failed!"},
        {"user refused", 0, 1, ROLE_NONE, {{0x0602, 5}}, 21, "open set:0600/8002 set:0602/0005",
         "Set User Password failed!"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        fake::Reset();
        firmware.answer = [this](const std::string& op, FirmwareCallBlock& b) { return Answer(op, b); };
        refused = r.refused;
        engine.Role = r.role;
        std::memcpy(engine.VerifiedPasscode, kHeld, 8);
        Trace trace;
        EXPECT_EQ(engine.SetPassword(L"Secret1", r.hdd, r.isUser), r.code);
        EXPECT_EQ(FirmwareTrace(), r.trace);
        const auto messages = trace.Messages("PassWordFUN::SetPassword");
        EXPECT_EQ(messages.back(), r.last);
        if (r.hdd == 1 && r.isUser) {
            EXPECT_EQ(engine.Role, r.role) << "unchanged on the combined path";
            EXPECT_EQ(Held(), HexOf(kHeld));
            const auto hdd = Writes(fw::kRequestHdd);
            if (!hdd.empty()) {
                EXPECT_EQ(BlockPasscode(hdd[0]), fresh);
                EXPECT_EQ(hdd[0].Length, 7);
            }
        }
        if (r.code == 10 || r.code == 11 || r.code == 21) {
            EXPECT_EQ(trace.All().find("[ERR]"), std::string::npos) << "reported by code only";
        }
    }

    // The step lines of a combined set, in order.
    fake::Reset();
    refused.clear();
    engine.Role = ROLE_USER;
    Trace trace;
    ASSERT_EQ(engine.SetPassword(L"Secret1", 1, 1), 104);
    const std::vector<std::string> steps = {
        "Get password = ********", "bCheckSetHddPW = 1 , bIsUser = 1 ", "Check no input!", "Check length!",
        "Check character legality!", "create passcode using MD5!", "Set BIOS password!", "Set HDD password!",
        "Set BIOS and HDD Password OK!"};
    EXPECT_EQ(trace.Messages("PassWordFUN::SetPassword"), steps);
}

// The virtual notebook's own rules, without Windows: the state file, the
// firmware's verdicts, fault injection, the verification judge and the journal.
#include <gtest/gtest.h>

#include <cstring>

#include "NotebookCertify.h"
#include "NotebookFirmware.h"
#include "NotebookJournal.h"
#include "NotebookScenario.h"

namespace {

using sim::CScenario;

// One process's view of a machine: open a handle, connect, send requests.
class Machine {
public:
    explicit Machine(const CScenario& scenario) : state(scenario.State()) {}

    bool Connect()
    {
        sim::CFirmware fw(state, session);
        if (!fw.Open(handle))
            return false;
        FirmwareCallBlock b = Block(fw::kRequestConnection, 0, fw::kSystemWrite);
        b.ValueB = fw::kSelectorConnect;
        return fw.Set(handle, b) && b.Completion() == fw::kDone;
    }
    static FirmwareCallBlock Block(std::uint16_t request, std::uint16_t sub, std::uint16_t function)
    {
        FirmwareCallBlock b{};
        b.Request = request;
        b.SubRequest = sub;
        b.Function = function;
        return b;
    }
    // A write; returns the completion (0xFF when the call itself failed).
    std::uint8_t Write(FirmwareCallBlock& b)
    {
        sim::CFirmware fw(state, session);
        return fw.Set(handle, b) ? b.Completion() : 0xFF;
    }
    std::uint8_t Read(FirmwareCallBlock& b)
    {
        sim::CFirmware fw(state, session);
        return fw.Get(handle, b) ? b.Completion() : 0xFF;
    }
    FirmwareCallBlock ReadSelector(std::uint16_t request, std::uint16_t selector, std::uint8_t* completion = nullptr)
    {
        FirmwareCallBlock b = Block(request, 0, fw::kSystemRead);
        b.ValueB = selector;
        const std::uint8_t c = Read(b);
        if (completion)
            *completion = c;
        return b;
    }
    std::uint8_t SetPassword(std::uint16_t sub, const std::string& text)
    {
        FirmwareCallBlock b = Block(fw::kRequestPassword, sub, fw::kSystemWrite);
        const sim::Passcode p = Code(text);
        fw::PutPasscode(b, p.data());
        b.Length = static_cast<std::uint16_t>(text.size());
        return Write(b);
    }
    // Change (with a new text) or delete (without).
    FirmwareCallBlock ChangeOrDelete(std::uint16_t sub, const std::string& current, const std::string* fresh = nullptr)
    {
        FirmwareCallBlock b = Block(fw::kRequestPassword, sub, fw::kSystemWrite);
        const sim::Passcode c = Code(current);
        FirmwareCallBlock half{};
        fw::PutPasscode(half, c.data());
        b.ValueA = half.Data0;
        b.ValueB = half.Data1;
        if (fresh) {
            const sim::Passcode f = Code(*fresh);
            fw::PutPasscode(b, f.data());
            b.Length = static_cast<std::uint16_t>(fresh->size());
        }
        Write(b);
        return b;
    }
    std::uint8_t TemporaryRights(const std::string& text)
    {
        FirmwareCallBlock b = Block(fw::kRequestSecurity, fw::kSubTemporarySupervisor, fw::kSystemWrite);
        const sim::Passcode p = Code(text);
        fw::PutPasscode(b, p.data());
        return Write(b);
    }
    sim::Passcode Code(const std::string& text) const { return sim::PasscodeOfText(text, state.PasscodeClass21()); }
    std::uint32_t Status() { return ReadSelector(fw::kRequestSecurity, 0).ValueB; }

    sim::NotebookState state;
    sim::FirmwareSession session;
    std::uint32_t handle = 0;
};

} // namespace

TEST(NotebookState, RoundTripsEveryField)
{
    const sim::NotebookState state = CScenario()
                                         .Class20()
                                         .User("user one")
                                         .Supervisor("Sv")
                                         .Hdd("disk")
                                         .PcPolicy(0x22)
                                         .UserPolicy(0x00010002, 0x80000000)
                                         .Owner(std::string("Line \"1\"\r\nx\0y\\", 14), 209)
                                         .Answers({sim::Typed("a, \"b\""), sim::Cancel(), sim::FailWith(7),
                                                   sim::ReturnValue(0x80000000), sim::Hold(250)})
                                         .Fault("request 0x0602 sub 0x0005 busy 3")
                                         .Fault("hardware 0x0062 read fail times 2")
                                         .Fault("owner-count 12")
                                         .Set("page_8200=0x1 0x80")
                                         .Set("status.bit21_on_policy_write=yes")
                                         .Set("wrong_passcodes=2")
                                         .Set("dialog.language=German")
                                         .Journal("journal.txt")
                                         .State();
    std::string why;
    const auto back = sim::Parse(sim::Serialize(state), &why);
    ASSERT_TRUE(back) << why;
    EXPECT_EQ(*back, state) << sim::Serialize(*back);
}

TEST(NotebookState, RejectsWhatItDoesNotUnderstand)
{
    const char* bad[] = {
        "[machine]\nlevel = 16\n",                 // out of range
        "[machine]\nlevels = 1\n",                 // unknown key
        "[passwords]\nuser = 0102\n",              // not 8 bytes
        "[owner]\ntext = \"open\n",                // unterminated
        "[dialog]\nanswers = \"a\" cancel\n",       // no comma
        "[dialog]\nanswers = maybe\n",
        "[faults]\nfault = request 0x0602 busy\n", // busy needs a count
        "[faults]\nfault = open busy 2\n",         // only requests answer busy
        "[machine\n",
    };
    for (const char* text : bad) {
        std::string why;
        EXPECT_FALSE(sim::Parse(text, &why)) << text;
        EXPECT_FALSE(why.empty()) << text;
    }
}

TEST(NotebookState, FaultLinesReadBackInCanonicalForm)
{
    const std::pair<const char*, const char*> cases[] = {
        {"request 0x602 sub 5 busy 3", "request 0x0602 sub 0x0005 busy 3"},
        {"request 0x0601 selector 0 busy forever", "request 0x0601 selector 0x0000 busy forever"},
        {"request 0x0604 sub 3 completion 0x84 times 1", "request 0x0604 sub 0x0003 completion 0x84 times 1"},
        {"connect fail", "request 0x0600 selector 0x8002 write fail forever"},
        {"DISCONNECT fail times 1", "request 0x0600 selector 0x0000 write fail times 1"},
        {"hardware 0x29 write fail", "hardware 0x0029 write fail forever"},
        {"certify-open 0", "certify-open 0 forever"},
        {"owner-count 12 times 1", "owner-count 12 times 1"},
    };
    for (const auto& [in, canonical] : cases) {
        std::string why;
        const auto f = sim::ParseFault(in, &why);
        ASSERT_TRUE(f) << in << ": " << why;
        EXPECT_EQ(sim::FormatFault(*f), canonical) << in;
        EXPECT_EQ(sim::ParseFault(canonical), f) << canonical;
    }
}

TEST(NotebookPasscodes, ClassesFollowTheLevelWord)
{
    const sim::Passcode abc = sim::PasscodeOfText("abc", true);
    const std::uint8_t expected[8] = {0x07, 0xDF, 0x8E, 0x49, 0x3A, 0x27, 0xE1, 0x93};
    EXPECT_EQ(std::memcmp(abc.data(), expected, 8), 0);
    EXPECT_EQ(sim::PasscodeOfText("ABC", true), abc);
    // Class 2.0 is another function of the same scan codes, blind to shift too.
    EXPECT_NE(sim::PasscodeOfText("abc", false), abc);
    EXPECT_EQ(sim::PasscodeOfText("AbC", false), sim::PasscodeOfText("abc", false));
    EXPECT_NE(sim::PasscodeOfText("acb", false), sim::PasscodeOfText("abc", false));
    std::uint8_t result[16];
    EXPECT_FALSE(sim::Class20Result(nullptr, 3, result));
    const std::uint8_t codes[51] = {};
    EXPECT_FALSE(sim::Class20Result(codes, 0, result));
    EXPECT_FALSE(sim::Class20Result(codes, 51, result));

    struct Case {
        std::uint8_t major, minor, insert;
        bool class21;
    } cases[] = {{2, 1, 1, true}, {2, 1, 0, false}, {1, 1, 0, true}, {2, 0, 1, false}, {3, 1, 1, false}};
    for (const Case& c : cases) {
        sim::NotebookState s;
        s.levelMajor = c.major;
        s.levelMinor = c.minor;
        s.insertByte = c.insert;
        EXPECT_EQ(s.PasscodeClass21(), c.class21) << int(c.major) << "." << int(c.minor) << " insert " << int(c.insert);
    }
}

TEST(NotebookFirmware, SetPasswordsThenStatusAndReads)
{
    Machine m(CScenario().Class21());
    ASSERT_TRUE(m.Connect());
    EXPECT_EQ(m.Status() & 0x3, 0u);
    EXPECT_EQ(m.SetPassword(sim::kSubSetSupervisor, "boss"), fw::kDone);
    EXPECT_EQ(m.SetPassword(sim::kSubSetSupervisor, "again"), sim::kAlreadyRegistered);
    // pc policy default allows users to register their own password
    EXPECT_EQ(m.SetPassword(sim::kSubSetUser, "me"), fw::kDone);
    EXPECT_EQ(m.Status() & 0x3, 0x3u);
    EXPECT_EQ(m.state.user, m.Code("me"));
    EXPECT_EQ(m.SetPassword(sim::kSubSetUser, std::string(51, 'a')), sim::kBadParameter);

    std::uint8_t c = 0;
    EXPECT_EQ(m.ReadSelector(fw::kRequestPolicy, 0x0081, &c).ValueB, m.state.userPolicy);
    EXPECT_EQ(c, fw::kDone);
    m.ReadSelector(fw::kRequestPolicy, 0x0082, &c);
    EXPECT_EQ(c, sim::kBadParameter);
    EXPECT_EQ(m.ReadSelector(fw::kRequestHdd, 0x0100).ValueA & 0xFFFF, 1u) << "no HDD password set";
    EXPECT_EQ(m.ReadSelector(fw::kRequestSecurity, 0).ValueA & (1u << 28), 1u << 28);
}

TEST(NotebookFirmware, RequestsNeedAConnectionAndTheRightFunction)
{
    Machine m{CScenario()};
    sim::CFirmware fw(m.state, m.session);
    std::uint32_t handle = 0;
    ASSERT_TRUE(fw.Open(handle));
    m.handle = handle;
    std::uint8_t c = 0;
    m.ReadSelector(fw::kRequestSecurity, 0, &c);
    EXPECT_EQ(c, sim::kNotConnected);
    ASSERT_TRUE(m.Connect()); // a new handle takes over the connection
    FirmwareCallBlock wrongFunction = Machine::Block(fw::kRequestSecurity, 0, fw::kSystemWrite);
    EXPECT_EQ(m.Read(wrongFunction), sim::kBadParameter);
    FirmwareCallBlock stale = Machine::Block(fw::kRequestSecurity, 0, fw::kSystemRead);
    EXPECT_TRUE(fw.Get(handle, stale));
    EXPECT_EQ(stale.Completion(), sim::kNotConnected);
    FirmwareCallBlock unknownHandle = stale;
    EXPECT_FALSE(fw.Get(999, unknownHandle));
}

TEST(NotebookFirmware, TemporaryRightsNeedTheSupervisorPasscodeAndLastOneConnection)
{
    Machine m(CScenario().Class21().Supervisor("boss").PcPolicy(0));
    ASSERT_TRUE(m.Connect());
    EXPECT_EQ(m.SetPassword(sim::kSubSetUser, "me"), sim::kNoRight);
    EXPECT_EQ(m.TemporaryRights("wrong"), sim::kWrongPasscode);
    EXPECT_EQ(m.SetPassword(sim::kSubSetUser, "me"), sim::kNoRight);
    EXPECT_EQ(m.TemporaryRights("boss"), fw::kDone);
    EXPECT_EQ(m.state.wrongPasscodes, 0) << "a correct passcode clears the count";
    EXPECT_EQ(m.SetPassword(sim::kSubSetUser, "me"), fw::kDone);

    // The rights end with the connection.
    ASSERT_TRUE(m.Connect());
    FirmwareCallBlock policy = Machine::Block(fw::kRequestPolicy, fw::kSubUserPolicyWrite, fw::kSystemWrite);
    policy.ValueB = 0x2;
    EXPECT_EQ(m.Write(policy), sim::kNoRight);
    EXPECT_EQ(m.TemporaryRights("boss"), fw::kDone);
    policy.SetCompletion(0x44); // as sent: the reply overwrote it
    EXPECT_EQ(m.Write(policy), fw::kDone);
    EXPECT_EQ(m.state.userPolicy, 0x2u);
    EXPECT_EQ(m.state.pcPolicy, 0x2u) << "the PC policy follows the permission bits";
}

TEST(NotebookFirmware, ChangeAndDeleteCheckTheCurrentPasscode)
{
    Machine m(CScenario().Class20().User("old").Supervisor("boss").PcPolicy(0x0E));
    ASSERT_TRUE(m.Connect());
    const std::string fresh = "new";
    EXPECT_EQ(m.ChangeOrDelete(sim::kSubChangeUser, "old", &fresh).Completion(), fw::kDone);
    EXPECT_EQ(m.state.user, m.Code("new"));
    EXPECT_EQ(m.ChangeOrDelete(sim::kSubDeleteUser, "old").Completion(), sim::kWrongPasscode);
    // With temporary rights the supervisor passcode proves a user deletion.
    ASSERT_EQ(m.TemporaryRights("boss"), fw::kDone);
    EXPECT_EQ(m.ChangeOrDelete(sim::kSubDeleteUser, "boss").Completion(), fw::kDone);
    EXPECT_FALSE(m.state.user);
    EXPECT_EQ(m.ChangeOrDelete(sim::kSubDeleteUser, "boss").Completion(), sim::kNotRegistered);
    // The supervisor's own password is never proven by rights alone.
    EXPECT_EQ(m.ChangeOrDelete(sim::kSubDeleteSupervisor, "new").Completion(), sim::kWrongPasscode);
    EXPECT_EQ(m.ChangeOrDelete(sim::kSubDeleteSupervisor, "boss").Completion(), fw::kDone);
    EXPECT_EQ(m.Status() & 0x3, 0u);
}

TEST(NotebookFirmware, PolicyBitsRestrictUsersWithoutRights)
{
    struct Case {
        std::uint32_t pcPolicy;
        std::uint16_t sub;
        std::uint8_t expected;
    } cases[] = {
        {0x0E, sim::kSubChangeUser, fw::kDone}, {0x06, sim::kSubChangeUser, sim::kNoRight},
        {0x0E, sim::kSubDeleteUser, fw::kDone}, {0x0A, sim::kSubDeleteUser, sim::kNoRight},
    };
    for (const Case& c : cases) {
        Machine m(CScenario().User("me").Supervisor("boss").PcPolicy(c.pcPolicy));
        ASSERT_TRUE(m.Connect());
        const std::string fresh = "other";
        const auto b = m.ChangeOrDelete(c.sub, "me", c.sub == sim::kSubChangeUser ? &fresh : nullptr);
        EXPECT_EQ(b.Completion(), c.expected) << "policy " << c.pcPolicy << " sub " << c.sub;
        EXPECT_EQ(m.state.wrongPasscodes, 0);
    }
}

TEST(NotebookFirmware, RetryLimitAnswers83UntilReset)
{
    Machine m(CScenario().Supervisor("boss").Set("retry_limit=3"));
    ASSERT_TRUE(m.Connect());
    const std::string fresh = "next";
    auto b = m.ChangeOrDelete(sim::kSubChangeSupervisor, "x", &fresh);
    EXPECT_EQ(b.Completion(), sim::kWrongPasscode);
    EXPECT_EQ(b.ValueA & 0xFFFF, 2u) << "tries left";
    b = m.ChangeOrDelete(sim::kSubChangeSupervisor, "y", &fresh);
    EXPECT_EQ(b.Completion(), sim::kWrongPasscode);
    EXPECT_EQ(b.ValueA & 0xFFFF, 1u);
    b = m.ChangeOrDelete(sim::kSubChangeSupervisor, "z", &fresh);
    EXPECT_EQ(b.Completion(), sim::kRetryLimit);
    EXPECT_EQ(b.ValueA & 0xFFFF, 0u);
    // Locked: even the right passcode gets the retry-limit answer.
    b = m.ChangeOrDelete(sim::kSubChangeSupervisor, "boss", &fresh);
    EXPECT_EQ(b.Completion(), sim::kRetryLimit);
    EXPECT_EQ(b.ValueA & 0xFFFF, 0u);
    EXPECT_EQ(m.TemporaryRights("boss"), sim::kRetryLimit);
    EXPECT_EQ(m.state.supervisor, m.Code("boss"));
    m.state.wrongPasscodes = 0;
    EXPECT_EQ(m.ChangeOrDelete(sim::kSubChangeSupervisor, "boss", &fresh).Completion(), fw::kDone);
}

TEST(NotebookFirmware, InjectedFaultsAffectTheirCallsOnly)
{
    Machine m(CScenario()
                  .Fault("request 0x0602 sub 0x0006 busy 2")
                  .Fault("request 0x0604 selector 0x0081 completion 0x90 times 1")
                  .Fault("request 0x0603 fail times 1"));
    ASSERT_TRUE(m.Connect());
    EXPECT_EQ(m.SetPassword(sim::kSubSetSupervisor, "boss"), fw::kBusy);
    EXPECT_EQ(m.SetPassword(sim::kSubSetSupervisor, "boss"), fw::kBusy);
    EXPECT_FALSE(m.state.supervisor) << "a busy answer changes nothing";
    EXPECT_EQ(m.SetPassword(sim::kSubSetSupervisor, "boss"), fw::kDone);
    std::uint8_t c = 0;
    m.ReadSelector(fw::kRequestPolicy, 0x0000, &c);
    EXPECT_EQ(c, fw::kDone) << "another selector";
    m.ReadSelector(fw::kRequestPolicy, 0x0081, &c);
    EXPECT_EQ(c, 0x90);
    m.ReadSelector(fw::kRequestPolicy, 0x0081, &c);
    EXPECT_EQ(c, fw::kDone);
    m.ReadSelector(fw::kRequestHdd, 0x0000, &c);
    EXPECT_EQ(c, 0xFF) << "the call failed";
    m.ReadSelector(fw::kRequestHdd, 0x0000, &c);
    EXPECT_EQ(c, fw::kDone);
    EXPECT_TRUE(m.state.faults.empty()) << sim::Serialize(m.state);

    // A selector names a read: the temporary-rights write of the same request is not affected.
    Machine reads(CScenario().Fault("request 0x0601 selector 0x0000 fail"));
    ASSERT_TRUE(reads.Connect());
    EXPECT_EQ(reads.TemporaryRights("anything"), fw::kDone);
    reads.ReadSelector(fw::kRequestSecurity, 0, &c);
    EXPECT_EQ(c, 0xFF);

    Machine forever(CScenario().Fault("request 0x0601 busy forever").Fault("open fail times 1"));
    sim::CFirmware fw(forever.state, forever.session);
    std::uint32_t h = 0;
    EXPECT_FALSE(fw.Open(h));
    ASSERT_TRUE(forever.Connect());
    for (int i = 0; i < 5; ++i) {
        forever.ReadSelector(fw::kRequestSecurity, 0, &c);
        EXPECT_EQ(c, fw::kBusy);
    }
    EXPECT_EQ(forever.state.faults.size(), 1u);
}

TEST(NotebookFirmware, OwnerStringChunksThroughRegister29)
{
    Machine m(CScenario().Owner("", 209));
    sim::CFirmware fw(m.state, m.session);
    const std::string text = "Property of ACME";
    for (std::size_t pos = 0; pos <= text.size(); pos += 8) {
        FirmwareCallBlock b{};
        b.Function = fw::kHardwareWrite;
        b.Request = fw::kRegisterOwnerString;
        b.Data1 = static_cast<std::uint32_t>(pos);
        const std::size_t n = pos == text.size() ? 1 : std::min<std::size_t>(8, text.size() - pos);
        std::uint8_t chunk[8] = {};
        std::memcpy(chunk, text.data() + pos, pos == text.size() ? 0 : n);
        std::memcpy(&b.ValueA, chunk, 4);
        std::memcpy(&b.Data0, chunk + 4, 4);
        b.ValueB = static_cast<std::uint32_t>(n);
        ASSERT_TRUE(fw.Hardware(b)) << pos;
    }
    EXPECT_EQ(m.state.owner, text);

    std::string read;
    FirmwareCallBlock b{};
    for (std::uint32_t pos = 0; pos < 209;) {
        b.Function = fw::kHardwareRead;
        b.Request = fw::kRegisterOwnerString;
        b.Data1 = pos;
        ASSERT_TRUE(fw.Hardware(b));
        EXPECT_EQ(b.ValueB >> 16, 209u);
        const std::uint32_t n = b.ValueB & 0xFFFF;
        ASSERT_LE(n, 8u);
        char chunk[8];
        std::memcpy(chunk, &b.ValueA, 4);
        std::memcpy(chunk + 4, &b.Data0, 4);
        read.append(chunk, n);
        pos += n;
    }
    EXPECT_EQ(read.size(), 209u);
    EXPECT_EQ(read.c_str(), text);

    // Beyond the area, or more than 8 bytes: refused.
    FirmwareCallBlock over{};
    over.Function = fw::kHardwareWrite;
    over.Request = fw::kRegisterOwnerString;
    over.Data1 = 205;
    over.ValueB = 5;
    EXPECT_FALSE(fw.Hardware(over));
    over.Data1 = 0;
    over.ValueB = 9;
    EXPECT_FALSE(fw.Hardware(over));
}

TEST(NotebookCertify, RequestsAreCheckedAndTheCloseCheckValueVerified)
{
    sim::CCertifySession s;
    std::uint8_t buf[certify::kBufferSize] = {};
    const auto request = [&](std::uint32_t code, std::uint32_t size, std::uint32_t parameter) {
        std::memset(buf, 0, sizeof buf);
        sim::WriteWord(buf, 0, code);
        sim::WriteWord(buf, 4, size);
        sim::WriteWord(buf, 8, parameter);
    };
    request(certify::kSetText, 3, 0);
    EXPECT_EQ(s.Handle(buf, {}), sim::kCertifyBadRequest) << "not open";
    request(certify::kOpen, 12, 0);
    EXPECT_EQ(s.Handle(buf, {}), sim::kCertifyBadRequest);
    request(certify::kOpen, 16, 0);
    sim::WriteWord(buf, 12, 8);
    EXPECT_EQ(s.Handle(buf, {}), 1);
    request(certify::kSetText, 0, 0);
    std::strcpy(reinterpret_cast<char*>(buf + 8), "CaptionTitle=Title");
    sim::WriteWord(buf, 4, 18);
    EXPECT_EQ(s.Handle(buf, {}), 1);
    EXPECT_EQ(s.Text("CaptionTitle"), "Title");
    sim::WriteWord(buf, 4, 17);
    EXPECT_EQ(s.Handle(buf, {}), sim::kCertifyBadRequest) << "size must be the text length";
    request(certify::kAbort, 520, 0);
    EXPECT_EQ(s.Handle(buf, {}), 0) << "nothing outstanding";

    request(certify::kClose, 20, 0x800);
    EXPECT_EQ(s.Handle(buf, {}), sim::kCertifyBadRequest) << "zero check value";
    request(certify::kOpen, 16, 0);
    ASSERT_EQ(s.Handle(buf, {}), 1);
    request(certify::kClose, 20, 0x800);
    const sim::Passcode check = sim::CloseCheckValue();
    std::memcpy(buf + 12, check.data(), 8);
    EXPECT_EQ(s.Handle(buf, {}), 1);
    request(certify::kOpen, 16, 0);
    EXPECT_EQ(s.Handle(buf, std::int32_t{0}), 0) << "an injected open answer";
}

TEST(NotebookCertify, JudgeAnswersTheAskedRights)
{
    const sim::NotebookState machine = CScenario().Class21().User("me").Supervisor("boss").Set("dialog.retries=2").State();
    const auto code = [&](const char* t) { return sim::PasscodeOfText(t, true); };
    struct Case {
        std::uint32_t flags;
        const char* typed;
        sim::CVerifyJudge::Verdict verdict;
        std::uint32_t outcome;
    } cases[] = {
        {0x21091003, "boss", sim::CVerifyJudge::Verdict::Verified, 0x11002},
        {0x21091003, "me", sim::CVerifyJudge::Verdict::Verified, 0x11001},
        {0x2091002, "me", sim::CVerifyJudge::Verdict::Retry, 0},
        {0x2091001, "ME", sim::CVerifyJudge::Verdict::Verified, 0x11001},
        {0x0000002, "boss", sim::CVerifyJudge::Verdict::Verified, 0x2},
    };
    for (const Case& c : cases) {
        sim::CVerifyJudge judge(c.flags, machine);
        EXPECT_EQ(judge.Attempt(code(c.typed)), c.verdict) << std::hex << c.flags << " " << c.typed;
        EXPECT_EQ(judge.Outcome(), c.outcome) << std::hex << c.flags << " " << c.typed;
        if (c.outcome & certify::kOutcomePasscode) {
            EXPECT_EQ(judge.VerifiedPasscode(), code(c.typed));
        }
    }
    sim::CVerifyJudge judge(0x2091002, machine);
    EXPECT_EQ(sim::TargetPhrase("English", judge.Target()), "supervisor password");
    EXPECT_EQ(judge.Attempt(code("x")), sim::CVerifyJudge::Verdict::Retry);
    EXPECT_EQ(judge.Attempt(code("y")), sim::CVerifyJudge::Verdict::RetryLimit);

    // Nothing registered that could prove the asked rights: any answer passes, without rights.
    sim::CVerifyJudge empty(0x2091003, CScenario().State());
    EXPECT_EQ(empty.Attempt(code("anything")), sim::CVerifyJudge::Verdict::Verified);
    EXPECT_EQ(empty.Outcome(), 0x10000u);
}

TEST(NotebookCertify, VerifyEndsAreWrittenIntoTheBuffer)
{
    sim::CCertifySession s;
    std::uint8_t buf[certify::kBufferSize] = {};
    sim::WriteWord(buf, 0, certify::kOpen);
    sim::WriteWord(buf, 4, 16);
    ASSERT_EQ(s.Handle(buf, {}), 1);
    const auto verify = [&] {
        std::memset(buf, 0, sizeof buf);
        sim::WriteWord(buf, 0, certify::kVerify);
        sim::WriteWord(buf, 4, 20);
        sim::WriteWord(buf, 8, 0x2091002);
        return s.BeginVerify(buf);
    };
    ASSERT_EQ(verify(), 0x2091002u);
    sim::VerifyEnd limit{sim::VerifyEnd::Kind::RetryLimit};
    EXPECT_EQ(s.FinishVerify(buf, limit), 0);
    EXPECT_EQ(sim::ReadWord(buf, 8), 0xFFFFFFFFu);

    ASSERT_TRUE(verify());
    std::uint8_t abort[certify::kBufferSize] = {};
    sim::WriteWord(abort, 0, certify::kAbort);
    sim::WriteWord(abort, 4, 520);
    EXPECT_EQ(s.Handle(abort, {}), 1);
    sim::VerifyEnd verified{sim::VerifyEnd::Kind::Verified, 0x1002};
    EXPECT_EQ(s.FinishVerify(buf, verified), 0) << "an abort wins";
    EXPECT_EQ(sim::ReadWord(buf, 8), 0u);

    ASSERT_TRUE(verify());
    verified.passcode = sim::PasscodeOfText("boss", true);
    EXPECT_EQ(s.FinishVerify(buf, verified), 1);
    EXPECT_EQ(sim::ReadWord(buf, 8), 0x1002u);
    EXPECT_EQ(std::memcmp(buf + 12, verified.passcode.data(), 8), 0);

    ASSERT_TRUE(verify());
    EXPECT_EQ(s.FinishVerify(buf, {sim::VerifyEnd::Kind::Returned, 0, static_cast<std::int32_t>(0x80000000)}),
              static_cast<std::int32_t>(0x80000000));
}

TEST(NotebookCertify, LanguageFileHelpers)
{
    EXPECT_EQ(sim::StripQuotes("\"Please type a %Target1%.\""), "Please type a %Target1%.");
    EXPECT_EQ(sim::StripQuotes("Cancel"), "Cancel");
    EXPECT_EQ(sim::StripQuotes("\""), "\"");
    EXPECT_EQ(sim::FillTarget("Please type a %Target1%. %Target1%!", "password"), "Please type a password. password!");
    const std::pair<std::uint16_t, const char*> languages[] = {
        {0x0409, "English"}, {0x0407, "German"}, {0x0807, "German"}, {0x0404, "ChineseTW"}, {0x0804, "Chinese"},
        {0x0C04, "ChineseHK"}, {0x0416, "PortugueseBr"}, {0x0816, "Portuguese"}, {0x0418, "English"},
    };
    for (const auto& [id, name] : languages)
        EXPECT_EQ(sim::LanguageSection(id), name) << std::hex << id;

    // The words for %Target1% follow the section; one without words of its own gets English.
    EXPECT_EQ(sim::TargetPhrase("German", sim::TargetKind::User), "Benutzerkennwort");
    EXPECT_EQ(sim::TargetPhrase("Russian", sim::TargetKind::Supervisor),
              reinterpret_cast<const char*>(u8"пароль администратора"));
    EXPECT_EQ(sim::TargetPhrase("English", sim::TargetKind::Password), "password");
    EXPECT_EQ(sim::TargetPhrase("Klingon", sim::TargetKind::Supervisor), "supervisor password");
}

TEST(NotebookJournal, LinesParseBackIntoFields)
{
    FirmwareCallBlock in{};
    in.Request = 0x0602;
    in.Function = fw::kSystemWrite;
    FirmwareCallBlock out = in;
    out.SetCompletion(0x83);
    const std::string text = sim::CJournalLine("QSCIEX", "QSCISet").Number("handle", 3).Bytes("in", &in, sizeof in)
                                 .Bytes("out", &out, sizeof out).Number("ret", 1).Line() + "\n" +
                             sim::CJournalLine("ORNPWCHK", "certify").Add("request", "SetText").Number("size", 20)
                                 .Text("text", "CaptionTitle=A \"quoted\" title").Hex("param", 0x2091002).Line() + "\r\n";
    const auto entries = sim::ParseJournal(text);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].library, "QSCIEX");
    EXPECT_EQ(entries[0].entry, "QSCISet");
    EXPECT_EQ(entries[0].Number("handle"), 3);
    ASSERT_TRUE(entries[0].Block("out"));
    EXPECT_EQ(entries[0].Block("out")->Completion(), 0x83);
    EXPECT_EQ(entries[0].Block("in")->Request, 0x0602);
    EXPECT_EQ(entries[1].Field("text"), "CaptionTitle=A \"quoted\" title");
    EXPECT_EQ(entries[1].Number("param"), 0x2091002);
    EXPECT_EQ(entries[1].Number("size"), 20);
    EXPECT_FALSE(entries[1].Has("ret"));
}

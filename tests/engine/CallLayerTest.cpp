// The security exchange and the state decisions against an in-process
// firmware that records every block.
#include <gtest/gtest.h>

#include <cstring>

#include "FakeFirmware.h"
#include "Trace.h"
#include "TestPlatform.h"

namespace {

class CallLayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        fake::Bind(engine);
    }
    fake::Firmware& firmware = fake::Current();
    TestPlatform platform;
    PassWordFUN engine{platform};
};

FirmwareCallBlock Request(WORD request, WORD selector, WORD function = fw::kSystemRead)
{
    FirmwareCallBlock block{};
    block.Request = request;
    block.ValueB = selector;
    block.Function = function;
    return block;
}

} // namespace

TEST_F(CallLayer, ExchangeSendsConnectRightsRequestDisconnectAndCloses)
{
    const BYTE passcode[8] = {0x07, 0xDF, 0x8E, 0x49, 0x3A, 0x27, 0xE1, 0x93};
    firmware.answer = [](const std::string& op, FirmwareCallBlock& b) {
        if (op == "get")
            b.ValueA = 0x11, b.ValueB = 0x22;
        return fake::Done(b);
    };
    FirmwareCallBlock block = Request(0x0601, 0x0000);
    WORD status = 0xFFFF;
    pwtest::Trace trace;
    ASSERT_EQ(engine.QSCISecurity(&block, &status, 1, passcode), 1);
    EXPECT_EQ(status, STS_SUCCESS);
    const std::vector<std::string> steps = {
        "check Security Interface connected or not!", "set connect flag!", "connect to security interface!",
        "call connect security function!", "check return value", "Go up to temporal SV if necessary",
        "call security function and wait for finishing!", "disconnect from security interface",
        "close SCI Interface!", "function success!"};
    EXPECT_EQ(trace.Messages("PassWordFUN::QSCISecurity"), steps);
    const auto lines = trace.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "[INF] (PassWordFUN::QSCISecurity): ENTER PassWordFUN::QSCISecurity");
    EXPECT_EQ(lines.back(), "[INF] (PassWordFUN::QSCISecurity): LEAVE PassWordFUN::QSCISecurity");
    for (const auto& line : lines)
        EXPECT_EQ(line.substr(0, 5), "[INF]") << line;
    EXPECT_EQ(trace.All().find("93E1273A"), std::string::npos);
    EXPECT_EQ(firmware.Trace(), "open set:0600/8002 set:0601/0002 get:0601/0000 set:0600/0000 close");
    EXPECT_EQ(block.ValueA, 0x11u);
    EXPECT_EQ(block.ValueB, 0x22u);
    EXPECT_EQ(engine.bConnected, 0);

    const auto sets = firmware.Blocks("set");
    EXPECT_EQ(sets[0].Function, fw::kSystemWrite);
    EXPECT_EQ(sets[0].ValueB, 0x8002u);
    const FirmwareCallBlock& rights = sets[1];
    EXPECT_EQ(rights.Data0, 0x93E1273Au) << "passcode bytes 4..7 first";
    EXPECT_EQ(rights.Data1, 0x498EDF07u);
    EXPECT_EQ(rights.Function, fw::kSystemWrite);
    EXPECT_EQ(sets[2].ValueB, 0u);
    EXPECT_EQ(firmware.Blocks("close")[0].Data0, 0x1234u) << "the opened handle is closed";
}

TEST_F(CallLayer, WritesUseSetAndNoRightsWithoutAuthorization)
{
    FirmwareCallBlock block = Request(0x0602, 0, fw::kSystemWrite);
    block.SubRequest = 5;
    WORD status = 0;
    ASSERT_EQ(engine.QSCISecurity(&block, &status, 0, nullptr), 1);
    EXPECT_EQ(firmware.Trace(), "open set:0600/8002 set:0602/0005 set:0600/0000 close");
}

TEST_F(CallLayer, BusyForeverGives301AttemptsThenTimeoutWithoutDisconnectOrClose)
{
    firmware.answer = [](const std::string& op, FirmwareCallBlock& b) {
        if (op == "get") {
            b.SetCompletion(fw::kBusy);
            return TRUE;
        }
        return fake::Done(b);
    };
    FirmwareCallBlock block = Request(0x0604, 0x0081);
    WORD status = 0;
    EXPECT_EQ(engine.QSCISecurity(&block, &status, 1, nullptr), 0);
    EXPECT_EQ(status, STS_SEC_TIMEOUT);
    EXPECT_EQ(firmware.Blocks("get").size(), 301u);
    EXPECT_EQ(firmware.Blocks("close").size(), 0u);
    EXPECT_EQ(firmware.Blocks("set").size(), 1u) << "connect only, no disconnect";
    EXPECT_EQ(platform.sleeps, std::vector<DWORD>(300, 15));
    EXPECT_EQ(engine.bConnected, 0);
}

TEST_F(CallLayer, RightsStepAndRequestCountBusyAnswersSeparately)
{
    // 300 busy answers to each step still succeed: the counters are separate.
    int rightsBusy = 0, requestBusy = 0;
    firmware.answer = [&](const std::string& op, FirmwareCallBlock& b) {
        if (op == "set" && b.Request == 0x0601 && rightsBusy < 300) {
            ++rightsBusy;
            b.SetCompletion(fw::kBusy);
            return FALSE; // busy counts whatever the call returned
        }
        if (op == "get" && requestBusy < 300) {
            ++requestBusy;
            b.ValueA = 0xBAD0 + requestBusy; // a reply of a busy attempt must not leak
            b.SetCompletion(fw::kBusy);
            return TRUE;
        }
        if (op == "get")
            b.ValueA = 0x600D;
        return fake::Done(b);
    };
    const BYTE passcode[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    FirmwareCallBlock block = Request(0x0603, 0x0100);
    block.Length = 0x55;
    WORD status = 0;
    ASSERT_EQ(engine.QSCISecurity(&block, &status, 1, passcode), 1);
    EXPECT_EQ(block.ValueA, 0x600Du);
    EXPECT_EQ(platform.sleeps.size(), 600u);
    for (const FirmwareCallBlock& sent : firmware.Blocks("get")) {
        ASSERT_EQ(sent.ValueA, 0u) << "every attempt starts from the caller's request";
        ASSERT_EQ(sent.ValueB, 0x0100u);
        ASSERT_EQ(sent.Length, 0x55);
        ASSERT_EQ(sent.Function, fw::kSystemRead);
    }
}

TEST_F(CallLayer, FailureStatusesAndWhatTheyLeave)
{
    struct Row {
        const char* name;
        std::function<void(fake::Firmware&)> arrange;
        WORD status;
        const char* trace;
    };
    const auto failOn = [](const char* op, WORD request, WORD selector, BOOL result, BYTE completion) {
        return [=](fake::Firmware& f) {
            f.answer = [=](const std::string& o, FirmwareCallBlock& b) {
                if (o == op && b.Request == request && (b.ValueB & 0xFFFF) == selector) {
                    b.SetCompletion(completion);
                    return result;
                }
                return fake::Done(b);
            };
        };
    };
    const Row rows[] = {
        {"open fails", [](fake::Firmware& f) { f.openResult = FALSE; }, STS_SCI_OPEN_FAILED, "open"},
        {"connect call fails", failOn("set", 0x0600, 0x8002, FALSE, 0), STS_SEC_CONNECT_FAILED,
         "open set:0600/8002"},
        {"connect refused", failOn("set", 0x0600, 0x8002, TRUE, 0x83), STS_SEC_CONNECT_FAILED, "open set:0600/8002"},
        {"request refused", failOn("get", 0x0601, 0, TRUE, 0x83), STS_SEC_FUNCTION_FAILED,
         "open set:0600/8002 get:0601/0000"},
        {"request call fails without busy", failOn("get", 0x0601, 0, FALSE, 0), STS_SEC_FUNCTION_FAILED,
         "open set:0600/8002 get:0601/0000"},
        {"disconnect refused", failOn("set", 0x0600, 0x0000, TRUE, 0x01), STS_SEC_DISCONNECT_FAILED,
         "open set:0600/8002 get:0601/0000 set:0600/0000"},
        {"close fails", [](fake::Firmware& f) { f.closeResult = FALSE; }, STS_SCI_CLOSE_FAILED,
         "open set:0600/8002 get:0601/0000 set:0600/0000 close"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fake::Reset();
        row.arrange(firmware);
        FirmwareCallBlock block = Request(0x0601, 0);
        WORD status = 0;
        EXPECT_EQ(engine.QSCISecurity(&block, &status, 1, nullptr), 0);
        EXPECT_EQ(status, row.status);
        EXPECT_EQ(firmware.Trace(), row.trace);
        EXPECT_EQ(engine.bConnected, 0);
    }
}

TEST_F(CallLayer, RefusalLinesNameTheStatus)
{
    pwtest::Trace trace;
    FirmwareCallBlock block = Request(0x0600, 0);
    WORD status = 0;
    engine.QSCISecurity(&block, &status, 1, nullptr);
    firmware.openResult = FALSE;
    block = Request(0x0601, 0);
    engine.QSCISecurity(&block, &status, 1, nullptr);
    engine.QSCIOpenInterface = nullptr;
    engine.QSCISecurity(&block, &status, 1, nullptr);
    const std::vector<std::string> expected = {"ErrorStatus = STS_SEC_BAD_PARAMETER!", "ErrorStatus = STS_SCI_OPEN_FAILED!",
                                               "ErrorStatus = STS_DLL_NOT_FOUND_FUNCTION!"};
    EXPECT_EQ(trace.Messages("PassWordFUN::QSCISecurity"), expected);
}

TEST_F(CallLayer, HeldInterfaceWaitsOnceThenReportsBusy)
{
    engine.bConnected = 1; // another exchange holds the interface
    FirmwareCallBlock block = Request(0x0601, 0);
    WORD status = 0;
    EXPECT_EQ(engine.QSCISecurity(&block, &status, 1, nullptr), 0);
    EXPECT_EQ(status, STS_SEC_BUSY);
    EXPECT_EQ(platform.sleeps, std::vector<DWORD>{750});
    EXPECT_EQ(firmware.Trace(), "open");
    EXPECT_EQ(engine.bConnected, 1) << "left as the other exchange set it";
}

TEST_F(CallLayer, HardwareCallsOverwriteTheFunctionWord)
{
    FirmwareCallBlock block = Request(0x0062, 0, fw::kSystemRead);
    EXPECT_EQ(engine.QHCIGetFunction(&block), 1);
    EXPECT_EQ(firmware.Blocks("qhci")[0].Function, fw::kHardwareRead);
    block.Function = fw::kSystemRead;
    EXPECT_EQ(engine.QHCISetFunction(&block), 1);
    EXPECT_EQ(firmware.Blocks("qhci")[1].Function, fw::kHardwareWrite);
    firmware.answer = [](const std::string&, FirmwareCallBlock&) { return FALSE; };
    EXPECT_EQ(engine.QHCIGetFunction(&block), 0);
}

TEST_F(CallLayer, SecurityLevelClassDecision)
{
    struct Row {
        const char* name;
        DWORD level;
        BYTE insertByte;
        BOOL insertResult;
        DWORD userPolicyEx;
        int result;
        WORD status;
        BYTE scInfo;
        LONG longAuth;
        bool insertCalled;
        bool page8281Read;
    };
    const Row rows[] = {
        {"2.1 with token byte", 0x00210031, 1, TRUE, 0, 1, 0, 1, 1, true, true},
        {"2.1 zero byte, long auth", 0x00210031, 0, TRUE, 0, 1, 0, 0, 1, true, true},
        {"2.1 class 2 no long auth", 0x00210021, 0, TRUE, 0, 1, 0, 0, 0, true, true},
        {"2.1 insert fails", 0x00210031, 1, FALSE, 0, 0, STS_SEC_BAD_PARAMETER, 0, 0, true, false},
        {"1.1 no insert", 0x00110021, 1, TRUE, 0, 1, 0, 1, 0, false, true},
        {"2.0", 0x00200021, 1, TRUE, 0, 1, 0, 0, 0, false, true},
        {"no level", 0x00210010, 1, TRUE, 0, 0, STS_SEC_NO_LEVEL, 0, 0, false, false},
        {"bit 31 skips page", 0x00200021, 0, TRUE, 0x80000000, 1, 0, 0, 0, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fake::Reset();
        PassWordFUN fresh(platform);
        fake::Bind(fresh);
        fresh.HDDPWclass = 9;
        firmware.insertByte = row.insertByte;
        firmware.insertResult = row.insertResult;
        firmware.answer = [&](const std::string& op, FirmwareCallBlock& b) {
            if (op == "onecall")
                b.ValueA = row.level;
            if (op == "get" && b.Request == 0x0604 && b.ValueB == 0x0081)
                b.ValueA = row.userPolicyEx, b.ValueB = 0x1234;
            if (op == "get" && b.Request == 0x0601)
                b.ValueB = 0x3;
            return fake::Done(b);
        };
        WORD status = 0xEEEE;
        EXPECT_EQ(fresh.CheckSecurityLevel(&status), row.result);
        EXPECT_EQ(status, row.status);
        EXPECT_EQ(fresh.ScInfo, row.scInfo);
        EXPECT_EQ(fresh.bLongAuthLength, row.longAuth);
        EXPECT_EQ(firmware.Blocks("insert").size(), row.insertCalled ? 1u : 0u);
        bool pageRead = false;
        for (const auto& b : firmware.Blocks("get"))
            pageRead |= b.Request == 0x0604 && b.ValueB == 0x8281;
        EXPECT_EQ(pageRead, row.page8281Read);
        if (row.status == STS_SEC_NO_LEVEL) {
            EXPECT_EQ(fresh.HDDPWclass, 9) << "untouched";
        } else {
            EXPECT_EQ(fresh.HDDPWclass, static_cast<signed char>((row.level >> 4) & 0xF));
        }
        if (row.result == 1) {
            EXPECT_EQ(fresh.dwSecurityStatus, 0x3u);
        }
    }
}

TEST_F(CallLayer, HddStatusDecisions)
{
    struct Row {
        const char* name;
        DWORD supportB;  // ValueB of selector 0x0000
        DWORD stateA;    // ValueA of selector 0x0100
        DWORD pcPolicy;
        BYTE role;
        DWORD bios;
        signed char hddClass;
        DWORD hddFlags;
        int result;
        LONG support, enable;
    };
    const Row rows[] = {
        {"slot taken", 0, 0, 0x20, 2, 8, 3, 0, 0, 1, 0},
        {"user without policy bit", 0, 1, 0x00, 1, 8, 3, 0, 0, 1, 0},
        {"class 1", 0, 1, 0x20, 2, 8, 1, 0, 0, 0, 0},
        {"no BIOS bit", 0, 1, 0x20, 2, 0, 3, 0, 0, 0, 0},
        {"not supported", 1, 1, 0x20, 2, 8, 3, 0, 0, 0, 0},
        {"flags 2: enable when bit 0 clear", 0, 1, 0x20, 1, 8, 3, 0x2, 0, 1, 1},
        {"flags 3", 0, 1, 0x20, 1, 8, 3, 0x3, 0, 1, 0},
        {"flags 1", 0, 1, 0x20, 2, 8, 3, 0x1, 0, 1, 0},
        {"supervisor", 0, 1, 0x00, 2, 8, 3, 0, 0, 1, 1},
        {"user with policy bit", 0, 1, 0x20, 1, 8, 3, 0, 0, 1, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fake::Reset();
        engine.dwPCPolicy = row.pcPolicy;
        engine.Role = row.role;
        engine.cBios = row.bios;
        engine.HDDPWclass = row.hddClass;
        engine.dwHddFlags = row.hddFlags;
        engine.bHDDCueOccupied = 0;
        firmware.answer = [&](const std::string& op, FirmwareCallBlock& b) {
            if (op == "get" && b.Request == 0x0603 && b.ValueB == 0x0000)
                b.ValueB = row.supportB;
            else if (op == "get" && b.Request == 0x0603 && b.ValueB == 0x0100)
                b.ValueA = row.stateA;
            else if (op == "get" && b.Request == 0x0604 && b.ValueB == 0x0000)
                b.ValueB = row.pcPolicy;
            return fake::Done(b);
        };
        LONG support = 0, enable = 0;
        EXPECT_EQ(engine.CheckHDDPWStatus(&support, &enable), row.result);
        EXPECT_EQ(support, row.support);
        EXPECT_EQ(enable, row.enable);
    }

    // A failed read: E_FAIL and the outputs as the caller set them.
    fake::Reset();
    firmware.answer = [](const std::string& op, FirmwareCallBlock& b) {
        b.SetCompletion(op == "get" ? 0x83 : 0);
        return TRUE;
    };
    LONG support = 0, enable = 0;
    EXPECT_EQ(engine.CheckHDDPWStatus(&support, &enable), static_cast<int>(E_FAIL));
    EXPECT_EQ(support, 0);
    EXPECT_EQ(enable, 0);
}

TEST_F(CallLayer, HddSupportReadSkipsTheStateReadWhenNotSupported)
{
    engine.bHDDCueOccupied = 1;
    firmware.answer = [](const std::string& op, FirmwareCallBlock& b) {
        if (op == "get" && b.Request == 0x0603)
            b.ValueB = 0x0001;
        return fake::Done(b);
    };
    EXPECT_EQ(engine.CheckHDDPWStatus(), 1);
    EXPECT_EQ(engine.bHDDSupport, 0);
    EXPECT_EQ(engine.bHDDCueOccupied, 1) << "keeps its value";
    EXPECT_EQ(firmware.Blocks("get").size(), 1u);
}

TEST_F(CallLayer, PolicyPageAcceptsOnlyItsFourSelectors)
{
    for (WORD selector : {0x0200, 0x0281, 0x8200, 0x8281}) {
        DWORD pair[2] = {};
        WORD status = 0;
        EXPECT_EQ(engine.ReadPolicyPage(pair, selector, &status), 1) << selector;
    }
    const std::size_t callsBefore = firmware.calls.size();
    for (WORD selector : {0x0000, 0x0081, 0x0201, 0x8000}) {
        DWORD pair[2] = {};
        WORD status = 0;
        EXPECT_EQ(engine.ReadPolicyPage(pair, selector, &status), 0) << selector;
        EXPECT_EQ(status, STS_SEC_BAD_PARAMETER);
    }
    EXPECT_EQ(firmware.calls.size(), callsBefore) << "no firmware call for a refused selector";
}

TEST_F(CallLayer, Class20PasscodeComesFromTheLibrary)
{
    engine.ScInfo = 0;
    BYTE passcode[8] = {};
    ASSERT_EQ(engine.GetPassCode("a", passcode), 1);
    EXPECT_EQ(firmware.Blocks("compare").size(), 1u);
    // The fake's output byte i is scan code + i: 'a' is 0x1E.
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(passcode[i], 0x1E + i);
}

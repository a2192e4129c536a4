// pwctl's command line and its JSON text, without the platform.
#include <gtest/gtest.h>

#include "CommandLine.h"
#include "FleetSettings.h"
#include "JsonText.h"

using namespace pwctl;

TEST(PwctlCommandLine, OptionsAndCommands)
{
    struct Row {
        std::vector<std::wstring> argv;
        Parsed parsed;
        bool json, passwordStdin;
        std::wstring dll;
        std::vector<std::wstring> args;
    };
    const Row rows[] = {
        {{}, Parsed::Usage, false, false, L"", {}},
        {{L"status"}, Parsed::Run, false, false, L"", {L"status"}},
        {{L"--json", L"--dll", L"C:\\x.dll", L"status"}, Parsed::Run, true, false, L"C:\\x.dll", {L"status"}},
        {{L"set", L"--user", L"--json", L"--password-stdin"}, Parsed::Run, true, true, L"", {L"set", L"--user"}},
        {{L"--help", L"status"}, Parsed::Help, false, false, L"", {}},
        {{L"status", L"--help"}, Parsed::Run, false, false, L"", {L"status", L"--help"}},
        {{L"status", L"--dll", L"x"}, Parsed::Run, false, false, L"", {L"status", L"--dll", L"x"}},
        {{L"--dll"}, Parsed::Run, false, false, L"", {L"--dll"}}, // no path: taken as the command
        {{L"--json"}, Parsed::Usage, true, false, L"", {}},
    };
    for (const Row& r : rows) {
        Options o;
        EXPECT_EQ(ParseCommandLine(r.argv, o), r.parsed) << r.argv.size();
        if (r.parsed == Parsed::Help)
            continue;
        EXPECT_EQ(o.json, r.json);
        EXPECT_EQ(o.passwordStdin, r.passwordStdin);
        EXPECT_EQ(o.dll, r.dll);
        EXPECT_EQ(o.args, r.args);
    }
}

TEST(PwctlCommandLine, CommandShapes)
{
    const std::pair<std::vector<std::wstring>, bool> rows[] = {
        {{L"status"}, true},
        {{L"status", L"x"}, false},
        {{L"set", L"--user"}, true},
        {{L"set", L"--user", L"--hdd"}, true},
        {{L"set", L"--supervisor", L"--hdd"}, false},
        {{L"change", L"--user", L"--hdd"}, false},
        {{L"delete", L"--user", L"--supervisor"}, false},
        {{L"delete"}, false},
        {{L"owner", L"get"}, true},
        {{L"owner", L"set", L"Asset 7"}, true},
        {{L"owner", L"set"}, false},
        {{L"policy", L"get"}, true},
        {{L"policy", L"set", L"nPermitSetUPass=1", L"nPermitOwnClrTpm=2"}, true},
        {{L"policy", L"set", L"nPermitSetUPass=3"}, false},
        {{L"policy", L"set", L"nPermitSetUPass"}, false},
        {{L"policy", L"set", L"nPermitSetUPas=1"}, false},
        {{L"policy", L"set", L"nPermitSetUPass=11"}, false},
        {{L"policy", L"set"}, false},
        {{L"reboot"}, false},
    };
    for (const auto& [args, ok] : rows)
        EXPECT_EQ(Validate(args).empty(), ok) << Utf8(args[0]) << " " << args.size() << ": " << Validate(args);
    EXPECT_NE(Validate({L"policy", L"set", L"bogus=1"}).find("bogus=1"), std::string::npos);
    std::size_t field = 99;
    int value = -1;
    ASSERT_TRUE(ParsePolicyAssignment("nPermitOwnClrTpm=2", field, value));
    EXPECT_EQ(field, kPolicyFieldCount - 1);
    EXPECT_EQ(value, 2);
}

TEST(PwctlCommandLine, Utf8OfUtf16)
{
    EXPECT_EQ(Utf8(L"Asset 7"), "Asset 7");
    EXPECT_EQ(Utf8(std::wstring{0x00E9, 0x20AC}), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(Utf8(std::wstring{0xD83D, 0xDE00}), "\xF0\x9F\x98\x80"); // a pair
    EXPECT_EQ(Utf8(std::wstring{0xD83D, L'a'}), "\xEF\xBF\xBD" "a");   // a lone high half
    EXPECT_EQ(Utf8(std::wstring{0xDE00}), "\xEF\xBF\xBD");
}

TEST(PwctlJson, StringsAreAlwaysWellFormedUtf8)
{
    const std::pair<std::string, std::string> rows[] = {
        {"plain", "\"plain\""},
        {"q\"b\\n\nr\rt\t", "\"q\\\"b\\\\n\\nr\\rt\\t\""},
        {std::string("\x01\x1f", 2), "\"\\u0001\\u001f\""},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\""}, // kept as is
        {"a\xE9z", "\"a\\ufffdz\""},              // a byte of another code page
        {"\xC0\xAF", "\"\\ufffd\\ufffd\""},       // an overlong form
        {"\xED\xA0\x80", "\"\\ufffd\\ufffd\\ufffd\""}, // a surrogate
        {"\xE2\x82", "\"\\ufffd\""},              // cut short: one character
        {"\xE2\x82z", "\"\\ufffdz\""},            // the next character survives
        {"\xF4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""}, // above U+10FFFF
    };
    for (const auto& [text, json] : rows)
        EXPECT_EQ(JsonString(text), json);
}

TEST(PwctlFleetSettings, ExportedTextReadsBackAndPlansOnlyDifferences)
{
    Settings machine;
    machine.owner = "Asset \"7\"\r\n\xC3\xA9";
    for (std::size_t i = 0; i < kPolicyFieldCount; ++i)
        machine.policy[i] = static_cast<int>(i % 3);
    const std::string text = SettingsText(machine, {"registered", "not shown", true, false});
    Settings read;
    std::string problem;
    ASSERT_TRUE(ParseSettings(text, read, problem)) << problem << "\n" << text;
    EXPECT_EQ(read.owner, machine.owner);
    EXPECT_EQ(read.policy, machine.policy);
    EXPECT_TRUE(PlanChanges(machine, read).empty());

    // Only what differs, in order; a 2 in the file ("not offered") changes nothing.
    Settings other = machine;
    other.owner = "old";
    other.policy[0] = 1; // the file says 0
    other.policy[2] = 0; // the file says 2
    const std::vector<Change> changes = PlanChanges(other, read);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].field, "ownerString");
    EXPECT_EQ(changes[0].before, "\"old\"");
    EXPECT_EQ(changes[1].field, "userPolicy.nPermitSetUPass");
    EXPECT_EQ(changes[1].before + " -> " + changes[1].after, "1 -> 0");

    // A file may carry any subset; what it leaves out stays as it is.
    ASSERT_TRUE(ParseSettings(R"({"userPolicy": {"nPermitOpenQSS": 1}})", read, problem)) << problem;
    EXPECT_EQ(read.owner, std::nullopt);
    EXPECT_EQ(read.policy[3], 1);
    EXPECT_EQ(read.policy[0], std::nullopt);
    EXPECT_FALSE(ParseSettings(R"({"userPolicy": {"nPermitOpenQSS": 1.5}})", read, problem));
    EXPECT_NE(problem.find("userPolicy.nPermitOpenQSS"), std::string::npos) << problem;
    EXPECT_FALSE(ParseSettings("{\"ownerString\": \"a\xE9\"}", read, problem)) << "not UTF-8";
    EXPECT_FALSE(ParseSettings(R"({"inventory": 3})", read, problem));
}

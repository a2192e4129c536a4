// pwctl as IT staff use it: one process per command against a virtual
// notebook, the library loaded with --dll, passwords on standard input.
#include <gtest/gtest.h>

#include <regex>

#include "NotebookSupport.h"

using namespace pwtest;

namespace {

struct Host {
    explicit Host(const sim::CScenario& scenario) : notebook(scenario) {}

    // Runs pwctl with these arguments; input goes to its standard input.
    ProcessResult Pwctl(const std::wstring& args, const std::string& input = {})
    {
        const std::wstring inputFile = notebook.Folder() + L"\\stdin.txt";
        WriteBytes(inputFile, input);
        ProcessOptions options;
        options.environment = notebook.Environment();
        // The command interpreter wires the file to standard input.
        const std::wstring line = L"cmd.exe /c \"" + Quote(BuildBinFolder() + L"pwctl.exe") + L" --dll " +
                                  Quote(BuildBinFolder() + L"VELTDll.dll") + L" " + args + L" < " +
                                  Quote(inputFile) + L"\"";
        ProcessResult r = pwtest::Run(line, options);
        EXPECT_TRUE(r.started);
        EXPECT_FALSE(r.timedOut);
        return r;
    }

    VirtualNotebook notebook;
};

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(Pwctl, SetChangeDeleteWithExitCodesAndMeanings)
{
    Host host(sim::CScenario().Class21().PcPolicy(0x2E).Answers(
        {sim::Typed("s3cret"), sim::Typed("s3cret"), sim::Typed("s3cret"), sim::Typed("s3cret")}));
    auto r = host.Pwctl(L"--password-stdin set --supervisor", "s3cret\r\n");
    EXPECT_EQ(r.exitCode, 0u) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, "init:       0 (ready)")) << r.out;
    EXPECT_TRUE(Has(r.out, "set:        103 (supervisor password set)")) << r.out;
    EXPECT_FALSE(Has(r.out + r.err, "s3cret"));
    EXPECT_NE(host.notebook.State().supervisor, std::nullopt);

    // A second registration is refused by the firmware: a failure code, exit 1.
    r = host.Pwctl(L"--password-stdin set --supervisor", "other1\n");
    EXPECT_EQ(r.exitCode, 1u) << r.out;
    EXPECT_TRUE(Has(r.out, "set:        21 (the firmware refused the password")) << r.out;

    r = host.Pwctl(L"delete --supervisor");
    EXPECT_EQ(r.exitCode, 0u) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, "delete:     101 (supervisor password deleted)")) << r.out;
}

TEST(Pwctl, JsonShape)
{
    Host host(sim::CScenario().Class21().Owner("Asset 42"));
    auto r = host.Pwctl(L"--json owner get");
    EXPECT_EQ(r.exitCode, 0u) << r.out << r.err;
    EXPECT_TRUE(std::regex_search(
        r.out, std::regex(R"(^\{"command":"owner","success":true,"init":\{"code":0,"meaning":"ready","success":true\},)"
                          R"("owner get":\{"code":0,"meaning":"owner string read","success":true\},"owner":"Asset 42"\})")))
        << r.out;

    r = host.Pwctl(L"--json policy set nPermitNoSuchThing=1");
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_TRUE(Has(r.out, "\"success\":false")) << r.out;
    EXPECT_TRUE(Has(r.out, "\"error\":\"policy set takes NAME=0|1|2")) << r.out;
}

TEST(Pwctl, StatusShowsPanelsAndPolicy)
{
    Host host(sim::CScenario().Class21());
    auto r = host.Pwctl(L"status");
    EXPECT_EQ(r.exitCode, 0u) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, "user panel: set enabled, delete disabled, change disabled")) << r.out;
    EXPECT_TRUE(Has(r.out, "passwords:  user not registered, supervisor not registered")) << r.out;
    EXPECT_TRUE(Has(r.out, "nPermitSetUPass = ")) << r.out;
}

TEST(Pwctl, FailuresAreExplained)
{
    Host host(sim::CScenario().Class21().User("us3r").Answers({sim::Cancel()}));
    auto r = host.Pwctl(L"owner get");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(Has(r.out, "init:       6 (the verification was cancelled)")) << r.out;

    r = host.Pwctl(L"set");
    EXPECT_EQ(r.exitCode, 2u);
    r = host.Pwctl(L"frobnicate");
    EXPECT_EQ(r.exitCode, 2u);

    ProcessOptions options;
    const std::wstring missing = BuildBinFolder() + L"NoSuchServer.dll";
    r = pwtest::Run(Quote(BuildBinFolder() + L"pwctl.exe") + L" --dll " + Quote(missing) + L" status", options);
    EXPECT_EQ(r.exitCode, 3u);
    EXPECT_TRUE(Has(r.err, "--dll: cannot load")) << r.err;
}

// Fleet settings: a machine's settings exported and applied to a second
// machine make the two match; apply writes only what differs, and a dry run,
// a bad file or a failing write behave as IT staff rely on.
TEST(PwctlFleet, ExportThenApplyMakesTwoMachinesMatch)
{
    // Writing the user policy takes supervisor rights: each run of pwctl
    // proves them once, in the verification at start-up.
    const auto answers = {sim::Typed("boss1"), sim::Typed("boss1"), sim::Typed("boss1"), sim::Typed("boss1"),
                          sim::Typed("boss1"), sim::Typed("boss1"), sim::Typed("boss1"), sim::Typed("boss1")};
    Host first(sim::CScenario().Class21().Supervisor("boss1").Answers(answers).Owner("Asset 7\r\nIT dept").UserPolicy(
        0x0003002E));
    const std::wstring file = first.notebook.Folder() + L"\\settings.json";
    auto r = first.Pwctl(L"export " + Quote(file));
    ASSERT_EQ(r.exitCode, 0u) << r.out << r.err;
    const std::string exported = ReadBytes(file);
    EXPECT_TRUE(Has(exported, "\"ownerString\": \"Asset 7\\r\\nIT dept\"")) << exported;
    EXPECT_TRUE(Has(exported, "\"nPermitSetUPass\": ")) << exported;
    EXPECT_TRUE(Has(exported, "\"passwords\": {\"supervisor\": \"registered\"")) << exported;
    EXPECT_FALSE(Has(exported, "boss1"));

    Host second(sim::CScenario().Class21().Supervisor("boss1").Answers(answers).Owner("old text").UserPolicy(0));
    const std::wstring copy = second.notebook.Folder() + L"\\settings.json";
    WriteBytes(copy, exported);
    const auto before = second.notebook.State();

    // A dry run names every change and writes nothing.
    r = second.Pwctl(L"apply " + Quote(copy) + L" --dry-run");
    EXPECT_EQ(r.exitCode, 0u) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, "would change ownerString: \"old text\" -> \"Asset 7\\r\\nIT dept\"")) << r.out;
    EXPECT_TRUE(Has(r.out, "would change userPolicy.")) << r.out;
    EXPECT_EQ(second.notebook.State().owner, before.owner);
    EXPECT_EQ(second.notebook.State().userPolicy, before.userPolicy);

    r = second.Pwctl(L"apply " + Quote(copy));
    EXPECT_EQ(r.exitCode, 0u) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, "change ownerString: ")) << r.out;
    const std::wstring again = second.notebook.Folder() + L"\\after.json";
    ASSERT_EQ(second.Pwctl(L"export " + Quote(again)).exitCode, 0u);
    EXPECT_EQ(ReadBytes(again), exported) << "the second machine now exports what the first did";

    // Idempotent: a second apply changes nothing and writes nothing.
    second.notebook.ClearJournal();
    r = second.Pwctl(L"apply " + Quote(copy));
    EXPECT_EQ(r.exitCode, 0u) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, "nothing to change")) << r.out;
}

TEST(PwctlFleet, BadFilesAndFailingWritesChangeNothing)
{
    Host host(sim::CScenario().Class21().Owner("keep me").UserPolicy(0x0003002E));
    const auto before = host.notebook.State();
    const std::wstring file = host.notebook.Folder() + L"\\bad.json";
    const std::pair<std::string, std::string> bad[] = {
        {R"({"ownerString": "x", "colour": "blue"})", "colour: unknown field"},
        {R"({"userPolicy": {"nPermitSetUPass": 3}})", "userPolicy.nPermitSetUPass: must be 0"},
        {R"({"userPolicy": {"nPermitFly": 1}})", "userPolicy.nPermitFly: unknown field"},
        {R"({"ownerString": 7})", "ownerString: must be a string"},
        {R"({"supervisorPassword": "s3cret"})", "supervisorPassword: unknown field"},
        {R"({"ownerString": "x",)", "not JSON"},
        {"[1, 2]", "one JSON object"},
    };
    for (const auto& [text, message] : bad) {
        WriteBytes(file, text);
        const auto r = host.Pwctl(L"apply " + Quote(file));
        EXPECT_EQ(r.exitCode, 2u) << text;
        EXPECT_TRUE(Has(r.err, message)) << text << "\n" << r.err;
        EXPECT_FALSE(Has(r.out, "init:")) << "the control is not even started for a bad file";
    }
    EXPECT_EQ(host.Pwctl(L"apply").exitCode, 2u);
    EXPECT_EQ(host.Pwctl(L"apply " + Quote(file + L".missing")).exitCode, 2u);
    EXPECT_EQ(host.notebook.State().owner, before.owner);
    EXPECT_EQ(host.notebook.State().userPolicy, before.userPolicy);

    // A write the firmware refuses (with supervisor rights proven, so that
    // only the fault can refuse it): exit 1, and the message names the field.
    const auto answers = {sim::Typed("boss1"), sim::Typed("boss1")};
    Host policyFails(sim::CScenario().Class21().Supervisor("boss1").Answers(answers).UserPolicy(0x0003002E).Fault(
        "request 0x0604 sub 0x0003 write fail forever"));
    WriteBytes(file, R"({"userPolicy": {"nPermitOpenQSS": 0, "nPermitUpdateBIOS": 0}})");
    auto r = policyFails.Pwctl(L"apply " + Quote(file));
    EXPECT_EQ(r.exitCode, 1u) << r.out << r.err;
    EXPECT_TRUE(Has(r.err, "userPolicy (nPermitOpenQSS, nPermitUpdateBIOS): the write failed")) << r.err;
    EXPECT_EQ(policyFails.notebook.State().userPolicy, 0x0003002Eu);

    Host ownerFails(sim::CScenario().Class21().Owner("keep me").Fault("hardware 0x0029 write fail forever"));
    WriteBytes(file, R"({"ownerString": "new text"})");
    r = ownerFails.Pwctl(L"apply " + Quote(file));
    EXPECT_EQ(r.exitCode, 1u) << r.out << r.err;
    EXPECT_TRUE(Has(r.err, "ownerString: the write failed")) << r.err;
}

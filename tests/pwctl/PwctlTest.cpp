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

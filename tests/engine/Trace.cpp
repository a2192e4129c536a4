#include "Trace.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace pwtest {
namespace {

std::wstring TracePath()
{
    wchar_t path[MAX_PATH] = {};
    GetEnvironmentVariableW(L"PWTEST_TRACE", path, MAX_PATH);
    return path;
}

// Points the trace at a private file before the first line is written.
class TraceEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        const std::wstring path = std::wstring(temp) + L"engine-trace-" + std::to_wstring(GetCurrentProcessId()) +
                                  L"-" + std::to_wstring(GetTickCount()) + L".txt";
        SetEnvironmentVariableW(L"PWTEST_TRACE", path.c_str());
    }
    void TearDown() override { DeleteFileW(TracePath().c_str()); }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new TraceEnvironment);

} // namespace

Trace::Trace()
{
    Mark();
}

void Trace::Mark()
{
    m_start = ReadBytes(TracePath()).size();
}

std::string Trace::All() const
{
    const std::string bytes = ReadBytes(TracePath());
    return m_start < bytes.size() ? bytes.substr(m_start) : std::string();
}

std::vector<std::string> Trace::Lines() const
{
    std::vector<std::string> lines;
    for (const std::string& line : pwtest::Lines(All())) {
        const auto level = line.find(" [");
        lines.push_back(level == std::string::npos ? line : line.substr(level + 1));
    }
    return lines;
}

std::vector<std::string> Trace::Messages(const std::string& function) const
{
    std::vector<std::string> messages;
    const std::string tag = "(" + function + "): ";
    for (const std::string& line : Lines()) {
        const auto at = line.find(tag);
        if (at != std::string::npos && line.find("ENTER ") == std::string::npos &&
            line.find("LEAVE ") == std::string::npos)
            messages.push_back(line.substr(at + tag.size()));
    }
    return messages;
}

} // namespace pwtest

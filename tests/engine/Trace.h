// The engine tests run with the trace on: their folder holds a "DbgLog.ini"
// (every level, appended per line, no time stamp) whose log file is named by
// %PWTEST_TRACE%, which the test program points at a private file at start.
// A Trace marks where a test begins and returns the lines written since.
#pragma once

#include <string>
#include <vector>

namespace pwtest {

class Trace {
public:
    Trace();
    // Lines since construction (or the last Mark), without their prefix up
    // to and including the function text: "[INF] (PassWordFUN::X): text".
    std::vector<std::string> Lines() const;
    // Only the message texts of one function's lines.
    std::vector<std::string> Messages(const std::string& function) const;
    std::string All() const;
    void Mark();

private:
    std::size_t m_start = 0;
};

} // namespace pwtest

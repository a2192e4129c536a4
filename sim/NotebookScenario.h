// Builds a virtual notebook state for a test or a demo in a few words:
//   sim::CScenario().Class21().Supervisor("sv").PcPolicy(0).Answers({sim::Typed("sv")})
// Passwords are given as text and turned into passcodes of the machine's
// class when the state is built, whatever order the calls came in.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>

#include "NotebookState.h"

namespace sim {

DialogAnswer Typed(const std::string& text);
DialogAnswer Cancel();
DialogAnswer FailWith(std::int64_t outcome = 2);
DialogAnswer ReturnValue(std::int64_t value);
DialogAnswer Hold(std::int64_t milliseconds = 10000);

class CScenario {
public:
    CScenario& Class21();
    CScenario& Class20();
    CScenario& User(const std::string& password);
    CScenario& Supervisor(const std::string& password);
    CScenario& Hdd(const std::string& password);
    CScenario& PcPolicy(std::uint32_t word);
    CScenario& UserPolicy(std::uint32_t word, std::uint32_t extension = 0);
    CScenario& SupportMask(std::uint32_t mask);
    CScenario& Owner(const std::string& text, std::uint16_t area = 513);
    CScenario& Answers(std::initializer_list<DialogAnswer> answers);
    CScenario& RealDialog(const std::string& language = {});
    CScenario& Fault(const std::string& line);       // the state file's fault syntax
    CScenario& Set(const std::string& assignment);   // any "key=value" of the state file
    CScenario& Journal(const std::string& path);

    NotebookState State() const;
    std::string Text() const { return Serialize(State()); }

private:
    NotebookState m_state;
    std::optional<std::string> m_user, m_supervisor, m_hdd;
};

} // namespace sim

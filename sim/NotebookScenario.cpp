#include "NotebookScenario.h"

#include <stdexcept>

#include "NotebookFirmware.h"

namespace sim {

DialogAnswer Typed(const std::string& text)
{
    return {DialogAnswer::Kind::Typed, text, 0};
}

DialogAnswer Cancel()
{
    return {DialogAnswer::Kind::Cancel, {}, 0};
}

DialogAnswer FailWith(std::int64_t outcome)
{
    return {DialogAnswer::Kind::Fail, {}, outcome};
}

DialogAnswer ReturnValue(std::int64_t value)
{
    return {DialogAnswer::Kind::Return, {}, value};
}

DialogAnswer Hold(std::int64_t milliseconds)
{
    return {DialogAnswer::Kind::Hold, {}, milliseconds};
}

CScenario& CScenario::Class21()
{
    m_state.SetClass21(true);
    return *this;
}

CScenario& CScenario::Class20()
{
    m_state.SetClass21(false);
    return *this;
}

CScenario& CScenario::User(const std::string& password)
{
    m_user = password;
    return *this;
}

CScenario& CScenario::Supervisor(const std::string& password)
{
    m_supervisor = password;
    return *this;
}

CScenario& CScenario::Hdd(const std::string& password)
{
    m_hdd = password;
    return *this;
}

CScenario& CScenario::PcPolicy(std::uint32_t word)
{
    m_state.pcPolicy = word;
    return *this;
}

CScenario& CScenario::UserPolicy(std::uint32_t word, std::uint32_t extension)
{
    m_state.userPolicy = word;
    m_state.userPolicyEx = extension;
    return *this;
}

CScenario& CScenario::SupportMask(std::uint32_t mask)
{
    m_state.supportMask = mask;
    return *this;
}

CScenario& CScenario::Owner(const std::string& text, std::uint16_t area)
{
    m_state.owner = text;
    m_state.ownerArea = area;
    return *this;
}

CScenario& CScenario::Answers(std::initializer_list<DialogAnswer> answers)
{
    m_state.answers.assign(answers.begin(), answers.end());
    return *this;
}

CScenario& CScenario::RealDialog(const std::string& language)
{
    m_state.realDialog = true;
    m_state.language = language;
    return *this;
}

// A scenario with a typo is a broken test: say so loudly.
CScenario& CScenario::Fault(const std::string& line)
{
    std::string why;
    const auto fault = ParseFault(line, &why);
    if (!fault)
        throw std::invalid_argument(why);
    m_state.faults.push_back(*fault);
    return *this;
}

CScenario& CScenario::Set(const std::string& assignment)
{
    std::string why;
    if (!Assign(m_state, assignment, &why))
        throw std::invalid_argument(why);
    return *this;
}

CScenario& CScenario::Journal(const std::string& path)
{
    m_state.journal = path;
    return *this;
}

NotebookState CScenario::State() const
{
    NotebookState state = m_state;
    const bool class21 = state.PasscodeClass21();
    if (m_user)
        state.user = PasscodeOfText(*m_user, class21);
    if (m_supervisor)
        state.supervisor = PasscodeOfText(*m_supervisor, class21);
    if (m_hdd)
        state.hdd = PasscodeOfText(*m_hdd, class21);
    return state;
}

} // namespace sim

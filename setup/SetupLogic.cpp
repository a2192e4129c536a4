#include "SetupLogic.h"

#include <algorithm>

namespace setup {

SectionKind ClassifySection(std::wstring_view name)
{
    if (name == L"GENERAL")
        return SectionKind::General;
    if (name == L"VORP")
        return SectionKind::VORP;
    if (name == L"OPERATOR")
        return SectionKind::Operator;
    const auto has = [name](const wchar_t* part) { return name.find(part) != std::wstring_view::npos; };
    if (has(L"EXECUTE_"))
        return SectionKind::Execute;
    if (has(L"INSTALL_"))
        return SectionKind::Install;
    if (has(L"UNLOAD_"))
        return SectionKind::Uninstall;
    if (has(L"CHECK_"))
        return SectionKind::Check;
    return SectionKind::Ignored;
}

int OperatorKind(SectionKind kind)
{
    switch (kind) {
    case SectionKind::Operator:
        return 0;
    case SectionKind::Execute:
        return 1;
    case SectionKind::Install:
        return 2;
    case SectionKind::Uninstall:
        return 3;
    case SectionKind::Check:
        return 4;
    default:
        return -1;
    }
}

bool IsYes(std::wstring_view value)
{
    return value == L"Y" || value == L"y";
}

bool IsNo(std::wstring_view value)
{
    return value == L"N" || value == L"n";
}

std::wstring VersionKey(std::wstring_view version)
{
    std::wstring key;
    std::wstring_view rest = version;
    for (int k = 0; k < 4; ++k) {
        const auto dot = rest.empty() ? std::wstring_view::npos : rest.find(L'.');
        std::wstring_view part = dot == std::wstring_view::npos ? rest : rest.substr(0, dot);
        if (part.size() > 6)
            part = part.substr(part.size() - 6);
        key.append(6 - part.size(), L'0');
        key.append(part);
        rest = (dot != std::wstring_view::npos && dot >= 1) ? rest.substr(dot + 1) : std::wstring_view();
    }
    return key;
}

int VersionCompare(std::wstring_view release, std::wstring_view installed)
{
    const std::wstring a = VersionKey(release);
    const std::wstring b = VersionKey(installed);
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned short>(a[i]);
        const auto y = static_cast<unsigned short>(b[i]);
        if (x != y)
            return x > y ? 1 : -1;
    }
    return 0;
}

std::wstring RemoveOnlyCommand(std::wstring_view execute)
{
    const auto exe = execute.find(L".exe");
    if (exe != std::wstring_view::npos)
        return std::wstring(execute.substr(0, exe + 4)) + L"\" -removeonly";
    // No ".exe": the uninstaller is the first quoted token.
    std::wstring_view program = execute;
    if (!program.empty() && program.front() == L'"')
        program.remove_prefix(1);
    program = program.substr(0, program.find(L'"'));
    return L"\"" + std::wstring(program) + L"\" -removeonly";
}

std::vector<std::int32_t> KeyedPositions(const std::vector<std::wstring>& keys, std::wstring_view prefix,
                                         std::int32_t first, std::int32_t count)
{
    const auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; };
    std::vector<std::int32_t> positions;
    for (const std::wstring& key : keys) {
        if (key.size() <= prefix.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < prefix.size() && same; ++i)
            same = upper(key[i]) == upper(prefix[i]);
        if (!same)
            continue;
        const std::wstring_view digits = std::wstring_view(key).substr(prefix.size());
        // "%02d": two digits at least, no leading zero beyond those two.
        if (digits.size() < 2 || (digits.size() > 2 && digits[0] == L'0') || digits.size() > 10)
            continue;
        std::int64_t value = 0;
        for (const wchar_t c : digits) {
            if (c < L'0' || c > L'9') {
                value = -1;
                break;
            }
            value = value * 10 + (c - L'0');
        }
        if (value < first || value >= count)
            continue;
        positions.push_back(static_cast<std::int32_t>(value));
    }
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    return positions;
}

} // namespace setup

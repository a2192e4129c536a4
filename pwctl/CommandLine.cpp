#include "CommandLine.h"

#include <initializer_list>

namespace pwctl {

Parsed ParseCommandLine(const std::vector<std::wstring>& arguments, Options& options)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& arg = arguments[i];
        const bool beforeCommand = options.args.empty();
        if (arg == L"--json")
            options.json = true;
        else if (arg == L"--password-stdin")
            options.passwordStdin = true;
        else if (beforeCommand && arg == L"--dll" && i + 1 < arguments.size())
            options.dll = arguments[++i];
        else if (beforeCommand && (arg == L"--help" || arg == L"-h"))
            return Parsed::Help;
        else
            options.args.push_back(arg);
    }
    return options.args.empty() ? Parsed::Usage : Parsed::Run;
}

bool Has(const std::vector<std::wstring>& args, std::wstring_view flag)
{
    for (const auto& a : args)
        if (a == flag)
            return true;
    return false;
}

int Panel(const std::vector<std::wstring>& args)
{
    const bool user = Has(args, L"--user"), supervisor = Has(args, L"--supervisor");
    return user == supervisor ? -1 : user ? 1 : 0;
}

bool ParsePolicyAssignment(std::string_view assignment, std::size_t& field, int& value)
{
    const auto eq = assignment.find('=');
    if (eq == std::string_view::npos)
        return false;
    const std::string_view name = assignment.substr(0, eq), text = assignment.substr(eq + 1);
    if (text.size() != 1 || text[0] < '0' || text[0] > '2')
        return false;
    for (std::size_t i = 0; i < kPolicyFieldCount; ++i) {
        if (name == kPolicyFieldNames[i]) {
            field = i;
            value = text[0] - '0';
            return true;
        }
    }
    return false;
}

std::string Validate(const std::vector<std::wstring>& args)
{
    if (args.empty())
        return "no command; see pwctl --help";
    const std::wstring& command = args[0];
    const std::vector<std::wstring> rest(args.begin() + 1, args.end());
    const auto only = [&](std::initializer_list<const wchar_t*> allowed) {
        for (const auto& a : rest) {
            bool known = false;
            for (const wchar_t* ok : allowed)
                known = known || a == ok;
            if (!known)
                return false;
        }
        return true;
    };
    if (command == L"status" || command == L"check-chars" || command == L"memo")
        return rest.empty() ? "" : "this command takes no arguments";
    if (command == L"set" || command == L"change" || command == L"delete") {
        const bool hdd = Has(rest, L"--hdd");
        if (!only({L"--user", L"--supervisor", L"--hdd"}) || Panel(rest) < 0 ||
            (hdd && (command != L"set" || Panel(rest) != 1)))
            return "say --user or --supervisor (--hdd only with set --user)";
        return "";
    }
    if (command == L"export")
        return rest.size() == 1 && !rest[0].empty() ? "" : "export FILE";
    if (command == L"apply") {
        const bool dryRun = Has(rest, L"--dry-run");
        if (rest.size() == (dryRun ? 2u : 1u) && rest[0] != L"--dry-run" && !rest[0].empty())
            return "";
        return "apply FILE [--dry-run]";
    }
    if (command == L"owner") {
        if ((rest.size() == 1 && rest[0] == L"get") || (rest.size() == 2 && rest[0] == L"set"))
            return "";
        return "owner get | owner set TEXT";
    }
    if (command == L"policy") {
        if (rest.size() == 1 && rest[0] == L"get")
            return "";
        if (rest.size() < 2 || rest[0] != L"set")
            return "policy get | policy set NAME=0|1|2 ...";
        for (std::size_t i = 1; i < rest.size(); ++i) {
            const std::string assignment = Utf8(rest[i]);
            std::size_t field = 0;
            int value = 0;
            if (!ParsePolicyAssignment(assignment, field, value))
                return "policy set takes NAME=0|1|2 with NAME one of the record's fields: " + assignment;
        }
        return "";
    }
    return "unknown command; see pwctl --help";
}

std::string Utf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char16_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            const char32_t low = static_cast<char16_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace pwctl

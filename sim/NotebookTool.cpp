// tools/notebook: creates, shows, changes and resets a virtual notebook's
// state file in plain words. Runs on the build machine; the libraries under
// Wine read the same file.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "NotebookFirmware.h"
#include "NotebookState.h"

namespace {

const char kUsage[] =
    "usage: notebook --state FILE COMMAND [ARGS]\n"
    "  show                      what the machine holds, in plain words (the default)\n"
    "  create [KEY=VALUE ...]    a new machine: defaults, then the assignments\n"
    "  set KEY=VALUE ...         changes an existing machine\n"
    "  reset                     back to a new machine without passwords\n"
    "  text                      prints the state file\n"
    "KEY=VALUE: any key of the state file (section.key when a name is in two sections),\n"
    "  class=2.0|2.1, user-password=TEXT, supervisor-password=TEXT, hdd-password=TEXT\n"
    "  (typed text, turned into the machine's passcode), fault=\"LINE\" (adds one),\n"
    "  no-faults=1, answers='\"typed\", cancel'.\n";

bool ReadFile(const std::string& path, std::string& text)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return true;
}

bool WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

std::string Hex(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

std::string Bits(std::uint32_t word, const std::vector<std::pair<int, const char*>>& names, const char* none)
{
    std::string out;
    for (const auto& [bit, name] : names) {
        if (!(word & (1u << bit)))
            continue;
        out += out.empty() ? "" : ", ";
        out += name;
    }
    return out.empty() ? none : out;
}

// Applies assignments, including the ones that take typed text.
bool Apply(sim::NotebookState& state, const std::vector<std::string>& assignments)
{
    std::vector<std::pair<std::optional<sim::Passcode>*, std::string>> passwords;
    for (const std::string& a : assignments) {
        const std::size_t eq = a.find('=');
        const std::string key = a.substr(0, eq == std::string::npos ? a.size() : eq);
        const std::string value = eq == std::string::npos ? "" : a.substr(eq + 1);
        if (key == "user-password" || key == "supervisor-password" || key == "hdd-password") {
            auto* slot = key[0] == 'u' ? &state.user : key[0] == 's' ? &state.supervisor : &state.hdd;
            passwords.emplace_back(slot, value);
            continue;
        }
        if (key == "no-faults") {
            state.faults.clear();
            continue;
        }
        std::string why;
        if (!sim::Assign(state, a, &why)) {
            std::cerr << "notebook: " << why << "\n";
            return false;
        }
    }
    // After the class is known.
    for (auto& [slot, text] : passwords) {
        if (text.empty())
            slot->reset();
        else
            *slot = sim::PasscodeOfText(text, state.PasscodeClass21());
    }
    return true;
}

void Show(const std::string& path, const sim::NotebookState& s)
{
    const auto registered = [](const std::optional<sim::Passcode>& p) { return p ? "registered" : "not registered"; };
    std::cout << "Virtual notebook " << path << "\n";
    std::cout << "  Passwords: supervisor " << registered(s.supervisor) << ", user " << registered(s.user) << ", HDD "
              << registered(s.hdd) << "\n";
    std::cout << "  Passcode class " << (s.PasscodeClass21() ? "2.1 (MD5 of the scan codes)" : "2.0 (QSC_Compare)")
              << "; security level word " << Hex(s.LevelWord()) << " (level " << int(s.level) << ", HDD password class "
              << int(s.hddClass) << ", " << int(s.levelMajor) << "." << int(s.levelMinor) << ", QSC_Insert byte "
              << int(s.insertByte) << ")\n";
    std::cout << "  Wrong passcodes in a row: " << s.wrongPasscodes << " of " << s.retryLimit
              << (s.wrongPasscodes >= s.retryLimit ? " (locked: every passcode check answers the retry limit)" : "") << "\n";
    const std::vector<std::pair<int, const char*>> pcBits = {
        {1, "register the user password"}, {2, "delete it"}, {3, "change it"}, {5, "register or delete the HDD password"}};
    std::cout << "  PC policy " << Hex(s.pcPolicy) << ": users without supervisor rights may "
              << Bits(s.pcPolicy, pcBits, "do nothing of their own") << "\n";
    const std::vector<std::pair<int, const char*>> userBits = {
        {1, "set user password"}, {2, "delete user password"}, {3, "change user password"}, {16, "hardware setup"},
        {17, "BIOS update"}, {5, "set/delete HDD password"}, {19, "change HDD password"}, {20, "TPM on/off"},
        {21, "TPM owner clear"}};
    std::cout << "  User policy " << Hex(s.userPolicy) << " (extension " << Hex(s.userPolicyEx)
              << "): " << Bits(s.userPolicy, userBits, "nothing granted") << "\n";
    std::cout << "  Offered (support mask " << Hex(s.supportMask) << "): " << Bits(s.supportMask, userBits, "nothing")
              << "\n";
    std::cout << "  Security status read: " << Hex(s.StatusB()) << " " << Hex(s.StatusA()) << "; TPM "
              << (s.tpm ? "offered" : "not offered") << "; bit 21 " << (s.statusBit21 ? "set" : "clear")
              << (s.bit21OnPolicyWrite ? " (set by every policy write)" : "") << "\n";
    std::cout << "  HDD password " << (s.hddSupport == 0 && s.hddClass >= 2 ? "supported" : "not supported")
              << ", flags " << Hex(s.hddFlags) << "; BIOS status " << Hex(s.biosStatus) << "\n";
    if (s.ownerSupported)
        std::cout << "  Owner string (" << s.ownerArea << "-byte area): " << sim::QuoteText(s.owner) << "\n";
    else
        std::cout << "  Owner string: not offered\n";
    std::cout << "  Verification dialog: " << (s.realDialog ? "a real window" : "scripted") << ", " << s.dialogRetries
              << " tries";
    if (!s.language.empty())
        std::cout << ", language " << s.language;
    std::cout << "\n    Answers waiting: " << (s.answers.empty() ? "none" : sim::FormatAnswers(s.answers)) << "\n";
    std::cout << "  Faults:" << (s.faults.empty() ? " none" : "") << "\n";
    for (const sim::Fault& f : s.faults)
        std::cout << "    " << sim::FormatFault(f) << "\n";
    std::cout << "  Journal: " << (s.journal.empty() ? "off" : s.journal) << "\n";
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string path;
    if (args.size() >= 2 && args[0] == "--state") {
        path = args[1];
        args.erase(args.begin(), args.begin() + 2);
    } else if (const char* env = std::getenv("NOTEBOOK_STATE_FILE")) {
        path = env;
    }
    if (path.empty() || (!args.empty() && (args[0] == "-h" || args[0] == "--help" || args[0] == "help"))) {
        std::cerr << kUsage;
        return path.empty() ? 2 : 0;
    }
    const std::string command = args.empty() ? "show" : args[0];
    const std::vector<std::string> rest(args.empty() ? args.end() : args.begin() + 1, args.end());

    sim::NotebookState state;
    std::string text;
    const bool exists = ReadFile(path, text);
    if (command != "create" && command != "reset" && exists) {
        std::string why;
        const auto parsed = sim::Parse(text, &why);
        if (!parsed) {
            std::cerr << "notebook: " << path << ": " << why << "\n";
            return 1;
        }
        state = *parsed;
    }
    if (command == "show") {
        if (!exists)
            std::cout << "(no state file yet: a new machine without passwords)\n";
        Show(path, state);
        return 0;
    }
    if (command == "text") {
        std::cout << sim::Serialize(state);
        return 0;
    }
    if (command == "create" || command == "set" || command == "reset") {
        if (command == "set" && rest.empty()) {
            std::cerr << kUsage;
            return 2;
        }
        if (command != "reset" && !Apply(state, rest))
            return 1;
        if (!WriteFile(path, sim::Serialize(state))) {
            std::cerr << "notebook: cannot write " << path << "\n";
            return 1;
        }
        Show(path, state);
        return 0;
    }
    std::cerr << "notebook: unknown command " << command << "\n" << kUsage;
    return 2;
}

// The settings file of "pwctl export" and "pwctl apply": a machine's owner
// string and user policy as JSON, with what it tells of the passwords for
// inventory only. No password or passcode is ever part of it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CommandLine.h"

namespace pwctl {

// What apply may write; a field left out is left alone.
struct Settings {
    std::optional<std::string> owner;                           // UTF-8
    std::array<std::optional<int>, kPolicyFieldCount> policy{}; // 0, 1, or 2 (not offered: left alone)
};

// What export reports besides, and apply reads past.
struct Inventory {
    std::string supervisor; // "registered", "not registered" or "not shown"
    std::string user;
    bool hddSupported = false;
    bool hddEnabled = false;
};

// The file export writes: indented JSON, one field a line, ending in a line end.
std::string SettingsText(const Settings& settings, const Inventory& inventory);

// Reads a settings file. False for anything but a JSON object of the known
// fields with values of their kind, with `problem` naming the field and
// what is wrong with it.
bool ParseSettings(std::string_view text, Settings& settings, std::string& problem);

// One difference between the machine and a file.
struct Change {
    std::string field;  // "ownerString" or "userPolicy.<name>"
    std::string before; // as JSON
    std::string after;
};

// What apply would change on a machine with these settings (every field of
// `machine` read): only what differs, owner string first, then the policy
// fields in the record's order. A policy value of 2 in the file is "not
// offered" and changes nothing.
std::vector<Change> PlanChanges(const Settings& machine, const Settings& file);

} // namespace pwctl

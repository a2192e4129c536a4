#include "FleetSettings.h"

#include <nlohmann/json.hpp>

#include "JsonText.h"

namespace pwctl {

namespace {

constexpr const char* kOwnerField = "ownerString";
constexpr const char* kPolicyField = "userPolicy";
constexpr const char* kInventoryField = "inventory";

const char* KindOf(const nlohmann::json& value)
{
    return value.type_name();
}

} // namespace

std::string SettingsText(const Settings& settings, const Inventory& inventory)
{
    std::string out = "{\n";
    if (settings.owner)
        out += "  " + JsonString(kOwnerField) + ": " + JsonString(*settings.owner) + ",\n";
    std::string policy;
    for (std::size_t i = 0; i < kPolicyFieldCount; ++i) {
        if (!settings.policy[i])
            continue;
        policy += (policy.empty() ? "\n    " : ",\n    ") + JsonString(kPolicyFieldNames[i]) + ": " +
                  std::to_string(*settings.policy[i]);
    }
    if (!policy.empty())
        out += "  " + JsonString(kPolicyField) + ": {" + policy + "\n  },\n";
    out += "  " + JsonString(kInventoryField) + ": {\n";
    out += "    \"passwords\": {\"supervisor\": " + JsonString(inventory.supervisor) +
           ", \"user\": " + JsonString(inventory.user) + "},\n";
    out += std::string("    \"hdd\": {\"supported\": ") + (inventory.hddSupported ? "true" : "false") +
           ", \"enabled\": " + (inventory.hddEnabled ? "true" : "false") + "}\n";
    out += "  }\n}\n";
    return out;
}

bool ParseSettings(std::string_view text, Settings& settings, std::string& problem)
{
    settings = Settings{};
    nlohmann::json root;
    try {
        root = nlohmann::json::parse(text.begin(), text.end());
    } catch (const nlohmann::json::parse_error& e) {
        problem = std::string("not JSON: ") + e.what();
        return false;
    }
    if (!root.is_object()) {
        problem = std::string("the file must hold one JSON object, not ") + KindOf(root);
        return false;
    }
    for (const auto& [name, value] : root.items()) {
        if (name == kOwnerField) {
            if (!value.is_string()) {
                problem = std::string(kOwnerField) + ": must be a string, not " + KindOf(value);
                return false;
            }
            settings.owner = value.get<std::string>();
        } else if (name == kPolicyField) {
            if (!value.is_object()) {
                problem = std::string(kPolicyField) + ": must be an object of permission fields, not " + KindOf(value);
                return false;
            }
            for (const auto& [field, permission] : value.items()) {
                std::size_t index = kPolicyFieldCount;
                for (std::size_t i = 0; i < kPolicyFieldCount; ++i)
                    if (field == kPolicyFieldNames[i])
                        index = i;
                const std::string where = std::string(kPolicyField) + "." + field;
                if (index == kPolicyFieldCount) {
                    problem = where + ": unknown field";
                    return false;
                }
                if (!permission.is_number_integer() || permission.get<long long>() < 0 ||
                    permission.get<long long>() > 2) {
                    problem = where + ": must be 0 (not granted), 1 (granted) or 2 (not offered), not " +
                              permission.dump();
                    return false;
                }
                settings.policy[index] = permission.get<int>();
            }
        } else if (name == kInventoryField) {
            // Written by export for inventory, never applied.
            if (!value.is_object()) {
                problem = std::string(kInventoryField) + ": must be an object, not " + KindOf(value);
                return false;
            }
        } else {
            problem = name + ": unknown field (known: ownerString, userPolicy, inventory)";
            return false;
        }
    }
    return true;
}

std::vector<Change> PlanChanges(const Settings& machine, const Settings& file)
{
    std::vector<Change> changes;
    if (file.owner && machine.owner != file.owner)
        changes.push_back({kOwnerField, machine.owner ? JsonString(*machine.owner) : "null", JsonString(*file.owner)});
    for (std::size_t i = 0; i < kPolicyFieldCount; ++i) {
        const std::optional<int>& wanted = file.policy[i];
        if (!wanted || *wanted == 2 || machine.policy[i] == wanted)
            continue;
        changes.push_back({std::string(kPolicyField) + "." + kPolicyFieldNames[i],
                           machine.policy[i] ? std::to_string(*machine.policy[i]) : "null",
                           std::to_string(*wanted)});
    }
    return changes;
}

} // namespace pwctl

// Just enough JSON for the host's --json output: escaped strings and a
// flat object builder that keeps the order of its members.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace pwctl {

inline std::string JsonString(std::string_view text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

class JsonObject {
public:
    JsonObject& Raw(std::string_view key, std::string_view json)
    {
        m_text += m_text.empty() ? "{" : ",";
        m_text += JsonString(key) + ":" + std::string(json);
        return *this;
    }
    JsonObject& Text(std::string_view key, std::string_view value) { return Raw(key, JsonString(value)); }
    JsonObject& Number(std::string_view key, long long value) { return Raw(key, std::to_string(value)); }
    JsonObject& Bool(std::string_view key, bool value) { return Raw(key, value ? "true" : "false"); }
    std::string Str() const { return m_text.empty() ? "{}" : m_text + "}"; }

private:
    std::string m_text;
};

} // namespace pwctl

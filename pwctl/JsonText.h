// Just enough JSON for the host's --json output: escaped strings and a
// flat object builder that keeps the order of its members.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace pwctl {

// The length of the well-formed UTF-8 sequence at the start of text, or 0
// with `invalid` set to the length of its longest ill-formed beginning
// (at least 1), which is replaced as one character.
inline std::size_t Utf8Sequence(std::string_view text, std::size_t& invalid)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    }
    invalid = 1;
    if (length == 0)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= text.size())
            return 0;
        const unsigned char c = byte(i);
        if (i == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF))
            return 0;
        invalid = i + 1;
    }
    return length;
}

// A JSON string of UTF-8 text. Control characters, quotes and backslashes are
// escaped; a byte sequence that is not UTF-8 becomes U+FFFD, so that the
// output is always well-formed JSON in UTF-8.
inline std::string JsonString(std::string_view text)
{
    std::string out = "\"";
    while (!text.empty()) {
        const unsigned char c = static_cast<unsigned char>(text[0]);
        std::size_t invalid = 0;
        const std::size_t length = Utf8Sequence(text, invalid);
        if (length == 0) {
            out += "\\ufffd";
            text.remove_prefix(invalid);
            continue;
        }
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
                out.append(text.data(), length);
            }
        }
        text.remove_prefix(length);
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

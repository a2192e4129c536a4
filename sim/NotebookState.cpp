#include "NotebookState.h"

#include <cctype>
#include <cstdio>
#include <functional>
#include <sstream>

namespace sim {

namespace {

std::string Trim(const std::string& s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> Words(const std::string& s)
{
    std::istringstream in(s);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// Decimal, 0x-hex or negative decimal; the whole text must be the number.
std::optional<std::int64_t> Number(const std::string& text)
{
    const std::string s = Trim(text);
    if (s.empty())
        return std::nullopt;
    std::size_t i = 0;
    bool negative = false;
    if (s[0] == '-') {
        negative = true;
        i = 1;
    }
    int base = 10;
    if (s.size() > i + 2 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size())
        return std::nullopt;
    std::uint64_t value = 0;
    for (; i < s.size(); ++i) {
        const int c = std::tolower(static_cast<unsigned char>(s[i]));
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            return std::nullopt;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFFull)
            return std::nullopt;
    }
    return negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
}

template <class T>
bool NumberInto(const std::string& text, T& out, std::int64_t min, std::int64_t max)
{
    const auto n = Number(text);
    if (!n || *n < min || *n > max)
        return false;
    out = static_cast<T>(*n);
    return true;
}

std::string Hex32(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

std::string Hex16(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", v);
    return buf;
}

std::optional<bool> Bool(const std::string& text)
{
    const std::string s = Lower(Trim(text));
    if (s == "yes" || s == "true" || s == "1" || s == "on")
        return true;
    if (s == "no" || s == "false" || s == "0" || s == "off")
        return false;
    return std::nullopt;
}

const char* YesNo(bool b) { return b ? "yes" : "no"; }

bool Fail(std::string* error, const std::string& why)
{
    if (error)
        *error = why;
    return false;
}

// One key of the file: how it is printed and how it is read.
struct Field {
    const char* section;
    const char* key;
    const char* comment; // printed above the key when non-empty
    std::function<std::string(const NotebookState&)> get;
    std::function<bool(NotebookState&, const std::string&)> set;
};

template <class T>
Field NumberField(const char* section, const char* key, const char* comment, T NotebookState::*member,
                  std::int64_t min, std::int64_t max, bool hex)
{
    return {section, key, comment,
            [=](const NotebookState& s) {
                return hex ? (max > 0xFFFF ? Hex32(static_cast<std::uint32_t>(s.*member))
                                           : Hex16(static_cast<std::uint32_t>(s.*member)))
                           : std::to_string(static_cast<std::int64_t>(s.*member));
            },
            [=](NotebookState& s, const std::string& v) { return NumberInto(v, s.*member, min, max); }};
}

Field BoolField(const char* section, const char* key, const char* comment, bool NotebookState::*member)
{
    return {section, key, comment, [=](const NotebookState& s) { return std::string(YesNo(s.*member)); },
            [=](NotebookState& s, const std::string& v) {
                const auto b = Bool(v);
                if (!b)
                    return false;
                s.*member = *b;
                return true;
            }};
}

Field PasscodeField(const char* section, const char* key, const char* comment,
                    std::optional<Passcode> NotebookState::*member)
{
    return {section, key, comment,
            [=](const NotebookState& s) { return (s.*member) ? PasscodeHex(*(s.*member)) : std::string(); },
            [=](NotebookState& s, const std::string& v) {
                const std::string t = Trim(v);
                if (t.empty() || Lower(t) == "none") {
                    (s.*member).reset();
                    return true;
                }
                const auto p = ParsePasscodeHex(t);
                if (!p)
                    return false;
                s.*member = *p;
                return true;
            }};
}

Field PageField(const char* key, std::uint16_t selector, const char* comment)
{
    return {"policy", key, comment,
            [=](const NotebookState& s) {
                const auto it = s.pages.find(selector);
                const auto pair = it == s.pages.end() ? std::pair<std::uint32_t, std::uint32_t>{} : it->second;
                return Hex32(pair.first) + " " + Hex32(pair.second);
            },
            [=](NotebookState& s, const std::string& v) {
                const auto words = Words(v);
                std::uint32_t b = 0, a = 0;
                if (words.size() != 2 || !NumberInto(words[0], b, 0, 0xFFFFFFFF) || !NumberInto(words[1], a, 0, 0xFFFFFFFF))
                    return false;
                s.pages[selector] = {b, a};
                return true;
            }};
}

const std::vector<Field>& Fields()
{
    static const std::vector<Field> fields = [] {
        std::vector<Field> f;
        f.push_back(NumberField("machine", "level", "Security level word: level (0 = none), HDD password class, LevelMajor.LevelMinor\n"
                                "(2.1 with a non-zero insert_byte, or 1.1: class 2.1 passcodes, MD5; otherwise class 2.0)",
                                &NotebookState::level, 0, 15, false));
        f.push_back(NumberField("machine", "hdd_class", "", &NotebookState::hddClass, 0, 15, false));
        f.push_back(NumberField("machine", "level_major", "", &NotebookState::levelMajor, 0, 15, false));
        f.push_back(NumberField("machine", "level_minor", "", &NotebookState::levelMinor, 0, 15, false));
        f.push_back(NumberField("machine", "insert_byte", "", &NotebookState::insertByte, 0, 255, false));
        f.push_back(NumberField("machine", "bios_status", "BIOS status register 0x0062 (bit 3: IsBios)", &NotebookState::biosStatus, 0,
                                0xFFFFFFFF, true));
        f.push_back(BoolField("machine", "tpm", "TPM offered (bit 28 of the status read's ValueA)", &NotebookState::tpm));

        f.push_back(PasscodeField("passwords", "user", "Registered passcodes, 8 bytes in hex (empty: not registered)",
                                  &NotebookState::user));
        f.push_back(PasscodeField("passwords", "supervisor", "", &NotebookState::supervisor));
        f.push_back(PasscodeField("passwords", "hdd", "", &NotebookState::hdd));
        f.push_back(NumberField("passwords", "wrong_passcodes",
                                "Wrong passcodes in a row; at retry_limit every passcode check answers 0x83 until reset",
                                &NotebookState::wrongPasscodes, 0, 1000, false));
        f.push_back(NumberField("passwords", "retry_limit", "", &NotebookState::retryLimit, 1, 1000, false));

        f.push_back(NumberField("status", "extra_a", "More bits of the security status read (ValueA, ValueB)",
                                &NotebookState::statusExtraA, 0, 0xFFFFFFFF, true));
        f.push_back(NumberField("status", "extra_b", "", &NotebookState::statusExtraB, 0, 0xFFFFFFFF, true));
        f.push_back(BoolField("status", "bit21", "Bit 21 of the status word; bit21_on_policy_write sets it on every policy write",
                              &NotebookState::statusBit21));
        f.push_back(BoolField("status", "bit21_on_policy_write", "", &NotebookState::bit21OnPolicyWrite));

        f.push_back(NumberField("policy", "pc", "PC policy (bits 1, 2, 3: users may register, delete, change the user password;\n"
                                "bit 5: register or delete the HDD password), user policy with its extension word, support mask",
                                &NotebookState::pcPolicy, 0, 0xFFFFFFFF, true));
        f.push_back(NumberField("policy", "user", "", &NotebookState::userPolicy, 0, 0xFFFFFFFF, true));
        f.push_back(NumberField("policy", "user_ex", "", &NotebookState::userPolicyEx, 0, 0xFFFFFFFF, true));
        f.push_back(NumberField("policy", "support", "", &NotebookState::supportMask, 0, 0xFFFFFFFF, true));
        f.push_back(PageField("page_0200", 0x0200, "Policy pages: ValueB ValueA"));
        f.push_back(PageField("page_0281", 0x0281, ""));
        f.push_back(PageField("page_8200", 0x8200, ""));
        f.push_back(PageField("page_8281", 0x8281, ""));

        f.push_back(NumberField("hdd", "support", "HDD support word (non-zero: not supported) and HDD flags",
                                &NotebookState::hddSupport, 0, 0xFFFF, true));
        f.push_back(NumberField("hdd", "flags", "", &NotebookState::hddFlags, 0, 0xFFFFFFFF, true));

        f.push_back(BoolField("owner", "supported", "Owner-string area (size 513 or 209) and its content",
                              &NotebookState::ownerSupported));
        f.push_back(NumberField("owner", "area", "", &NotebookState::ownerArea, 0, 0xFFFF, false));
        f.push_back({"owner", "text", "", [](const NotebookState& s) { return QuoteText(s.owner); },
                     [](NotebookState& s, const std::string& v) {
                         auto t = UnquoteText(Trim(v));
                         if (!t)
                             return false;
                         while (!t->empty() && t->back() == '\0')
                             t->pop_back();
                         s.owner = *t;
                         return true;
                     }});

        f.push_back({"dialog", "mode", "Verification dialog: script (answers below, in order) or real (a window)",
                     [](const NotebookState& s) { return std::string(s.realDialog ? "real" : "script"); },
                     [](NotebookState& s, const std::string& v) {
                         const std::string m = Lower(Trim(v));
                         if (m != "real" && m != "script")
                             return false;
                         s.realDialog = m == "real";
                         return true;
                     }});
        f.push_back(NumberField("dialog", "retries", "", &NotebookState::dialogRetries, 1, 100, false));
        f.push_back({"dialog", "language", "", [](const NotebookState& s) { return s.language; },
                     [](NotebookState& s, const std::string& v) {
                         s.language = Trim(v);
                         return true;
                     }});
        f.push_back({"dialog", "answers", "Answers: \"typed text\", cancel, fail[=outcome], return=value, hold[=ms]",
                     [](const NotebookState& s) { return FormatAnswers(s.answers); },
                     [](NotebookState& s, const std::string& v) {
                         auto a = ParseAnswers(v);
                         if (!a)
                             return false;
                         s.answers = std::move(*a);
                         return true;
                     }});

        f.push_back({"journal", "file", "Journal of every library call (empty: none); relative to this file's folder",
                     [](const NotebookState& s) { return s.journal; },
                     [](NotebookState& s, const std::string& v) {
                         s.journal = Trim(v);
                         return true;
                     }});
        return f;
    }();
    return fields;
}

const Field* FindField(const std::string& section, const std::string& key)
{
    for (const Field& f : Fields())
        if (section == f.section && key == f.key)
            return &f;
    return nullptr;
}

} // namespace

bool NotebookState::PasscodeClass21() const
{
    return (levelMajor == 2 && levelMinor == 1 && insertByte != 0) || (levelMajor == 1 && levelMinor == 1);
}

void NotebookState::SetClass21(bool class21)
{
    levelMajor = 2;
    levelMinor = class21 ? 1 : 0;
    if (class21 && insertByte == 0)
        insertByte = 1;
}

std::uint32_t NotebookState::LevelWord() const
{
    return static_cast<std::uint32_t>(level & 0xF) | static_cast<std::uint32_t>(hddClass & 0xF) << 4 |
           static_cast<std::uint32_t>(levelMinor & 0xF) << 16 | static_cast<std::uint32_t>(levelMajor & 0xF) << 20;
}

std::uint32_t NotebookState::StatusB() const
{
    std::uint32_t b = statusExtraB;
    if (user)
        b |= 0x1;
    if (supervisor)
        b |= 0x2;
    if (hdd)
        b |= 0x4;
    if (statusBit21)
        b |= 1u << 21;
    return b;
}

std::uint32_t NotebookState::StatusA() const
{
    return statusExtraA | (tpm ? 1u << 28 : 0u);
}

std::string PasscodeHex(const Passcode& passcode)
{
    std::string hex;
    char buf[3];
    for (std::uint8_t b : passcode) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        hex += buf;
    }
    return hex;
}

std::optional<Passcode> ParsePasscodeHex(const std::string& text)
{
    std::string hex;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            hex += c;
    if (hex.size() != 16)
        return std::nullopt;
    Passcode p{};
    for (std::size_t i = 0; i < 8; ++i) {
        const auto n = Number("0x" + hex.substr(2 * i, 2));
        if (!n)
            return std::nullopt;
        p[i] = static_cast<std::uint8_t>(*n);
    }
    return p;
}

std::string QuoteText(const std::string& bytes)
{
    std::string out = "\"";
    for (unsigned char c : bytes) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02X", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

namespace {

// Reads a quoted text starting at pos; advances pos past the closing quote.
std::optional<std::string> ReadQuoted(const std::string& s, std::size_t& pos)
{
    if (pos >= s.size() || s[pos] != '"')
        return std::nullopt;
    std::string out;
    for (++pos; pos < s.size(); ++pos) {
        const char c = s[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++pos >= s.size())
            return std::nullopt;
        switch (s[pos]) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'x': {
            if (pos + 2 >= s.size())
                return std::nullopt;
            const auto n = Number("0x" + s.substr(pos + 1, 2));
            if (!n)
                return std::nullopt;
            out += static_cast<char>(*n);
            pos += 2;
            break;
        }
        default: return std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> UnquoteText(const std::string& quoted)
{
    if (quoted.empty())
        return std::string();
    std::size_t pos = 0;
    auto text = ReadQuoted(quoted, pos);
    if (!text || Trim(quoted.substr(pos)) != "")
        return std::nullopt;
    return text;
}

std::optional<std::vector<DialogAnswer>> ParseAnswers(const std::string& text, std::string* error)
{
    std::vector<DialogAnswer> answers;
    std::size_t pos = 0;
    const auto skipSpace = [&] {
        while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
            ++pos;
    };
    skipSpace();
    while (pos < text.size()) {
        DialogAnswer a;
        if (text[pos] == '"') {
            auto t = ReadQuoted(text, pos);
            if (!t) {
                Fail(error, "unterminated quoted answer");
                return std::nullopt;
            }
            a.kind = DialogAnswer::Kind::Typed;
            a.text = *t;
        } else {
            const std::size_t end = text.find(',', pos);
            const std::string word = Lower(Trim(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos)));
            pos = end == std::string::npos ? text.size() : end;
            const std::size_t eq = word.find('=');
            const std::string name = word.substr(0, eq);
            std::optional<std::int64_t> value;
            if (eq != std::string::npos) {
                value = Number(word.substr(eq + 1));
                if (!value) {
                    Fail(error, "bad number in answer '" + word + "'");
                    return std::nullopt;
                }
            }
            if (name == "cancel" && !value) {
                a.kind = DialogAnswer::Kind::Cancel;
            } else if (name == "fail") {
                a.kind = DialogAnswer::Kind::Fail;
                a.value = value.value_or(2);
            } else if (name == "return" && value) {
                a.kind = DialogAnswer::Kind::Return;
                a.value = *value;
            } else if (name == "hold") {
                a.kind = DialogAnswer::Kind::Hold;
                a.value = value.value_or(10000);
            } else {
                Fail(error, "unknown answer '" + word + "'");
                return std::nullopt;
            }
        }
        answers.push_back(std::move(a));
        skipSpace();
        if (pos < text.size()) {
            if (text[pos] != ',') {
                Fail(error, "answers are separated by commas");
                return std::nullopt;
            }
            ++pos;
            skipSpace();
        }
    }
    return answers;
}

std::string FormatAnswers(const std::vector<DialogAnswer>& answers)
{
    std::string out;
    for (const DialogAnswer& a : answers) {
        if (!out.empty())
            out += ", ";
        switch (a.kind) {
        case DialogAnswer::Kind::Typed: out += QuoteText(a.text); break;
        case DialogAnswer::Kind::Cancel: out += "cancel"; break;
        case DialogAnswer::Kind::Fail: out += "fail=" + std::to_string(a.value); break;
        case DialogAnswer::Kind::Return: out += "return=" + Hex32(static_cast<std::uint32_t>(a.value)); break;
        case DialogAnswer::Kind::Hold: out += "hold=" + std::to_string(a.value); break;
        }
    }
    return out;
}

std::optional<Fault> ParseFault(const std::string& text, std::string* error)
{
    const auto words = Words(Lower(text));
    std::size_t i = 0;
    const auto next = [&]() -> std::string { return i < words.size() ? words[i++] : std::string(); };
    const auto number = [&](std::int64_t min, std::int64_t max) -> std::optional<std::int64_t> {
        const auto n = Number(next());
        if (!n || *n < min || *n > max)
            return std::nullopt;
        return n;
    };
    const auto bad = [&](const std::string& why) -> std::optional<Fault> {
        Fail(error, "fault '" + text + "': " + why);
        return std::nullopt;
    };

    Fault f;
    const std::string target = next();
    bool needsAction = true;
    if (target == "request") {
        const auto code = number(0, 0xFFFF);
        if (!code)
            return bad("request code expected");
        f.request = static_cast<std::uint16_t>(*code);
        while (i < words.size() && (words[i] == "sub" || words[i] == "selector")) {
            const bool sub = words[i++] == "sub";
            const auto v = number(0, 0xFFFF);
            if (!v)
                return bad("number expected");
            (sub ? f.sub : f.selector) = static_cast<std::uint16_t>(*v);
        }
    } else if (target == "connect" || target == "disconnect") {
        f.target = Fault::Target::Request;
        f.request = 0x0600;
        f.selector = target == "connect" ? 0x8002 : 0x0000;
        f.direction = Fault::Direction::Write;
    } else if (target == "open") {
        f.target = Fault::Target::Open;
    } else if (target == "close") {
        f.target = Fault::Target::Close;
    } else if (target == "onecall") {
        f.target = Fault::Target::OneCall;
    } else if (target == "insert") {
        f.target = Fault::Target::Insert;
    } else if (target == "compare") {
        f.target = Fault::Target::Compare;
    } else if (target == "hardware") {
        f.target = Fault::Target::Hardware;
        const auto reg = number(0, 0xFFFF);
        if (!reg)
            return bad("register expected");
        f.request = static_cast<std::uint16_t>(*reg);
        if (i < words.size() && (words[i] == "read" || words[i] == "write"))
            f.direction = next() == "read" ? Fault::Direction::Read : Fault::Direction::Write;
    } else if (target == "owner-count" || target == "certify-open") {
        f.target = target == "owner-count" ? Fault::Target::OwnerCount : Fault::Target::CertifyOpen;
        f.action = Fault::Action::Answer;
        const auto v = number(-0x80000000LL, 0xFFFFFFFFLL);
        if (!v)
            return bad("value expected");
        f.value = *v;
        needsAction = false;
    } else {
        return bad("unknown target '" + target + "'");
    }
    if (f.target == Fault::Target::Request && i < words.size() && (words[i] == "read" || words[i] == "write"))
        f.direction = next() == "read" ? Fault::Direction::Read : Fault::Direction::Write;

    if (needsAction) {
        const std::string action = next();
        if (action == "fail") {
            f.action = Fault::Action::Fail;
        } else if (action == "busy") {
            f.action = Fault::Action::Busy;
            if (f.target != Fault::Target::Request)
                return bad("only requests answer busy");
            if (i < words.size() && words[i] == "forever") {
                ++i;
            } else {
                const auto n = number(1, 1000000);
                if (!n)
                    return bad("busy takes a count or 'forever'");
                f.remaining = *n;
            }
        } else if (action == "completion") {
            f.action = Fault::Action::Completion;
            if (f.target != Fault::Target::Request)
                return bad("only requests answer a completion");
            const auto c = number(0, 0xFF);
            if (!c)
                return bad("completion byte expected");
            f.value = *c;
        } else {
            return bad("action fail, busy or completion expected");
        }
    }
    while (i < words.size()) {
        const std::string w = next();
        if (w == "forever") {
            f.remaining = -1;
        } else if (w == "times") {
            const auto n = number(0, 1000000);
            if (!n)
                return bad("count expected after 'times'");
            f.remaining = *n;
        } else {
            return bad("unexpected '" + w + "'");
        }
    }
    return f;
}

std::string FormatFault(const Fault& f)
{
    std::string out;
    const auto dir = [&] {
        if (f.direction == Fault::Direction::Read)
            out += " read";
        else if (f.direction == Fault::Direction::Write)
            out += " write";
    };
    switch (f.target) {
    case Fault::Target::Request:
        out = "request " + Hex16(f.request);
        if (f.sub)
            out += " sub " + Hex16(*f.sub);
        if (f.selector)
            out += " selector " + Hex16(*f.selector);
        dir();
        break;
    case Fault::Target::Open: out = "open"; break;
    case Fault::Target::Close: out = "close"; break;
    case Fault::Target::OneCall: out = "onecall"; break;
    case Fault::Target::Insert: out = "insert"; break;
    case Fault::Target::Compare: out = "compare"; break;
    case Fault::Target::Hardware:
        out = "hardware " + Hex16(f.request);
        dir();
        break;
    case Fault::Target::OwnerCount: out = "owner-count " + std::to_string(f.value); break;
    case Fault::Target::CertifyOpen: out = "certify-open " + std::to_string(f.value); break;
    }
    switch (f.action) {
    case Fault::Action::Fail: out += " fail"; break;
    case Fault::Action::Busy:
        return out + " busy " + (f.remaining < 0 ? std::string("forever") : std::to_string(f.remaining));
    case Fault::Action::Completion: {
        char buf[32];
        std::snprintf(buf, sizeof buf, " completion 0x%02X", static_cast<unsigned>(f.value));
        out += buf;
        break;
    }
    case Fault::Action::Answer: break;
    }
    out += f.remaining < 0 ? std::string(" forever") : " times " + std::to_string(f.remaining);
    return out;
}

std::string Serialize(const NotebookState& state)
{
    std::string out = "; Virtual notebook: the state of one simulated machine (tools/notebook show explains it).\n";
    std::string section;
    for (const Field& f : Fields()) {
        if (section != f.section) {
            section = f.section;
            out += "\n[" + section + "]\n";
        }
        if (*f.comment) {
            std::istringstream lines(f.comment);
            for (std::string line; std::getline(lines, line);)
                out += "; " + line + "\n";
        }
        const std::string value = f.get(state);
        out += std::string(f.key) + " =" + (value.empty() ? "" : " " + value) + "\n";
    }
    out += "\n[faults]\n; One line each: fault = request CODE [sub N] [selector N] fail|busy N|busy forever|completion N;\n"
           "; open|close|connect|disconnect|onecall|insert|compare fail; hardware REG [read|write] fail;\n"
           "; owner-count N; certify-open N. 'times N' limits how many calls it affects.\n";
    for (const Fault& fault : state.faults)
        out += "fault = " + FormatFault(fault) + "\n";
    return out;
}

std::optional<NotebookState> Parse(const std::string& text, std::string* error)
{
    NotebookState state;
    std::istringstream in(text);
    std::string section;
    int lineNo = 0;
    for (std::string raw; std::getline(in, raw);) {
        ++lineNo;
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        const auto where = "line " + std::to_string(lineNo) + ": ";
        if (line[0] == '[') {
            if (line.back() != ']') {
                Fail(error, where + "bad section header");
                return std::nullopt;
            }
            section = Lower(Trim(line.substr(1, line.size() - 2)));
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) {
            Fail(error, where + "key = value expected");
            return std::nullopt;
        }
        const std::string key = Lower(Trim(line.substr(0, eq)));
        const std::string value = Trim(line.substr(eq + 1));
        if (section == "faults" && key == "fault") {
            std::string why;
            auto f = ParseFault(value, &why);
            if (!f) {
                Fail(error, where + why);
                return std::nullopt;
            }
            state.faults.push_back(*f);
            continue;
        }
        const Field* field = FindField(section, key);
        if (!field) {
            Fail(error, where + "unknown key [" + section + "] " + key);
            return std::nullopt;
        }
        if (!field->set(state, value)) {
            Fail(error, where + "bad value for " + key + ": " + value);
            return std::nullopt;
        }
    }
    return state;
}

bool Assign(NotebookState& state, const std::string& assignment, std::string* error)
{
    const std::size_t eq = assignment.find('=');
    if (eq == std::string::npos)
        return Fail(error, "'" + assignment + "': key=value expected");
    std::string key = Lower(Trim(assignment.substr(0, eq)));
    const std::string value = Trim(assignment.substr(eq + 1));
    if (key == "fault" || key == "faults.fault") {
        std::string why;
        auto f = ParseFault(value, &why);
        if (!f)
            return Fail(error, why);
        state.faults.push_back(*f);
        return true;
    }
    if (key == "owner")
        key = "owner.text";
    if (key == "class") {
        if (value != "2.0" && value != "2.1")
            return Fail(error, "class is 2.0 or 2.1");
        state.SetClass21(value == "2.1");
        return true;
    }
    const Field* field = nullptr;
    const std::size_t dot = key.find('.');
    if (dot != std::string::npos) {
        field = FindField(key.substr(0, dot), key.substr(dot + 1));
    } else {
        for (const Field& f : Fields()) {
            if (key != f.key)
                continue;
            if (field)
                return Fail(error, "'" + key + "' is ambiguous; write section.key");
            field = &f;
        }
    }
    if (!field)
        return Fail(error, "unknown key '" + key + "'");
    if (!field->set(state, value))
        return Fail(error, "bad value for " + key + ": " + value);
    return true;
}

} // namespace sim

// pwctl's command line and its JSON output. The input, cut at NUL bytes,
// is a command line of UTF-16 arguments; the same bytes are the keys and
// texts of a JSON object, which a real JSON parser must read back: a text
// that is UTF-8 exactly, any other with its ASCII characters intact.
#include <nlohmann/json.hpp>

#include "CommandLine.h"
#include "FuzzInput.h"
#include "JsonText.h"

namespace {

std::vector<std::wstring> Arguments(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::wstring> args;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == 0) {
            args.push_back(fuzz::Wide(data + start, i - start));
            start = i + 1;
        }
    }
    return args;
}

std::string Ascii(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x80)
            out += c;
    return out;
}

bool WellFormed(const std::string& text)
{
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::type_error&) {
        return false;
    }
}

void CheckCommandLine(const std::uint8_t* data, std::size_t size)
{
    pwctl::Options options;
    const std::vector<std::wstring> argv = Arguments(data, size);
    const pwctl::Parsed parsed = pwctl::ParseCommandLine(argv, options);
    fuzz::Check((parsed == pwctl::Parsed::Usage) == (options.args.empty() && parsed != pwctl::Parsed::Help),
                "usage exactly when no command is left");
    if (parsed != pwctl::Parsed::Run)
        return;
    fuzz::Check(options.args.size() <= argv.size(), "no argument made up");
    const std::string problem = pwctl::Validate(options.args);
    if (problem.empty() && options.args[0] == L"policy" && options.args.size() > 2)
        for (std::size_t i = 2; i < options.args.size(); ++i) {
            std::size_t field = 0;
            int value = -1;
            fuzz::Check(pwctl::ParsePolicyAssignment(pwctl::Utf8(options.args[i]), field, value) &&
                            field < pwctl::kPolicyFieldCount && value >= 0 && value <= 2,
                        "an accepted policy assignment names a field and a value");
        }
    for (const std::wstring& a : argv)
        fuzz::Check(WellFormed(pwctl::Utf8(a)), "UTF-16 becomes well-formed UTF-8");
}

void CheckJson(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = bytes.find('\0');
    const std::string key = cut == std::string::npos ? "key" : bytes.substr(0, cut);
    const std::string value = cut == std::string::npos ? bytes : bytes.substr(cut + 1);
    pwctl::JsonObject object;
    object.Text(key + "1", value).Number("n", static_cast<long long>(size) - 7).Bool("b", size % 2 == 0);
    nlohmann::json parsed;
    try {
        parsed = nlohmann::json::parse(object.Str());
    } catch (const nlohmann::json::exception& e) {
        fuzz::Fail(e.what());
    }
    fuzz::Check(parsed.is_object() && parsed.size() == 3, "three members");
    const auto readBack = [&](const std::string& original, const std::string& text) {
        if (WellFormed(original))
            fuzz::Check(text == original, "UTF-8 text reads back exactly");
        else
            fuzz::Check(Ascii(text) == Ascii(original), "no ASCII character lost to a replacement");
    };
    for (auto it = parsed.begin(); it != parsed.end(); ++it) {
        if (it.key() == "n" || it.key() == "b")
            continue;
        readBack(key + "1", it.key());
        fuzz::Check(it.value().is_string(), "the text is a string");
        readBack(value, it.value().get<std::string>());
    }
    fuzz::Check(parsed.contains("n") && parsed["n"] == static_cast<long long>(size) - 7, "the number");
    fuzz::Check(parsed.contains("b") && parsed["b"] == (size % 2 == 0), "the flag");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckCommandLine(data, size);
    CheckJson(data, size);
    return 0;
}

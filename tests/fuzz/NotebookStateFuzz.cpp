// The virtual notebook's files: the state file, its fault lines, dialog
// answers and quoted texts. Any text is parsed or refused with a reason, and
// what the notebook writes parses back to the same state.
#include "FuzzInput.h"
#include "NotebookState.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;

    if (const auto state = sim::Parse(text, &error)) {
        const auto again = sim::Parse(sim::Serialize(*state), &error);
        fuzz::Check(again.has_value() && *again == *state, "a written state file reads back the same");
    }
    sim::NotebookState assigned;
    (void)sim::Assign(assigned, text, &error);

    if (const auto fault = sim::ParseFault(text, &error)) {
        const auto again = sim::ParseFault(sim::FormatFault(*fault), &error);
        fuzz::Check(again.has_value() && *again == *fault, "a written fault reads back the same");
    }
    if (const auto answers = sim::ParseAnswers(text, &error)) {
        const auto again = sim::ParseAnswers(sim::FormatAnswers(*answers), &error);
        fuzz::Check(again.has_value() && *again == *answers, "written answers read back the same");
    }
    const auto unquoted = sim::UnquoteText(sim::QuoteText(text));
    fuzz::Check(unquoted.has_value() && *unquoted == text, "any bytes quote and unquote");
    (void)sim::UnquoteText(text);
    (void)sim::ParsePasscodeHex(text);
    return 0;
}

#include "Texts.h"

#include <cwchar>

#include "ResultSentences.h"

namespace host {

std::wstring Text(UINT id)
{
    const wchar_t* entry = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&entry), 0);
    return length > 0 ? std::wstring(entry, static_cast<std::size_t>(length)) : std::wstring();
}

std::wstring Text(UINT id, const std::wstring& value)
{
    std::wstring text = Text(id);
    const std::size_t at = text.find(L"%s");
    if (at != std::wstring::npos)
        text.replace(at, 2, value);
    return text;
}

Result Explain(results::Operation operation, std::int32_t code)
{
    const results::CodeMeaning meaning = results::Describe(operation, code);
    std::wstring sentence = Text(static_cast<UINT>(meaning.sentence));
    if (meaning.sentence == PW_SAY_UNKNOWN) {
        const std::size_t at = sentence.find(L"%d");
        if (at != std::wstring::npos)
            sentence.replace(at, 2, std::to_wstring(code));
    }
    return {meaning.success, sentence};
}

void SetItemText(HWND dialog, int control, UINT id)
{
    SetDlgItemTextW(dialog, control, Text(id).c_str());
}

} // namespace host

// Password characters on the US layout: every byte has an answer, and a
// character that has a key gives a legal scan code exactly when its key is
// one a password may use.
#include "FuzzInput.h"
#include "ScanCodes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t code = scancode::UsLayout(data[i]);
        if (data[i] >= 0x80)
            fuzz::Check(code == scancode::kNoKey, "no key types a character above ASCII");
        if (code != scancode::kNoKey)
            fuzz::Check(code < 0x80, "a make code, never a break code");
        (void)scancode::IsLegal(data[i]);
    }
    return 0;
}

// Version comparison of the launcher: any two texts compare, and the answer
// is that of a total order on their keys.
#include "FuzzInput.h"
#include "SetupLogic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto [release, installed] = fuzz::TwoWide(data, size);
    const int forward = setup::VersionCompare(release, installed);
    const int backward = setup::VersionCompare(installed, release);
    fuzz::Check(forward >= -1 && forward <= 1, "the answer is -1, 0 or 1");
    fuzz::Check(forward == -backward, "swapping the versions swaps the answer");
    fuzz::Check(setup::VersionCompare(release, release) == 0, "a version equals itself");
    fuzz::Check((forward == 0) == (setup::VersionKey(release) == setup::VersionKey(installed)),
                "equal exactly when the keys are equal");
    (void)setup::RemoveOnlyCommand(release);
    return 0;
}

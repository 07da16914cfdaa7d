#pragma once
// Knobs for long runs of the property tests: a positive whole number from the environment.

#include <QtGlobal>

namespace test {

[[nodiscard]] inline int environmentNumber(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

} // namespace test

#pragma once
// Filling the preferences page from the store in memory: shared by the window's open handling
// and the page's Cancel, which read the same nine keys in orders of their own.

#include <span>

class KelvoBridge;

namespace preferencesPage {

// The nine settings of the page, each with its store key and its control.
enum class Setting { maxA, maxB, limitA, limitB, power, program, monitor, slaveTimeout, timeoutMinutes };

inline constexpr Setting openOrder[] = {
    Setting::power, Setting::program, Setting::limitA, Setting::limitB, Setting::maxA,
    Setting::maxB, Setting::timeoutMinutes, Setting::slaveTimeout, Setting::monitor,
};
inline constexpr Setting cancelOrder[] = {
    Setting::maxA, Setting::maxB, Setting::limitA, Setting::limitB, Setting::power,
    Setting::program, Setting::monitor, Setting::timeoutMinutes, Setting::slaveTimeout,
};

// Puts each stored value into its control, in the order given. A key the store lacks, a value
// that does not convert, or a monitor index with no button shows that setting's default
// instead; the store is left as it is. Selecting the monitor button also sets prefmonitor.
void loadControls(KelvoBridge &window, std::span<const Setting> order);

} // namespace preferencesPage

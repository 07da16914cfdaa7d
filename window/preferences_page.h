#pragma once
// Filling the preferences page from the store in memory: shared by the window's open handling
// and the page's Cancel, which read the same nine keys.

class KelvoBridge;

namespace kelvo::preferencesPage {

// Puts each stored value into its control. A key the store lacks, a value that does not
// convert, or a monitor index with no button shows that setting's first-run value instead; the
// store is left as it is. Selecting the monitor button also sets prefmonitor.
void loadControls(KelvoBridge &window);

} // namespace kelvo::preferencesPage

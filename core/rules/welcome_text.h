#pragma once
// The main page's instruction text: put back by resetState and shown when the window opens.

#include <QString>

// Names the Find shortcut with this platform's command key ("⌘" on macOS, "Ctrl" elsewhere).
[[nodiscard]] QString welcomeText();

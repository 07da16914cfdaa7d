#pragma once
// Modal message boxes. Production shows Qt's; a test installs dialogs of its own that record
// each box and answer it from a script.

#include <QString>

namespace kelvo::platform {

// What a coded box shows: a caution icon with OK, or with Retry and Cancel.
enum class MsgBoxCode : int { CautionOk = 48, CautionRetryCancel = 53 };
// The button that closed a coded box.
enum class MsgBoxAnswer : int { Ok = 1, Cancel = 2, Retry = 4 };

class Dialogs {
public:
    virtual ~Dialogs();

    // The plain form: the text, OK and no icon.
    virtual void msgBox(const QString &text);
    // The coded form; returns the button that closed it.
    virtual MsgBoxAnswer msgBox(const QString &text, MsgBoxCode code, const QString &title);
};

// The dialogs in force: Qt's unless others are installed.
Dialogs &dialogs();
// Installs replacement dialogs (not owned), or restores Qt's with nullptr.
void setDialogs(Dialogs *replacement);

} // namespace kelvo::platform

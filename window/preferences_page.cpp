// The preferences page: Save writes the page's controls to the store and the file, Cancel puts
// the stored values back, and the monitor set keeps prefmonitor on the chosen button. The
// controls themselves are the live settings; the store is the copy that survives a restart.

#include "window/preferences_page.h"

#include "platform/dialogs.h"
#include "shell/app.h"
#include "shell/preference_keys.h"
#include "shell/preferences_module.h"
#include "window/kelvo_bridge.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>

using namespace kelvo;

namespace keys = preferenceKeys;

namespace {

[[nodiscard]] qint64 storedMonitor(const PreferencesModule::Prefs *prefs)
{
    const qint64 index = keys::stored(prefs, keys::monitor);
    // Only an index with a button keeps prefmonitor equal to the selected button.
    return index >= 0 && index <= 2 ? index : keys::monitor.firstRun;
}

} // namespace

namespace kelvo::preferencesPage {

void loadControls(KelvoBridge &window)
{
    // Set from code, no control runs a handler: nothing acts on a half-filled page.
    const PreferencesModule::Prefs *prefs = PreferencesModule::Preferences();
    window.blockPower()->setChecked(keys::stored(prefs, keys::power));
    window.blockProgram()->setChecked(keys::stored(prefs, keys::program));
    window.limitA()->setChecked(keys::stored(prefs, keys::limitA));
    window.limitB()->setChecked(keys::stored(prefs, keys::limitB));
    window.maxA()->setText(keys::stored(prefs, keys::maxA));
    window.maxB()->setText(keys::stored(prefs, keys::maxB));
    window.timeoutMinutes()->setText(keys::stored(prefs, keys::timeoutMinutes));
    window.slaveTimeout()->setChecked(keys::stored(prefs, keys::slaveTimeout));
    const qint64 monitor = storedMonitor(prefs);
    window.monitor10(monitor)->setChecked(true);
    window.prefmonitor = monitor;
}

} // namespace kelvo::preferencesPage

void KelvoBridge::savePrefs_Action()
{
    PreferencesModule::Prefs *prefs = PreferencesModule::Preferences();
    bool saved = false;
    if (prefs) {
        // Every key every time, exactly as the controls hold them.
        keys::store(*prefs, keys::maxA, maxA()->text());
        keys::store(*prefs, keys::maxB, maxB()->text());
        keys::store(*prefs, keys::limitA, limitA()->isChecked());
        keys::store(*prefs, keys::limitB, limitB()->isChecked());
        keys::store(*prefs, keys::power, blockPower()->isChecked());
        keys::store(*prefs, keys::program, blockProgram()->isChecked());
        keys::store(*prefs, keys::monitor, prefmonitor);
        keys::store(*prefs, keys::slaveTimeout, slaveTimeout()->isChecked());
        keys::store(*prefs, keys::timeoutMinutes, timeoutMinutes()->text());
        saved = prefs->Save();
    }
    if (!saved)
        platform::dialogs().msgBox(couldNotSaveMessage(), platform::MsgBoxCode::CautionOk, QString());
    bridgeUI()->setCurrentIndex(mainPage);
}

void KelvoBridge::exitPrefs_Action()
{
    preferencesPage::loadControls(*this);
    bridgeUI()->setCurrentIndex(mainPage);
}

void KelvoBridge::monitor10_Action(qint64 index)
{
    prefmonitor = index;
}

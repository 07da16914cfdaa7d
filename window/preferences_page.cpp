// The preferences page: Save writes the page's controls to the store and the file, Cancel puts
// the stored values back, and the monitor set keeps prefmonitor on the chosen button. The
// controls themselves are the live settings; the store is the copy that survives a restart.

#include "window/preferences_page.h"

#include "platform/services.h"
#include "shell/preferences_module.h"
#include "window/kelvo_bridge.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>

namespace {

constexpr int mainPage = 0;

// What a control shows when the store has nothing usable for it: the first-run defaults.
constexpr bool defaultFlag = false;
constexpr qint64 defaultMonitor = 1;
const QString defaultMaximum = QStringLiteral("100");

[[nodiscard]] bool storedFlag(const PreferencesModule::Prefs *prefs, const QString &key)
{
    return prefs ? prefs->boolOr(key, defaultFlag) : defaultFlag;
}

[[nodiscard]] QString storedText(const PreferencesModule::Prefs *prefs, const QString &key,
                                 const QString &fallback)
{
    return prefs ? prefs->textOr(key, fallback) : fallback;
}

[[nodiscard]] qint64 storedMonitor(const PreferencesModule::Prefs *prefs)
{
    const qint64 index = prefs ? prefs->integerOr(QStringLiteral("monitor"), defaultMonitor)
                               : defaultMonitor;
    // Only an index with a button keeps prefmonitor equal to the selected button.
    return index >= 0 && index <= 2 ? index : defaultMonitor;
}

} // namespace

namespace preferencesPage {

void loadControls(KelvoBridge &window)
{
    const PreferencesModule::Prefs *prefs = PreferencesModule::Preferences();
    window.maxA()->setText(storedText(prefs, QStringLiteral("maxA"), defaultMaximum));
    window.maxB()->setText(storedText(prefs, QStringLiteral("maxB"), defaultMaximum));
    window.limitA()->setChecked(storedFlag(prefs, QStringLiteral("limitA")));
    window.limitB()->setChecked(storedFlag(prefs, QStringLiteral("limitB")));
    window.blockPower()->setChecked(storedFlag(prefs, QStringLiteral("power")));
    window.blockProgram()->setChecked(storedFlag(prefs, QStringLiteral("program")));
    const qint64 index = storedMonitor(prefs);
    window.monitor10(index)->setChecked(true);
    window.prefmonitor = index;
    window.slaveTimeout()->setChecked(storedFlag(prefs, QStringLiteral("slaveTimeout")));
    window.timeoutMinutes()->setText(storedText(prefs, QStringLiteral("timeoutMinutes"), QString()));
}

} // namespace preferencesPage

void KelvoBridge::savePrefs_Action()
{
    PreferencesModule::Prefs *prefs = PreferencesModule::Preferences();
    bool saved = false;
    if (prefs) {
        // Every key every time, exactly as the controls hold them.
        prefs->Set(QStringLiteral("maxA"), maxA()->text());
        prefs->Set(QStringLiteral("maxB"), maxB()->text());
        prefs->Set(QStringLiteral("limitA"), limitA()->isChecked());
        prefs->Set(QStringLiteral("limitB"), limitB()->isChecked());
        prefs->Set(QStringLiteral("power"), blockPower()->isChecked());
        prefs->Set(QStringLiteral("program"), blockProgram()->isChecked());
        prefs->Set(QStringLiteral("monitor"), qint64{prefmonitor});
        prefs->Set(QStringLiteral("slaveTimeout"), slaveTimeout()->isChecked());
        prefs->Set(QStringLiteral("timeoutMinutes"), timeoutMinutes()->text());
        saved = prefs->Save();
    }
    if (!saved)
        platform::services().msgBox(QStringLiteral("Could not save preferences"),
                                    platform::msgBoxCautionOk, QString());
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

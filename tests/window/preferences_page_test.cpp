// The preferences page: Save writes the nine keys and the file, Cancel puts the store back into
// the controls, and stored values that are missing or of another kind never end in an error.

#include "window/kelvo_bridge.h"

#include "platform/dialogs.h"
#include "shell/preferences_module.h"
#include "support/preferences_test_home.h"
#include "support/scripted_services.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace kelvo;

namespace {

using PreferencesModule::Preferences;
using PreferencesModule::Prefs;

// The page's nine controls as one value, to compare in one go.
struct PageState {
    QString maxA, maxB, timeoutMinutes;
    bool limitA, limitB, power, program, slaveTimeout;
    qint64 checkedMonitor;
    bool operator==(const PageState &) const = default;
};

std::ostream &operator<<(std::ostream &out, const PageState &s)
{
    return out << "maxA=" << s.maxA.toStdString() << " maxB=" << s.maxB.toStdString()
               << " timeout=" << s.timeoutMinutes.toStdString() << " limitA=" << s.limitA
               << " limitB=" << s.limitB << " power=" << s.power << " program=" << s.program
               << " slave=" << s.slaveTimeout << " monitor=" << s.checkedMonitor;
}

const PageState defaults{QStringLiteral("100"), QStringLiteral("100"), QString(),
                         false, false, false, false, false, 1};

class PreferencesPage : public PreferencesTestHome {
protected:
    ScriptedServices services;
    std::unique_ptr<KelvoBridge> window;

    void SetUp() override
    {
        PreferencesTestHome::SetUp();
        PreferencesModule::Initialize(QStringLiteral("KelvoConnect"));
        ASSERT_FALSE(prefs().Load()); // no file yet: the path is known, the store empty
        window = std::make_unique<KelvoBridge>();
    }

    [[nodiscard]] static Prefs &prefs() { return *Preferences(); }

    // A store as a first run leaves it, with these differences.
    static void storeDefaults()
    {
        Prefs &p = prefs();
        p.Set(QStringLiteral("limitA"), false);
        p.Set(QStringLiteral("limitB"), false);
        p.Set(QStringLiteral("power"), false);
        p.Set(QStringLiteral("program"), false);
        p.Set(QStringLiteral("maxA"), "100");
        p.Set(QStringLiteral("maxB"), "100");
        p.Set(QStringLiteral("monitor"), qint64{1});
        p.Set(QStringLiteral("serial"), "");
        p.Set(QStringLiteral("timeoutMinutes"), "");
        p.Set(QStringLiteral("slaveTimeout"), false);
    }

    [[nodiscard]] PageState page() const
    {
        qint64 checked = -1;
        for (qint64 index = 0; index <= 2; ++index)
            if (window->monitor10(index)->isChecked())
                checked = index;
        return {window->maxA()->text(), window->maxB()->text(), window->timeoutMinutes()->text(),
                window->limitA()->isChecked(), window->limitB()->isChecked(),
                window->blockPower()->isChecked(), window->blockProgram()->isChecked(),
                window->slaveTimeout()->isChecked(), checked};
    }

    void setPage(const PageState &state) const
    {
        window->maxA()->setText(state.maxA);
        window->maxB()->setText(state.maxB);
        window->timeoutMinutes()->setText(state.timeoutMinutes);
        window->limitA()->setChecked(state.limitA);
        window->limitB()->setChecked(state.limitB);
        window->blockPower()->setChecked(state.power);
        window->blockProgram()->setChecked(state.program);
        window->slaveTimeout()->setChecked(state.slaveTimeout);
        window->monitor10(state.checkedMonitor)->click(); // as the user chooses it
    }

    void openPage() const { window->bridgeUI()->setCurrentIndex(1); }
    [[nodiscard]] int shownPage() const { return window->bridgeUI()->currentIndex(); }
};

TEST_F(PreferencesPage, SaveWritesTheNineKeysAsTypedAndShowsTheMainPage)
{
    storeDefaults();
    openPage();
    const PageState edited{QString(), QStringLiteral(" 7x"), QStringLiteral("abc"),
                           true, false, true, false, true, 2};
    setPage(edited);
    EXPECT_EQ(window->prefmonitor, 2);

    window->savePrefs()->click();

    EXPECT_TRUE(services.boxes.empty());
    EXPECT_EQ(shownPage(), 0);
    const Prefs &p = prefs();
    EXPECT_EQ(p.Get(QStringLiteral("maxA")), JsonValue(""));
    EXPECT_EQ(p.Get(QStringLiteral("maxB")), JsonValue(" 7x"));
    EXPECT_EQ(p.Get(QStringLiteral("timeoutMinutes")), JsonValue("abc"));
    EXPECT_EQ(p.Get(QStringLiteral("limitA")), JsonValue(true));
    EXPECT_EQ(p.Get(QStringLiteral("limitB")), JsonValue(false));
    EXPECT_EQ(p.Get(QStringLiteral("power")), JsonValue(true));
    EXPECT_EQ(p.Get(QStringLiteral("program")), JsonValue(false));
    EXPECT_EQ(p.Get(QStringLiteral("slaveTimeout")), JsonValue(true));
    EXPECT_EQ(p.Get(QStringLiteral("monitor")), JsonValue(qint64{2}));
    EXPECT_EQ(p.Get(QStringLiteral("serial")), JsonValue(""));
    EXPECT_EQ(p.values().size(), 10);

    // The file holds the same values, read back by a store of its own.
    Prefs reread(QStringLiteral("KelvoConnect"));
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.Get(QStringLiteral("maxA")), JsonValue(""));
    EXPECT_EQ(reread.integerOr(QStringLiteral("monitor"), -1), 2);
    EXPECT_TRUE(reread.boolOr(QStringLiteral("power"), false));

    // A later Cancel puts the saved state back, the empty text included.
    openPage();
    setPage(defaults);
    window->exitPrefs()->click();
    EXPECT_EQ(page(), edited);
    EXPECT_EQ(window->prefmonitor, 2);
}

TEST_F(PreferencesPage, CancelRestoresTheStoredStateAndPrefmonitor)
{
    storeDefaults();
    prefs().Set(QStringLiteral("monitor"), qint64{0});
    prefs().Set(QStringLiteral("program"), true);
    prefs().Set(QStringLiteral("timeoutMinutes"), "15");
    const PageState stored{QStringLiteral("100"), QStringLiteral("100"), QStringLiteral("15"),
                           false, false, false, true, false, 0};
    const JsonObject before = prefs().values();

    openPage();
    setPage({QStringLiteral("9"), QStringLiteral("8"), QString(), true, true, true, false, true, 2});
    EXPECT_EQ(window->prefmonitor, 2);
    window->exitPrefs()->click();

    EXPECT_EQ(page(), stored);
    EXPECT_EQ(window->prefmonitor, 0);
    EXPECT_EQ(shownPage(), 0);
    EXPECT_EQ(prefs().values(), before);
    EXPECT_TRUE(services.boxes.empty());

    // "every 10 secs", Cancel, then Save: the stored index is saved, not 2.
    openPage();
    window->monitor10(2)->click();
    window->exitPrefs()->click();
    openPage();
    window->savePrefs()->click();
    EXPECT_EQ(prefs().Get(QStringLiteral("monitor")), JsonValue(qint64{0}));
}

TEST_F(PreferencesPage, AFailedSaveShowsOneBoxThenTheMainPageAndKeepsTheValues)
{
    storeDefaults();
    ASSERT_TRUE(QDir().mkpath(filePath())); // a folder where the file belongs: writing fails
    openPage();
    const PageState edited{QStringLiteral("40"), QStringLiteral("50"), QStringLiteral("3"),
                           true, true, false, false, true, 0};
    setPage(edited);
    int pageWhileShown = -1;
    services.onBox = [&](const ScriptedServices::ShownBox &) { pageWhileShown = shownPage(); };

    window->savePrefs()->click();

    ASSERT_EQ(services.boxes.size(), 1U);
    const ScriptedServices::ShownBox &box = services.boxes.front();
    EXPECT_EQ(box.kind, ScriptedServices::BoxKind::coded);
    EXPECT_EQ(box.text, QStringLiteral("Could not save preferences"));
    EXPECT_EQ(box.code, platform::MsgBoxCode::CautionOk);
    EXPECT_TRUE(box.title.isEmpty());
    EXPECT_EQ(pageWhileShown, 1);
    EXPECT_EQ(shownPage(), 0);
    EXPECT_EQ(page(), edited);
    EXPECT_EQ(prefs().Get(QStringLiteral("maxA")), JsonValue("40"));
    EXPECT_EQ(prefs().Get(QStringLiteral("monitor")), JsonValue(qint64{0}));

    // The next save that can write takes the values to the disk.
    ASSERT_TRUE(QDir(filePath()).removeRecursively());
    ASSERT_TRUE(prefs().Save());
    Prefs reread(QStringLiteral("KelvoConnect"));
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.textOr(QStringLiteral("maxB"), QString()), QStringLiteral("50"));
}

// Stored states that Save never writes: each setting concerned shows its default (or the plain
// conversion), nothing is raised, and the store keeps what it holds.
struct OddStore {
    const char *label;
    void (*fill)(Prefs &);
    PageState shown;
};

const OddStore oddStores[] = {
    {"every key missing", [](Prefs &) {}, defaults},
    {"monitor 7",
     [](Prefs &p) { p.Set(QStringLiteral("monitor"), qint64{7}); },
     defaults},
    {"monitor -1 and maxA missing",
     [](Prefs &p) {
         p.Set(QStringLiteral("monitor"), qint64{-1});
         p.Set(QStringLiteral("maxB"), "12");
         p.Set(QStringLiteral("power"), true);
     },
     {QStringLiteral("100"), QStringLiteral("12"), QString(), false, false, true, false, false, 1}},
    {"other JSON kinds",
     [](Prefs &p) {
         p.Set(QStringLiteral("maxA"), qint64{50});
         p.Set(QStringLiteral("maxB"), true);
         p.Set(QStringLiteral("timeoutMinutes"), nullptr);
         p.Set(QStringLiteral("limitA"), "true");
         p.Set(QStringLiteral("limitB"), qint64{1});
         p.Set(QStringLiteral("power"), "yes");
         p.Set(QStringLiteral("program"), JsonObject());
         p.Set(QStringLiteral("slaveTimeout"), 1.0);
         p.Set(QStringLiteral("monitor"), "2");
     },
     {QStringLiteral("50"), QStringLiteral("100"), QString(), true, false, false, false, false, 2}},
    {"a monitor with a fraction", [](Prefs &p) { p.Set(QStringLiteral("monitor"), 0.5); }, defaults},
};

TEST_F(PreferencesPage, CancelWithMissingOrOddValuesShowsDefaultsAndRaisesNothing)
{
    for (const OddStore &odd : oddStores) {
        SCOPED_TRACE(odd.label);
        PreferencesModule::Initialize(QStringLiteral("KelvoConnect"));
        odd.fill(prefs());
        const JsonObject before = prefs().values();
        openPage();
        setPage({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), true, true, true,
                 true, true, 0});

        EXPECT_NO_THROW(window->exitPrefs()->click());

        EXPECT_EQ(page(), odd.shown);
        EXPECT_EQ(window->prefmonitor, odd.shown.checkedMonitor);
        EXPECT_EQ(shownPage(), 0);
        EXPECT_EQ(prefs().values(), before);
    }
    EXPECT_TRUE(services.boxes.empty());
}

} // namespace

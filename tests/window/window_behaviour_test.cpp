// The main window's own settings, its two pages, the monitor set and the bridge state defaults.

#include "window/kelvo_bridge.h"

#include "support/scripted_services.h"

#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

class MainWindow : public ::testing::Test {
protected:
    std::unique_ptr<KelvoBridge> window = std::make_unique<KelvoBridge>();

    void showAndActivate()
    {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    [[nodiscard]] QList<QWidget *> mainPageControls() const
    {
        return {window->connectButton(), window->portselector(), window->serverinfo(),
                window->infoLabel(), window->batteryIcon(), window->version(),
                window->stopButton(), window->connectionKey(), window->Line1()};
    }
};

TEST_F(MainWindow, FixedSizeTitleAndTitleBarButtons)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kelvo Connect"));
    EXPECT_EQ(window->centralWidget(), window->bridgeUI());
    EXPECT_EQ(window->bridgeUI()->size(), QSize(450, 250));

    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowFullscreenButtonHint);

    showAndActivate();
    EXPECT_FALSE(window->isFullScreen());
    EXPECT_FALSE(window->isMaximized());
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    const QSize before = window->size();
    EXPECT_EQ(before.width(), 450);
    window->resize(700, 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), before);
    EXPECT_EQ(window->bridgeUI()->size(), QSize(450, 250));
}

TEST_F(MainWindow, StateDefaultsOfANewWindow)
{
    EXPECT_TRUE(window->allowPrefs);
    EXPECT_TRUE(window->allowScan);
    EXPECT_EQ(window->currentProbe, 0);
    EXPECT_TRUE(window->kelvoResults.isEmpty());
    EXPECT_FALSE(window->firmwareChecked);
    EXPECT_FALSE(window->itsAlive);
    EXPECT_EQ(window->lastRead, 0);
    EXPECT_EQ(window->lastRemote, 0);
    EXPECT_EQ(window->lastWrite, 0);
    EXPECT_EQ(window->levelA, 0);
    EXPECT_EQ(window->levelB, 0);
    EXPECT_FALSE(window->linked);
    EXPECT_FALSE(window->logging);
    EXPECT_EQ(window->pcount, 1);
    EXPECT_EQ(window->prefmonitor, 1);
    EXPECT_FALSE(window->serverconnected);
}

// Selecting "Off" while the window was built, or any member from code later, runs no handler.
TEST_F(MainWindow, MonitorSetIsExclusiveAndSelectingFromCodeRunsNoHandler)
{
    EXPECT_TRUE(window->monitor10(0)->isChecked());
    EXPECT_EQ(window->prefmonitor, 1);

    window->monitor10(2)->setChecked(true);
    EXPECT_FALSE(window->monitor10(0)->isChecked());
    EXPECT_FALSE(window->monitor10(1)->isChecked());
    EXPECT_TRUE(window->monitor10(2)->isChecked());
    EXPECT_EQ(window->prefmonitor, 1);

    window->monitor10(1)->setChecked(true);
    EXPECT_FALSE(window->monitor10(2)->isChecked());
    // Unchecking the selected member leaves it selected: there is always exactly one.
    window->monitor10(1)->setChecked(false);
    EXPECT_TRUE(window->monitor10(1)->isChecked());

    for (const qint64 index : {qint64{3}, qint64{-1}, qint64{100}, qint64{1} << 32})
        EXPECT_EQ(window->monitor10(index), nullptr) << index;
    for (qint64 index = 0; index <= 2; ++index) {
        ASSERT_NE(window->monitor10(index), nullptr);
        EXPECT_EQ(window->monitor10(index)->property("index").toLongLong(), index);
    }
}

TEST_F(MainWindow, PagePanelShowsOnlyThePageChosen)
{
    showAndActivate();
    QStackedWidget *panel = window->bridgeUI();
    EXPECT_EQ(panel->currentIndex(), 0);
    for (QWidget *control : mainPageControls())
        EXPECT_EQ(control->isVisible(), control != window->stopButton()) << control->objectName().toStdString();
    EXPECT_FALSE(window->savePrefs()->isVisible());
    EXPECT_FALSE(window->monitor10(0)->isVisible());

    panel->setCurrentIndex(1);
    for (QWidget *control : mainPageControls())
        EXPECT_FALSE(control->isVisible()) << control->objectName().toStdString();
    EXPECT_TRUE(window->savePrefs()->isVisible());
    EXPECT_TRUE(window->GroupBox1()->isVisible());
    EXPECT_TRUE(window->monitor10(2)->isVisible());
    EXPECT_FALSE(window->prefsNotes()->isVisible());

    panel->setCurrentIndex(0);
    for (QWidget *control : mainPageControls())
        EXPECT_EQ(control->isVisible(), control != window->stopButton()) << control->objectName().toStdString();
    EXPECT_FALSE(window->stopButton()->isEnabled());
    EXPECT_FALSE(window->GroupBox1()->isVisible());

    // A main-page control that a handler shows comes back with its page.
    window->stopButton()->show();
    panel->setCurrentIndex(1);
    EXPECT_FALSE(window->stopButton()->isVisible());
    panel->setCurrentIndex(0);
    EXPECT_TRUE(window->stopButton()->isVisible());
}

// Escape presses Cancel and Return presses Save, but only while the preferences page shows.
TEST_F(MainWindow, CancelAndDefaultButtonsOfThePreferencesPage)
{
    ScriptedServices services; // Save with no store shows a box: answer it, never show it
    showAndActivate();
    QSignalSpy cancelled(window->exitPrefs(), &QPushButton::clicked);
    QSignalSpy saved(window->savePrefs(), &QPushButton::clicked);

    QTest::keyClick(window.get(), Qt::Key_Escape);
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_EQ(cancelled.count(), 0);
    EXPECT_EQ(saved.count(), 0);

    window->bridgeUI()->setCurrentIndex(1);
    window->maxA()->setFocus();
    QTest::keyClick(window->maxA(), Qt::Key_Escape);
    EXPECT_EQ(cancelled.count(), 1);
    EXPECT_EQ(saved.count(), 0);
    // Cancel and Save both end on the main page: show the preferences page again each time.
    window->bridgeUI()->setCurrentIndex(1);
    window->maxA()->setFocus();
    QTest::keyClick(window->maxA(), Qt::Key_Return);
    EXPECT_EQ(saved.count(), 1);
    window->bridgeUI()->setCurrentIndex(1);
    window->maxA()->setFocus();
    QTest::keyClick(window->maxA(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(saved.count(), 2);
    EXPECT_EQ(cancelled.count(), 1);
}

TEST_F(MainWindow, ScreenshotOfTheShownWindow)
{
    showAndActivate();
    const QDir folder(QCoreApplication::applicationDirPath());
    for (const int page : {1, 0}) {
        window->bridgeUI()->setCurrentIndex(page);
        const QImage shot = window->grab().toImage();
        EXPECT_EQ(shot.width(), 450);
        EXPECT_GE(shot.height(), 250);
        const QString path = folder.filePath(page == 0 ? QStringLiteral("main_window.png")
                                                       : QStringLiteral("main_window_preferences.png"));
        EXPECT_TRUE(shot.save(path)) << path.toStdString();
    }
}

} // namespace

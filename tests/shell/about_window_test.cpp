// The about window: one at most, its settings, its version line and the maker's web site.

#include "build_settings.h"
#include "shell/about_window.h"
#include "shell/app.h"
#include "support/scripted_services.h"
#include "window/kelvo_bridge.h"

#include <QApplication>
#include <QColor>
#include <QLabel>
#include <QPalette>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class AboutWindowTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        QApplication::closeAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    [[nodiscard]] static int aboutWindowCount()
    {
        int count = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            count += qobject_cast<about *>(widget) ? 1 : 0;
        return count;
    }

    ScriptedServices services;
};

TEST_F(AboutWindowTest, AskingTwiceGivesOneWindowAndAClosedOneIsBuiltAfresh)
{
    EXPECT_EQ(about::openInstance(), nullptr);
    about *first = about::instance();
    EXPECT_EQ(about::instance(), first);
    EXPECT_EQ(about::openInstance(), first);
    EXPECT_EQ(aboutWindowCount(), 1);
    EXPECT_TRUE(first->isVisible());

    first->version()->setText(QStringLiteral("stale"));
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(about::openInstance(), nullptr);

    about *second = about::instance();
    EXPECT_EQ(aboutWindowCount(), 1);
    EXPECT_EQ(second->version()->text(),
              versionLine(buildSettings::majorVersion, buildSettings::minorVersion,
                          buildSettings::bugVersion, buildSettings::buildNumber));
}

TEST_F(AboutWindowTest, VersionLineJoinsTheFourNumbers)
{
    struct Case {
        qint64 major, minor, bug, build;
        const char *expected;
    };
    const Case cases[] = {
        {2, 0, 1, 14, "Version: 2.0.1 (build 14)"},
        {10, 20, 300, 0, "Version: 10.20.300 (build 0)"},
        {-1, 0, 7, 1234567, "Version: -1.0.7 (build 1234567)"},
        {9223372036854775807LL, 0, 0, 1, "Version: 9223372036854775807.0.0 (build 1)"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(versionLine(c.major, c.minor, c.bug, c.build), QString::fromLatin1(c.expected));
}

TEST_F(AboutWindowTest, OpenReadsTheNumbersOfTheApplicationObject)
{
    App app;
    about *window = about::instance();
    EXPECT_EQ(window->version()->text(),
              versionLine(app.MajorVersion(), app.MinorVersion(), app.BugVersion(),
                          app.NonReleaseVersion()));
}

TEST_F(AboutWindowTest, SettingsAndLabels)
{
    about *window = about::instance();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("About Kelvo Connect"));
    EXPECT_EQ(window->size(), QSize(320, 120));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()); // not resizable
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowFullscreenButtonHint));

    struct Expected {
        QLabel *label;
        QRect geometry;
        bool bold;
        QColor colour;
    };
    const Expected expected[] = {
        {window->Label1(), QRect(20, 20, 280, 31), false, QColor(0, 0, 0)},
        {window->version(), QRect(20, 50, 280, 20), false, QColor(0, 0, 0)},
        {window->url(), QRect(20, 82, 280, 20), true, QColor(0, 0, 255)},
    };
    for (const Expected &e : expected) {
        ASSERT_NE(e.label, nullptr);
        SCOPED_TRACE(e.label->objectName().toStdString());
        EXPECT_EQ(e.label->geometry(), e.geometry);
        EXPECT_EQ(e.label->font().bold(), e.bold);
        EXPECT_EQ(e.label->palette().color(QPalette::WindowText), e.colour);
        EXPECT_EQ(e.label->textFormat(), Qt::PlainText);
    }
    EXPECT_FALSE(window->Label1()->text().isEmpty());
    EXPECT_EQ(window->url()->text(), QString::fromLatin1(buildSettings::relayHost));
}

TEST_F(AboutWindowTest, APressOnTheHostOpensTheMakersSiteOnceAndOnlyThere)
{
    about *window = about::instance();
    QTest::mouseClick(window->Label1(), Qt::LeftButton);
    QTest::mouseClick(window->version(), Qt::LeftButton);
    EXPECT_TRUE(services.openedUrls.isEmpty());

    QTest::mouseClick(window->url(), Qt::LeftButton);
    ASSERT_EQ(services.openedUrls.size(), 1);
    const QUrl opened = services.openedUrls.front();
    EXPECT_EQ(opened, QUrl(QString::fromLatin1(buildSettings::makerUrl)));
    EXPECT_EQ(opened.scheme(), QStringLiteral("https"));
    EXPECT_EQ(opened.host(), QString::fromLatin1(buildSettings::relayHost));

    EXPECT_FALSE(window->url_MouseDown(3, 4));
    EXPECT_EQ(services.openedUrls.size(), 2);
}

} // namespace

namespace {

// The Help menu's About item and the main window's close reach the one about window.
TEST_F(AboutWindowTest, TheAboutItemShowsOneWindowAndTheMainWindowsCloseClosesIt)
{
    KelvoBridge window;
    window.show();
    EXPECT_FALSE(window._FileAbout_Action());
    about *shown = about::openInstance();
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());
    window._FileAbout_Action();
    EXPECT_EQ(about::openInstance(), shown);
    EXPECT_EQ(aboutWindowCount(), 1);

    window.Event_Close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(about::openInstance(), nullptr);
}

} // namespace

// The screenshot program writes one PNG per window, each at the size of that window.

#include "app_test_fixture.h"

#include <QImage>
#include <QProcess>
#include <QStackedWidget>
#include <QTemporaryDir>

namespace {

TEST_F(AppTest, ScreenshotsAreWrittenAtEachWindowsSize)
{
    QTemporaryDir output;
    ASSERT_TRUE(output.isValid());
    QProcess program;
    program.start(QStringLiteral(KELVO_SCREENSHOTS_PROGRAM), {output.path()});
    ASSERT_TRUE(program.waitForFinished(30'000));
    ASSERT_EQ(program.exitCode(), 0) << program.readAllStandardError().constData();

    // The same windows built here, the way the program builds them.
    ScriptedServices services;
    services.ports = {QStringLiteral("ttyUSB0"), QStringLiteral("ttyS0")};
    App app;
    app.startUp();
    KelvoBridge &window = *KelvoBridge::instance();
    const QSize mainSize = window.size();
    window.bridgeUI()->setCurrentIndex(1);
    QApplication::processEvents();
    const QSize preferencesSize = window.size();
    const struct {
        const char *file;
        QSize size;
    } expected[] = {
        {"main_page.png", mainSize},
        {"preferences_page.png", preferencesSize},
        {"log_window.png", logwindow::instance()->size()},
        {"about_window.png", QSize(320, 120)},
        {"relay_lost.png", mainSize},
        {"relay_not_reached.png", mainSize},
        {"server_error.png", mainSize},
        {"link_inside_the_fade.png", mainSize},
    };
    for (const auto &e : expected) {
        const QImage picture(output.filePath(QString::fromLatin1(e.file)));
        EXPECT_FALSE(picture.isNull()) << e.file;
        EXPECT_EQ(picture.size(), e.size) << e.file;
    }
}

} // namespace

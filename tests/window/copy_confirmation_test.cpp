// The tooltips that confirm a copy are still shown once the mouse button is let go, so the user
// sees them: a click on the key (handled at the press) and on the log's copy button (handled
// at the release), clicked through the window system as a user clicks.

#include "platform/desktop.h"
#include "shell/log_window.h"
#include "support/scripted_services.h"
#include "window/kelvo_bridge.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolTip>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace kelvo;

namespace {

// Scripted but for the tooltip, which the platform shows for real.
class RealTooltips : public ScriptedServices {
public:
    void showTooltip(const QPoint &screenPosition, const QString &text) override
    {
        ScriptedServices::showTooltip(screenPosition, text);
        platform::Desktop::showTooltip(screenPosition, text);
    }
};

struct ClickCase {
    const char *name;
    // The control clicked; it may build what it needs.
    std::function<QWidget *(KelvoBridge &)> target;
    const char *confirmation;
};

const ClickCase clickCases[] = {
    {"connectionKey",
     [](KelvoBridge &window) -> QWidget * {
         window.connectionKey()->setText(QStringLiteral("ABCDEFGHIJKLMNOP"));
         return window.connectionKey();
     },
     "Key copied to the clipboad"},
    {"copyLog", [](KelvoBridge &) -> QWidget * { return logwindow::instance()->copyLog(); },
     "Log data copied to the clipboad"},
};

TEST(CopyConfirmation, ShownAfterTheButtonIsReleasedAtThePointerPlus20)
{
    for (const ClickCase &click : clickCases) {
        SCOPED_TRACE(click.name);
        RealTooltips services;
        auto window = std::make_unique<KelvoBridge>();
        window->show();
        QWidget *target = click.target(*window);
        QWidget *top = target->window();
        top->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(top));
        QWindow *handle = top->windowHandle();
        const QPoint at = target->mapTo(top, target->rect().center());

        QTest::mousePress(handle, Qt::LeftButton, {}, at);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, at);
        QCoreApplication::sendPostedEvents();

        EXPECT_TRUE(QToolTip::isVisible());
        EXPECT_EQ(QToolTip::text().toStdString(), click.confirmation);
        ASSERT_EQ(services.tooltips.size(), 1U);
        EXPECT_EQ(services.tooltips[0].position, services.pointer + QPoint(0, 20));

        QToolTip::hideText();
        QApplication::closeAllWindows();
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace

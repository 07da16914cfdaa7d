// Sharing the key: the link on the clipboard, the tooltip under the pointer, Copy Key.

#include "window/kelvo_bridge.h"

#include "support/scripted_services.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString sentinel = QStringLiteral("what the clipboard held before");

class KeySharing : public ::testing::Test {
protected:
    void SetUp() override
    {
        window->relaySettings.host = QStringLiteral("localhost");
        services.pointer = {300, 400};
        QApplication::clipboard()->setText(sentinel);
    }

    [[nodiscard]] static QString clipboard() { return QApplication::clipboard()->text(); }

    ScriptedServices services;
    std::unique_ptr<KelvoBridge> window = std::make_unique<KelvoBridge>();
};

TEST_F(KeySharing, ClickCopiesTheLinkAndShowsTheTooltipUnderThePointer)
{
    window->connectionKey()->setText(QStringLiteral("1234567890ABCDEF"));
    // The press point inside the label plays no part; the pointer's screen position does.
    EXPECT_TRUE(window->connectionKey_MouseDown(3, 4));
    EXPECT_EQ(clipboard(), QStringLiteral("https://localhost/connect/?1234567890ABCDEF"));
    ASSERT_EQ(services.tooltips.size(), 1U);
    EXPECT_EQ(services.tooltips[0].position, QPoint(300, 420));
    EXPECT_EQ(services.tooltips[0].text, QStringLiteral("Key copied to the clipboad"));

    // A real press on the label takes the same road.
    QApplication::clipboard()->setText(sentinel);
    services.pointer = {10, 20};
    window->connectionKey()->setText(QStringLiteral("KEY2"));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QTest::mousePress(window->connectionKey(), Qt::LeftButton, {}, QPoint(200, 10));
    EXPECT_EQ(clipboard(), QStringLiteral("https://localhost/connect/?KEY2"));
    ASSERT_EQ(services.tooltips.size(), 2U);
    EXPECT_EQ(services.tooltips[1].position, QPoint(10, 40));
}

TEST_F(KeySharing, NoKeyShownChangesNothing)
{
    EXPECT_TRUE(window->connectionKey_MouseDown(3, 4));
    EXPECT_TRUE(window->_EditCopy_Action());
    EXPECT_EQ(clipboard(), sentinel);
    EXPECT_TRUE(services.tooltips.empty());
}

TEST_F(KeySharing, CopyKeyPutsTheLinkOnTheClipboardWithoutTooltip)
{
    window->connectionKey()->setText(QStringLiteral("1234567890ABCDEF"));
    EXPECT_TRUE(window->_EditCopy_Action());
    EXPECT_EQ(clipboard(), QStringLiteral("https://localhost/connect/?1234567890ABCDEF"));
    EXPECT_TRUE(services.tooltips.empty());
}

} // namespace

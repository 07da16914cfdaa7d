// The test main of every test executable: an offscreen QApplication, so no display is needed.

#include <QApplication>
#include <QtGlobal>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // Set here, not in CTest's environment: test discovery runs the binary without it.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

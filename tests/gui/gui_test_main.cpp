#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

// The GUI tests run on Qt's offscreen platform (CTest sets it; so does this
// main when the tests are run by hand) and never touch the person's own
// settings.
int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The window tests run on Qt's offscreen platform, with settings kept in a folder of
// their own so that no user's recent-file list is touched.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir settingsHome;
    setenv("XDG_CONFIG_HOME", QFile::encodeName(settingsHome.path()).constData(), 1);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

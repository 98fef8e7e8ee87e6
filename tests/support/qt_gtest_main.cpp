#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

// Every test binary gets a QApplication, so that widget and painting tests can run.
// Tests never show a real window: the offscreen platform is the default.
int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}

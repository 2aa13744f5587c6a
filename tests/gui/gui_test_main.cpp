#include <QApplication>

#include <gtest/gtest.h>

// Widgets need the application object before any test builds a page.
int main(int argc, char* argv[]) {
    // Test discovery runs the binary outside ctest's environment, so default to offscreen here too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

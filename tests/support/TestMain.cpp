// Runs every GoogleTest test inside a Qt application, so that services can post to
// the main thread and tests can spin the event loop. Widget tests get a QApplication
// on the offscreen platform: they draw into memory, with or without a display.
#ifdef KAVRO_TEST_WIDGETS
#include <QApplication>
#else
#include <QCoreApplication>
#endif

#include <gtest/gtest.h>

int main(int argc, char** argv) {
#ifdef KAVRO_TEST_WIDGETS
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

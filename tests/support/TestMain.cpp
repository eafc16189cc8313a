// SPDX-License-Identifier: GPL-3.0-or-later
// Runs every GoogleTest test inside a Qt application, so that services can post to
// the main thread and tests can spin the event loop. Test programs with widgets get a
// QApplication on the offscreen platform: they draw into memory, with or without a
// display. The platform is chosen on the command line, not in the environment, so
// the programs a test starts still open on the test display.
#ifdef KAVRO_TEST_WIDGETS
#include <QApplication>
#else
#include <QCoreApplication>
#endif

#include <gtest/gtest.h>

#include <vector>

int main(int argc, char** argv) {
#ifdef KAVRO_TEST_WIDGETS
    char platformOption[] = "-platform";
    char offscreen[] = "offscreen";
    std::vector<char*> arguments(argv, argv + argc);
    arguments.insert(arguments.begin() + 1, {platformOption, offscreen});
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    QApplication app(count, arguments.data());
    ::testing::InitGoogleTest(&count, arguments.data());
#else
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
#endif
    return RUN_ALL_TESTS();
}

// The end-to-end tests run the window on a real X display (Qt's xcb
// platform). Without one they skip; the test binary also serves as the
// application process of the window-close session.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstring>

#include "close_while_playing_session.h"
#include "x_display.h"

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], tolva::test::kCloseWhilePlayingSessionArgument) == 0) {
        tolva::test::runCloseWhilePlayingSession(argc, argv);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    ::testing::InitGoogleTest(&argc, argv);
    // Made only when a display opens, and never destroyed: the application's
    // window lives to the end of the process, as it does in the executable.
    if (!GTEST_FLAG_GET(list_tests) && tolva::test::xDisplayOpens()) {
        static QApplication* const application = new QApplication(argc, argv);
        (void)application;
    }
    return RUN_ALL_TESTS();
}

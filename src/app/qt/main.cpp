// The process entry: the Qt application and its window. The exit status is
// the run loop's result.

#include <QApplication>

#include "app/qt/application.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    tolva::launchApplication();
    tolva::endProcess(QApplication::exec());
}

#pragma once
// The one QApplication of the widget tests, made on first use (the tests run
// with QT_QPA_PLATFORM=offscreen, so no display is needed). Call it from each
// fixture's SetUp before making widgets.
#include <QApplication>

namespace kolu::test {

// Never destroyed: at exit it would outlive Qt's own statics (the input device
// list that mouse events fill) and crash while deleting its children.
inline QApplication& application() {
    static int argc = 1;
    static char name[] = "kolu_widget_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace kolu::test

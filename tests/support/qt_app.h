#pragma once
// The one QApplication of the widget tests (run with QT_QPA_PLATFORM=offscreen), made on
// first use: each fixture's SetUp calls it before making widgets.
#include <QApplication>

namespace kolu::test {

// Never destroyed: at exit it would outlive Qt's own statics and crash deleting its children.
inline QApplication& application() {
    static int argc = 1;
    static char name[] = "kolu_widget_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace kolu::test

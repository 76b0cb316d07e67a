#pragma once
// What the widget tests share: the one QApplication, colours as Qt draws them, pixel counts,
// and answers to popup menus and modal dialogs.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QColor>
#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "tests/support/session_env.h"

namespace kolu::test {

// Made before the first test (run with QT_QPA_PLATFORM=offscreen) and never destroyed: at
// exit it would outlive Qt's own statics and crash deleting its children.
class QtApplication final : public ::testing::Environment {
    void SetUp() override {
        static int argc = 1;
        static char name[] = "kolu_widget_tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
};
inline ::testing::Environment* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

// Waits, running the event loop, until `condition` holds, and fails the test when it never
// does. (QTRY_* report to QTest's own result, which gtest never reads: a timeout would end the
// test quietly as a pass.)
#define KOLU_WAIT_FOR(condition, timeoutMs)                                               \
    ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); }, timeoutMs)) \
        << "waited " << (timeoutMs) << " ms for " #condition
// The same for two values that should become equal; a timeout shows both.
#define KOLU_WAIT_EQ(actual, expected, timeoutMs)                                 \
    do {                                                                          \
        (void)QTest::qWaitFor([&] { return (actual) == (expected); }, timeoutMs); \
        ASSERT_EQ(actual, expected) << "after waiting " << (timeoutMs) << " ms";  \
    } while (false)

inline QColor qcolour(Colour c) {
    return QColor(static_cast<int>(redOf(c)), static_cast<int>(greenOf(c)),
                  static_cast<int>(blueOf(c)));
}

// Pixels of `area` (all of `image` when empty) that are exactly `colour`.
inline int countColour(const QImage& image, const QColor& colour, QRect area = {}) {
    area = area.isEmpty() ? image.rect() : area.intersected(image.rect());
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += image.pixelColor(x, y) == colour ? 1 : 0;
        }
    }
    return count;
}

// A picture whose pixel colours tell their coordinates: (x, y, 77).
inline QImage coordinatePicture(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.setPixelColor(x, y, QColor(x, y, 77));
        }
    }
    return picture;
}

// What the next popup menu offered: its items' texts (submenus as "Title >" before their
// items, disabled items marked " (grey)") and where it opened.
struct MenuSeen {
    bool shown = false;
    QStringList items;
    QPoint position;
    bool stop = false;  // set when no menu is expected any more
};

inline QAction* findMenuItem(QMenu* menu, int id, QStringList& items) {
    QAction* found = nullptr;
    for (QAction* action : menu->actions()) {
        if (QMenu* submenu = action->menu()) {
            items.append(action->text() + QStringLiteral(" >"));
            QAction* inner = findMenuItem(submenu, id, items);
            found = found ? found : inner;
        } else {
            items.append(action->text() + (action->isEnabled() ? "" : " (grey)"));
            found = found || id == 0 || action->data().toInt() != id ? found : action;
        }
    }
    return found;
}

// Answers the next popup menu that a call under test is about to show with the item whose
// action data is `id` (0: none, the menu just closes).
inline void chooseFromNextMenu(int id, const std::shared_ptr<MenuSeen>& seen, int turnsLeft = 300) {
    QTimer::singleShot(10, [id, seen, turnsLeft] {
        if (seen->stop) {
            return;  // a later menu is not this one's
        }
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            if (turnsLeft > 0) {
                chooseFromNextMenu(id, seen, turnsLeft - 1);
            }
            return;
        }
        seen->shown = true;
        seen->position = menu->pos();
        QAction* item = findMenuItem(menu, id, seen->items);
        if (item && menu->actions().contains(item)) {
            menu->setActiveAction(item);  // Enter is what exec() answers with, as a tap is
            QTest::keyClick(menu, Qt::Key_Return);
            return;
        }
        if (item) {
            item->trigger();
        }
        menu->close();
    });
}

// A right click at `point` of `target`, answered with item `id`.
inline std::shared_ptr<MenuSeen> rightClick(QWidget* target, QPoint point, int id) {
    auto seen = std::make_shared<MenuSeen>();
    chooseFromNextMenu(id, seen);
    QContextMenuEvent event(QContextMenuEvent::Mouse, point, target->mapToGlobal(point));
    QApplication::sendEvent(target, &event);
    return seen;
}

// Answers a modal dialog that a call under test is about to run: once a modal widget of type
// T is up, `act` gets it.
template <typename T>
void whenModal(std::function<void(T*)> act, int turnsLeft = 200) {
    QTimer::singleShot(0, [act = std::move(act), turnsLeft]() mutable {
        if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
            act(modal);
        } else if (turnsLeft > 0) {
            whenModal<T>(std::move(act), turnsLeft - 1);
        }
    });
}

// Clicks `button` of the next message box; returns the flag telling it was shown (shared, as a
// retry may still be queued after a test ends).
inline std::shared_ptr<bool> answerMessageBox(QMessageBox::StandardButton button) {
    auto shown = std::make_shared<bool>(false);
    whenModal<QMessageBox>([button, shown](QMessageBox* box) {
        *shown = true;
        box->button(button)->click();
    });
    return shown;
}

}  // namespace kolu::test

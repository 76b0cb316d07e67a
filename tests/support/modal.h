#pragma once
// Answers a modal dialog that a call under test is about to run: once a modal widget of type
// T is up, `act` gets it. `acted` is shared, as a retry may still be queued after a test ends.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <memory>

namespace kolu::test {

template <typename T>
void whenModal(std::function<void(T*)> act, std::shared_ptr<bool> acted = nullptr,
               int turnsLeft = 200) {
    QTimer::singleShot(0, [act = std::move(act), acted, turnsLeft]() mutable {
        if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
            act(modal);
            if (acted) {
                *acted = true;
            }
        } else if (turnsLeft > 0) {
            whenModal<T>(std::move(act), acted, turnsLeft - 1);
        }
    });
}

// Clicks `button` of the next message box; returns the flag telling it was shown.
inline std::shared_ptr<bool> answerMessageBox(QMessageBox::StandardButton button) {
    auto shown = std::make_shared<bool>(false);
    whenModal<QMessageBox>([button](QMessageBox* box) { box->button(button)->click(); }, shown);
    return shown;
}

}  // namespace kolu::test

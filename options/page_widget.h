#pragma once
// One page of the options dialog: its controls are named after their control
// ids (objectName "1201"), so the dialog fills and reads the check boxes and
// text fields of every page in one place, and each page handles the rest.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <QWidget>

#include "gui/qt_text.h"
#include "options/model/options_pages.h"

namespace kolu {

class OptionsPageWidget : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;
    // Shows what was read; `pages` outlives the page.
    virtual void load(const OptionsPages& pages) = 0;
    // Puts what the page shows into `pages`.
    virtual void store(OptionsPages& pages) const = 0;
    // The page became the shown one.
    virtual void shown() {}
};

// The control with id `id` under `parent`, or null.
template <typename T>
T* controlById(const QObject* parent, int id) {
    return parent->findChild<T*>(QString::number(id));
}

// Small builders that name each control after its id. The check boxes toggle
// themselves on a tap, as OpPrzelaczCheck did for the dialog's plain ones.
QCheckBox* makeCheck(int id, const QString& text, QWidget* parent);
QLabel* makeLabel(int id, const QString& text, QWidget* parent);
QLineEdit* makeEdit(int id, QWidget* parent);

}  // namespace kolu

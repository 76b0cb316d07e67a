#pragma once
// The find bar (Ctrl+F) under the current tab's text view: searches the view's
// lines as the user types, newest first and a slice at a time so a huge tab
// never holds up the window, highlights the matches in the view, and steps
// through them with Enter (older) and Shift+Enter (newer), "3 of 17" counting
// from the newest. Escape hides it and clears the highlights; the text stays
// for the next time.
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <optional>

#include "ui/text_fold.h"

class QLabel;
class QLineEdit;
class QToolButton;

namespace kolu {

class ColorEdit;
class TextLines;

class FindBar final : public QWidget {
    Q_OBJECT
  public:
    // Work per turn of the event loop: short enough that typing and painting go on.
    static constexpr std::chrono::milliseconds kSliceBudget{5};

    explicit FindBar(QWidget* parent = nullptr);
    ~FindBar() override;

    // The view searched and the lines it shows; null for none. An open bar
    // searches a new target at once; the old one loses its highlights.
    void setTarget(ColorEdit* view, const TextLines* lines);
    ColorEdit* target() const { return m_view; }
    // Ctrl+F: shows the bar with its text selected and searches the target again.
    void open();
    // Escape: hides the bar and clears the highlights.
    void dismiss();
    // Enter (`older`) and Shift+Enter: the next match, wrapping at either end,
    // and the view scrolled to it.
    void step(bool older);

    QLineEdit* field() const { return m_field; }
    QString status() const;
    const TextFinder& finder() const { return m_finder; }
    std::optional<TextMatch> current() const;
    bool searching() const { return m_slice.isActive(); }
    void setSliceBudget(std::chrono::steady_clock::duration budget) { m_budget = budget; }

  signals:
    // The bar closed: the keyboard goes back to the input line.
    void dismissed();
    // "All tabs": the same words searched in the stored history of every tab.
    void allTabsRequested(const QString& query);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void restart();
    void runSlice();
    // Lines came to the target while the bar is open: theirs are the newest matches.
    void searchAppended();
    // The target's store paged: matches in lines that left memory go, the same
    // match stays current while it is there, and older lines put in front are searched.
    void followPaging();
    void showFound(bool scroll);
    void updateStatus();

    QLineEdit* m_field;
    QLabel* m_status;
    QToolButton* m_older;
    QToolButton* m_newer;
    QToolButton* m_allTabs;
    QToolButton* m_close;
    QTimer m_slice;
    std::chrono::steady_clock::duration m_budget = kSliceBudget;
    TextFinder m_finder;
    QPointer<ColorEdit> m_view;
    const TextLines* m_lines = nullptr;
    std::size_t m_current = 0;     // index into the matches; meaningless while there are none
    std::size_t m_shownCount = 0;  // matches the view was last given
    bool m_goToFirst = false;      // the view goes to the first match found (not after a reset)
};

}  // namespace kolu

#include "gui/find_bar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>
#include <algorithm>

#include "gui/color_edit.h"
#include "ui/text_lines.h"

namespace kolu {

FindBar::FindBar(QWidget* parent)
    : QWidget(parent),
      m_field(new QLineEdit(this)),
      m_status(new QLabel(this)),
      m_older(new QToolButton(this)),
      m_newer(new QToolButton(this)),
      m_allTabs(new QToolButton(this)),
      m_close(new QToolButton(this)) {
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    m_field->setPlaceholderText(QStringLiteral("Find in this tab"));
    m_field->setClearButtonEnabled(true);
    m_field->installEventFilter(this);
    m_older->setArrowType(Qt::UpArrow);
    m_older->setToolTip(QStringLiteral("Older match (Enter)"));
    m_newer->setArrowType(Qt::DownArrow);
    m_newer->setToolTip(QStringLiteral("Newer match (Shift+Enter)"));
    m_allTabs->setText(QStringLiteral("All tabs"));
    m_allTabs->setToolTip(QStringLiteral("Search the history of every tab (Ctrl+Shift+F)"));
    m_close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    m_close->setToolTip(QStringLiteral("Close (Escape)"));
    layout->addWidget(m_field, 1);
    layout->addWidget(m_status);
    for (QToolButton* button : {m_older, m_newer, m_allTabs, m_close}) {
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);  // the keys stay with the field
        layout->addWidget(button);
    }
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, &FindBar::runSlice);
    connect(m_field, &QLineEdit::textChanged, this, &FindBar::restart);
    connect(m_older, &QToolButton::clicked, this, [this] { step(true); });
    connect(m_newer, &QToolButton::clicked, this, [this] { step(false); });
    connect(m_allTabs, &QToolButton::clicked, this,
            [this] { emit allTabsRequested(m_field->text()); });
    connect(m_close, &QToolButton::clicked, this, &FindBar::dismiss);
    hide();
}

FindBar::~FindBar() {
    if (m_view) {
        m_view->setFound({}, std::nullopt);  // the view would ask this bar for its matches
    }
}

void FindBar::setTarget(ColorEdit* view, const TextLines* lines) {
    if (view == m_view && lines == m_lines) {
        return;
    }
    if (m_view) {
        m_view->setFound({}, std::nullopt);
        disconnect(m_view, &ColorEdit::linesAdded, this, nullptr);
        disconnect(m_view, &ColorEdit::linesPaged, this, nullptr);
    }
    m_view = view;
    m_lines = lines;
    if (m_view) {
        connect(m_view, &ColorEdit::linesAdded, this, &FindBar::searchAppended);
        connect(m_view, &ColorEdit::linesPaged, this, &FindBar::followPaging);
    }
    if (!isHidden()) {
        restart();
    }
}

void FindBar::open() {
    show();
    raise();
    m_field->setFocus();
    m_field->selectAll();
    restart();  // the tab may have new lines since the last search
}

void FindBar::dismiss() {
    m_slice.stop();
    m_finder.clear();
    if (m_view) {
        m_view->setFound({}, std::nullopt);
    }
    hide();
    emit dismissed();
}

void FindBar::restart() {
    m_slice.stop();
    m_current = 0;
    m_shownCount = 0;
    m_goToFirst = true;
    if (m_lines && m_view) {
        m_finder.start(*m_lines, m_field->text().toStdU16String());
        showFound(false);
    } else {
        m_finder.clear();
    }
    if (!m_finder.finished()) {
        m_slice.start();
    }
    updateStatus();
}

void FindBar::runSlice() {
    const bool done = m_finder.searchSlice(m_budget);
    if (m_finder.matches().size() != m_shownCount) {
        // The first match found is the newest: the view goes to it, as it
        // goes to the one each step picks.
        showFound(m_goToFirst && m_shownCount == 0);
    }
    if (!done) {
        m_slice.start();
    }
    updateStatus();
}

void FindBar::searchAppended() {
    if (isHidden()) {
        return;
    }
    const bool hadMatches = !m_finder.matches().empty();
    const std::size_t added = m_finder.searchAppended();
    if (added == 0) {
        return;
    }
    if (hadMatches) {
        m_current += added;  // the same match stays current
    }
    showFound(false);
    updateStatus();
}

void FindBar::followPaging() {
    if (isHidden() || !m_lines) {
        return;
    }
    const TextFinder::Followed followed = m_finder.followPaging();
    if (followed.restarted) {
        // Every line was replaced (a jump to a stored line): the view stays where it was put.
        m_current = 0;
        m_goToFirst = false;
    } else {
        m_current -= std::min(m_current, followed.droppedNewest);
    }
    const std::size_t count = m_finder.matches().size();
    m_current = count == 0 ? 0 : std::min(m_current, count - 1);
    if (!m_finder.finished() && !m_slice.isActive()) {
        m_slice.start();
    }
    showFound(false);
    updateStatus();
    searchAppended();  // lines read back at the end
}

void FindBar::step(bool older) {
    const std::size_t count = m_finder.matches().size();
    if (count == 0) {
        return;
    }
    m_current = older ? (m_current + 1) % count : (m_current + count - 1) % count;
    showFound(true);
    updateStatus();
}

std::optional<TextMatch> FindBar::current() const {
    if (m_current >= m_finder.matches().size()) {
        return std::nullopt;
    }
    return m_finder.matches()[m_current];
}

void FindBar::showFound(bool scroll) {
    if (!m_view) {
        return;
    }
    m_shownCount = m_finder.matches().size();
    // The view counts lines from its first in memory; matches hold stable positions.
    m_view->setFound(
        [this](std::size_t line, std::vector<TextMatch>& out) {
            if (m_lines) {
                m_finder.matchesInLine(m_lines->firstPosition() + static_cast<std::int64_t>(line),
                                       out);
            }
        },
        current());
    if (scroll && current() && m_lines) {
        const std::int64_t index = current()->line - m_lines->firstPosition();
        if (index >= 0) {
            m_view->scrollToLine(static_cast<std::size_t>(index));
        }
    }
}

QString FindBar::status() const {
    if (m_finder.foldedQuery().empty()) {
        return {};
    }
    const std::size_t count = m_finder.matches().size();
    const QString more = searching() ? QStringLiteral("…") : QString();
    if (count == 0) {
        return searching() ? QStringLiteral("Searching…") : QStringLiteral("No matches");
    }
    return QStringLiteral("%1 of %2%3%4")
        .arg(m_current + 1)
        .arg(count)
        .arg(m_finder.capped() ? QStringLiteral("+") : QString(), more);
}

void FindBar::updateStatus() {
    m_status->setText(status());
    const bool any = !m_finder.matches().empty();
    m_older->setEnabled(any);
    m_newer->setEnabled(any);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            step(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            dismiss();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kolu

#include "gui/color_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>
#include <climits>
#include <optional>

#include "gui/background_picture.h"
#include "gui/qt_colour.h"
#include "gui/qt_text_metrics.h"
#include "gui/text_view_accessible.h"
#include "gui/text_view_links.h"
#include "settings/settings.h"
#include "ui/link_finder.h"
#include "ui/text_wrap.h"

namespace kolu {
ColorEdit::ColorEdit(TextLines& lines, const QtTextMetrics& metrics, const ColourTable& colours,
                     TextViewShared* shared, QWidget* parent)
    : QAbstractScrollArea(parent),
      m_lines(lines),
      m_metrics(metrics),
      m_colours(colours),
      m_shared(shared ? shared : &m_ownShared),
      m_links(new TextViewLinks(*this)) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    // The bar stays, so the wrapping width doesn't change (re-wrapping every
    // stored line) when the text first outgrows the view.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);  // a tap selects text; the keyboard stays with the input line
    if (m_lines.metrics() != &m_metrics) {
        m_lines.setMetrics(&m_metrics);
    }
    m_lines.setObserver(this);
    m_holdTimer.setSingleShot(true);
    m_holdTimer.setInterval(kHoldMilliseconds);
    connect(&m_holdTimer, &QTimer::timeout, this, &ColorEdit::onHoldTimeout);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            &ColorEdit::onScrollBarAction);
    followGeometry();
    announceNewLines(*this);
}

ColorEdit::~ColorEdit() {
    m_lines.setObserver(nullptr);
}

void ColorEdit::setAutoScroll(bool on) {
    m_shared->autoScroll = on;
    m_held = false;
}

int ColorEdit::addLine(std::u16string_view text, Colour colour, std::int64_t id) {
    return m_lines.append(text, colour, id);
}

void ColorEdit::setSelectionStart(std::size_t line, std::size_t offset) {
    m_selectionLine = line;
    m_selectionOffset = offset;
}

void ColorEdit::setFound(FoundIn found, std::optional<TextMatch> current) {
    m_found = std::move(found);
    m_currentFound = current;
    m_dirty = true;
    viewport()->update();
}

void ColorEdit::scrollToLine(std::size_t line) {
    followAppended();
    m_tops.sync(m_lines);
    if (line >= m_tops.lineCount()) {
        return;
    }
    const std::int64_t top = m_tops.top(line);
    const std::int64_t height = m_tops.height(line);
    if (top >= m_scroll && top + height <= m_scroll + viewport()->height()) {
        return;
    }
    centreOn(line);
}

void ColorEdit::centreOn(std::size_t line) {
    const std::int64_t middle =
        m_tops.top(line) + m_tops.height(line) / 2 - viewport()->height() / 2;
    const int largest = largestPosition();
    m_scroll =
        largest < 0 ? largest : static_cast<int>(std::clamp<std::int64_t>(middle, 0, largest));
    refresh();
}

bool ColorEdit::showStoredLine(std::int64_t id) {
    followAppended();
    const std::optional<std::size_t> index = m_lines.reveal(id);
    if (!index) {
        return false;
    }
    m_tops.sync(m_lines);
    centreOn(*index);
    m_held = true;
    return true;
}

void ColorEdit::markRead() {
    const std::vector<PlacedLine> placed = linesInView();
    if (placed.empty()) {
        return;
    }
    const std::size_t newest = placed.back().index;
    m_readSet = true;
    m_readId = m_lines.id(newest);
    m_readPosition = m_lines.firstPosition() + static_cast<std::int64_t>(newest);
    m_readResets = m_lines.resets();
    refresh();
}

std::optional<std::size_t> ColorEdit::readMarkerIndex() const {
    if (!m_readSet || m_readResets != m_lines.resets()) {
        // Every line was replaced since: only the id can find the line again.
        for (std::size_t i = 0; m_readSet && m_readId != 0 && i < m_lines.lineCount(); ++i) {
            if (m_lines.id(i) == m_readId) {
                return i;
            }
        }
        return std::nullopt;
    }
    const std::int64_t index = m_readPosition - m_lines.firstPosition();
    if (index < 0 || index >= static_cast<std::int64_t>(m_lines.lineCount())) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(index);
}

bool ColorEdit::jumpToReadMarker() {
    followAppended();
    if (const std::optional<std::size_t> index = readMarkerIndex()) {
        scrollToLine(*index);
        m_held = true;
        return true;
    }
    return m_readSet && m_readId != 0 && showStoredLine(m_readId);
}

void ColorEdit::paintReadMarker(QPainter& painter, const std::vector<PlacedLine>& placed) {
    const std::optional<std::size_t> marked = readMarkerIndex();
    // Nothing newer than the marked line: no news to mark off.
    if (!marked || (*marked + 1 >= m_lines.lineCount() && m_lines.newestInMemory())) {
        return;
    }
    for (const PlacedLine& line : placed) {
        if (line.index == *marked) {
            const int thickness = std::max(1, m_metrics.lineHeight() / 8);
            painter.fillRect(0, static_cast<int>(line.top + line.height) - thickness,
                             viewport()->width(), thickness, QColor::fromRgb(kReadMarkerColour));
        }
    }
}

std::vector<PlacedLine> ColorEdit::linesInView() {
    followAppended();
    m_tops.sync(m_lines);
    std::vector<PlacedLine> placed = placeLines(m_tops, m_scroll, viewport()->height());
    std::erase_if(placed, [](const PlacedLine& line) { return line.top + line.height <= 0; });
    std::reverse(placed.begin(), placed.end());
    return placed;
}

void ColorEdit::setLinkOpener(LinkOpener* opener) {
    m_links->setOpener(opener);
}

int ColorEdit::scrollPosition() const {
    // Where the lines added this turn take the view, before it follows them.
    return m_appendPending && following() ? largestPosition() : m_scroll;
}

int ColorEdit::totalHeight() const {
    return m_lines.totalHeight();
}

int ColorEdit::largestPosition() const {
    return kolu::largestPosition(totalHeight(), viewport()->height());
}

void ColorEdit::lineAppended(const TextLines& /*lines*/) {
    m_appendPending = true;
    if (!m_refreshQueued) {
        m_refreshQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_refreshQueued = false;
                refresh();
                emit linesAdded();
            },
            Qt::QueuedConnection);
    }
}

void ColorEdit::linesShifted(const TextLines& /*lines*/, const LineShift& shift) {
    if (shift.reset) {
        m_selectionLine = 0;  // whoever replaced the lines places the view
    } else {
        // What is in view stays put: only the lines above it came or went.
        const std::int64_t moved = shift.addedFrontHeight - shift.removedFrontHeight;
        const auto clampToInt = [](std::int64_t y) {
            return static_cast<int>(std::clamp<std::int64_t>(y, INT_MIN, INT_MAX));
        };
        m_scroll = clampToInt(m_scroll + moved);
        m_drawnScroll = clampToInt(m_drawnScroll + moved);
        const std::int64_t line = static_cast<std::int64_t>(m_selectionLine) +
                                  static_cast<std::int64_t>(shift.addedFront) -
                                  static_cast<std::int64_t>(shift.removedFront);
        m_selectionLine = static_cast<std::size_t>(std::max<std::int64_t>(line, 0));
    }
    m_highlighted = false;  // a drag lays its selection out again at the next move
    m_shifted = true;
    m_dirty = true;
    emit linesPaged();
}

int ColorEdit::pageDue() const {
    const int screen = viewport()->height();
    if (m_lines.olderInSource() && m_scroll < screen) {
        return -1;
    }
    if (!m_lines.newestInMemory() && m_scroll > largestPosition() - screen) {
        return 1;
    }
    return 0;
}

void ColorEdit::pageNearEdges() {
    // Half the cap at most: a read past the cap drops lines from the other end,
    // which must not reach the lines in view.
    const std::size_t page = std::clamp<std::size_t>(m_lines.cap() / 2, 1, TextLines::kPageLines);
    const int due = pageDue();
    if (due < 0) {
        m_lines.loadOlder(page);
    } else if (due > 0) {
        m_lines.loadNewer(page);
    }
    m_tops.sync(m_lines);
}

void ColorEdit::followGeometry() {
    m_lines.setWidth(viewport()->width());
    m_tops.sync(m_lines);
    if (following()) {
        m_scroll = largestPosition();
    }
    refresh();
}

void ColorEdit::metricsChanged() {
    m_lines.metricsChanged();
    followGeometry();
}

void ColorEdit::refresh() {
    invalidate();
    viewport()->update();
}

void ColorEdit::invalidate() {
    bool read = false;
    if (m_appendPending && following() && !m_lines.newestInMemory()) {
        // Following new lines while the newest are paged out: one read of the
        // newest page replaces what is in memory, rather than a page per step
        // down to them.
        m_lines.loadNewest(TextLines::kPageLines);
        read = true;
    }
    m_tops.sync(m_lines);
    if (m_appendPending && following()) {
        m_scroll = largestPosition();
    }
    m_appendPending = false;
    if (!read) {
        pageNearEdges();
    }
    if (m_shifted) {
        // Lines in view may have left memory (a drop the view could not follow).
        const int largest = largestPosition();
        m_scroll = std::clamp(m_scroll, std::min(0, largest), std::max(0, largest));
        m_shifted = false;
    }
    m_drawnScroll = m_scroll;
    m_highlighted = false;
    m_dirty = true;  // the image is drawn at the next paint
    updateScrollBar();
}

void ColorEdit::followAppended() {
    if (m_appendPending) {
        invalidate();
    }
}

void ColorEdit::updateScrollBar() {
    // Over a paged store the range is that of the lines in memory only.
    QScrollBar* bar = verticalScrollBar();
    const QSignalBlocker blocker(bar);
    bar->setRange(0, std::max(0, largestPosition()));
    bar->setPageStep(viewport()->height());
    bar->setSingleStep(m_metrics.lineHeight());
    bar->setValue(std::clamp(m_scroll, 0, bar->maximum()));
}

void ColorEdit::scrollRequest(ScrollRequest request, int trackPosition) {
    followAppended();  // the step starts from where the new lines took the view
    if (request == ScrollRequest::Bottom && !m_lines.newestInMemory()) {
        m_lines.loadNewest(TextLines::kPageLines);  // one read, not a page per step down
    }
    m_tops.sync(m_lines);
    const ScrollStep step = scrollStep(m_scroll, request, trackPosition, m_metrics.lineHeight(),
                                       viewport()->height(), largestPosition(), m_drawnScroll);
    m_scroll = step.position;
    // Back at the newest line: new lines take the view along again.
    m_held = m_held && !(m_lines.newestInMemory() && m_scroll >= largestPosition());
    if (step.redraw || pageDue() != 0) {
        refresh();  // reads at most one page
    }
}

void ColorEdit::onScrollBarAction(int action) {
    QScrollBar* bar = verticalScrollBar();
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            scrollRequest(ScrollRequest::LineUp);
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            scrollRequest(ScrollRequest::LineDown);
            break;
        case QAbstractSlider::SliderPageStepSub:
            scrollRequest(ScrollRequest::PageUp);
            break;
        case QAbstractSlider::SliderPageStepAdd:
            scrollRequest(ScrollRequest::PageDown);
            break;
        case QAbstractSlider::SliderToMinimum:
            scrollRequest(ScrollRequest::Top);
            break;
        case QAbstractSlider::SliderToMaximum:
            scrollRequest(ScrollRequest::Bottom);
            break;
        case QAbstractSlider::SliderMove:  // thumb drags and the wheel
            scrollRequest(ScrollRequest::ThumbTrack, bar->sliderPosition());
            break;
        default:
            return;
    }
    // The bar applies this position once the action returns.
    bar->setSliderPosition(std::clamp(m_scroll, bar->minimum(), bar->maximum()));
}

void ColorEdit::scrollContentsBy(int /*dx*/, int /*dy*/) {
    // The scroll position is the view's own (see scrollRequest); the bar only mirrors it.
}

void ColorEdit::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    followGeometry();
}

void ColorEdit::moveEvent(QMoveEvent* event) {
    QAbstractScrollArea::moveEvent(event);
    followGeometry();  // the background picture under the view moved too
}

void ColorEdit::setBackgroundPicture(const QImage* picture) {
    m_picture = picture;
    refresh();
}

void ColorEdit::setSettings(Settings* settings) {
    m_settings = settings;
    refresh();
}

bool ColorEdit::pictureShown() const {
    if (!m_picture || m_picture->isNull()) {
        return false;
    }
    return !m_settings || m_settings->switchOn(u"bmp");
}

void ColorEdit::paintBackground(QPainter& painter) {
    const QRect client(QPoint(0, 0), m_image.size());
    // Measured from the view's outer corner.
    if (pictureShown() && drawPictureUnder(painter, client, *m_picture, window()->size(),
                                           mapTo(window(), QPoint(0, 0)))) {
        return;
    }
    painter.fillRect(client, toQColor(m_colours[kTextViewBackground]));
}

void ColorEdit::render() {
    m_dirty = false;
    const QSize size = viewport()->size();
    if (m_image.size() != size) {
        m_image = QImage(size, QImage::Format_RGB32);
    }
    if (size.isEmpty()) {
        return;
    }
    QPainter painter(&m_image);
    paintBackground(painter);
    m_tops.sync(m_lines);
    const std::vector<PlacedLine> placed = placeLines(m_tops, m_scroll, size.height());
    painter.setFont(m_metrics.font());
    const int rowHeight = m_metrics.lineHeight();
    const int width = m_lines.width();
    const QColor highlight = palette().color(QPalette::Active, QPalette::Highlight);
    // Spans come in the order of the placed lines, at most one per line.
    auto span = m_selection.spans.cbegin();
    const auto spansEnd = m_highlighted ? m_selection.spans.cend() : span;
    for (const PlacedLine& line : placed) {
        while (span != spansEnd && span->line > line.index) {
            ++span;
        }
        const bool lit = span != spansEnd && span->line == line.index;
        TextLines::Line entry = m_lines.line(line.index);
        const std::vector<LinkRange> links = findLinks(entry.text);
        if (!links.empty()) {
            entry.runs =
                withLinkRuns(entry.runs, links, linkColourOn(m_colours[kTextViewBackground]));
        }
        m_foundInLine.clear();
        if (m_found) {
            m_found(line.index, m_foundInLine);
        }
        const std::u16string_view text = entry.text;
        painter.setPen(toQColor(entry.colour));
        long long rowTop = line.top;
        for (const WrapRow& row : wrapRows(text, width, m_metrics)) {
            if (rowTop >= size.height()) {
                break;
            }
            if (rowTop + rowHeight > 0) {
                const int y = static_cast<int>(rowTop);
                const bool styled = !entry.runs.empty();
                if (styled) {
                    paintStyledRow(painter, entry, row, y, false);
                }
                if (!m_foundInLine.empty()) {
                    paintFound(painter, text, row, y);
                }
                if (lit) {
                    const std::size_t begin = std::max(span->begin, row.start);
                    const std::size_t end = std::min(span->end, row.start + row.length);
                    if (begin < end) {
                        const int x = m_metrics.width(text.substr(row.start, begin - row.start));
                        const int w = m_metrics.width(text.substr(begin, end - begin));
                        painter.fillRect(x, y, w, rowHeight, highlight);
                    }
                }
                if (styled) {
                    paintStyledRow(painter, entry, row, y, true);
                } else {
                    const std::u16string_view shown = text.substr(row.start, row.length);
                    painter.drawText(
                        QPoint(0, y + m_metrics.ascent()),
                        QString::fromUtf16(shown.data(), static_cast<qsizetype>(shown.size())));
                }
            }
            rowTop += rowHeight;
        }
    }
    paintReadMarker(painter, placed);
}

void ColorEdit::paintFound(QPainter& painter, std::u16string_view text, const WrapRow& row, int y) {
    const std::size_t rowEnd = row.start + row.length;
    for (const TextMatch& match : m_foundInLine) {
        const std::size_t begin = std::max(match.start, row.start);
        const std::size_t end = std::min(match.start + match.length, rowEnd);
        if (begin >= end) {
            continue;
        }
        const int x = m_metrics.width(text.substr(row.start, begin - row.start));
        const int w = m_metrics.width(text.substr(begin, end - begin));
        painter.fillRect(
            x, y, w, m_metrics.lineHeight(),
            QColor::fromRgb(m_currentFound == match ? kCurrentFoundColour : kFoundColour));
    }
}

void ColorEdit::paintStyledRow(QPainter& painter, const TextLines::Line& line, const WrapRow& row,
                               int y, bool textPass) {
    const std::u16string_view text = line.text;
    const std::size_t rowEnd = row.start + row.length;
    const QFont plainFont = painter.font();
    const QFontMetrics fontMetrics(plainFont);
    const int rowHeight = m_metrics.lineHeight();
    const int baseline = y + m_metrics.ascent();
    auto run = line.runs.cbegin();
    // Stretches of one style: a run's characters in this row, or the plain ones between runs.
    for (std::size_t at = row.start; at < rowEnd;) {
        while (run != line.runs.cend() && run->start + run->length <= at) {
            ++run;
        }
        const bool inRun = run != line.runs.cend() && run->start <= at;
        const std::size_t end =
            inRun ? std::min<std::size_t>(run->start + run->length, rowEnd)
                  : std::min<std::size_t>(run == line.runs.cend() ? rowEnd : run->start, rowEnd);
        const std::u16string_view piece = text.substr(at, end - at);
        const int x = m_metrics.width(text.substr(row.start, at - row.start));
        StyleRun style;
        if (inRun) {
            style = *run;
        }
        QColor foreground = toQColor(style.hasForeground ? style.foreground : line.colour);
        std::optional<QColor> background;
        if (style.hasBackground) {
            background = toQColor(style.background);
        }
        if (style.flags & StyleRun::kReverse) {
            const QColor was = foreground;
            foreground = background.value_or(toQColor(m_colours[kTextViewBackground]));
            background = was;
        }
        const int width = m_metrics.width(piece);
        if (!textPass) {
            if (background) {
                painter.fillRect(x, y, width, rowHeight, *background);
            }
        } else {
            QFont font = plainFont;
            font.setItalic((style.flags & StyleRun::kItalic) != 0);
            painter.setFont(font);
            painter.setPen(foreground);
            const QString shown =
                QString::fromUtf16(piece.data(), static_cast<qsizetype>(piece.size()));
            painter.drawText(QPoint(x, baseline), shown);
            if (style.flags & StyleRun::kBold) {
                // Drawn twice a pixel apart: a bold face would be wider than the
                // widths the rows were wrapped with.
                painter.drawText(QPoint(x + 1, baseline), shown);
            }
            // As thick as the font's own lines, so they keep their weight on a dense screen.
            const int thickness = std::max(1, fontMetrics.lineWidth());
            if (style.flags & StyleRun::kUnderline) {
                painter.fillRect(x, baseline + fontMetrics.underlinePos(), width, thickness,
                                 foreground);
            }
            if (style.flags & StyleRun::kStrike) {
                painter.fillRect(x, baseline - fontMetrics.strikeOutPos(), width, thickness,
                                 foreground);
            }
        }
        at = end;
    }
    painter.setFont(plainFont);
    painter.setPen(toQColor(line.colour));
}

void ColorEdit::paintEvent(QPaintEvent* /*event*/) {
    followAppended();  // a paint before the queued refresh shows the new lines too
    if (m_dirty || m_image.size() != viewport()->size()) {
        render();
    }
    QPainter painter(viewport());
    painter.drawImage(0, 0, m_image);
}

void ColorEdit::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_press = event->position().toPoint();
    m_dragging = true;
    m_holdPending = true;  // until the press moves or the hold time passes
    m_holdTimer.start();
}

void ColorEdit::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging || !(event->buttons() & Qt::LeftButton)) {
        return;
    }
    const QPoint point = event->position().toPoint();
    if (m_holdPending) {
        if ((point - m_press).manhattanLength() < QApplication::startDragDistance()) {
            return;
        }
        m_holdTimer.stop();
        m_holdPending = false;
    }
    selectTo(point);
}

void ColorEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_holdTimer.stop();
    m_holdPending = false;
    m_dragging = false;
    if (m_selectionLength > 0) {
        copySelection();
    }
    m_press = QPoint(-1, -1);
    m_selectionLength = 0;
    refresh();  // removes the highlight
}

void ColorEdit::onHoldTimeout() {
    if (!m_dragging || !m_holdPending) {
        return;
    }
    // A tap-and-hold: the context menu instead of a selection.
    m_dragging = false;
    m_holdPending = false;
    emit contextMenuRequested(viewport()->mapToGlobal(m_press));
}

void ColorEdit::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    emit contextMenuRequested(event->globalPos());
}

void ColorEdit::selectTo(QPoint point) {
    followAppended();
    m_tops.sync(m_lines);
    const std::vector<PlacedLine> placed = placeLines(m_tops, m_scroll, viewport()->height());
    m_selection = layoutSelection(m_lines, placed, m_metrics, m_lines.width(),
                                  {m_press.x(), m_press.y()}, {point.x(), point.y()});
    m_selectionLength = m_selection.count;
    if (m_selection.startFound) {
        setSelectionStart(m_selection.startLine, m_selection.startOffset);
    }
    m_highlighted = true;
    m_dirty = true;
    viewport()->update();
}

void ColorEdit::copySelection() {
    const std::u16string text =
        selectedText(m_lines, m_selectionLine, m_selectionOffset, m_selectionLength);
    QApplication::clipboard()->setText(QString::fromStdU16String(text));
}

}  // namespace kolu

#pragma once
// ColorEdit: the read-only, multi-colour, word-wrapping text view of one tab
// (the part ColorEditProc plays). It shows a TextLines store owned by the tab,
// newest line at the bottom edge, scrolls in pixels, paints through an off-screen
// image over the background colour or picture, highlights what a drag selects and
// copies it to the clipboard when the button is released. Only the lines in view
// are laid out and drawn, however many the store holds. Over a paged store the
// view reads a page of older (newer) lines when it comes within a screen of the
// top (bottom) of what is in memory, one read per scroll step, and keeps the
// lines in view where they are as pages come and go. The scroll bar covers only
// the lines in memory: its thumb jumps as pages are read.
#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>
#include <QRgb>
#include <QTimer>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "settings/colour_table.h"
#include "ui/text_fold.h"
#include "ui/text_lines.h"
#include "ui/text_view_layout.h"
#include "ui/text_wrap.h"

namespace kolu {

class LinkOpener;
class QtTextMetrics;
class Settings;
class TextViewLinks;

class ColorEdit final : public QAbstractScrollArea, private TextLinesObserver {
    Q_OBJECT
  public:
    // A press held this long without moving is a tap-and-hold: a context menu
    // request instead of a selection.
    static constexpr int kHoldMilliseconds = 500;
    // Behind what a search found, and behind the match stepped to: amber, so the
    // text stays readable in its own colour.
    static constexpr QRgb kFoundColour = 0xFFFFD640;
    static constexpr QRgb kCurrentFoundColour = 0xFFFF8C00;
    // The read marker's line: red, seen on light and dark backgrounds alike.
    static constexpr QRgb kReadMarkerColour = 0xFFE03030;

    // `lines` and `metrics` outlive the view; the store is given the metrics when
    // it measures with others. Views given the same `shared` share the
    // auto-scroll flag; without one the view keeps its own.
    ColorEdit(TextLines& lines, const QtTextMetrics& metrics, const ColourTable& colours,
              TextViewShared* shared = nullptr, QWidget* parent = nullptr);
    ~ColorEdit() override;

    // WM_APP: the auto-scroll flag (the context menu's "Scroll" on / off).
    void setAutoScroll(bool on);
    bool autoScroll() const { return m_shared->autoScroll; }
    // WM_APP+1: stores the line (the view follows through the store's observer)
    // and answers the new total height; 0 when the line could not be stored.
    int addLine(std::u16string_view text, Colour colour, std::int64_t id = 0);
    // WM_APP+2: the line and character offset where the selection begins.
    void setSelectionStart(std::size_t line, std::size_t offset);
    // WM_APP+3: redraws the off-screen image at the current size and scroll
    // position (without any highlight) and updates the scroll bar.
    void refresh();
    // WM_VSCROLL: one scroll-bar request; `trackPosition` for the thumb requests.
    void scrollRequest(ScrollRequest request, int trackPosition = 0);
    // The metrics' font changed: every line is measured again, then refreshed.
    void metricsChanged();

    // The main window's background picture (null when none is loaded). With
    // settings given it is shown while `bmp` is non-zero, read at every refresh;
    // without, whenever it is set.
    void setBackgroundPicture(const QImage* picture);
    void setSettings(Settings* settings);

    // What a search found: `found` appends the matches of a line the view draws,
    // painted behind their text, `current` in a stronger colour. An empty
    // function paints none.
    using FoundIn = std::function<void(std::size_t line, std::vector<TextMatch>& out)>;
    void setFound(FoundIn found, std::optional<TextMatch> current);
    // Brings line `line` into sight: unless it is wholly in view already, scrolled
    // to the middle, or as near as the ends allow.
    void scrollToLine(std::size_t line);
    // The line stored with `id` in the middle of the view, read back from the
    // store's source when it left memory; false when it is not found. The view
    // stays there, auto-scroll or not, until it is scrolled to the bottom.
    bool showStoredLine(std::int64_t id);
    // The read marker: the newest line now in view is where the user stopped
    // reading; a line under it shows once newer lines come.
    void markRead();
    // Brings the marked line back into view (read back when it left memory);
    // false when there is no marker.
    bool jumpToReadMarker();

    // The lines at least partly in view, oldest first, in viewport coordinates
    // (for the links under the pointer and for screen readers).
    std::vector<PlacedLine> linesInView();
    const TextLines& lines() const { return m_lines; }
    const QtTextMetrics& textMetrics() const { return m_metrics; }
    // Where clicked links go; null for the desktop. The opener outlives the view.
    void setLinkOpener(LinkOpener* opener);

    int scrollPosition() const;
    int totalHeight() const;
    int largestPosition() const;
    // Characters selected by the drag in progress; 0 between drags.
    std::size_t selectionLength() const { return m_selectionLength; }

  signals:
    // A right click or a tap-and-hold: the owner shows the tab's context menu at
    // this screen position.
    void contextMenuRequested(QPoint globalPosition);
    // Lines added to the store this turn of the event loop are shown (sent once a turn).
    void linesAdded();
    // Lines left the store or were read back into it (its positions tell which).
    void linesPaged();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    // Lines added during one turn of the event loop are followed (tops, auto-scroll,
    // scroll bar, drawing) once, when the turn ends or at the next paint.
    void lineAppended(const TextLines& lines) override;
    void linesShifted(const TextLines& lines, const LineShift& shift) override;
    // Which read paging wants at the current position: -1 older lines, 1 newer, 0 none.
    int pageDue() const;
    void pageNearEdges();
    // Scrolls `line` to the middle of the view, or as near as the ends allow.
    void centreOn(std::size_t line);
    // New lines take the view to the bottom: auto-scroll is on and the view
    // was not sent to an older line.
    bool following() const { return m_shared->autoScroll && !m_held; }
    // The read marker's line while it is in memory.
    std::optional<std::size_t> readMarkerIndex() const;
    void paintReadMarker(QPainter& painter, const std::vector<PlacedLine>& placed);
    // Everything refresh() does but asking for a paint.
    void invalidate();
    // Before the view is used between the lines' arrival and the queued refresh.
    void followAppended();
    // WM_SIZE and WM_MOVE: the width and heights follow the view, and with
    // auto-scroll on the newest line goes back to the bottom edge.
    void followGeometry();
    void onScrollBarAction(int action);
    void onHoldTimeout();
    void selectTo(QPoint point);
    void copySelection();
    void updateScrollBar();
    void render();
    void paintBackground(QPainter& painter);
    // One wrapped row of a line with styled runs: their backgrounds first
    // (`textPass` false, under the selection), then their text.
    void paintStyledRow(QPainter& painter, const TextLines::Line& line, const WrapRow& row, int y,
                        bool textPass);
    void paintFound(QPainter& painter, std::u16string_view text, const WrapRow& row, int y);
    bool pictureShown() const;

    TextLines& m_lines;
    const QtTextMetrics& m_metrics;
    const ColourTable& m_colours;
    TextViewShared m_ownShared;
    TextViewShared* m_shared;
    const QImage* m_picture = nullptr;
    Settings* m_settings = nullptr;

    LineTops m_tops;
    int m_scroll = 0;       // document y at the view's top edge; negative for a short text
    int m_drawnScroll = 0;  // m_scroll at the last refresh
    QImage m_image;         // the off-screen image paint events copy
    bool m_dirty = true;
    bool m_appendPending = false;  // lines added that the tops and scroll position don't follow yet
    bool m_refreshQueued = false;
    bool m_shifted = false;  // paging moved the scroll position since the last refresh
    bool m_held = false;     // sent to an older line: new lines don't move the view

    // The read marker: the line's id and stable position (none while m_readSet is false).
    bool m_readSet = false;
    std::int64_t m_readId = 0;
    std::int64_t m_readPosition = 0;
    std::uint64_t m_readResets = 0;

    // The drag: press point (-1, -1 between gestures), its highlight and count.
    QPoint m_press{-1, -1};
    bool m_dragging = false;
    bool m_holdPending = false;
    QTimer m_holdTimer;
    SelectionLayout m_selection;
    bool m_highlighted = false;
    std::size_t m_selectionLength = 0;
    std::size_t m_selectionLine = 0;  // the first line, like the empty record a new view starts at
    std::size_t m_selectionOffset = 0;

    FoundIn m_found;
    std::optional<TextMatch> m_currentFound;
    std::vector<TextMatch> m_foundInLine;  // reused for each line drawn
    TextViewLinks* m_links;
};

}  // namespace kolu

#pragma once
// The slide button (control 127, the part buttonproc plays): the thin drawn button on the boundary
// between a channel's text view and its user list. Dragging it sideways changes the selected tab's
// user-list width live; the width stays with that tab. It also lays the two windows out side by
// side whenever a channel tab is shown.
#include <QPointer>

#include "gui/drawn_button.h"

namespace kolu {

class ColourTable;
class Settings;
class TabRegistry;

class SlideButton final : public DrawnButton {
    Q_OBJECT
  public:
    // Neither window may get narrower than this (times the scale factor).
    static constexpr int kMinimumWidth = 30;

    // TworzSlideBtn: a hidden child of `parent` (the main window's client area,
    // whose width is the one shared by text view and user list), 20 x 20 times the
    // scale factor; `tabStrip`'s bottom edge places it. The references outlive it.
    SlideButton(TabRegistry& tabs, QWidget& tabStrip, const ColourTable& colours, int scaleFactor,
                QWidget* parent);

    void setScaleFactor(int scaleFactor);
    // The main window's background picture (null when none), shown while `bmp`
    // is non-zero when settings are given.
    void setBackgroundPicture(const QImage* picture);
    void setSettings(Settings* settings);

    // WM_APP: places the selected tab's text view and user list side by side from
    // the tab's user-list width, and the button centred on their boundary. The
    // windows are remembered for the drag.
    void layOut(QWidget* textView, QWidget* userList);

    int pressX() const { return m_pressX; }
    int boundaryX() const { return m_boundaryX; }

  signals:
    // The selected tab's user-list width after a drag step moved the boundary.
    void widthChanged(int width);
    // The stylus was lifted: the input line takes the focus back.
    void dragFinished();

  protected:
    void paintBackground(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    int clientWidth() const;
    // Sets the selected tab's width to W - boundary and lays the windows out.
    void applyBoundary();
    void layOutWindows();

    TabRegistry& m_tabs;
    QWidget& m_tabStrip;
    const ColourTable& m_colours;
    int m_scale = 1;
    const QImage* m_picture = nullptr;
    Settings* m_settings = nullptr;
    QPointer<QWidget> m_textView;
    QPointer<QWidget> m_userList;
    int m_pressX = -1;     // last stylus x over the button during a drag
    int m_boundaryX = -1;  // dragged user-list left edge; -1 until the drag moves
};

}  // namespace kolu

#pragma once
// UserListView: the member list at the right edge of a channel tab (the part
// listproc and RysujUserliste play). It draws a UserList owned by the tab, one
// row per member at the user-list font size, each name in its status colour over
// the user-list background or the background picture, the selected row in the
// highlight colours; an away member's name is greyed, and hovering a member
// the server told more of shows its address, account and away reason. The model tells nobody about
// changes: the owner calls refresh() after it changed the list. Only the rows in view are drawn.
#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>
#include <QTimer>
#include <string>

#include "settings/colour_table.h"
#include "ui/user_list.h"

namespace kolu {

class Settings;

class UserListView final : public QAbstractScrollArea {
    Q_OBJECT
  public:
    // A press held this long without moving is a tap-and-hold: a context menu
    // request.
    static constexpr int kHoldMilliseconds = 500;

    // `users` and `colours` must outlive the view.
    UserListView(const UserList& users, const ColourTable& colours, QWidget* parent = nullptr);

    // The user-list font and its size in pixels (the `Fonts` setting's low four
    // bits + 11, scaled), which is also the row height.
    void setListFont(const QFont& font, int fontSize);
    int rowHeight() const { return m_rowHeight; }

    // The main window's background picture (null when none is loaded). With
    // settings given it is shown while `bmp` is non-zero; without, whenever set.
    void setBackgroundPicture(const QImage* picture);
    void setSettings(Settings* settings);

    // Reads the list again after a change: rows, scroll range, and the selection,
    // which stays with the selected nickname while it is listed.
    void refresh();

    // The selected row, -1 for none; setting -1 or a row past the end clears it.
    int selectedRow() const { return m_selected; }
    void setSelectedRow(int row);
    // The selected row's label ("@nick", "+nick", "nick"); "" when none.
    std::u16string selectedLabel() const;
    // The row at a point of the viewport, -1 below the last row.
    int rowAt(QPoint viewportPoint) const;
    // Index of the first row shown.
    int topRow() const;
    const UserList& users() const { return m_users; }

  signals:
    // A right click, a tap-and-hold or the menu key: the owner shows the user
    // menu at this screen position (the row under it is selected first).
    void contextMenuRequested(QPoint globalPosition);
    // The left or right arrow was released on the list: the owner switches tabs
    // (PrzelaczZakladke with this key code, 37 or 39).
    void tabSwitchRequested(int virtualKey);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    // A hover over a row of a member something is known of shows it.
    bool viewportEvent(QEvent* event) override;

  private:
    void updateScrollBar();
    void ensureVisible(int row);
    bool pictureShown() const;
    // The part of the background picture under `area` (viewport coordinates),
    // or the user-list background colour.
    void paintBackground(QPainter& painter, const QRect& area, bool picture) const;
    QColor textColour(const std::u16string& label) const;
    // A member known to be away is drawn in its colour dimmed halfway to the
    // list's background.
    QColor rowColour(std::size_t row) const;

    const UserList& m_users;
    const ColourTable& m_colours;
    const QImage* m_picture = nullptr;
    Settings* m_settings = nullptr;
    int m_rowHeight = 11;
    int m_selected = -1;
    std::u16string m_selectedLabel;  // as it was when selected, to find it again
    QPoint m_press{-1, -1};
    QTimer m_holdTimer;
};

}  // namespace kolu

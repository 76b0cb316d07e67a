#pragma once
// DrawBtn: the small push buttons painted from pixel art instead of by the style.
// A base picture (black shows through) is stretched over the button, then the
// picture for the up or the pressed state (white shows through) is drawn over it.
// The full-screen button and the slide button are drawn this way; the helpers
// below also paint the options dialog's textured buttons and the background
// picture under a window.
#include <QAbstractButton>
#include <QImage>
#include <QString>

namespace kolu {

// Resource names of the button pictures (embedded, not copied to the data folder).
namespace button_pictures {
inline const QString kBase = QStringLiteral(":/ui/button_base.bmp");                       // 5202
inline const QString kSlide = QStringLiteral(":/ui/slide.bmp");                            // 5204
inline const QString kSlidePressed = QStringLiteral(":/ui/slide_pressed.bmp");             // 5205
inline const QString kFullScreen = QStringLiteral(":/ui/full_screen.bmp");                 // 5206
inline const QString kFullScreenPressed = QStringLiteral(":/ui/full_screen_pressed.bmp");  // 5207
inline const QString kLeaveFullScreen = QStringLiteral(":/ui/leave_full_screen.bmp");      // 5208
inline const QString kLeaveFullScreenPressed =
    QStringLiteral(":/ui/leave_full_screen_pressed.bmp");  // 5209
}  // namespace button_pictures

// The picture with every pixel of colour `key` made transparent (ARGB32); a null
// picture stays null.
QImage keyedOut(const QImage& picture, QRgb key);

// DrawBtn's drawing: `base` stretched over `client` with black transparent, then
// `overlay` stretched over it with white transparent. Both come from keyedOut, so
// they are passed already keyed; pixel art stays sharp when stretched.
void DrawBtn(QPainter& painter, const QRect& client, const QImage& keyedBase,
             const QImage& keyedOverlay);

// The part of `picture` (which covers the whole top-level window, stretched)
// that lies under `client`, a rectangle of `widget`, drawn into `client`.
void paintPictureUnder(QPainter& painter, const QWidget& widget, const QRect& client,
                       const QImage& picture);

// The options dialog's textured button face: `bitmap`'s first 8 columns, its
// middle stretched, its last 8 columns, composed `width` columns wide.
QImage composeTexture(const QImage& bitmap, int width);

// DrawBtnBkgndTexture: a disabled button shows `disabledBitmap` with grey text,
// an enabled one `bitmap` with black text (yellow while pressed). The face is
// composed client width / scale factor wide, stretched over `client` with black
// transparent, and the text (at most 60 characters) is centred on it.
void DrawBtnBkgndTexture(QPainter& painter, const QRect& client, const QImage& bitmap,
                         const QImage& disabledBitmap, bool enabled, bool pressed,
                         const QString& text, int scaleFactor);

// A button drawn with DrawBtn. It never takes the keyboard focus, which stays
// with the input line.
class DrawnButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit DrawnButton(QWidget* parent = nullptr);

    // Loads the three pictures from the resources; a missing one draws nothing.
    void setPictures(const QString& base, const QString& normal, const QString& pressed);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    // What shows through the pictures' transparent parts.
    virtual void paintBackground(QPainter& painter);

  private:
    QImage m_base;
    QImage m_normal;
    QImage m_pressed;
};

// The full-screen button (control 120): arrows out of the corners while the
// window is normal, into them while it is full screen. The owner toggles the
// state on clicked().
class FullScreenButton final : public DrawnButton {
    Q_OBJECT
  public:
    explicit FullScreenButton(QWidget* parent = nullptr);
    void setFullScreenState(bool fullScreen);
    bool fullScreenState() const { return m_fullScreen; }

  private:
    bool m_fullScreen = false;
};

}  // namespace kolu

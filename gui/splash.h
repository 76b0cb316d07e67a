#pragma once
// The splash dialog (SplashProc; also the About box): a borderless picture with the client's
// name and version and a hint, centred over the main window a little below its
// middle. A tap anywhere on it closes it.
#include <QDialog>
#include <QImage>
#include <QRect>

namespace kolu {

class Splash final : public QDialog {
    Q_OBJECT
  public:
    // The picture's own size, stretched by the splash scale.
    static constexpr int kWidth = 240;
    static constexpr int kHeight = 151;
    static inline const QString kPicture = QStringLiteral(":/ui/splash.bmp");  // 504

    // The splash scale is 1, times `scaleFactor` unless `vga` (the VGA setting is
    // non-zero). `parent` is the main window it is centred over.
    Splash(int scaleFactor, bool vga, QWidget* parent = nullptr);

    int splashScale() const { return m_scale; }
    // Where the dialog stands, in the parent's coordinates: centred across it and
    // 22 pixels below its middle (the whole screen when there is no parent).
    QRect placement() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void place();

    int m_scale;
    QImage m_picture;
};

}  // namespace kolu

#include "ui/widgets/drawn_button.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <set>

#include "tests/support/qt_app.h"
#include "ui/widgets/splash.h"

namespace kolu {
namespace {

class DrawnButtonTest : public ::testing::Test {
  protected:
    void SetUp() override { test::application(); }
};

TEST_F(DrawnButtonTest, EveryButtonPictureIsEmbeddedAtItsSize) {
    using namespace button_pictures;
    for (const QString& name : {kBase, kSlide, kSlidePressed, kFullScreen, kFullScreenPressed,
                                kLeaveFullScreen, kLeaveFullScreenPressed}) {
        const QImage picture(name);
        EXPECT_EQ(picture.size(), QSize(20, 20)) << name.toStdString();
    }
    EXPECT_EQ(QImage(Splash::kPicture).size(), QSize(Splash::kWidth, Splash::kHeight));
}

TEST_F(DrawnButtonTest, KeyedColourBecomesClear) {
    QImage picture(3, 1, QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(0, 0, 0));
    picture.setPixel(1, 0, qRgb(1, 0, 0));
    picture.setPixel(2, 0, qRgb(255, 255, 255));
    const QImage black = keyedOut(picture, qRgb(0, 0, 0));
    EXPECT_EQ(qAlpha(black.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(black.pixel(1, 0)), 255);
    EXPECT_EQ(qAlpha(black.pixel(2, 0)), 255);
    const QImage white = keyedOut(picture, qRgb(255, 255, 255));
    EXPECT_EQ(qAlpha(white.pixel(0, 0)), 255);
    EXPECT_EQ(qAlpha(white.pixel(2, 0)), 0);
    EXPECT_TRUE(keyedOut(QImage(), 0).isNull());
}

// Distinct colours per column: 8 left-cap columns, a middle, 8 right-cap columns.
QImage columns(int middle) {
    QImage bitmap(16 + middle, 2, QImage::Format_RGB32);
    for (int x = 0; x < bitmap.width(); ++x) {
        const QRgb colour = x < 8            ? qRgb(200, x, 0)
                            : x < 8 + middle ? qRgb(0, 200, 0)
                                             : qRgb(0, x, 200);
        for (int y = 0; y < 2; ++y) {
            bitmap.setPixel(x, y, colour);
        }
    }
    return bitmap;
}

TEST_F(DrawnButtonTest, TextureKeepsBothCapsAndStretchesTheMiddle) {
    const QImage bitmap = columns(4);
    for (int width : {16, 17, 40, 90}) {
        SCOPED_TRACE(width);
        const QImage face = composeTexture(bitmap, width);
        ASSERT_EQ(face.size(), QSize(width, 2));
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(face.pixel(x, 1), bitmap.pixel(x, 1)) << x;
            EXPECT_EQ(face.pixel(width - 8 + x, 1), bitmap.pixel(12 + x, 1)) << x;
        }
        for (int x = 8; x < width - 8; ++x) {
            EXPECT_EQ(face.pixel(x, 0), qRgb(0, 200, 0)) << x;
        }
    }
    EXPECT_TRUE(composeTexture(bitmap, 0).isNull());
}

TEST_F(DrawnButtonTest, TexturedButtonTextColourFollowsItsState) {
    const QImage bitmap = columns(4);
    QImage disabled = columns(4);
    disabled.fill(qRgb(10, 10, 10));
    struct Case {
        bool enabled, pressed;
        QColor text;
        QRgb face;
    };
    const Case cases[] = {{true, false, Qt::black, qRgb(0, 200, 0)},
                          {true, true, QColor(255, 255, 0), qRgb(0, 200, 0)},
                          {false, false, QColor(128, 128, 128), qRgb(10, 10, 10)}};
    for (const Case& c : cases) {
        QImage canvas(120, 30, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        DrawBtnBkgndTexture(painter, canvas.rect(), bitmap, disabled, c.enabled, c.pressed,
                            QStringLiteral("\u2588\u2588\u2588\u2588"), 2);
        painter.end();
        std::set<QRgb> seen;
        for (int y = 0; y < canvas.height(); ++y) {
            for (int x = 0; x < canvas.width(); ++x) {
                seen.insert(canvas.pixel(x, y));
            }
        }
        EXPECT_TRUE(seen.count(c.text.rgb())) << c.enabled << c.pressed;
        EXPECT_EQ(canvas.pixel(60, 1), c.face);
    }
}

TEST_F(DrawnButtonTest, FullScreenButtonShowsItsStateAndPress) {
    FullScreenButton button;
    button.resize(20, 20);
    button.show();
    const auto shot = [&] { return button.grab().toImage(); };
    const QImage normal = shot();
    button.setDown(true);
    const QImage pressed = shot();
    button.setDown(false);
    button.setFullScreenState(true);
    EXPECT_TRUE(button.fullScreenState());
    const QImage full = shot();
    EXPECT_NE(normal, pressed);
    EXPECT_NE(normal, full);
    EXPECT_NE(pressed, full);
    EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);
}

TEST_F(DrawnButtonTest, SplashSitsBelowTheMiddleAndATapClosesIt) {
    struct Case {
        int scaleFactor;
        bool vga;
        int expectedScale;
    };
    for (const Case c : {Case{1, false, 1}, Case{2, false, 2}, Case{2, true, 1}}) {
        SCOPED_TRACE(c.scaleFactor * 10 + c.vga);
        QWidget main;
        main.resize(240 * c.scaleFactor, 320 * c.scaleFactor);
        main.show();
        Splash splash(c.scaleFactor, c.vga, &main);
        const int k = c.expectedScale;
        EXPECT_EQ(splash.splashScale(), k);
        EXPECT_EQ(splash.placement(), QRect((main.width() - 240 * k) / 2,
                                            (main.height() - 151 * k) / 2 + 22, 240 * k, 151 * k));
        int result = -1;
        QTimer::singleShot(0, &splash, [&] {
            EXPECT_TRUE(splash.isVisible());
            EXPECT_EQ(splash.size(), QSize(240 * k, 151 * k));
            QTest::mouseClick(&splash, Qt::LeftButton, Qt::NoModifier, QPoint(200 * k, 140 * k));
        });
        result = splash.exec();
        EXPECT_EQ(result, QDialog::Accepted);
        EXPECT_FALSE(splash.isVisible());
    }
}

TEST_F(DrawnButtonTest, SplashWritesItsNameInWhiteOverThePicture) {
    Splash splash(1, false);
    splash.resize(240, 151);
    const QImage shot = splash.grab().toImage();
    const auto whiteIn = [&](int top) {
        int white = 0;
        for (int y = top; y < top + 14; ++y) {
            for (int x = 0; x < 150; ++x) {
                white += shot.pixel(x, y) == qRgb(255, 255, 255);
            }
        }
        return white;
    };
    EXPECT_GT(whiteIn(100), 10);
    EXPECT_GT(whiteIn(130), 10);
    EXPECT_EQ(whiteIn(60), 0);  // the logo, not text
}

}  // namespace
}  // namespace kolu

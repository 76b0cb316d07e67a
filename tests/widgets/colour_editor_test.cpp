// The colour editor and the picture controls as a user drives them, and the
// background picture the main window reads.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include "options/colour_field.h"
#include "options/colour_swatch.h"
#include "options/options_dialog.h"
#include "options/quick_palette.h"
#include "options/screen_page.h"
#include "options/select_colour_dialog.h"
#include "options/view_page.h"
#include "platform/files.h"
#include "tests/support/modal.h"
#include "tests/support/qt_app.h"
#include "tests/support/session_env.h"
#include "ui/widgets/background_picture.h"

namespace kolu {
namespace {

class ColourEditorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        env.settings.install();
        env.settings.settings.RegTworzKlucz();
        test::SettingsEnv& s = env.settings;
        dialog = std::make_unique<OptionsDialog>(
            OptionsDialogServices{ServerListServices{s.settings, s.log, s.clock, s.random},
                                  env.sound, env.session.dictionary, env.host},
            1);
        dialog->show();
        view = static_cast<ViewPage*>(dialog->page(OptionsDialog::kView));
        dialog->pageTabs()->setCurrentIndex(OptionsDialog::kView);
    }
    std::string settingsFile() {
        std::string bytes;
        readWholeFile(env.settings.dir.file("registry"), bytes);
        return bytes;
    }
    void clickQuick(int index) {
        controlById<QToolButton>(view->palette(), QuickPalette::kFirstButtonId + index)->click();
    }

    test::SessionEnv env;
    std::unique_ptr<OptionsDialog> dialog;
    ViewPage* view = nullptr;
};

TEST_F(ColourEditorTest, EachSwatchTogglesThePaletteAndAListTapClosesIt) {
    for (ColourSwatch* swatch : {view->textSwatch(), view->backgroundSwatch()}) {
        QTest::mouseClick(swatch, Qt::LeftButton);
        EXPECT_TRUE(view->palette()->isVisible());
        // Above the swatch, right edges together.
        const QRect palette = view->palette()->geometry();
        const QRect under(swatch->mapTo(view, QPoint(0, 0)), swatch->size());
        EXPECT_EQ(palette.bottom() + 1, under.top());
        EXPECT_EQ(palette.right(), under.right());
        QTest::mouseClick(swatch, Qt::LeftButton);
        EXPECT_FALSE(view->palette()->isVisible());
    }
    QTest::mouseClick(view->textSwatch(), Qt::LeftButton);
    QListWidget* classes = view->list(ViewPage::kLineClassList);
    const QRect row = classes->visualItemRect(classes->item(3));
    QTest::mouseClick(classes->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_FALSE(view->palette()->isVisible());
    EXPECT_EQ(view->editor().textSlot(), kFirstLineClass + 3);
    EXPECT_TRUE(classes->selectedItems().isEmpty()) << "no selection bar over a colour";
}

TEST_F(ColourEditorTest, QuickColoursAndDefaultChangeOnlyTheWorkingTableUntilOk) {
    const std::string before = settingsFile();
    view->list(ViewPage::kUserListColours)->setCurrentRow(0);  // Operator on the list's background
    QTest::mouseClick(view->backgroundSwatch(), Qt::LeftButton);
    clickQuick(5);  // cyan
    EXPECT_EQ(view->editor().table()[kUserListBackground], 0xFFFF00u);
    EXPECT_EQ(view->backgroundSwatch()->colour(), 0xFFFF00u);
    EXPECT_FALSE(view->palette()->isVisible());
    EXPECT_EQ(view->list(ViewPage::kUserListColours)->palette().color(QPalette::Base),
              QColor(0, 255, 255));
    QTest::mouseClick(view->textSwatch(), Qt::LeftButton);
    clickQuick(4);  // red
    EXPECT_EQ(view->editor().table()[kOperatorColour], 0x0000FFu);

    controlById<QAbstractButton>(view, 1311)->click();  // Default
    ColourArray defaults{};
    OpKoloryDomyslne(defaults);
    EXPECT_EQ(view->editor().table(), defaults);
    EXPECT_EQ(settingsFile(), before) << "nothing is stored before OK";

    QTest::mouseClick(view->textSwatch(), Qt::LeftButton);
    clickQuick(2);  // blue
    dialog->accept();
    ColourArray stored{};
    ASSERT_TRUE(env.settings.settings.RegCzytajKolory(stored));
    defaults[kOperatorColour] = 0xFF0000;
    EXPECT_EQ(stored, defaults);
}

TEST_F(ColourEditorTest, MoreColoursStoresTheAcceptedShadeAndCancelNothing) {
    view->list(ViewPage::kLineClassList)->setCurrentRow(9);  // Notice
    const ColourArray before = view->editor().table();
    QTest::mouseClick(view->textSwatch(), Qt::LeftButton);
    test::whenModal<SelectColourDialog>([](SelectColourDialog* select) {
        QTest::mouseClick(select->field(), Qt::LeftButton, {}, QPoint(8 * 8 + 3, 0 * 8 + 3));
        QTest::mouseClick(select->shades(), Qt::LeftButton, {}, QPoint(5, 15 * 8 + 4));
        select->reject();
    });
    controlById<QToolButton>(view->palette(), QuickPalette::kMoreColoursId)->click();
    EXPECT_EQ(view->editor().table(), before);

    QTest::mouseClick(view->textSwatch(), Qt::LeftButton);
    test::whenModal<SelectColourDialog>([](SelectColourDialog* select) {
        // Column 8 is pure green; shade 15 keeps 255 - 31 * 8 of it.
        QTest::mouseClick(select->field(), Qt::LeftButton, {}, QPoint(8 * 8 + 3, 3));
        QTest::mouseClick(select->shades(), Qt::LeftButton, {}, QPoint(5, 15 * 8 + 4));
        select->acceptButton()->click();
    });
    controlById<QToolButton>(view->palette(), QuickPalette::kMoreColoursId)->click();
    EXPECT_EQ(view->editor().table()[kFirstLineClass + 9], rgb(0, 7, 0));
    EXPECT_EQ(view->textSwatch()->colour(), rgb(0, 7, 0));
}

TEST(SelectColourDialog, StartsAtTheFieldsInitialShadeAndShowsItsChannels) {
    test::application();
    SelectColourDialog select(0x123456, 2);
    EXPECT_EQ(select.chosen(), rgb(116, 116, 140));
    EXPECT_EQ(select.shades()->selectedCell(), GreyPal::kInitialCell);
    EXPECT_EQ(controlById<QLineEdit>(&select, 1359)->text().toStdString(), "140");
    // At factor 2 a tap in the lower half of shade 3 still picks shade 3.
    QTest::mouseClick(select.shades(), Qt::LeftButton, {}, QPoint(3, 3 * 16 + 14));
    EXPECT_EQ(select.shades()->selectedCell(), 3);
    // A new base colour keeps the chosen shade.
    QTest::mouseClick(select.field(), Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(select.shades()->selectedCell(), 3);
    EXPECT_EQ(select.chosen(), OpOdcienie(rgb(255, 0, 0))[3]);
}

TEST_F(ColourEditorTest, PictureEnableSwitchesWhichControlsWork) {
    auto* screen = static_cast<ScreenPage*>(dialog->page(OptionsDialog::kScreen));
    QCheckBox* enable = controlById<QCheckBox>(screen, 1401);
    ASSERT_FALSE(enable->isChecked());
    EXPECT_FALSE(controlById<QWidget>(screen, 1402)->isEnabled());
    EXPECT_FALSE(controlById<QWidget>(screen, 1403)->isEnabled());
    EXPECT_TRUE(view->backgroundSwatch()->isEnabled());
    enable->click();
    EXPECT_TRUE(controlById<QWidget>(screen, 1402)->isEnabled());
    EXPECT_TRUE(controlById<QWidget>(screen, 1404)->isEnabled());
    EXPECT_FALSE(view->backgroundSwatch()->isEnabled());
    EXPECT_EQ(ScreenPage::OpBlendOpis(0).toStdString(), "Blend: 0%");
    controlById<QSlider>(screen, 1403)->setValue(10);
    EXPECT_EQ(controlById<QLabel>(screen, 1404)->text().toStdString(), "Blend: 100%");
}

TEST(BackgroundPicture, ReadsAnyFormatBlendedAndRefusesWhatCantBeAPicture) {
    test::application();
    test::SettingsEnv env;
    QImage flat(4, 3, QImage::Format_RGB32);
    flat.fill(QColor(100, 0, 200));
    for (const char* format : {"BMP", "PNG", "JPG"}) {
        const QString path = QString::fromStdString(env.dir.file("p.")) + format;
        ASSERT_TRUE(flat.save(path, format));
        const QImage blended = WczytajTlo(path, 3, env.log);
        ASSERT_EQ(blended.size(), QSize(4, 3)) << format;
        if (QByteArray(format) != "JPG") {  // lossy
            EXPECT_EQ(blended.pixelColor(1, 1), QColor(146, 76, 216)) << format;
        }
    }
    // A header that claims 30000 x 30000 pixels, and bytes that are no picture.
    std::string huge(54, '\0');
    huge[0] = 'B';
    huge[1] = 'M';
    huge[10] = 54;
    huge[14] = 40;
    for (int i = 0; i < 4; ++i) {
        huge[18 + i] = static_cast<char>((30000 >> (8 * i)) & 0xFF);
        huge[22 + i] = static_cast<char>((30000 >> (8 * i)) & 0xFF);
    }
    huge[26] = 1;
    huge[28] = 24;
    writeFileAtomically(env.dir.file("huge.bmp"), huge);
    writeFileAtomically(env.dir.file("junk.bmp"), "not a picture at all");
    for (const char* name : {"huge.bmp", "junk.bmp", "missing.bmp"}) {
        EXPECT_TRUE(WczytajTlo(QString::fromStdString(env.dir.file(name)), 3, env.log).isNull())
            << name;
    }
}

}  // namespace
}  // namespace kolu

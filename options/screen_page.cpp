#include "options/screen_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include "platform/text.h"

namespace kolu {

ScreenPage::ScreenPage(QWidget* parent) : OptionsPageWidget(parent) {
    auto* page = new QVBoxLayout(this);
    auto* bitmap = new QGroupBox(QStringLiteral("Bitmap"), this);
    auto* grid = new QGridLayout(bitmap);
    QCheckBox* enable = makeCheck(1401, QStringLiteral("Enable"), bitmap);
    m_pictures = new QComboBox(bitmap);
    m_pictures->setObjectName(QStringLiteral("1402"));
    // OpTworzBlendTrack; the style draws it (OpBlendRefresh's skin is not kept).
    m_blend = new QSlider(Qt::Horizontal, bitmap);
    m_blend->setObjectName(QStringLiteral("1403"));
    m_blend->setRange(0, 10);
    m_blend->setPageStep(1);
    m_blend->setTickPosition(QSlider::TicksBelow);
    m_blendLabel = makeLabel(1404, OpBlendOpis(0), bitmap);
    grid->addWidget(enable, 0, 0);
    grid->addWidget(m_pictures, 0, 1);
    grid->addWidget(m_blendLabel, 1, 0);
    grid->addWidget(m_blend, 1, 1);
    page->addWidget(bitmap);

    auto* resolution = new QGroupBox(QStringLiteral("Resolution"), this);
    auto* radios = new QHBoxLayout(resolution);
    m_qvga = new QRadioButton(QStringLiteral("QVGA"), resolution);
    m_qvga->setObjectName(QStringLiteral("1407"));
    m_realVga = new QRadioButton(QStringLiteral("Real-VGA"), resolution);
    m_realVga->setObjectName(QStringLiteral("1408"));
    radios->addWidget(m_qvga);
    radios->addWidget(m_realVga);
    page->addWidget(resolution);
    page->addStretch();

    connect(enable, &QCheckBox::toggled, this, &ScreenPage::OpBitmapaWlacz);
    connect(m_blend, &QSlider::valueChanged, this,
            [this](int position) { m_blendLabel->setText(OpBlendOpis(position)); });
    connect(m_pictures, &QComboBox::activated, this, [this] { m_unlistedPicture.clear(); });
    connect(m_realVga, &QRadioButton::toggled, this,
            [this] { emit resolutionChanged(this->resolution()); });
}

QString ScreenPage::OpBlendOpis(int position) {
    return QStringLiteral("Blend: %1%").arg(position * 10);
}

void ScreenPage::load(const OptionsPages& pages) {
    m_pictures->clear();
    for (const std::u16string& picture : pages.pictures) {
        m_pictures->addItem(qs(picture));
    }
    m_unlistedPicture.clear();
    if (pages.bmpfile.empty()) {
        m_pictures->setCurrentIndex(m_pictures->count() > 0 ? 0 : -1);
    } else {
        const int found = m_pictures->findText(qs(pages.bmpfile), Qt::MatchFixedString);
        m_pictures->setCurrentIndex(found);
        if (found < 0) {
            m_unlistedPicture = pages.bmpfile;
        }
    }
    m_blend->setValue(pages.bmpblend);
    m_blendLabel->setText(OpBlendOpis(pages.bmpblend));
    (pages.vga == 1 ? m_realVga : m_qvga)->setChecked(true);
    OpBitmapaWlacz();
}

void ScreenPage::store(OptionsPages& pages) const {
    pages.bmpfile =
        m_unlistedPicture.empty() ? m_pictures->currentText().toStdU16String() : m_unlistedPicture;
    pages.bmpblend = m_blend->value();
    pages.vga = resolution();
}

int ScreenPage::resolution() const {
    return m_realVga->isChecked() ? 1 : 0;
}

void ScreenPage::OpBitmapaWlacz() {
    const bool on = controlById<QCheckBox>(this, 1401)->isChecked();
    m_pictures->setEnabled(on);
    m_blend->setEnabled(on);
    m_blendLabel->setEnabled(on);
    emit pictureSwitched(on);
}

}  // namespace kolu

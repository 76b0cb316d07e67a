#include "gui/tab_strip.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QTabBar>
#include <algorithm>

#include "gui/qt_colour.h"
#include "gui/qt_font.h"

namespace kolu {
namespace {

// A plain tab, used only when the embedded picture cannot be read.
QImage standInPicture(bool selected) {
    QImage picture(TabStrip::kPictureSize, TabStrip::kPictureSize, QImage::Format_RGB32);
    picture.fill(QColor(214, 222, 232));
    QPainter painter(&picture);
    const int top = selected ? 0 : 2;
    painter.fillRect(1, top + 1, TabStrip::kPictureSize - 2, TabStrip::kPictureSize - top - 1,
                     selected ? QColor(255, 255, 255) : QColor(232, 236, 243));
    painter.setPen(QColor(140, 155, 180));
    painter.drawLine(0, top, 0, TabStrip::kPictureSize - 1);
    painter.drawLine(0, top, TabStrip::kPictureSize - 1, top);
    painter.drawLine(TabStrip::kPictureSize - 1, top, TabStrip::kPictureSize - 1,
                     TabStrip::kPictureSize - 1);
    if (!selected) {
        painter.drawLine(0, TabStrip::kPictureSize - 1, TabStrip::kPictureSize - 1,
                         TabStrip::kPictureSize - 1);
    }
    return picture;
}

QImage loadPicture(const QString& path, bool selected) {
    QImage picture(path);
    if (picture.width() != TabStrip::kPictureSize || picture.height() != TabStrip::kPictureSize) {
        return standInPicture(selected);
    }
    return picture.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

// The row of labels: a tab bar that the strip paints and measures.
class TabLabelRow final : public QTabBar {
  public:
    explicit TabLabelRow(TabStrip& strip) : QTabBar(&strip), m_strip(strip) {
        setDrawBase(false);
        setExpanding(false);
        setElideMode(Qt::ElideNone);
        setUsesScrollButtons(true);
        setFocusPolicy(Qt::NoFocus);  // the keyboard stays with the input line
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

  protected:
    QSize tabSizeHint(int index) const override {
        const int factor = m_strip.sizeFactor();
        const int text = QFontMetrics(font()).horizontalAdvance(tabText(index));
        const int width = text + 2 * TabStrip::kLabelMargin * factor;
        return QSize(std::max(width, 2 * TabStrip::kCapWidth * factor), m_strip.labelRowHeight());
    }
    QSize minimumTabSizeHint(int index) const override {
        return tabSizeHint(index);  // labels are never shortened
    }
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        m_strip.paintLabels(painter, event->rect());
    }
    void contextMenuEvent(QContextMenuEvent* event) override {
        emit m_strip.contextMenuRequested(tabAt(event->pos()), event->globalPos());
        event->accept();
    }

  private:
    TabStrip& m_strip;
};

TabStrip::TabStrip(TabRegistry& tabs, QWidget* parent)
    : QWidget(parent),
      m_tabs(tabs),
      m_selectedPicture(loadPicture(QStringLiteral(":/ui/tab_selected.bmp"), true)),
      m_otherPicture(loadPicture(QStringLiteral(":/ui/tab.bmp"), false)) {
    // Away from the tabs the row shows the other picture's corner colour over
    // its bottom row, so the base line runs on past the last tab.
    m_emptyColumn = QImage(1, kPictureSize, QImage::Format_RGB32);
    for (int y = 0; y < kPictureSize - 1; ++y) {
        m_emptyColumn.setPixel(0, y, m_otherPicture.pixel(0, 0));
    }
    m_emptyColumn.setPixel(0, kPictureSize - 1,
                           m_otherPicture.pixel(kPictureSize / 2, kPictureSize - 1));
    m_row = new TabLabelRow(*this);
    setScale(1, false);

    m_syncing = true;
    for (int i = 0; i < m_tabs.count(); ++i) {
        m_row->addTab(QString::fromStdU16String(m_tabs.pobierz_nazwe(i, std::u16string::npos)));
    }
    m_syncing = false;
    syncCurrent();
    m_tabs.setObserver(&m_observer);

    connect(m_row, &QTabBar::currentChanged, this, &TabStrip::onCurrentChanged);
    // A tap on the row hands the keyboard back to the input line.
    connect(m_row, &QTabBar::tabBarClicked, this, [this](int) { emit focusInputRequested(); });
}

TabStrip::~TabStrip() {
    m_tabs.setObserver(nullptr);
}

void TabStrip::setScale(int scaleFactor, bool vga) {
    m_scale = std::max(1, scaleFactor);
    m_vga = vga;
    m_fontSize = kFontSize * sizeFactor();
    // The labels are measured and laid out again.
    m_row->setFont(fontWithCellHeight(m_fontSize, m_row->font()));
    m_row->setGeometry(0, 0, width(), labelRowHeight());
    m_row->update();
}

int TabStrip::count() const {
    return m_row->count();
}

QString TabStrip::tabText(int index) const {
    return m_row->tabText(index);
}

QRect TabStrip::tabRect(int index) const {
    const QRect rect = m_row->tabRect(index);
    return rect.isValid() ? QRect(rect.x(), 0, rect.width(), labelRowHeight()) : QRect();
}

QTabBar* TabStrip::labelRow() const {
    return m_row;
}

void TabStrip::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_row->setGeometry(0, 0, width(), labelRowHeight());
}

void TabStrip::paintEvent(QPaintEvent* event) {
    // Only seen where no tab window covers the strip.
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor(m_emptyColumn.pixel(0, 0)));
}

void TabStrip::onTabAdded(int index) {
    m_syncing = true;
    m_row->insertTab(index,
                     QString::fromStdU16String(m_tabs.pobierz_nazwe(index, std::u16string::npos)));
    m_syncing = false;
    syncCurrent();
    emit tabAdded(index);
}

void TabStrip::onTabRemoved(int index) {
    emit tabAboutToBeRemoved(index);
    m_syncing = true;
    m_row->removeTab(index);
    m_syncing = false;
    // The registry selects the status tab next and says so.
}

void TabStrip::onSelectionChanged(int index) {
    syncCurrent();
    m_row->update();
    emit tabShown(index);
}

void TabStrip::onLabelColourChanged(int index) {
    m_row->update(m_row->tabRect(index));
}

void TabStrip::onCurrentChanged(int index) {
    if (m_syncing || index < 0 || index == m_tabs.selected()) {
        return;
    }
    if (m_tabs.select(index)) {
        m_tabs.ZmienZakladke();
    }
}

void TabStrip::syncCurrent() {
    const int selected = m_tabs.selected();
    if (selected >= 0 && selected < m_row->count() && selected != m_row->currentIndex()) {
        m_syncing = true;
        m_row->setCurrentIndex(selected);
        m_syncing = false;
    }
}

QImage TabStrip::composeTab(bool selected, int width) const {
    // Composed at unscaled size, then stretched, so the caps keep their shape.
    const int w = std::max(1, m_vga ? width : width / m_scale);
    const QImage& picture = selected ? m_selectedPicture : m_otherPicture;
    QImage composed(w, kPictureSize, QImage::Format_RGB32);
    QPainter painter(&composed);
    painter.drawImage(QRect(0, 0, kCapWidth, kPictureSize), picture,
                      QRect(0, 0, kCapWidth, kPictureSize));
    if (w - 2 * kCapWidth > 0) {
        painter.drawImage(QRect(kCapWidth, 0, w - 2 * kCapWidth, kPictureSize), picture,
                          QRect(kCapWidth, 0, kMiddleWidth, kPictureSize));
    }
    painter.drawImage(QRect(w - kCapWidth, 0, kCapWidth, kPictureSize), picture,
                      QRect(kCapWidth + kMiddleWidth, 0, kCapWidth, kPictureSize));
    return composed;
}

void TabStrip::paintLabels(QPainter& painter, const QRect& dirty) {
    // Default hints: stretched pictures keep hard pixel edges.
    painter.drawImage(QRect(0, 0, m_row->width(), labelRowHeight()), m_emptyColumn);
    painter.setFont(m_row->font());
    for (int i = 0; i < m_row->count(); ++i) {
        if (m_row->tabRect(i).intersects(dirty)) {
            paintTab(painter, i);
        }
    }
}

void TabStrip::paintTab(QPainter& painter, int index) {
    const QRect rect(m_row->tabRect(index).x(), 0, m_row->tabRect(index).width(), labelRowHeight());
    const bool selected = index == m_tabs.selected();
    // Painting the selected tab clears its mark: its lines are being seen.
    const Colour colour = m_tabs.labelColourForPaint(index);
    painter.drawImage(rect, composeTab(selected, rect.width()));
    painter.setPen(toQColor(colour));
    painter.drawText(rect.translated(0, 2), Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                     m_row->tabText(index));
}

}  // namespace kolu

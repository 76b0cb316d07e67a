#include "gui/whisper_list.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace kolu {
namespace {

// DbTworzYesNoBMP: a green tick (take) and an orange cross (dismiss), drawn
// square at 16 pixels times the scale factor.
QIcon drawnIcon(bool tick, int scaleFactor) {
    const int side = 16 * scaleFactor;
    QPixmap picture(side, side);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 16.0, side / 16.0);
    if (tick) {
        painter.setPen(
            QPen(QColor(0x1E, 0x9E, 0x2E), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPainterPath mark;
        mark.moveTo(3, 8.5);
        mark.lineTo(6.5, 12);
        mark.lineTo(13, 4);
        painter.drawPath(mark);
    } else {
        painter.setPen(QPen(QColor(0xF0, 0x7A, 0x10), 2.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(4, 4), QPointF(12, 12));
        painter.drawLine(QPointF(12, 4), QPointF(4, 12));
    }
    return QIcon(picture);
}

}  // namespace

WhisperList::WhisperList(QWidget& host, const QWidget& field, int scaleFactor)
    : QTreeWidget(&host), m_scale(scaleFactor) {
    setObjectName(QStringLiteral("111"));
    setColumnCount(4);
    header()->hide();
    header()->setMinimumSectionSize(0);
    setColumnHidden(0, true);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::NoSelection);
    setIndentation(0);
    setIconSize(QSize(16 * m_scale, 16 * m_scale));
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, QColor(255, 255, 224));
    colours.setColor(QPalette::Text, Qt::black);
    setPalette(colours);
    setFont(field.font());
    setColumnWidth(kWordColumn, 80 * m_scale);
    setColumnWidth(kTickColumn, 20 * m_scale);
    setColumnWidth(kCrossColumn, 20 * m_scale);

    const int height = 18 * m_scale;
    const QRect at(field.mapTo(&host, QPoint(0, 0)), field.size());
    const int y = height < at.top() ? at.top() - height : 0;
    setGeometry(at.left() + (3 * at.width()) / 10, y, 230, height);
    show();
    raise();
}

void WhisperList::setWords(const std::vector<std::u16string>& words) {
    const int bottom = geometry().bottom();
    clear();
    const QIcon tick = drawnIcon(true, m_scale);
    const QIcon cross = drawnIcon(false, m_scale);
    for (const std::u16string& word : words) {
        auto* row = new QTreeWidgetItem(this);
        row->setText(kWordColumn, QString::fromStdU16String(word));
        row->setIcon(kTickColumn, tick);
        if (topLevelItemCount() == 1) {
            row->setIcon(kCrossColumn, cross);
        }
        row->setSizeHint(0, QSize(0, 18 * m_scale));
    }
    int widest = 0;
    for (int i = 0; i < rows(); ++i) {
        widest = std::max(widest, fontMetrics().horizontalAdvance(word(i)));
    }
    setColumnWidth(kWordColumn, widest + 8 * m_scale);
    setColumnWidth(kTickColumn, 18 * m_scale);
    setColumnWidth(kCrossColumn, 18 * m_scale);
    const int frame = 2 * frameWidth();
    const int height = 18 * m_scale * rows() + frame;
    const int width = columnWidth(kWordColumn) + 36 * m_scale + frame;
    // Grown wider than its host, it moves left so the cross stays in sight.
    const int left = std::max(0, std::min(x(), parentWidget()->width() - width));
    setGeometry(left, bottom + 1 - height, width, height);
}

QString WhisperList::word(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->text(kWordColumn) : QString();
}

QRect WhisperList::cell(int row, int column) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? visualRect(indexFromItem(item, column)) : QRect();
}

// whispproc: a tap on a tick takes its row's word, on the cross closes the list.
void WhisperList::mousePressEvent(QMouseEvent* event) {
    QTreeWidget::mousePressEvent(event);
    const QModelIndex at = indexAt(event->position().toPoint());
    if (!at.isValid()) {
        return;
    }
    if (at.column() == kTickColumn) {
        emit taken(word(at.row()));
    } else if (at.column() == kCrossColumn && at.row() == 0) {
        emit dismissed();
    }
}

}  // namespace kolu

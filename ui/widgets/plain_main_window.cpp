#include "ui/widgets/plain_main_window.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

namespace kolu {
namespace {

QColor toQColor(Colour colour) {
    return QColor(redOf(colour), greenOf(colour), blueOf(colour));
}

}  // namespace

PlainMainWindow::PlainMainWindow(const ColourTable& colours, QWidget* parent)
    : QMainWindow(parent), m_view(new QTextEdit(this)) {
    setWindowTitle(QStringLiteral("Kolu"));
    resize(480, 640);
    m_view->setReadOnly(true);
    m_view->setFrameShape(QFrame::NoFrame);
    QPalette palette = m_view->palette();
    palette.setColor(QPalette::Base, toQColor(colours[kTextViewBackground]));
    m_view->setPalette(palette);
    setCentralWidget(m_view);
}

int PlainMainWindow::addLine(std::u16string_view, std::u16string_view text, Colour colour) {
    QTextCursor cursor(m_view->document());
    cursor.movePosition(QTextCursor::End);
    if (!m_view->document()->isEmpty()) {
        cursor.insertBlock();
    }
    QTextCharFormat format;
    format.setForeground(toQColor(colour));
    cursor.insertText(QString::fromStdU16String(std::u16string(text)), format);
    return static_cast<int>(m_view->document()->size().height());
}

QString PlainMainWindow::plainText() const {
    return m_view->toPlainText();
}

}  // namespace kolu

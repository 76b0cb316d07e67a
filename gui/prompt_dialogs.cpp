#include "gui/prompt_dialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "commands/menu_commands.h"
#include "gui/accessible_names.h"
#include "gui/qt_text.h"
#include "platform/text.h"

namespace kolu {
namespace {

// Margins and gaps kept small: the prompts must fit a 240-pixel-wide screen.
constexpr int kMargin = 6;
constexpr int kSpacing = 4;
// Where the window allows, a prompt is about this many average characters of
// its caption's font wide, so answers have room in the field.
constexpr int kPreferredChars = 30;

std::u16string answerText(const QLineEdit* field, std::size_t maxChars) {
    const std::u16string text = field->text().toStdU16String();
    return std::u16string(cutAtWholeChar(text, maxChars));
}

QVBoxLayout* columnLayout(QDialog* dialog) {
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(kSpacing);
    return layout;
}

QLabel* caption(const QString& text, QDialog* dialog) {
    auto* label = new QLabel(text, dialog);
    label->setTextFormat(Qt::PlainText);  // texts from the server must show as typed
    label->setWordWrap(true);
    return label;
}

QLineEdit* textField(int maxLength, QLabel* label, QDialog* dialog) {
    auto* field = new QLineEdit(dialog);
    field->setMaxLength(maxLength);
    label->setBuddy(field);
    return field;
}

// The confirming button (pressed by Enter) and Cancel (pressed by Escape), at the
// right edge in the order the prompts have always had.
std::pair<QPushButton*, QPushButton*> buttonRow(const QString& confirm, QDialog* dialog,
                                                QVBoxLayout* layout) {
    auto* row = new QHBoxLayout;
    row->setSpacing(kSpacing);
    row->addStretch(1);
    auto* ok = new QPushButton(confirm, dialog);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    ok->setDefault(true);
    cancel->setAutoDefault(false);
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return {ok, cancel};
}

}  // namespace

OneFieldPrompt::OneFieldPrompt(const QString& title, const QString& prompt, int maxLength,
                               bool acceptEmpty, QWidget* parent)
    : QDialog(parent), m_acceptEmpty(acceptEmpty) {
    setWindowTitle(title);
    QVBoxLayout* layout = columnLayout(this);
    m_prompt = caption(prompt, this);
    m_field = textField(maxLength, m_prompt, this);
    layout->addWidget(m_prompt);
    layout->addWidget(m_field);
    std::tie(m_ok, m_cancel) = buttonRow(QStringLiteral("OK"), this, layout);
    connect(m_field, &QLineEdit::textChanged, this, &OneFieldPrompt::updateOk);
    // Unlike the first display of the old prompt, an empty field is never
    // confirmed by accident: OK waits for text from the start.
    updateOk();
}

void OneFieldPrompt::setDialogFont(const QFont& font) {
    m_prompt->setFont(font);
    m_field->setFont(font);
}

std::u16string OneFieldPrompt::answer() const {
    return answerText(m_field, kPromptAnswerChars);
}

void OneFieldPrompt::updateOk() {
    m_ok->setEnabled(m_acceptEmpty || !m_field->text().isEmpty());
}

TwoFieldPrompt::TwoFieldPrompt(const QString& title, const QString& firstPrompt,
                               const QString& secondPrompt, int maxLength, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    QVBoxLayout* layout = columnLayout(this);
    m_firstPrompt = caption(firstPrompt, this);
    m_first = textField(maxLength, m_firstPrompt, this);
    m_secondPrompt = caption(secondPrompt, this);
    m_second = textField(maxLength, m_secondPrompt, this);
    for (QWidget* widget :
         {static_cast<QWidget*>(m_firstPrompt), static_cast<QWidget*>(m_first),
          static_cast<QWidget*>(m_secondPrompt), static_cast<QWidget*>(m_second)}) {
        layout->addWidget(widget);
    }
    std::tie(m_ok, m_cancel) = buttonRow(QStringLiteral("OK"), this, layout);
    connect(m_first, &QLineEdit::textChanged, this, &TwoFieldPrompt::updateOk);
    connect(m_second, &QLineEdit::textChanged, this, &TwoFieldPrompt::updateOk);
    updateOk();
}

void TwoFieldPrompt::setDialogFont(const QFont& font) {
    for (QWidget* widget :
         {static_cast<QWidget*>(m_firstPrompt), static_cast<QWidget*>(m_first),
          static_cast<QWidget*>(m_secondPrompt), static_cast<QWidget*>(m_second)}) {
        widget->setFont(font);
    }
}

std::u16string TwoFieldPrompt::firstAnswer() const {
    return answerText(m_first, static_cast<std::size_t>(kPromptFieldLimit));
}

std::u16string TwoFieldPrompt::answer() const {
    return answerText(m_second, kPromptAnswerChars);
}

void TwoFieldPrompt::updateOk() {
    m_ok->setEnabled(!m_first->text().isEmpty() && !m_second->text().isEmpty());
}

PickFromListPrompt::PickFromListPrompt(const QString& title, const QString& caption_,
                                       const QStringList& items, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    QVBoxLayout* layout = columnLayout(this);
    m_caption = caption(caption_, this);
    m_list = new QListWidget(this);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->addItems(items);
    m_caption->setBuddy(m_list);
    layout->addWidget(m_caption);
    layout->addWidget(m_list, 1);
    std::tie(m_remove, m_cancel) = buttonRow(QStringLiteral("Remove"), this, layout);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &PickFromListPrompt::updateRemove);
    updateRemove();
}

void PickFromListPrompt::setDialogFont(const QFont& font) {
    m_caption->setFont(font);
    m_list->setFont(font);
}

int PickFromListPrompt::pickedIndex() const {
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->row(selected.front());
}

void PickFromListPrompt::updateRemove() {
    m_remove->setEnabled(pickedIndex() != -1);
}

void fitPromptToWindow(QDialog& dialog, const QWidget* window) {
    dialog.ensurePolished();
    const QSize hint = dialog.sizeHint();
    const QSize least = dialog.minimumSizeHint();
    int width = hint.width();
    if (const QLabel* label = dialog.findChild<QLabel*>()) {
        QMargins margins = dialog.contentsMargins();
        if (const QLayout* layout = dialog.layout()) {
            margins += layout->contentsMargins();
        }
        width = std::max(width, label->fontMetrics().averageCharWidth() * kPreferredChars +
                                    margins.left() + margins.right());
    }
    if (window) {
        width = std::max(std::min(width, window->width()), least.width());
    }
    // Narrower than its hint, a prompt wraps its captions onto more lines.
    int height = dialog.hasHeightForWidth() ? dialog.heightForWidth(width) : hint.height();
    if (window) {
        height = std::max(std::min(height, window->height()), least.height());
    }
    dialog.resize(width, height);
}

namespace {

// QMessageBox sizes itself for the screen each time it is shown (wider than a
// handheld-sized window for a long text): narrowed again afterwards.
class WindowMessageBox final : public QMessageBox {
  public:
    WindowMessageBox(QWidget* parent, Icon icon, const QString& title, const QString& text,
                     StandardButtons buttons)
        : QMessageBox(icon, title, text, buttons, parent) {}

  protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        const QWidget* window = parentWidget() ? parentWidget()->window() : nullptr;
        if (!window || width() <= window->width()) {
            return;
        }
        for (QLabel* label : findChildren<QLabel*>()) {
            label->setWordWrap(true);
        }
        const int fitted = std::max(window->width(), layout()->totalMinimumSize().width());
        const int height =
            layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(fitted) : this->height();
        setFixedSize(fitted, height);
        move(window->geometry().center() - QPoint(fitted / 2, height / 2));
    }
};

}  // namespace

QMessageBox::StandardButton messageInWindow(QWidget* parent, QMessageBox::Icon icon,
                                            const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons) {
    WindowMessageBox box(parent, icon, title, text, buttons);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void QtPrompts::prepare(QDialog& dialog, std::initializer_list<QLineEdit*> fields) {
    if (m_fieldHook) {
        for (QLineEdit* field : fields) {
            m_fieldHook(dialog, *field);
        }
    }
    fitPromptToWindow(dialog, m_parent ? m_parent->window() : nullptr);
    nameControlsByTheirLabels(dialog);
}

std::optional<std::u16string> QtPrompts::promptOneField(int commandId, std::u16string_view title,
                                                        std::u16string_view prompt) {
    OneFieldPrompt dialog(qs(title), qs(prompt), promptFieldLimit(commandId),
                          promptAcceptsEmpty(commandId), m_parent);
    if (m_font) {
        dialog.setDialogFont(*m_font);
    }
    prepare(dialog, {dialog.field()});
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.answer();
}

std::optional<std::pair<std::u16string, std::u16string>> QtPrompts::promptTwoFields(
    int /*commandId*/, std::u16string_view title, std::u16string_view firstPrompt,
    std::u16string_view secondPrompt) {
    TwoFieldPrompt dialog(qs(title), qs(firstPrompt), qs(secondPrompt), kPromptFieldLimit,
                          m_parent);
    if (m_font) {
        dialog.setDialogFont(*m_font);
    }
    prepare(dialog, {dialog.firstField(), dialog.secondField()});
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return std::make_pair(dialog.firstAnswer(), dialog.answer());
}

std::optional<int> QtPrompts::pickFromList(int /*commandId*/, std::u16string_view title,
                                           std::u16string_view prompt,
                                           const std::vector<std::u16string>& items) {
    QStringList entries;
    entries.reserve(static_cast<qsizetype>(items.size()));
    for (const std::u16string& item : items) {
        entries.append(qs(item));
    }
    PickFromListPrompt dialog(qs(title), qs(prompt), entries, m_parent);
    if (m_font) {
        dialog.setDialogFont(*m_font);
    }
    prepare(dialog, {});
    if (dialog.exec() != QDialog::Accepted || dialog.pickedIndex() < 0) {
        return std::nullopt;
    }
    return dialog.pickedIndex();
}

}  // namespace kolu

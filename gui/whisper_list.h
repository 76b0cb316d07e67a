#pragma once
// The whisper list (control 111): the words offered for the word being typed,
// a tick on every row to take the row's word and a cross on the first row to
// dismiss the list, light yellow, placed just above its field and growing
// upward. It never takes the keyboard focus, so the field keeps typing.
#include <QTreeWidget>
#include <string>
#include <vector>

namespace kolu {

class WhisperList final : public QTreeWidget {
    Q_OBJECT
  public:
    static constexpr int kWordColumn = 1;
    static constexpr int kTickColumn = 2;
    static constexpr int kCrossColumn = 3;

    // DbTworzOknoWhisper: a list over `host`, placed for `field` (a widget under
    // `host`), one row high until it is filled.
    WhisperList(QWidget& host, const QWidget& field, int scaleFactor);

    // Refills the rows (DbWhisperRefresh for each word, each row made as
    // DbTworzWhisper makes it); the list keeps its left and bottom edges.
    void setWords(const std::vector<std::u16string>& words);
    QString word(int row) const;
    int rows() const { return topLevelItemCount(); }
    // The rectangle of a row's cell, for taps.
    QRect cell(int row, int column) const;

  signals:
    // The tick of a row was tapped.
    void taken(const QString& word);
    // The cross was tapped.
    void dismissed();

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    int m_scale;
};

}  // namespace kolu

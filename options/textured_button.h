#pragma once
// The options dialog's owner-drawn push buttons: a face from one of the three
// button textures (add, edit, delete) with the caption centred on it, the edit
// texture with grey text while disabled.
#include <QAbstractButton>
#include <QImage>

namespace kolu {

class TexturedButton final : public QAbstractButton {
    Q_OBJECT
  public:
    enum class Face { Add, Edit, Delete };

    TexturedButton(int id, const QString& text, Face face, int scaleFactor,
                   QWidget* parent = nullptr);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage m_face;
    QImage m_disabledFace;
    int m_scale;
};

}  // namespace kolu

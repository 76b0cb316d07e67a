#pragma once
// The links of a text view in use: the pointing hand and the address over a
// link, a click (press and release on it, without a drag or a hold) opening it,
// and the address under a point for the context menu's "Copy link". Kept apart
// from the view's painting and selection, which only learn to underline links.
#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>

namespace kolu {

class ColorEdit;

// Where a clicked address goes. The program opens it on the desktop; tests record it.
class LinkOpener {
  public:
    virtual ~LinkOpener() = default;
    virtual void openLink(const QString& address) = 0;
};

// The desktop's handler for the address's scheme; irc:// and ircs:// addresses
// go to `ircHandler` instead when one is given (the client joins them itself).
class DesktopLinkOpener final : public LinkOpener {
  public:
    explicit DesktopLinkOpener(std::function<void(const QString&)> ircHandler = {})
        : m_ircHandler(std::move(ircHandler)) {}
    void openLink(const QString& address) override;

  private:
    std::function<void(const QString&)> m_ircHandler;
};

// The address of the link drawn at `point` of the view's viewport; "" for none.
QString linkUnder(ColorEdit& view, QPoint point);

// Watches the view's viewport for hovers and clicks on links; a child of the view.
class TextViewLinks final : public QObject {
  public:
    explicit TextViewLinks(ColorEdit& view);

    // Null: the desktop opens every address.
    void setOpener(LinkOpener* opener) { m_opener = opener; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    ColorEdit& m_view;
    LinkOpener* m_opener = nullptr;
    QString m_pressed;  // the link the left button went down on
    QPoint m_pressPoint;
    QElapsedTimer m_pressTime;
    bool m_hand = false;
};

}  // namespace kolu

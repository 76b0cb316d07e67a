#pragma once
// One client per user: the first start listens on a local socket named after the
// window class and title in the user's runtime folder; a later start asks it to
// raise its window (or to open a new one), hands it the irc:// address it was
// started with, and ends.
#include <QObject>
#include <QString>

class QLocalServer;

namespace kolu {

class SingleInstance final : public QObject {
    Q_OBJECT
  public:
    // `runtimeFolder` "" means Qt's default place for local sockets.
    explicit SingleInstance(const QString& runtimeFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when another instance answered and was asked to raise its window, or
    // with `newWindow` to open another one (and to open `link` when there is one,
    // after the new window); this process should end. False when this process is
    // now the one instance.
    bool handOverToRunningInstance(const QString& link = QString(), bool newWindow = false);

    QString socketPath() const { return m_path; }

  signals:
    // A later start asked this instance to show itself.
    void raiseRequested();
    // A later start asked for a window of its own (kolu --new-window).
    void newWindowRequested();
    // A later start was given this irc:// or ircs:// address.
    void linkRequested(const QString& link);

  private:
    QString m_path;
    QLocalServer* m_server = nullptr;
};

}  // namespace kolu

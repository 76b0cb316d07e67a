#include "resources/shipped_resources.h"

#include <QDirIterator>
#include <QString>

namespace {

const QString kRoot = QStringLiteral(":/defaults");

}  // namespace

void koluInitResources() {
    // The embedded data lives in a static library: register it explicitly so it
    // is present whichever objects the linker keeps.
    Q_INIT_RESOURCE(kolu_defaults);
}

QStringList koluShippedFiles() {
    koluInitResources();
    // Listing what is embedded, rather than a second hand-kept list, means a
    // file added to the build is installed without touching this code.
    QStringList names;
    QDirIterator it(kRoot, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        names.append(it.next().mid(kRoot.size() + 1));
    }
    names.sort();
    return names;
}

#include "application_identity.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>

// The icon's resource lives in a static library, which the linker would otherwise leave out; its
// initialiser has no namespace.
static void InitAppResources() { Q_INIT_RESOURCE(app); }

namespace quorvane {

void SetApplicationIdentity() {
    InitAppResources();
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quorvane.Quorvane"));
    // From a pixmap rather than a file name: a file name makes the icon look through the icon
    // engine plugins first, a millisecond and more of the start-up, for a plain PNG.
    QApplication::setWindowIcon(QIcon(QPixmap(QStringLiteral(":/quorvane.png"))));
}

}  // namespace quorvane

#include "application_identity.h"

#include <QApplication>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>

// The icon's resource lives in a static library, which the linker would otherwise leave out; its
// initialiser has no namespace.
static void InitAppResources() { Q_INIT_RESOURCE(app); }

namespace quorvane {

void SetApplicationIdentity() {
    InitAppResources();
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quorvane.Quorvane"));
}

void SetApplicationIcon() {
    // A PNG, said so: left to guess, the reader loads every image format plugin to ask it, and
    // from a file name the icon looks through the icon engine plugins as well.
    QImageReader reader(QStringLiteral(":/quorvane.png"), "png");
    reader.setAutoDetectImageFormat(false);
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(reader.read())));
}

}  // namespace quorvane

#include "main_window.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quorvane.Quorvane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quorvane.png")));

    quorvane::Form1 window;
    // Centred on the screen the window opens on.
    window.move(window.screen()->availableGeometry().center() - window.rect().center());
    window.prepareHelpersWhenShown();
    window.show();
    return app.exec();
}

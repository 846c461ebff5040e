#include "application_identity.h"
#include "main_window.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    quorvane::SetApplicationIdentity();

    quorvane::Form1 window;
    // Centred on the screen the window opens on.
    window.move(window.screen()->availableGeometry().center() - window.rect().center());
    window.prepareHelpersWhenShown();
    QObject::connect(&window, &quorvane::Form1::firstFrameDrawn, &quorvane::SetApplicationIcon);
    window.show();
    return app.exec();
}

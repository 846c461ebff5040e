#include "engine_application.h"

#include "router_scheme.h"

#include <QLoggingCategory>

namespace quorvane {

namespace {

QtMessageHandler previousHandler = nullptr;  // Qt's own, which prints

// QTWEBENGINE_6_8_QUIRK spell-check-notice: 6.8 looks for spell-check dictionaries at start-up,
// although nothing here checks spelling, and says so on standard error when it finds none.
void DropStartUpNotices(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg &&
        text.startsWith(QLatin1String("The following paths were searched for Qt WebEngine "
                                      "dictionaries:"))) {
        return;
    }
    if (previousHandler) previousHandler(type, context, text);
}

}  // namespace

EngineApplication::EngineApplication(const char* program, const QStringList& chromiumSwitches) {
    // Nothing is shown; the engine draws off screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // QTWEBENGINE_6_4_QUIRK switches-after-webengineargs: the engine takes switches from the
    // program's arguments only after this word (and from its flag variable, split at blanks).
    arguments_ = {QByteArray(program), QByteArray("--webEngineArgs")};
    for (const QString& value : chromiumSwitches) arguments_.push_back(value.toLocal8Bit());
    for (QByteArray& value : arguments_) argv_.push_back(value.data());
    argv_.push_back(nullptr);
    argc_ = int(arguments_.size());

    RegisterRouterScheme();
    // QTWEBENGINE_6_4_QUIRK share-context-warning: the engine draws nothing, yet looks for a
    // context to share before it starts and complains when there is none.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    app_ = std::make_unique<QGuiApplication>(argc_, argv_.data());
    // QTWEBENGINE_6_4_QUIRK start-up-settings-printed: the engine's start lists its settings at
    // the info level; they are not the program's news.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    previousHandler = qInstallMessageHandler(DropStartUpNotices);
}

}  // namespace quorvane

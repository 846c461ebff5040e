#include "helper_environment.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QStringList>

#include <cstdlib>

extern char** environ;

namespace quorvane {

namespace {

QStringList setCommands[2];  // by Helper, for tests

bool HelperNeeds(const QString& name) {
    static const QStringList kKept{
        QStringLiteral("PATH"),  // a wrapper of a test, a sanitizer's symbolizer
        QStringLiteral("HOME"),
        QStringLiteral("TMPDIR"),
        QStringLiteral("TZ"),
        QStringLiteral("LANG"),
        QStringLiteral("LANGUAGE"),
        QStringLiteral("XDG_RUNTIME_DIR"),
        QStringLiteral("XDG_CONFIG_HOME"),
        QStringLiteral("XDG_CACHE_HOME"),
        QStringLiteral("XDG_DATA_HOME"),
        QStringLiteral("XDG_CONFIG_DIRS"),
        QStringLiteral("XDG_DATA_DIRS"),
        // Read only by a build with the sanitizers, whose helpers report with the program.
        QStringLiteral("ASAN_OPTIONS"),
        QStringLiteral("UBSAN_OPTIONS"),
        QStringLiteral("LSAN_OPTIONS"),
    };
    return kKept.contains(name) || name.startsWith(QLatin1String("LC_"));
}

// What the engine would take from its environment to change how it starts or where it goes.
bool EngineOverride(const QByteArray& name) {
    if (name.startsWith("QTWEBENGINE_")) return true;
    const QByteArray lower = name.toLower();
    return lower.endsWith("_proxy") || lower == "socks_server" || lower == "socks_version";
}

}  // namespace

QProcessEnvironment HelperEnvironment(const QProcessEnvironment& from) {
    QProcessEnvironment environment;
    for (const QString& name : from.keys()) {
        if (HelperNeeds(name)) environment.insert(name, from.value(name));
    }
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return environment;
}

void ForgetEngineOverrides() {
    QList<QByteArray> names;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const QByteArray entryText(*entry);
        const QByteArray name = entryText.left(entryText.indexOf('='));
        if (EngineOverride(name)) names << name;
    }
    for (const QByteArray& name : names) ::unsetenv(name.constData());
}

QStringList HelperCommand(Helper helper) {
    if (!setCommands[int(helper)].isEmpty()) return setCommands[int(helper)];
    const QString name = helper == Helper::Engine ? QStringLiteral("quorvane-engine")
                                                  : QStringLiteral("quorvane-page-reader");
    const QDir bin(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {bin.filePath(name), bin.filePath(QStringLiteral(QUORVANE_HELPERS_FROM_BIN "/") + name)}) {
        if (QFileInfo(candidate).isExecutable()) return {QDir::cleanPath(candidate)};
    }
    return {};
}

void SetHelperCommand(Helper helper, const QStringList& command) {
    setCommands[int(helper)] = command;
}

}  // namespace quorvane

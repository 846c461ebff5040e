#include "helper_program.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace quorvane {

namespace {
QStringList setCommands[2];  // by Helper
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

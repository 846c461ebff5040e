#pragma once

#include <QCoreApplication>
#include <QProcess>

namespace quorvane {

// Kills a helper process that its owner is done with, without waiting for it. A killed helper
// takes a moment to give its memory back, and QProcess's destructor would wait for that on this
// thread; so the process object outlives the helper until the system reports the end, and goes
// with the application at the latest. Its signals reach nobody from now on.
inline void EndWithoutWaiting(QProcess* process) {
    if (!process) return;
    process->disconnect();
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    process->kill();
    if (QCoreApplication::instance() == nullptr) {
        delete process;  // no event loop will report the end
        return;
    }
    process->setParent(QCoreApplication::instance());
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
}

}  // namespace quorvane

#pragma once

#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>

#include <algorithm>

#include <unistd.h>

// The processes this program started, directly or not (page readers, the web engine's), and the
// CPU they have used: what a user sees of the program in a process monitor. Tests and the
// benchmark probe share it.
struct ProcessTree {
    QList<qint64> pids;  // the root first
    qint64 cpuTicks = 0;

    static ProcessTree ofThisProcess() { return of(::getpid()); }

    static QByteArray commandLine(qint64 pid) {
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
        return file.open(QIODevice::ReadOnly) ? file.readAll().replace('\0', ' ') : QByteArray();
    }

    // Alive, and not merely waiting for its parent to hear of its end.
    static bool alive(qint64 pid) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) return false;
        const QByteArray line = stat.readAll();
        return line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
    }

    // Whether a live process of the tree runs the program of that file name.
    bool runs(const QByteArray& program) const {
        return std::any_of(pids.begin(), pids.end(), [&](qint64 pid) {
            const QByteArray path = commandLine(pid).split(' ').value(0);
            return alive(pid) && path.mid(path.lastIndexOf('/') + 1) == program;
        });
    }

    // `root` and the processes it started, directly or not.
    static ProcessTree of(qint64 root) {
        QHash<qint64, QList<qint64>> children;
        QHash<qint64, qint64> ticks;
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            bool numeric = false;
            const qint64 pid = entry.toLongLong(&numeric);
            if (!numeric) continue;
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly)) continue;
            // The name may hold blanks and parentheses; the fields follow its last ')'.
            const QByteArray line = stat.readAll();
            const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (fields.size() < 13) continue;
            children[fields[1].toLongLong()].append(pid);
            ticks[pid] = fields[11].toLongLong() + fields[12].toLongLong();  // utime + stime
        }
        ProcessTree tree;
        tree.pids.append(root);
        for (qsizetype i = 0; i < tree.pids.size(); ++i) {
            tree.cpuTicks += ticks.value(tree.pids[i]);
            tree.pids.append(children.value(tree.pids[i]));
        }
        return tree;
    }
};

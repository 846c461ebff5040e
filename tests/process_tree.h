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

    // The fields of /proc/PID/stat after the command name, which may hold blanks and
    // parentheses itself: the state first, the parent's id second. Empty once the process is gone.
    static QList<QByteArray> statFields(qint64 pid) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) return {};
        const QByteArray line = stat.readAll();
        const qsizetype nameEnd = line.lastIndexOf(')');
        return nameEnd < 0 ? QList<QByteArray>() : line.mid(nameEnd + 2).split(' ');
    }

    // Alive, and not merely waiting for its parent to hear of its end.
    static bool alive(qint64 pid) {
        const QList<QByteArray> fields = statFields(pid);
        return !fields.isEmpty() && fields[0] != "Z";
    }

    // When the process started, in clock ticks since the system's start.
    static qint64 startTicks(qint64 pid) { return statFields(pid).value(19).toLongLong(); }

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
            const QList<QByteArray> fields = statFields(pid);
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

#include "log_copy_file.h"

#include <QByteArray>
#include <QFile>
#include <QStringEncoder>
#include <QStringView>

namespace quorvane {

namespace {

constexpr QStringView kLineEnd = u"\r\n";

QString HeaderText(LogKind kind) {
    switch (kind) {
        case LogKind::System:
            return QStringLiteral("Router log saved on ");
        case LogKind::Security:
            return QStringLiteral("Router security log saved on ");
    }
    return {};
}

// Several locales (en_US "M/d/yy", de_DE "dd.MM.yy") abbreviate the year in their short format,
// which would make a file that grows over many years ambiguous. The locale keeps the order and
// separators; only a two-digit year field is widened. Quoted literal text is left alone.
QString ShortDateFormatWithFullYear(const QLocale& locale) {
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QString widened;
    widened.reserve(format.size() + 2);
    bool inQuote = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            inQuote = !inQuote;
        } else if (!inQuote && c == u'y') {
            qsizetype run = 1;
            while (i + run < format.size() && format.at(i + run) == u'y') ++run;
            widened += QString(run == 2 ? 4 : run, u'y');
            i += run;
            continue;
        }
        widened += c;
        ++i;
    }
    return widened;
}

QString FailureSentence(const QString& path, const QString& reason) {
    return QStringLiteral("The log could not be copied to %1: %2.").arg(path, reason);
}

}  // namespace

QStringList DatedLogLines(const QString& logText) {
    QStringList lines;
    const QStringView text(logText);
    if (text.isEmpty()) return lines;
    qsizetype start = 0;
    while (true) {
        const qsizetype end = text.indexOf(kLineEnd, start);
        const QStringView piece = text.sliced(start, (end < 0 ? text.size() : end) - start);
        if (piece.contains(u'/')) lines.append(piece.toString());
        if (end < 0) break;
        start = end + kLineEnd.size();
    }
    return lines;
}

LogCopyResult AppendLogCopy(const QString& appFolder, const QString& logText, LogKind kind,
                            const QDate& today, const QLocale& locale) {
    // The whole block goes out in one append so that a failure can be undone by cutting the
    // file back to its former length; line by line writing could leave half a block behind.
    QString block = HeaderText(kind) + locale.toString(today, ShortDateFormatWithFullYear(locale));
    block += kLineEnd;
    for (const QString& line : DatedLogLines(logText)) {
        block += line;
        block += kLineEnd;
    }
    QStringEncoder encoder(QStringConverter::System);
    const QByteArray bytes = encoder.encode(block);

    const QString path = appFolder + QLatin1String(kLogCopyFileName);
    QFile file(path);
    // Unbuffered, so that a full disk is reported by write() itself and not later by close().
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        return {false, FailureSentence(path, file.errorString())};
    }
    const qint64 sizeBefore = file.size();

    // A short write (a disk filling up) is followed by another attempt, which fails with the
    // system's reason for the sentence to the user.
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) break;
        written += n;
    }
    bool ok = written == bytes.size() && file.flush();
    QString reason = ok ? QString() : file.errorString();
    if (!ok && !file.isSequential()) file.resize(sizeBefore);  // a device cannot be cut back

    file.close();
    if (ok && file.error() != QFileDevice::NoError) {
        ok = false;
        reason = file.errorString();
        QFile::resize(path, sizeBefore);
    }
    if (!ok) return {false, FailureSentence(path, reason)};
    return {true, QString()};
}

}  // namespace quorvane

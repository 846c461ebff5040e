#pragma once

#include "helper_environment.h"
#include "main_window.h"
#include "page_loader.h"
#include "router_sim.h"
#include "wait_until.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// Drives the real window the way a user does: finds controls by name, types, ticks and presses.
class WindowDriver {
public:
    static constexpr int kWaitMs = 20'000;

    QTemporaryDir appDir;  // the program's folder, where the copy file goes
    std::unique_ptr<quorvane::Form1> form;

    // `programFolder`: where the window takes the program to be; appDir unless given.
    // `prepareHelpers`: as the program starts it, with the helpers made ready after its first
    // frame.
    bool open(const QString& programFolder = {}, bool prepareHelpers = false) {
        quorvane::SetHelperCommand(quorvane::Helper::PageReader,
                                   {QStringLiteral(QUORVANE_PAGE_READER)});
        quorvane::SetHelperCommand(quorvane::Helper::Engine,
                                   {QStringLiteral(QUORVANE_ENGINE_HELPER)});
        form = std::make_unique<quorvane::Form1>(programFolder.isEmpty() ? appDir.path()
                                                                         : programFolder);
        if (prepareHelpers) form->prepareHelpersWhenShown();
        form->show();
        return QTest::qWaitForWindowExposed(form.get());
    }
    void close() {
        form.reset();
        QFile::remove(copyFilePath());
        QDir(copyFilePath()).removeRecursively();
    }

    template <typename T = QWidget>
    T* control(const char* name) const {
        T* widget = form->findChild<T*>(QLatin1String(name));
        if (!widget) qFatal("no control %s", name);
        return widget;
    }
    QString text(const char* name) const { return textOf(control(name)); }

    void typeLogin(const routersim::RouterSim& sim, const QString& password) {
        control<QLineEdit>("txtPass")->setText(password);
        control<QLineEdit>("txtIP")->setText(QString::fromStdString(sim.host()));
        control<QLineEdit>("txtPort")->setText(QString::number(sim.port()));
    }
    // The window's navigations from now on, held to shorter limits than a user's.
    void setLimits(const quorvane::NavigationLimits& limits) {
        form->findChild<quorvane::PageReaders*>()->setLimits(limits);
    }
    void tick(const char* name, Qt::CheckState state = Qt::Checked) {
        auto* box = control<QCheckBox>(name);
        box->setTristate(state == Qt::PartiallyChecked);
        box->setCheckState(state);
    }
    bool busy() const { return form->cursor().shape() == Qt::BusyCursor; }
    // Presses a button and waits until the exchange with the router is over.
    [[nodiscard]] bool press(const char* button, int timeoutMs = kWaitMs) {
        QTest::mouseClick(control(button), Qt::LeftButton);
        return WaitUntil([this] { return !busy(); }, timeoutMs);
    }

    QString copyFilePath() const { return appDir.filePath(QStringLiteral("syslog.txt")); }
    QByteArray copyFile() const {
        QFile file(copyFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static QString textOf(const QWidget* widget) {
        if (auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
        if (auto* edit = qobject_cast<const QLineEdit*>(widget)) return edit->text();
        if (auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
        if (auto* box = qobject_cast<const QGroupBox*>(widget)) return box->title();
        if (auto* log = qobject_cast<const QPlainTextEdit*>(widget)) return log->toPlainText();
        return {};
    }
};

// The log's lines that hold `needle`, the last in the page first, each ended by a line end: what
// the results box lists. With `fromNeedle`, each line is cut from the needle on.
inline QString NewestFirst(const std::string& log, const QString& needle, bool fromNeedle = false) {
    QStringList picked;
    for (const QString& line : QString::fromStdString(log).split(u'\n')) {
        const qsizetype at = line.indexOf(needle);
        if (at >= 0) picked.prepend((fromNeedle ? line.mid(at) : line) + u'\n');
    }
    return picked.join(QString());
}

// The rest of the line after the first `marker` in the log.
inline QString ValueAfter(const std::string& log, const QString& marker) {
    const QString text = QString::fromStdString(log);
    const qsizetype at = text.indexOf(marker);
    if (at < 0) return {};
    const qsizetype start = at + marker.size();
    return text.mid(start, text.indexOf(u'\n', start) - start);
}

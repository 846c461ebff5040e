#pragma once

#include "helper_environment.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QProcess;

namespace quorvane {

// Reads a page with the static renderer in a helper process (quorvane-page-reader) held to CPU
// and memory limits, so that a page built to be slow or to eat memory is stopped by the system
// and can be abandoned at any moment: a read that is replaced or whose reader is destroyed has
// its helper killed at once, without waiting on this thread for it to go.
class StaticPageReader : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Text,         // the page's text, exactly as the browser engine would give it
        NeedsEngine,  // only the engine can give this page's text exactly
        TooComplex,   // the helper hit its CPU or memory limit, or crashed
        Unavailable,  // there is no helper to run
    };
    Q_ENUM(Outcome)

    struct Limits {
        qint64 memoryBytes = kHelperMemoryBytes;  // address space of the helper
        int cpuSeconds = 20;
        bool operator==(const Limits&) const = default;
    };

    explicit StaticPageReader(QObject* parent = nullptr);
    StaticPageReader(Limits limits, QObject* parent = nullptr);
    ~StaticPageReader() override;

    // Starts the helper ahead of its page, which waits for it at no cost: read() then saves the
    // process's start.
    void prepare();
    // Starts reading and returns at once; finished() follows, never from within this call. A
    // read still under way is abandoned and reports nothing.
    void read(const QByteArray& body, const QByteArray& contentType);
    const Limits& limits() const { return limits_; }

    // Whether this build can limit the helper's memory: AddressSanitizer reserves terabytes of
    // address space for its shadow memory, so a helper built with it runs under the CPU limit only.
    static bool limitsMemory();

signals:
    // `text` is set for Outcome::Text only.
    void finished(quorvane::StaticPageReader::Outcome outcome, const QString& text);

private:
    bool startHelper();
    void dropHelper();
    void onProcessFinished(bool succeeded);
    void finishLater(quint64 read, Outcome outcome);
    void finish(Outcome outcome, const QString& text = {});
    void abandon();

    Limits limits_;
    QPointer<QProcess> process_;
    quint64 reads_ = 0;     // the read whose result may still be reported
    bool reading_ = false;  // the helper has its page
};

}  // namespace quorvane

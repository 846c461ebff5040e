#pragma once

#include "engine_protocol.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>

namespace quorvane {

class EngineHost;
class EngineRender;

// The helper's side of its pipes: takes the program's messages from `inFd`, renders the pages it
// is sent, passes each of their requests back, and says how each page ended on `outFd`. When the
// program closes its end, the helper quits.
class EngineService : public QObject {
    Q_OBJECT
public:
    EngineService(int inFd, int outFd, EngineHost* host, QObject* parent = nullptr);
    ~EngineService() override;

    void send(const engine_protocol::Message& message);

private:
    void onReadable();
    void handle(const engine_protocol::Message& message);
    void open(const engine_protocol::Message& message);
    void close(quint64 page);

    int inFd_;
    int outFd_;
    EngineHost* host_;
    QSocketNotifier notifier_;
    engine_protocol::FrameReader reader_{engine_protocol::kMaxFrameToHelper};
    QHash<quint64, QPointer<EngineRender>> renders_;
};

}  // namespace quorvane

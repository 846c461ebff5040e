#pragma once

#include "connection_slot.h"
#include "fetch_failure.h"
#include "http_response_parser.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

class QTcpSocket;
class QTimer;

namespace quorvane {

struct FetchLimits {
    int idleTimeoutMs = 30'000;        // no byte received for this long ends the fetch
    qint64 maxHeaderBytes = 64 << 10;  // all header blocks of one answer together
    qint64 maxTotalBytes = 32 << 20;   // header and body of one answer as they travel
};

// Sent only to the origin that was asked for, and only once it asks for them.
struct FetchCredentials {
    QString user;
    QString password;
    bool isEmpty() const { return user.isEmpty() && password.isEmpty(); }
};

// The credentials that a URL's user information names (none when it has no user information).
FetchCredentials CredentialsFromUserInfo(const QUrl& url);

// Whether the WWW-Authenticate fields of a 401 answer offer the Basic scheme among their
// challenges.
bool OffersBasicChallenge(const QList<QByteArray>& wwwAuthenticate);

enum class RedirectPolicy {
    SamePath,  // the page itself: a redirect may change the query, never the path
    AnyPath,   // a page's own resources: any path of the same origin
};

struct FetchedPage {
    QUrl url;  // where the page was read in the end, without user information
    int status = 0;
    QByteArray contentType;
    QByteArray body;
};

// One HTTP/1.1 GET on a connection of its own per request, with redirects followed by hand within
// the origin that was asked for. Every received byte is counted, so neither an endless header nor
// an endless body can take more than the limits allow. Emits exactly one of finished() or
// failed(), unless it is destroyed first: destruction aborts the connection at once, and no
// signal follows.
class PageFetch : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxRedirects = 10;

    PageFetch(const QUrl& url, const FetchCredentials& credentials, RedirectPolicy policy,
              const FetchLimits& limits, QObject* parent = nullptr);
    ~PageFetch() override;

    void start();
    // Drops the connection and stays silent from now on; what destruction does, for a fetch that
    // cannot be destroyed on the spot.
    void abort();

signals:
    void finished(const quorvane::FetchedPage& page);
    void failed(const quorvane::FetchFailure& failure);

private:
    void request(const QUrl& target);
    void connectToRouter();
    QByteArray requestHead();
    void onReadyRead();
    void onDisconnected();
    void onSocketError();
    void onIdle();
    void answered();
    void fail(FetchFailure::Kind kind, const QString& details = {}, int status = 0);
    void dropSocket();
    QString address() const;

    const QUrl origin_;  // scheme, host and port that may see the credentials
    const QString path_;
    const FetchCredentials credentials_;
    const RedirectPolicy policy_;
    const FetchLimits limits_;

    QUrl current_;
    ConnectionSlot slot_;  // a connection of its own, when the router may take one more
    QTcpSocket* socket_ = nullptr;
    QTimer* idle_ = nullptr;
    std::unique_ptr<HttpResponseParser> parser_;
    bool sendCredentials_ = false;  // the router has asked for them
    bool credentialsSent_ = false;  // with the request now under way
    int redirects_ = 0;
    bool done_ = false;
};

}  // namespace quorvane

Q_DECLARE_METATYPE(quorvane::FetchedPage)

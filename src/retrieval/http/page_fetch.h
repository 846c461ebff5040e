#pragma once

#include "connection_slot.h"
#include "credential_keeper.h"
#include "http_response_parser.h"
#include "page_failure.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QTcpSocket;
class QTimer;

namespace quorvane {

// The limits of each answer, as the parser keeps them, and of the router's silence.
struct FetchLimits : HttpLimits {
    int idleTimeoutMs = 30'000;  // no byte received for this long ends the fetch
};

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
// the origin that was asked for, and the credentials that `keeper` holds for that origin sent
// when the keeper says so or the router asks for them. Every received byte is counted, so neither
// an endless header nor an endless body can take more than the limits allow. Emits exactly one of
// finished() or failed(), unless it is destroyed first: destruction aborts the connection at once,
// and no signal follows.
class PageFetch : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxRedirects = 10;

    PageFetch(const QUrl& url, CredentialKeeper* keeper, RedirectPolicy policy,
              const FetchLimits& limits, QObject* parent = nullptr);
    ~PageFetch() override;

    // For a request whose answer is the router's yes or no rather than a page: any 2xx status of
    // the final answer finishes the fetch as soon as its header is in, with no body. Before
    // start().
    void takeStatusOnly() { statusOnly_ = true; }
    // For a request made on another's behalf: every address the fetch would send a request to,
    // the first and each redirect's, must pass `mayRequest`; at the first that does not, the fetch
    // fails without sending it. Before start().
    void limitTargets(std::function<bool(const QUrl&)> mayRequest) {
        mayRequest_ = std::move(mayRequest);
    }

    void start();
    // Drops the connection and stays silent from now on; what destruction does, for a fetch that
    // cannot be destroyed on the spot.
    void abort();

signals:
    void finished(const quorvane::FetchedPage& page);
    void failed(const quorvane::PageFailure& failure);

private:
    void request(const QUrl& target);
    void connectToRouter();
    QByteArray requestHead();
    void onReadyRead();
    void onDisconnected();
    void onSocketError();
    void onIdle();
    void answered();
    void finish(const FetchedPage& page);
    void fail(PageFailure::Kind kind, PageFailure::Details details = {}, int status = 0);
    void dropSocket();
    QString address() const;

    const QUrl origin_;  // scheme, host and port that may see the credentials
    const QString path_;
    const QPointer<CredentialKeeper> keeper_;
    const RedirectPolicy policy_;
    const FetchLimits limits_;
    std::function<bool(const QUrl&)> mayRequest_;

    QUrl current_;
    ConnectionSlot slot_;  // a connection of its own, when the router may take one more
    QTcpSocket* socket_ = nullptr;
    QTimer* idle_ = nullptr;
    std::unique_ptr<HttpResponseParser> parser_;
    bool statusOnly_ = false;
    bool credentialsSent_ = false;  // with the request now under way
    int redirects_ = 0;
    bool done_ = false;
};

// Makes the fetch of one of a page's own resources, held to `limits`. The page's component
// supplies it, with the credentials it keeps; it may give none, and the resource is refused.
using ResourceFetcher =
    std::function<PageFetch*(const QUrl& url, const FetchLimits& limits, QObject* parent)>;

}  // namespace quorvane

Q_DECLARE_METATYPE(quorvane::FetchedPage)

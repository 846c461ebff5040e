#include "page_fetch.h"

#include "origin.h"

#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace quorvane {

namespace {

// Qt stops reading from the system once this much waits unread, so a flood never piles up in
// memory between two reads of ours.
constexpr qint64 kReadBufferBytes = 256 << 10;
constexpr qint64 kReadPieceBytes = 64 << 10;

QUrl Bare(QUrl url) {
    url.setUserInfo({});
    url.setFragment({});
    return url;
}

QString PathOf(const QUrl& url) {
    const QString path = url.path(QUrl::FullyDecoded);
    return path.isEmpty() ? QStringLiteral("/") : path;
}

// The path and query as they go on the request line; empty when the URL holds something that
// must not travel there.
QByteArray RequestTarget(const QUrl& url) {
    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty()) target = "/";
    if (url.hasQuery()) target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    const bool clean = std::all_of(target.begin(), target.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7F;
    });
    return clean && target.startsWith('/') ? target : QByteArray();
}

bool IsTokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

}  // namespace

// A challenge list mixes schemes and their parameters, separated by commas alike; a scheme is
// the token that starts an element and is not followed by "=", and quoted strings may hide
// commas.
bool OffersBasicChallenge(const QList<QByteArray>& fields) {
    for (const QByteArray& field : fields) {
        qsizetype i = 0;
        bool elementStart = true;
        while (i < field.size()) {
            const char c = field[i];
            if (c == '"') {
                for (++i; i < field.size() && field[i] != '"'; ++i) {
                    if (field[i] == '\\') ++i;
                }
                ++i;
                elementStart = false;
            } else if (c == ',') {
                elementStart = true;
                ++i;
            } else if (c == ' ' || c == '\t') {
                ++i;
            } else if (IsTokenChar(c)) {
                const qsizetype start = i;
                while (i < field.size() && IsTokenChar(field[i])) ++i;
                qsizetype next = i;
                while (next < field.size() && (field[next] == ' ' || field[next] == '\t')) ++next;
                const bool isParameter = next < field.size() && field[next] == '=';
                if (elementStart && !isParameter &&
                    QByteArrayView(field)
                            .sliced(start, i - start)
                            .compare("Basic", Qt::CaseInsensitive) == 0)
                    return true;
                elementStart = false;
            } else {
                elementStart = false;
                ++i;
            }
        }
    }
    return false;
}

namespace {

// The first coding of a Content-Encoding or Transfer-Encoding value that changes the bytes, or
// an empty text when there is none. Chunked framing has been undone by the parser already.
QString ForeignCoding(const QByteArray& value, bool transfer) {
    for (QByteArray coding : value.split(',')) {
        coding = coding.left(coding.indexOf(';') < 0 ? coding.size() : coding.indexOf(';'))
                     .trimmed()
                     .toLower();
        if (coding.isEmpty() || coding == "identity" || (transfer && coding == "chunked")) continue;
        return ShortDetailFromBytes(coding);
    }
    return {};
}

bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

PageFetch::PageFetch(const QUrl& url, CredentialKeeper* keeper, RedirectPolicy policy,
                     const FetchLimits& limits, QObject* parent)
    : QObject(parent),
      origin_(Bare(url)),
      path_(PathOf(origin_)),
      keeper_(keeper),
      policy_(policy),
      limits_(limits),
      idle_(new QTimer(this)) {
    idle_->setSingleShot(true);
    connect(idle_, &QTimer::timeout, this, &PageFetch::onIdle);
}

PageFetch::~PageFetch() { abort(); }

// Never inside the caller's own call: every outcome arrives later, from the event loop.
void PageFetch::start() {
    QTimer::singleShot(0, this, [this] {
        if (!done_) request(origin_);
    });
}

void PageFetch::abort() {
    done_ = true;
    idle_->stop();
    dropSocket();
}

void PageFetch::dropSocket() {
    slot_.release();
    if (!socket_) return;
    socket_->disconnect(this);
    socket_->abort();
    // Possibly inside one of its own signals: deleted by the event loop, or with this object.
    socket_->deleteLater();
    socket_ = nullptr;
}

QString PageFetch::address() const { return Origin(current_).authority(); }

void PageFetch::request(const QUrl& target) {
    current_ = target;
    dropSocket();
    if (!target.isValid() || target.scheme() != QLatin1String("http") || target.host().isEmpty() ||
        RequestTarget(target).isEmpty()) {
        fail(PageFailure::Kind::InvalidAddress, target.toString());
        return;
    }
    if (mayRequest_ && !mayRequest_(target)) {
        fail(PageFailure::Kind::OtherPath, PathOf(target));
        return;
    }
    parser_ = std::make_unique<HttpResponseParser>(limits_);
    credentialsSent_ = keeper_ && keeper_->sendsAtOnce(target);
    slot_.acquire(address(), [this] { connectToRouter(); });
}

void PageFetch::connectToRouter() {
    socket_ = new QTcpSocket(this);
    socket_->setProxy(QNetworkProxy::NoProxy);  // a router on the local network, always direct
    socket_->setReadBufferSize(kReadBufferBytes);
    connect(socket_, &QTcpSocket::readyRead, this, &PageFetch::onReadyRead);
    connect(socket_, &QTcpSocket::disconnected, this, &PageFetch::onDisconnected);
    connect(socket_, &QTcpSocket::errorOccurred, this, &PageFetch::onSocketError);
    idle_->start(limits_.idleTimeoutMs);
    QTcpSocket* socket = socket_;
    const Origin router(current_);
    socket->connectToHost(router.host(), quint16(router.port()));
    // Buffered until the connection stands, then sent in one piece; unless the attempt has
    // failed already, inside connectToHost().
    if (socket == socket_) socket->write(requestHead());
}

QByteArray PageFetch::requestHead() {
    const Origin router(current_);
    QByteArray head =
        "GET " + RequestTarget(current_) + " HTTP/1.1\r\nHost: " + router.urlHost().toLatin1();
    if (router.port() != 80) head += ':' + QByteArray::number(router.port());
    // One connection per request, so no byte of an earlier answer can be read as a later one;
    // no compression, because we would have to undo it and a bomb would hide behind it.
    head +=
        "\r\nAccept: */*\r\n"
        "Accept-Encoding: identity\r\n"
        "Connection: close\r\n";
    if (credentialsSent_ && keeper_) {
        const FetchCredentials credentials = keeper_->credentialsFor(current_);
        const QString pair = credentials.user + u':' + credentials.password;
        head += "Authorization: Basic " + pair.toUtf8().toBase64() + "\r\n";
    }
    return head + "\r\n";
}

void PageFetch::onReadyRead() {
    QTcpSocket* socket = socket_;
    while (!done_ && socket == socket_ && socket->bytesAvailable() > 0) {
        idle_->start(limits_.idleTimeoutMs);
        const bool whole =
            parser_->feed(socket->read(kReadPieceBytes)) != HttpResponseParser::State::Incomplete;
        if (whole || (statusOnly_ && parser_->headerComplete())) {
            answered();
            return;
        }
    }
}

// The end of the stream ends an answer framed by it, and cuts any other.
void PageFetch::onDisconnected() {
    if (done_ || !socket_) return;
    QTcpSocket* socket = socket_;
    onReadyRead();
    if (done_ || socket != socket_) return;
    parser_->finish();
    answered();
}

void PageFetch::onSocketError() {
    if (done_ || !socket_) return;
    const QAbstractSocket::SocketError error = socket_->error();
    // A reset after part of the answer is an end of stream as much as an orderly close.
    if (error == QAbstractSocket::RemoteHostClosedError || parser_->bytesConsumed() > 0 ||
        socket_->bytesAvailable() > 0) {
        onDisconnected();
        return;
    }
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            fail(PageFailure::Kind::ConnectionRefused);
            break;
        case QAbstractSocket::HostNotFoundError:
            fail(PageFailure::Kind::HostNotFound, current_.host());
            break;
        default:
            fail(PageFailure::Kind::NetworkError, socket_->errorString());
            break;
    }
}

void PageFetch::onIdle() {
    if (done_) return;
    fail(parser_ && parser_->bytesConsumed() > 0 ? PageFailure::Kind::Stalled
                                                 : PageFailure::Kind::NoAnswer,
         TimeLimit{limits_.idleTimeoutMs});
}

void PageFetch::answered() {
    using Kind = PageFailure::Kind;
    using State = HttpResponseParser::State;
    idle_->stop();
    const HttpResponseParser& answer = *parser_;
    switch (answer.state()) {
        case State::Incomplete:
        case State::Complete:
            break;
        case State::Cut:
            fail(answer.bytesConsumed() == 0 ? Kind::ClosedWithoutAnswer : Kind::Cut);
            return;
        case State::NotHttp:
            fail(Kind::NotHttp);
            return;
        case State::Malformed:
            fail(Kind::Malformed, QString::fromLatin1(answer.error()));
            return;
        case State::HeaderTooLarge:
            fail(Kind::HeaderTooLarge, ByteLimit{limits_.maxHeaderBytes});
            return;
        case State::TooLarge:
            fail(Kind::TooLarge, ByteLimit{limits_.maxTotalBytes});
            return;
    }
    const int status = answer.status();
    const QString reason = ShortDetailFromBytes(answer.reasonPhrase());

    if (status == 401) {
        if (!credentialsSent_ && keeper_ && !keeper_->credentialsFor(current_).isEmpty() &&
            OffersBasicChallenge(answer.headerValues("WWW-Authenticate"))) {
            keeper_->noteChallenge(current_);  // from now on every request there carries them
            request(current_);
        } else {
            fail(credentialsSent_ ? Kind::PasswordRefused : Kind::LoginNotOffered, reason, status);
        }
        return;
    }

    if (IsRedirect(status)) {
        const QList<QByteArray> locations = answer.headerValues("Location");
        const QUrl location(QString::fromUtf8(locations.value(0)).trimmed());
        if (locations.size() != 1 || locations[0].trimmed().isEmpty() || !location.isValid()) {
            fail(Kind::RedirectWithoutTarget, reason, status);
            return;
        }
        const QUrl target = Bare(current_.resolved(location));
        if (!target.isValid() || Origin(target) != Origin(origin_)) {
            fail(Kind::OtherOrigin, target.toString(), status);
        } else if (++redirects_ > kMaxRedirects) {
            fail(Kind::TooManyRedirects, {}, status);
        } else if (policy_ == RedirectPolicy::SamePath &&
                   PathOf(target).compare(path_, Qt::CaseInsensitive) != 0) {
            fail(Kind::OtherPath, PathOf(target), status);
        } else {
            request(target);
        }
        return;
    }

    if (statusOnly_ && status / 100 == 2) {
        finish({current_, status, answer.header("Content-Type"), {}});
        return;
    }
    if (status != 200) {
        fail(Kind::HttpStatus, reason, status);
        return;
    }
    QString coding = ForeignCoding(answer.header("Content-Encoding"), false);
    if (coding.isEmpty()) coding = ForeignCoding(answer.header("Transfer-Encoding"), true);
    if (!coding.isEmpty()) {
        fail(Kind::ContentEncoded, coding, status);
        return;
    }
    finish({current_, status, answer.header("Content-Type"), parser_->takeBody()});
}

void PageFetch::finish(const FetchedPage& page) {
    done_ = true;
    idle_->stop();
    dropSocket();
    parser_.reset();
    emit finished(page);
}

void PageFetch::fail(PageFailure::Kind kind, PageFailure::Details details, int status) {
    done_ = true;
    idle_->stop();
    dropSocket();
    parser_.reset();
    emit failed(PageFailure::make(kind, address(), std::move(details), status));
}

}  // namespace quorvane

#include "page_fetch.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace quorvane {

namespace {

QUrl WithoutUserInfo(QUrl url) {
    url.setUserInfo({});
    return url;
}

bool SameOrigin(const QUrl& a, const QUrl& b) {
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && a.port(80) == b.port(80);
}

QString HostAndPort(const QUrl& url) { return url.host() + u':' + QString::number(url.port(80)); }

QString HttpStatusMessage(int status, const QByteArray& reason) {
    const QString code =
        QStringLiteral("HTTP %1%2")
            .arg(status)
            .arg(reason.isEmpty() ? QString() : u' ' + QString::fromLatin1(reason));
    if (status == 401) return QStringLiteral("The router refused the password (%1).").arg(code);
    if (status == 403)
        return QStringLiteral("The router refused access to the page (%1).").arg(code);
    if (status == 404) return QStringLiteral("The router has no such page (%1).").arg(code);
    return QStringLiteral("The router answered with an error (%1).").arg(code);
}

QString NetworkErrorMessage(QNetworkReply::NetworkError error, const QUrl& url) {
    switch (error) {
        case QNetworkReply::ConnectionRefusedError:
            return QStringLiteral("The router at %1 refused the connection.").arg(HostAndPort(url));
        case QNetworkReply::HostNotFoundError:
            return QStringLiteral("The router address %1 could not be found.").arg(url.host());
        case QNetworkReply::TimeoutError:
        case QNetworkReply::OperationCanceledError:
            return QStringLiteral("The router at %1 did not answer within %2 seconds.")
                .arg(HostAndPort(url))
                .arg(PageFetch::kTimeoutMs / 1000);
        case QNetworkReply::RemoteHostClosedError:
            return QStringLiteral(
                       "The router at %1 closed the connection before the page was "
                       "complete.")
                .arg(HostAndPort(url));
        default:
            return QStringLiteral("The page could not be fetched from %1 (network error %2).")
                .arg(HostAndPort(url))
                .arg(int(error));
    }
}

}  // namespace

PageFetch::PageFetch(const QUrl& url, QObject* parent)
    : QObject(parent), network_(new QNetworkAccessManager(this)), origin_(WithoutUserInfo(url)) {
    // Our own header, not the URL's user information: QNetworkAccessManager would otherwise
    // remember the credentials for the host and answer later challenges with them.
    const QByteArray user = url.userName(QUrl::FullyDecoded).toUtf8();
    const QByteArray password = url.password(QUrl::FullyDecoded).toUtf8();
    if (!url.userInfo().isEmpty()) authorization_ = "Basic " + (user + ':' + password).toBase64();
    network_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

PageFetch::~PageFetch() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

void PageFetch::start() { get(origin_); }

void PageFetch::get(const QUrl& target) {
    QNetworkRequest request(target);
    request.setTransferTimeout(kTimeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    // Uncompressed: Qt refuses a highly compressed body as a decompression bomb, and a log of
    // repeated lines compresses that well.
    request.setRawHeader("Accept-Encoding", "identity");
    if (!authorization_.isEmpty() && SameOrigin(target, origin_))
        request.setRawHeader("Authorization", authorization_);
    body_.clear();
    reply_ = network_->get(request);
    reply_->setReadBufferSize(0);
    connect(reply_, &QNetworkReply::readyRead, this, &PageFetch::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &PageFetch::onFinished);
}

void PageFetch::onReadyRead() {
    body_ += reply_->readAll();
    if (body_.size() > kMaxBodyBytes) {
        tooLarge_ = true;
        reply_->abort();  // finished() follows and reports it
    }
}

void PageFetch::onFinished() {
    QNetworkReply* reply = reply_;
    reply->deleteLater();
    reply_.clear();
    if (tooLarge_) {
        fail(QStringLiteral("The page is larger than %1 MiB; the fetch was stopped.")
                 .arg(kMaxBodyBytes >> 20));
        return;
    }
    if (reply->isOpen()) body_ += reply->readAll();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 300 && status < 400 && reply->hasRawHeader("Location")) {
        const QUrl target = reply->url().resolved(QUrl::fromEncoded(reply->rawHeader("Location")));
        if (++redirects_ > kMaxRedirects) {
            fail(QStringLiteral("The router redirected the request too many times."), status);
        } else if (!target.isValid() || target.scheme() != QLatin1String("http")) {
            fail(QStringLiteral("The router redirected the request to an address that cannot be "
                                "fetched."),
                 status);
        } else {
            get(WithoutUserInfo(target));
        }
        return;
    }
    if (status >= 400) {
        fail(
            HttpStatusMessage(
                status, reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray()),
            status);
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        fail(NetworkErrorMessage(reply->error(), reply->url()), status);
        return;
    }
    emit finished(WithoutUserInfo(reply->url()), body_, reply->rawHeader("Content-Type"));
}

void PageFetch::fail(const QString& message, int httpStatus) {
    body_.clear();
    emit failed(origin_, message, httpStatus);
}

}  // namespace quorvane

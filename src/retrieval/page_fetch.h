#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace quorvane {

// One HTTP GET of a router page, with the URL's user information sent as basic credentials to
// the URL's own origin only. Redirects are followed by hand, because the credentials must never
// travel to another host or port. Emits exactly one of finished() or failed(), unless it is
// destroyed first, in which case the transfer is abandoned silently.
class PageFetch : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kMaxBodyBytes = 32ll << 20;
    static constexpr int kTimeoutMs = 30'000;  // no data for this long ends the fetch
    static constexpr int kMaxRedirects = 10;

    PageFetch(const QUrl& url, QObject* parent = nullptr);
    ~PageFetch() override;

    void start();

signals:
    // finalUrl carries no user information.
    void finished(const QUrl& finalUrl, const QByteArray& body, const QByteArray& contentType);
    void failed(const QUrl& url, const QString& message, int httpStatus);

private:
    void get(const QUrl& target);
    void onReadyRead();
    void onFinished();
    void fail(const QString& message, int httpStatus = 0);

    QNetworkAccessManager* network_;
    QPointer<QNetworkReply> reply_;
    QUrl origin_;  // scheme, host and port that may see the credentials
    QByteArray authorization_;
    QByteArray body_;
    int redirects_ = 0;
    bool tooLarge_ = false;
};

}  // namespace quorvane

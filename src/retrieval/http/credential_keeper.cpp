#include "credential_keeper.h"

namespace quorvane {

namespace {

QString OriginOf(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    const int port = url.port(scheme == QLatin1String("https") ? 443 : 80);
    return scheme + QLatin1String("://") + url.host().toLower() + u':' + QString::number(port);
}

}  // namespace

QUrl CredentialKeeper::take(const QUrl& url) {
    if (url.userInfo().isEmpty()) return url;
    keep(url, {url.userName(QUrl::FullyDecoded), url.password(QUrl::FullyDecoded)});
    QUrl bare = url;
    bare.setUserInfo({});
    return bare;
}

void CredentialKeeper::keep(const QUrl& url, const FetchCredentials& credentials) {
    origins_[OriginOf(url)].credentials = credentials;
}

FetchCredentials CredentialKeeper::credentialsFor(const QUrl& url) const {
    return origins_.value(OriginOf(url)).credentials;
}

bool CredentialKeeper::sendsAtOnce(const QUrl& url) const {
    const Origin origin = origins_.value(OriginOf(url));
    return origin.challenged && !origin.credentials.isEmpty();
}

void CredentialKeeper::noteChallenge(const QUrl& url) {
    const auto known = origins_.find(OriginOf(url));
    if (known != origins_.end()) known->challenged = true;
}

}  // namespace quorvane

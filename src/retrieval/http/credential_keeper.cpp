#include "credential_keeper.h"

namespace quorvane {

QUrl CredentialKeeper::take(const QUrl& url) {
    if (url.userInfo().isEmpty()) return url;
    keep(url, {url.userName(QUrl::FullyDecoded), url.password(QUrl::FullyDecoded)});
    QUrl bare = url;
    bare.setUserInfo({});
    return bare;
}

void CredentialKeeper::keep(const QUrl& url, const FetchCredentials& credentials) {
    origins_[Origin(url)].credentials = credentials;
}

FetchCredentials CredentialKeeper::credentialsFor(const QUrl& url) const {
    return origins_.value(Origin(url)).credentials;
}

bool CredentialKeeper::sendsAtOnce(const QUrl& url) const {
    const Kept kept = origins_.value(Origin(url));
    return kept.challenged && !kept.credentials.isEmpty();
}

void CredentialKeeper::noteChallenge(const QUrl& url) {
    const auto known = origins_.find(Origin(url));
    if (known != origins_.end()) known->challenged = true;
}

}  // namespace quorvane

#pragma once

#include "origin.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

namespace quorvane {

// Basic credentials: a user name and a password.
struct FetchCredentials {
    QString user;
    QString password;
    bool isEmpty() const { return user.isEmpty() && password.isEmpty(); }
};

// The credentials of each origin (scheme, host and port), kept as a browser keeps them: taken out
// of the address they came in, never handed out in an address again, and sent to their own
// origin only. Until the router there has asked for them with a Basic challenge, requests go
// without them; from then on every request to that origin carries them at once, as a browser
// does within the protection space it was challenged for.
class CredentialKeeper : public QObject {
public:
    using QObject::QObject;

    // `url` without its user information, which is kept for the url's origin from now on in place
    // of what was kept for it. An address without user information leaves what is kept alone.
    QUrl take(const QUrl& url);
    void keep(const QUrl& url, const FetchCredentials& credentials);

    // The credentials kept for the origin of `url`; none for any other origin.
    FetchCredentials credentialsFor(const QUrl& url) const;
    // Whether a request to `url` carries the credentials without waiting to be asked.
    bool sendsAtOnce(const QUrl& url) const;
    // The router at the origin of `url` has asked for Basic credentials.
    void noteChallenge(const QUrl& url);

private:
    struct Kept {
        FetchCredentials credentials;
        bool challenged = false;
    };
    QHash<Origin, Kept> origins_;
};

}  // namespace quorvane

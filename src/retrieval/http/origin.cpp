#include "origin.h"

namespace quorvane {

Origin::Origin(const QUrl& url)
    : scheme_(url.scheme().toLower()),
      host_(url.host(QUrl::FullyEncoded).toLower()),
      port_(url.port(scheme_ == QLatin1String("https") ? 443 : 80)) {}

QString Origin::urlHost() const { return host_.contains(u':') ? u'[' + host_ + u']' : host_; }

}  // namespace quorvane

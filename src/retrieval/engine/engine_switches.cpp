#include "engine_switches.h"

namespace quorvane {

NetworkShutters ShuttersFromArguments(const QStringList& arguments) {
    NetworkShutters shutters;
    for (const QString& argument : arguments) {
        if (!argument.startsWith(QLatin1String("--without="))) continue;
        const QStringList off = argument.section(u'=', 1).split(u',');
        shutters.ownNetwork = shutters.ownNetwork && !off.contains(QLatin1String("network"));
        shutters.chromiumSwitches =
            shutters.chromiumSwitches && !off.contains(QLatin1String("switches"));
        shutters.pageScripts = shutters.pageScripts && !off.contains(QLatin1String("scripts"));
    }
    return shutters;
}

QStringList ChromiumSwitches(bool shutNetwork, bool runsAsRoot) {
    // Nothing is ever shown, so the engine needs no GPU process.
    QStringList switches{QStringLiteral("--disable-gpu")};
    // QTWEBENGINE_6_4_QUIRK root-needs-no-sandbox: Chromium refuses to start as root with its
    // sandbox on.
    if (runsAsRoot) switches << QStringLiteral("--no-sandbox");
    if (shutNetwork) {
        switches
            // QTWEBENGINE_6_4_QUIRK webrtc-open: WebRTC is the one door the engine leaves open,
            // and no setting of 6.4 shuts it. Here it may use UDP only through a proxy, and there
            // is none: no STUN, no TURN over UDP, no host candidates.
            << QStringLiteral("--force-webrtc-ip-handling-policy=disable_non_proxied_udp")
            // Every host name is unknown without asking anyone: the engine never needs one,
            // since its pages come from us.
            << QStringLiteral("--host-resolver-rules=MAP * ~NOTFOUND")
            // No local address is given a name announced over multicast DNS.
            << QStringLiteral("--disable-features=WebRtcHideLocalIpsWithMdns");
    }
    return switches;
}

}  // namespace quorvane

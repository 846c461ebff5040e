#include "fetch_failure.h"

#include <QStringList>

namespace quorvane {

namespace {

// Room for the sentence around them: a URL or path is the longest quote, a reason phrase or a
// coding is only ever a few words.
constexpr qsizetype kMaxAddress = 80;
constexpr qsizetype kMaxDetails = 150;
constexpr qsizetype kMaxReason = 60;

constexpr QChar kEllipsis(0x2026);

// Ends `text` with an ellipsis within maxLength characters, never splitting a surrogate pair.
void MarkCut(QString& text, qsizetype maxLength) {
    if (text.size() >= maxLength) text.truncate(std::max<qsizetype>(0, maxLength - 1));
    if (!text.isEmpty() && text.back().isHighSurrogate()) text.chop(1);
    text += kEllipsis;
}

bool IsDropped(QChar c) {
    switch (c.category()) {
        case QChar::Other_Control:  // C0, DEL and C1
        case QChar::Other_Format:   // bidirectional overrides and other invisible marks
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            return false;
    }
}

QString HttpCode(const FetchFailure& failure) {
    const QString reason = ShortDetail(failure.details, kMaxReason);
    return reason.isEmpty() ? QStringLiteral("HTTP %1").arg(failure.httpStatus)
                            : QStringLiteral("HTTP %1 %2").arg(failure.httpStatus).arg(reason);
}

QString StatusCode(const FetchFailure& failure) {
    const QString reason = ShortDetail(failure.details, kMaxReason);
    return reason.isEmpty() ? QString::number(failure.httpStatus)
                            : QStringLiteral("%1 (%2)").arg(failure.httpStatus).arg(reason);
}

// Routers send a user who is not logged in to a page named after the login.
bool LooksLikeLoginPage(const QString& path) {
    const QString name = path.section(u'/', -1).toLower();
    for (const char* word : {"login", "logon", "signin", "sign-in", "sign_in", "auth"}) {
        if (name.contains(QLatin1String(word))) return true;
    }
    return false;
}

QString HttpStatusSentence(const FetchFailure& failure) {
    switch (failure.httpStatus) {
        case 403:
            return QStringLiteral("The router refused access to the page (%1).")
                .arg(HttpCode(failure));
        case 404:
            return QStringLiteral("The router has no such page (%1).").arg(HttpCode(failure));
        default:
            break;
    }
    if (failure.httpStatus >= 400)
        return QStringLiteral("The router answered with an error (%1).").arg(HttpCode(failure));
    return QStringLiteral("The router answered with status %1 instead of its log page.")
        .arg(StatusCode(failure));
}

QString Sentence(const FetchFailure& failure) {
    using Kind = FetchFailure::Kind;
    const QString address = ShortDetail(failure.address, kMaxAddress);
    const QString details = ShortDetail(failure.details, kMaxDetails);
    switch (failure.kind) {
        case Kind::InvalidAddress:
            return QStringLiteral("The address %1 cannot be fetched: only http:// addresses can.")
                .arg(details);
        case Kind::HostNotFound:
            return QStringLiteral("The router address %1 could not be found.").arg(details);
        case Kind::ConnectionRefused:
            return QStringLiteral("The router at %1 refused the connection.").arg(address);
        case Kind::NetworkError:
            return QStringLiteral("The page could not be fetched from %1 (%2).")
                .arg(address, details);
        case Kind::NoAnswer:
            return QStringLiteral("The router at %1 did not answer within %2.")
                .arg(address, details);
        case Kind::Stalled:
            return QStringLiteral(
                       "The router at %1 sent nothing for %2 before the page was complete; the "
                       "fetch was stopped.")
                .arg(address, details);
        case Kind::ClosedWithoutAnswer:
            return QStringLiteral("The router at %1 closed the connection without answering.")
                .arg(address);
        case Kind::Cut:
            return QStringLiteral(
                       "The router at %1 closed the connection before the page was complete.")
                .arg(address);
        case Kind::NotHttp:
            return QStringLiteral("The router's answer is not an HTTP answer.");
        case Kind::Malformed:
            return QStringLiteral("The router's answer breaks the rules of HTTP (%1).")
                .arg(details);
        case Kind::HeaderTooLarge:
            return QStringLiteral("The router sent more than %1 of headers; the fetch was stopped.")
                .arg(details);
        case Kind::TooLarge:
            return QStringLiteral("The page is larger than %1; the fetch was stopped.")
                .arg(details);
        case Kind::PasswordRefused:
            return QStringLiteral("The router refused the password (%1).").arg(HttpCode(failure));
        case Kind::LoginNotOffered:
            return QStringLiteral(
                       "The router asked for a kind of login that this program cannot give (%1).")
                .arg(HttpCode(failure));
        case Kind::HttpStatus:
            return HttpStatusSentence(failure);
        case Kind::RedirectWithoutTarget:
            return QStringLiteral(
                       "The router redirected the request (%1) without a usable address.")
                .arg(HttpCode(failure));
        case Kind::TooManyRedirects:
            return QStringLiteral("The router redirected the request too many times.");
        case Kind::OtherOrigin:
            return QStringLiteral(
                       "The router sent its answer to another address (%1); nothing was read "
                       "there.")
                .arg(details);
        case Kind::OtherPath:
            return LooksLikeLoginPage(failure.details)
                       ? QStringLiteral(
                             "The router answered with a login page instead of its log (%1).")
                             .arg(details)
                       : QStringLiteral(
                             "The router answered with another page instead of its log (%1).")
                             .arg(details);
        case Kind::ContentEncoded:
            return QStringLiteral(
                       "The router sent its page compressed (%1), which was not asked for.")
                .arg(details);
        case Kind::NotAPage:
            return QStringLiteral("The router answered with something other than a web page (%1).")
                .arg(details);
        case Kind::BinaryBody:
            return QStringLiteral("The router answered with binary data instead of its log page.");
        case Kind::TooComplex:
            return QStringLiteral("The router's page is too complex to read.");
        case Kind::NotShown:
            return QStringLiteral("The router's page could not be shown.");
        case Kind::NeverLoaded:
            return QStringLiteral("The router's page did not finish loading within %1.")
                .arg(details);
        case Kind::TooSlow:
            return QStringLiteral("The router took longer than %1 to send its log page.")
                .arg(details);
    }
    return QStringLiteral("The page could not be fetched from %1.").arg(address);
}

}  // namespace

FetchFailure FetchFailure::make(Kind kind, const QString& address, const QString& details,
                                int httpStatus) {
    // Kept a little longer than any sentence quotes them, so that the sentence marks the cut.
    return {kind, httpStatus, ShortDetail(details, kMaxDetails + 1),
            ShortDetail(address, kMaxAddress + 1)};
}

QString FailureSentence(const FetchFailure& failure) {
    return ShortDetail(Sentence(failure), kMaxFailureSentence);
}

QString SizeText(qint64 bytes) {
    if (bytes > 0 && bytes % (1 << 20) == 0) return QStringLiteral("%1 MiB").arg(bytes >> 20);
    if (bytes > 0 && bytes % (1 << 10) == 0) return QStringLiteral("%1 KiB").arg(bytes >> 10);
    return QStringLiteral("%1 bytes").arg(bytes);
}

QString DurationText(qint64 milliseconds) {
    if (milliseconds == 1000) return QStringLiteral("1 second");
    if (milliseconds % 1000 == 0) return QStringLiteral("%1 seconds").arg(milliseconds / 1000);
    return QStringLiteral("%1 seconds").arg(double(milliseconds) / 1000.0);
}

QString ShortDetail(const QString& text, qsizetype maxLength) {
    QString out;
    out.reserve(std::min(text.size(), maxLength));
    for (const QChar c : text) {
        if (IsDropped(c)) continue;
        if (out.size() == maxLength) {
            MarkCut(out, maxLength);
            break;
        }
        out += c;
    }
    return out;
}

QString ShortDetailFromBytes(QByteArrayView bytes, qsizetype maxLength) {
    // Four bytes make at most one character; decoding more than can be shown is wasted work.
    const qsizetype decoded = std::min(bytes.size(), (maxLength + 1) * 4);
    QString text = ShortDetail(QString::fromUtf8(bytes.first(decoded)), maxLength);
    if (decoded < bytes.size() && !text.endsWith(kEllipsis)) MarkCut(text, maxLength);
    return text;
}

}  // namespace quorvane

#include "result_sentences.h"

namespace quorvane {

namespace {

// A reason phrase or a coding is only ever a few words.
constexpr qsizetype kMaxReason = 60;

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
    const QString address = ShortDetail(failure.address, FetchFailure::kMaxAddress);
    const QString details = ShortDetail(failure.details, FetchFailure::kMaxDetails);
    switch (failure.kind) {
        case Kind::PortNotANumber:
            return QStringLiteral("The port \"%1\" is not a number from 1 to 65535.").arg(details);
        case Kind::AddressNotAHost:
            return QStringLiteral(
                       "The router address \"%1\" is not a valid host name or IP address.")
                .arg(details);
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

QString CopyFileReason(const CopyFileProblem& problem) {
    if (problem.inUse) return QStringLiteral("another window or program kept it in use");
    if (!problem.standing) return problem.systemReason;
    switch (*problem.standing) {
        case NotARegularFile::Directory:
            return QStringLiteral("it is a directory, not a regular file");
        case NotARegularFile::NamedPipe:
            return QStringLiteral("it is a named pipe, not a regular file");
        case NotARegularFile::Socket:
            return QStringLiteral("it is a socket, not a regular file");
        case NotARegularFile::CharacterDevice:
            return QStringLiteral("it is a character device, not a regular file");
        case NotARegularFile::BlockDevice:
            return QStringLiteral("it is a block device, not a regular file");
        case NotARegularFile::Other:
            break;
    }
    return QStringLiteral("it is not a regular file");
}

}  // namespace

QString FailureSentence(const FetchFailure& failure) {
    return ShortDetail(Sentence(failure), kMaxFailureSentence);
}

QString LogNotReadText(const QString& failureSentence) {
    return QStringLiteral("The router's log could not be read. ") + failureSentence;
}

QString ClearNotConfirmedLine(const QString& failureSentence) {
    return QStringLiteral("The router did not confirm that it cleared its log: ") + failureSentence;
}

QString CopyFailureSentence(const CopyFileProblem& problem) {
    return QStringLiteral("The log could not be copied to %1: %2.")
        .arg(problem.path, CopyFileReason(problem));
}

QString NoCopyPlaceSentence(const LogCopyPlace& place) {
    const CopyFileProblem& data = place.inDataFolder;
    return QStringLiteral("The log could not be copied to %1 (%2) nor to %3 (%4).")
        .arg(
            place.inProgramFolder.path, CopyFileReason(place.inProgramFolder),
            data.path.isEmpty() ? QStringLiteral("the user's data folder") : data.path,
            data.path.isEmpty() ? QStringLiteral("no such folder is known") : CopyFileReason(data));
}

QString CopyFallbackNotice(const LogCopyPlace& place) {
    return QStringLiteral("%1 cannot be written (%2), so the log is copied to %3.")
        .arg(place.inProgramFolder.path, CopyFileReason(place.inProgramFolder),
             place.folder + QLatin1String(kLogCopyFileName));
}

QString EngineSharesNetworkNotice() {
    return QStringLiteral(
        "Note: this computer does not let Quorvane shut its web engine away from the network, so "
        "only its other two safeguards keep router pages from reaching anything but the router.");
}

QString ClearSkippedAfterCopyFailure(const QString& copyFailure) {
    return copyFailure + QStringLiteral(" The router's log was not cleared.");
}

QString NoDatedLineSentence() {
    return QStringLiteral("The page held no dated log line, so the router's log was not cleared.");
}

}  // namespace quorvane

#include "result_sentences.h"

#include <QCoreApplication>

namespace quorvane {

namespace {

// The context under which translators find these sentences.
struct Sentences {
    Q_DECLARE_TR_FUNCTIONS(Sentences)
};
QString T(const char* sentence) { return Sentences::tr(sentence); }

// "32 MiB", "64 KiB", "1000 bytes": a limit as the sentences name it.
QString SizeText(qint64 bytes) {
    if (bytes > 0 && bytes % (1 << 20) == 0) return T("%1 MiB").arg(bytes >> 20);
    if (bytes > 0 && bytes % (1 << 10) == 0) return T("%1 KiB").arg(bytes >> 10);
    return T("%1 bytes").arg(bytes);
}

// "30 seconds", "1 second", "0.25 seconds".
QString DurationText(qint64 milliseconds) {
    if (milliseconds == 1000) return T("1 second");
    if (milliseconds % 1000 == 0) return T("%1 seconds").arg(milliseconds / 1000);
    return T("%1 seconds").arg(double(milliseconds) / 1000.0);
}

// The failure's typed details as the sentence quotes them.
QString DetailText(const PageFailure& failure) {
    if (const auto* limit = std::get_if<ByteLimit>(&failure.details)) return SizeText(limit->bytes);
    if (const auto* limit = std::get_if<TimeLimit>(&failure.details))
        return DurationText(limit->ms);
    return ShortDetail(failure.quote());
}

QString HttpCode(const PageFailure& failure) {
    const QString reason = ShortDetail(failure.quote());
    return reason.isEmpty() ? QStringLiteral("HTTP %1").arg(failure.httpStatus)
                            : QStringLiteral("HTTP %1 %2").arg(failure.httpStatus).arg(reason);
}

QString StatusCode(const PageFailure& failure) {
    const QString reason = ShortDetail(failure.quote());
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

QString HttpStatusSentence(const PageFailure& failure) {
    switch (failure.httpStatus) {
        case 403:
            return T("The router refused access to the page (%1).").arg(HttpCode(failure));
        case 404:
            return T("The router has no such page (%1).").arg(HttpCode(failure));
        default:
            break;
    }
    if (failure.httpStatus >= 400)
        return T("The router answered with an error (%1).").arg(HttpCode(failure));
    return T("The router answered with status %1 instead of its log page.")
        .arg(StatusCode(failure));
}

QString CopyFileReason(const CopyFileProblem& problem);
QString NoCopyPlaceText(const CopyPlaces& places);

QString Sentence(const PageFailure& failure) {
    using Kind = PageFailure::Kind;
    const QString address = ShortDetail(failure.address);
    const QString details = DetailText(failure);
    switch (failure.kind) {
        case Kind::PortNotANumber:
            return T("The port \"%1\" is not a number from 1 to 65535.").arg(details);
        case Kind::AddressNotAHost:
            return T("The router address \"%1\" is not a valid host name or IP address.")
                .arg(details);
        case Kind::InvalidAddress:
            return T("The address %1 cannot be fetched: only http:// addresses can.").arg(details);
        case Kind::HostNotFound:
            return T("The router address %1 could not be found.").arg(details);
        case Kind::ConnectionRefused:
            return T("The router at %1 refused the connection.").arg(address);
        case Kind::NetworkError:
            return T("The page could not be fetched from %1 (%2).").arg(address, details);
        case Kind::NoAnswer:
            return T("The router at %1 did not answer within %2.").arg(address, details);
        case Kind::Stalled:
            return T("The router at %1 sent nothing for %2 before the page was complete; the "
                     "fetch was stopped.")
                .arg(address, details);
        case Kind::ClosedWithoutAnswer:
            return T("The router at %1 closed the connection without answering.").arg(address);
        case Kind::Cut:
            return T("The router at %1 closed the connection before the page was complete.")
                .arg(address);
        case Kind::NotHttp:
            return T("The router's answer is not an HTTP answer.");
        case Kind::Malformed:
            return T("The router's answer breaks the rules of HTTP (%1).").arg(details);
        case Kind::HeaderTooLarge:
            return T("The router sent more than %1 of headers; the fetch was stopped.")
                .arg(details);
        case Kind::TooLarge:
            return T("The page is larger than %1; the fetch was stopped.").arg(details);
        case Kind::PasswordRefused:
            return T("The router refused the password (%1).").arg(HttpCode(failure));
        case Kind::LoginNotOffered:
            return T("The router asked for a kind of login that this program cannot give (%1).")
                .arg(HttpCode(failure));
        case Kind::HttpStatus:
            return HttpStatusSentence(failure);
        case Kind::RedirectWithoutTarget:
            return T("The router redirected the request (%1) without a usable address.")
                .arg(HttpCode(failure));
        case Kind::TooManyRedirects:
            return T("The router redirected the request too many times.");
        case Kind::OtherOrigin:
            return T("The router sent its answer to another address (%1); nothing was read "
                     "there.")
                .arg(details);
        case Kind::OtherPath:
            return LooksLikeLoginPage(failure.quote())
                       ? T("The router answered with a login page instead of its log (%1).")
                             .arg(details)
                       : T("The router answered with another page instead of its log (%1).")
                             .arg(details);
        case Kind::ContentEncoded:
            return T("The router sent its page compressed (%1), which was not asked for.")
                .arg(details);
        case Kind::NotAPage:
            return T("The router answered with something other than a web page (%1).").arg(details);
        case Kind::BinaryBody:
            return T("The router answered with binary data instead of its log page.");
        case Kind::TooComplex:
        case Kind::OverMemory:
            return T("The router's page is too complex to read.");
        case Kind::NotShown:
            return T("The router's page could not be shown.");
        case Kind::NeverLoaded:
            return T("The router's page did not finish loading within %1.").arg(details);
        case Kind::TooSlow:
            return T("The router took longer than %1 to send its log page.").arg(details);
        case Kind::CopyNotWritten:
            return CopyFailureSentence(std::get<CopyFileProblem>(failure.details));
        case Kind::NoCopyPlace:
            return NoCopyPlaceText(std::get<CopyPlaces>(failure.details));
    }
    return T("The page could not be fetched from %1.").arg(address);
}

QString CopyFileReason(const CopyFileProblem& problem) {
    if (problem.inUse) return T("another window or program kept it in use");
    if (!problem.standing) return problem.systemReason;
    switch (*problem.standing) {
        case NotARegularFile::Directory:
            return T("it is a directory, not a regular file");
        case NotARegularFile::NamedPipe:
            return T("it is a named pipe, not a regular file");
        case NotARegularFile::Socket:
            return T("it is a socket, not a regular file");
        case NotARegularFile::CharacterDevice:
            return T("it is a character device, not a regular file");
        case NotARegularFile::BlockDevice:
            return T("it is a block device, not a regular file");
        case NotARegularFile::Other:
            break;
    }
    return T("it is not a regular file");
}

QString NoCopyPlaceText(const CopyPlaces& places) {
    const CopyFileProblem& data = places.dataFolder;
    return T("The log could not be copied to %1 (%2) nor to %3 (%4).")
        .arg(places.programFolder.path, CopyFileReason(places.programFolder),
             data.path.isEmpty() ? T("the user's data folder") : data.path,
             data.path.isEmpty() ? T("no such folder is known") : CopyFileReason(data));
}

}  // namespace

QString FailureSentence(const PageFailure& failure) {
    // A copy's sentence quotes our own paths, which are said whole.
    if (std::holds_alternative<CopyFileProblem>(failure.details) ||
        std::holds_alternative<CopyPlaces>(failure.details))
        return Sentence(failure);
    return ShortDetail(Sentence(failure), kMaxFailureSentence);
}

QString LogNotReadText(const QString& failureSentence) {
    return T("The router's log could not be read. ") + failureSentence;
}

QString ClearNotConfirmedLine(const QString& failureSentence) {
    return T("The router did not confirm that it cleared its log: ") + failureSentence;
}

QString CopyFailureSentence(const CopyFileProblem& problem) {
    return T("The log could not be copied to %1: %2.").arg(problem.path, CopyFileReason(problem));
}

QString NoCopyPlaceSentence(const LogCopyPlace& place) {
    return NoCopyPlaceText({place.inProgramFolder, place.inDataFolder});
}

QString CopyFallbackNotice(const LogCopyPlace& place) {
    return T("%1 cannot be written (%2), so the log is copied to %3.")
        .arg(place.inProgramFolder.path, CopyFileReason(place.inProgramFolder),
             place.folder + QLatin1String(kLogCopyFileName));
}

QString EngineSharesNetworkNotice() {
    return T(
        "Note: this computer does not let Quorvane shut its web engine away from the network, so "
        "only its other two safeguards keep router pages from reaching anything but the router.");
}

QString ClearSkippedAfterCopyFailure(const QString& copyFailure) {
    return copyFailure + T(" The router's log was not cleared.");
}

QString NoDatedLineSentence() {
    return T("The page held no dated log line, so the router's log was not cleared.");
}

QStringList KeepingLines(const std::optional<PageFailure>& copyFailure, bool clearHeldBack,
                         const LogCopyPlace* fellBackTo) {
    QString warning = copyFailure ? FailureSentence(*copyFailure) : QString();
    if (clearHeldBack)
        warning = copyFailure ? ClearSkippedAfterCopyFailure(warning) : NoDatedLineSentence();
    QStringList lines;
    if (fellBackTo) lines << CopyFallbackNotice(*fellBackTo);
    if (!warning.isEmpty()) lines << warning;
    return lines;
}

}  // namespace quorvane

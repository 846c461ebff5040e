#pragma once

#include <QByteArrayView>
#include <QMetaType>
#include <QString>

namespace quorvane {

// Why a page was not read. FailureSentence() of result_sentences.h turns it into the one
// sentence the user sees, so every wording lives in one place and every sentence stays short
// whatever the router sent. A new way to fail (of rendering, say) is a new kind here and a new
// case there.
struct FetchFailure {
    enum class Kind {
        PortNotANumber,         // details: the port as typed
        AddressNotAHost,        // details: the router address as typed
        InvalidAddress,         // details: the address that cannot be fetched
        HostNotFound,           // details: the host name
        ConnectionRefused,      // address: host:port
        NetworkError,           // details: the system's short description
        NoAnswer,               // nothing arrived for details (a DurationText)
        Stalled,                // the answer began, then nothing arrived for details
        ClosedWithoutAnswer,    // the connection ended before a single byte
        Cut,                    // the connection ended inside the answer
        NotHttp,                // the answer does not start like HTTP/1.x
        Malformed,              // details: which framing rule was broken
        HeaderTooLarge,         // details: the limit (a SizeText)
        TooLarge,               // details: the limit (a SizeText)
        PasswordRefused,        // 401 to a request that carried the credentials
        LoginNotOffered,        // 401 without a Basic challenge, or without credentials to send
        HttpStatus,             // an answer other than 200 and other than a followed redirect
        RedirectWithoutTarget,  // a 3xx whose Location is missing or unusable
        TooManyRedirects,
        OtherOrigin,     // details: the URL of another scheme, host or port redirected to
        OtherPath,       // details: the path a redirect led to instead of the page's own
        ContentEncoded,  // details: the content or transfer coding that was not asked for
        // The answer was read, but it is no page whose text can be shown:
        NotAPage,     // details: the Content-Type of something browsers do not show as text
        BinaryBody,   // the body is binary data, whatever its label
        TooComplex,   // making its text would take more time or memory than a page may have
        NotShown,     // the engine could not show it: it did not load, or its renderer died
        NeverLoaded,  // still loading, or its scripts still running, after details
        TooSlow,      // no page or failure within details of the request, rendering included
    };

    Kind kind = Kind::NetworkError;
    int httpStatus = 0;  // the status of the answer that failed, 0 when there was none
    QString details;     // per kind, see above; for the 401s, HttpStatus and
                         // RedirectWithoutTarget the router's reason phrase
    QString address;     // host:port of the router that was asked

    // Room for the sentence around them: a URL or path is the longest quote.
    static constexpr qsizetype kMaxAddress = 80;
    static constexpr qsizetype kMaxDetails = 150;

    // The fields are cut short and stripped of control characters here, so a failure never
    // carries a router's megabyte into the window.
    static FetchFailure make(Kind kind, const QString& address, const QString& details = {},
                             int httpStatus = 0);
};

// "32 MiB", "64 KiB", "1000 bytes": a limit as the sentences name it.
QString SizeText(qint64 bytes);
// "30 seconds", "1 second", "0.25 seconds".
QString DurationText(qint64 milliseconds);

// `text` without control characters, cut to at most `maxLength` characters (an ellipsis marks the
// cut).
QString ShortDetail(const QString& text, qsizetype maxLength);
// The same for bytes from the wire, read as UTF-8 where they are valid.
QString ShortDetailFromBytes(QByteArrayView bytes, qsizetype maxLength);

}  // namespace quorvane

Q_DECLARE_METATYPE(quorvane::FetchFailure)

#pragma once

#include "copy_file_problem.h"

#include <QByteArrayView>
#include <QMetaType>
#include <QString>

#include <variant>

namespace quorvane {

// The limit a failure ran into, in its own unit; the sentence table words it.
struct ByteLimit {
    qint64 bytes = 0;
};
struct TimeLimit {
    qint64 ms = 0;
};
// Neither folder could take the copy: why not, for each.
struct CopyPlaces {
    CopyFileProblem programFolder;
    CopyFileProblem dataFolder;
};

// Why a press did not end in a log read and kept: its fetch, the page, the engine, the copy or
// the clear. Facts only: the sentence table at the window's edge (result_sentences.h) turns them
// into the words the user sees, so every wording lives in one place. A new way to fail is a new
// kind here and a new case there.
struct PageFailure {
    enum class Kind {
        // What was typed (details: the text as typed)
        PortNotANumber,
        AddressNotAHost,
        InvalidAddress,  // details: the address that cannot be fetched
        // The network
        HostNotFound,         // details: the host name
        ConnectionRefused,    //
        NetworkError,         // details: the system's short description
        NoAnswer,             // nothing arrived within details (TimeLimit)
        Stalled,              // the answer began, then nothing arrived within details (TimeLimit)
        ClosedWithoutAnswer,  // the connection ended before a single byte
        Cut,                  // the connection ended inside the answer
        // The answer (the router's reason phrase in details where it gave one)
        NotHttp,                // the answer does not start like HTTP/1.x
        Malformed,              // details: which framing rule was broken
        HeaderTooLarge,         // details: the limit (ByteLimit)
        TooLarge,               // details: the limit (ByteLimit)
        PasswordRefused,        // 401 to a request that carried the credentials
        LoginNotOffered,        // 401 without a Basic challenge, or without credentials to send
        HttpStatus,             // an answer other than 200 and other than a followed redirect
        RedirectWithoutTarget,  // a 3xx whose Location is missing or unusable
        TooManyRedirects,
        OtherOrigin,     // details: the URL of another scheme, host or port redirected to
        OtherPath,       // details: the path a redirect, or a completion, led to instead
        ContentEncoded,  // details: the content or transfer coding that was not asked for
        // The page: read, but no page whose text can be shown
        NotAPage,     // details: the Content-Type of something browsers do not show as text
        BinaryBody,   // the body is binary data, whatever its label
        TooComplex,   // making its text would take more time or memory than a page may have
        OverMemory,   // the engine's page grew past the memory allowed to one page
        NotShown,     // the engine could not show it: it did not load, or its renderer died
        NeverLoaded,  // still loading, or its scripts still running, after details (TimeLimit)
        TooSlow,      // no page or failure within details (TimeLimit), rendering included
        // Keeping the log
        CopyNotWritten,  // details: the copy file's problem (CopyFileProblem)
        NoCopyPlace,     // details: both folders' problems (CopyPlaces)
    };
    using Details =
        std::variant<std::monostate, QString, ByteLimit, TimeLimit, CopyFileProblem, CopyPlaces>;

    Kind kind = Kind::NetworkError;
    int httpStatus = 0;  // the status of the answer that failed, 0 when there was none
    QString address;     // host:port of the router that was asked
    Details details;

    // Quoted text (the address, a QString detail) is cut short and stripped of control
    // characters here, so a failure never carries a router's megabyte to the window.
    static PageFailure make(Kind kind, const QString& address, Details details = {},
                            int httpStatus = 0);
    // The QString detail, or an empty text.
    QString quote() const;
};

// The most characters of anything quoted from the router or from what was typed: a URL or a
// path is the longest such quote.
inline constexpr qsizetype kMaxQuote = 100;

// `text` without control characters, cut to at most `maxLength` characters (an ellipsis marks the
// cut).
QString ShortDetail(const QString& text, qsizetype maxLength = kMaxQuote);
// The same for bytes from the wire, read as UTF-8 where they are valid.
QString ShortDetailFromBytes(QByteArrayView bytes, qsizetype maxLength = kMaxQuote);

}  // namespace quorvane

Q_DECLARE_METATYPE(quorvane::PageFailure)

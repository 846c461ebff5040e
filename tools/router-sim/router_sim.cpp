#include "router_sim.h"

#include "basic_auth.h"
#include "connection_socket.h"
#include "sim_hostile.h"
#include "sim_page.h"

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace routersim {
namespace {

using httplib::DataSink;
using httplib::Request;
using httplib::Response;
using HandlerResponse = httplib::Server::HandlerResponse;
using namespace std::chrono_literals;

constexpr std::string_view kUser = "admin";
// RFC 7617: the charset parameter tells clients to send the credentials as UTF-8.
constexpr char kChallenge[] = "Basic realm=\"ADSL Router\", charset=\"UTF-8\"";
constexpr char kRedirectedMark[] = "redirected";
constexpr char kUnknownCharset[] = "x-no-such-charset";
constexpr std::size_t kHugeChunk = 64u << 10;
constexpr std::size_t kSlowPiece = 64;
constexpr auto kSlowTotal = 3000ms;
constexpr std::size_t kFloodBytes = 256u << 20;  // the header flood's end, should nobody stop it
constexpr std::size_t kLongReasonBytes = 1u << 20;

// A page that no client asks for with Accept-Encoding: identity, compressed once and for all.
constexpr char kGzipPage[] =
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xb3\xc9\x28\xc9\xcd\xb1\xb3\x49\xca\x4f"
    "\xa9\xb4\xb3\x29\x28\x4a\xb5\x0b\xc9\xc8\x2c\x56\x28\x48\x4c\x4f\x55\x28\x4f\x2c"
    "\x56\x28\x4e\xcd\x2b\x51\x48\xaf\xca\x2c\xd0\x4d\xce\xcf\x05\x4a\x17\x17\xa7\xa6"
    "\xe8\xd9\xe8\x83\x14\xda\xe8\x43\x34\xe9\x83\x4d\xe0\x02\x00\xb7\xa5\x9d\xcf\x49"
    "\x00\x00\x00";

constexpr char kLoginPage[] =
    "<html><head><title>ADSL Router Login</title></head><body>\n"
    "<form method=\"post\" action=\"/login.cgi\">User <input name=\"user\"> Password "
    "<input type=\"password\" name=\"pass\"> <input type=\"submit\" value=\"Login\"></form>\n"
    "</body></html>\n";

struct Route {
    std::optional<LogKind> kind;
    bool login = false;       // the login page that RedirectToLogin sends clients to
    bool redirected = false;  // reached through the same-origin redirect, served without fault
    std::optional<LogKind> script;  // the script file that holds that log for ScriptFile pages
};

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// Paths are matched without regard to case, as small embedded servers commonly do.
Route routeOf(const Request& req) {
    const std::string path = lowerCase(req.path);
    Route route;
    route.redirected = req.has_param(kRedirectedMark);
    route.login = path == "/login.htm";
    for (const LogKind kind : {LogKind::System, LogKind::Security}) {
        if (path == logScriptPath(kind)) route.script = kind;
    }
    if (path == "/doc/syslog.htm") route.kind = LogKind::System;
    if (path == "/doc/seclog.htm") route.kind = LogKind::Security;
    return route;
}

std::string_view otherLogPath(LogKind kind) {
    return kind == LogKind::System ? "/doc/seclog.htm" : "/doc/syslog.htm";
}

// The request target with one more query parameter.
std::string withParameter(const std::string& target, std::string_view parameter) {
    return target + (target.find('?') == std::string::npos ? "?" : "&") + std::string(parameter);
}

// A reason phrase of `size` bytes that holds control characters and a right-to-left override
// between its words, as nothing should show them.
std::string longReason(std::size_t size) {
    std::string reason = "Internal Server Error";
    static constexpr std::string_view kFiller = " overlong reason \x01\x1b[31m\xe2\x80\xae\x7f";
    while (reason.size() < size) reason += kFiller;
    reason.resize(size);
    return reason;
}

std::string urlHost(const std::string& host) {
    return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

void answerStatus(Response& res, int status) {
    res.status = status;
    res.set_content(statusPage(status), "text/html; charset=utf-8");
}

}  // namespace

struct RouterSim::Impl {
    std::mutex lifecycle;  // serialises start() and stop()
    std::unique_ptr<httplib::Server> server;
    std::thread thread;

    mutable std::mutex mutex;  // guards everything below
    std::condition_variable stopped;
    Options options;
    std::string systemLog;
    std::string securityLog;
    std::vector<ReceivedRequest> requests;
    int clearRequests = 0;
    int clears = 0;
    std::set<int> streams;  // sockets of paced or oversized responses still being written
    bool stopping = false;
    std::string host;
    int port = 0;

    HandlerResponse handle(const Request& req, Response& res);
    void answerPage(LogKind kind, Fault fault, const Options& options, const Request& req,
                    Response& res);
    void holdUntilStop(const Request& req);
    void sendInterim(const Request& req, std::string_view bytes);
    void answerRaw(Fault fault, const Request& req);
    bool sendRaw(int fd, std::string_view bytes);
    int addStream(const Request& req);
    void removeStream(int fd);
    bool pause(std::chrono::milliseconds duration);
};

HandlerResponse RouterSim::Impl::handle(const Request& req, Response& res) {
    ReceivedRequest record{req.method, req.target, req.get_header_value("Authorization"), 0};
    const Route route = routeOf(req);
    const bool clear = route.kind && req.has_param("clearlog");
    Options current;
    std::string origin;
    {
        std::lock_guard lock(mutex);
        current = options;
        origin = "http://" + urlHost(host) + ":" + std::to_string(port);
        if (clear) ++clearRequests;
    }
    const Fault fault = route.redirected ? Fault::None : current.fault;
    const bool isGet = req.method == "GET" || req.method == "HEAD";

    if (isGet && route.kind && fault == Fault::EarlyHints) {
        sendInterim(req,
                    "HTTP/1.1 103 Early Hints\r\n"
                    "Link: </doc/style.css>; rel=preload; as=style\r\n\r\n");
    }
    if (!isGet) {
        answerStatus(res, 405);
        res.set_header("Allow", "GET, HEAD");
    } else if (route.login) {
        res.status = 200;
        res.set_content(kLoginPage, "text/html; charset=utf-8");
    } else if (!route.kind) {
        // Every file but the login page is behind the router's login, a missing one too.
        if (!basicCredentialsMatch(record.authorization, kUser, current.password)) {
            answerStatus(res, 401);
            res.set_header("WWW-Authenticate", kChallenge);
        } else if (route.script) {
            std::lock_guard lock(mutex);
            res.status = 200;
            res.set_content(logScript(*route.script == LogKind::System ? systemLog : securityLog),
                            "application/javascript; charset=utf-8");
        } else if (const auto file = servedFile(lowerCase(req.path))) {
            res.status = 200;
            res.set_content(std::string(file->body), std::string(file->contentType));
        } else {
            answerStatus(res, 404);
        }
    } else if (fault == Fault::NeverAnswer) {
        {
            std::lock_guard lock(mutex);
            requests.push_back(record);
        }
        holdUntilStop(req);
        answerStatus(res, 500);  // written only where the socket could not be found and cut
        return HandlerResponse::Handled;
    } else if (fault == Fault::NotHttp || fault == Fault::HeaderFlood ||
               fault == Fault::LongReason) {
        // Recorded first: a flood ends only when the client has given up.
        record.status = fault == Fault::NotHttp ? 0 : fault == Fault::LongReason ? 500 : 200;
        {
            std::lock_guard lock(mutex);
            requests.push_back(record);
        }
        answerRaw(fault, req);
        answerStatus(res, 500);  // written only where the socket could not be found and cut
        return HandlerResponse::Handled;
    } else if (fault == Fault::Status403 || fault == Fault::Status404 ||
               fault == Fault::Status500) {
        answerStatus(res, fault == Fault::Status403 ? 403 : fault == Fault::Status404 ? 404 : 500);
    } else if (fault == Fault::RedirectSameOrigin) {
        res.set_redirect(origin + withParameter(req.target, "redirected=1"));
    } else if (fault == Fault::RedirectOtherHost) {
        std::string target = current.redirectTarget;
        while (!target.empty() && target.back() == '/') target.pop_back();
        res.set_redirect(target + req.target);
    } else if (fault == Fault::RedirectToLogin) {
        res.set_redirect("/login.htm?next=" + req.path);
    } else if (fault == Fault::RedirectOtherLog) {
        res.set_redirect(std::string(otherLogPath(*route.kind)));
    } else if (fault == Fault::RedirectElsewhere) {
        res.set_redirect("/doc/status.htm");
    } else if (fault == Fault::RedirectWithoutLocation) {
        res.status = 302;
        res.set_content("<html><body>Moved.</body></html>\n", "text/html; charset=utf-8");
    } else if (!basicCredentialsMatch(record.authorization, kUser, current.password)) {
        answerStatus(res, 401);
        res.set_header("WWW-Authenticate", kChallenge);
    } else {
        if (clear) {
            std::lock_guard lock(mutex);
            (*route.kind == LogKind::System ? systemLog : securityLog).clear();
            ++clears;
        }
        answerPage(*route.kind, fault, current, req, res);
    }
    record.status = res.status;
    std::lock_guard lock(mutex);
    requests.push_back(record);
    return HandlerResponse::Handled;
}

void RouterSim::Impl::answerPage(LogKind kind, Fault fault, const Options& current,
                                 const Request& req, Response& res) {
    std::string log;
    {
        std::lock_guard lock(mutex);
        log = kind == LogKind::System ? systemLog : securityLog;
    }
    const std::string label = fault == Fault::UnknownCharset ? kUnknownCharset : current.charset;
    const std::string type = "text/html; charset=" + label;
    res.status = 200;
    res.set_header("Cache-Control", "no-cache");

    if (fault == Fault::EmptyPage) {
        res.set_content("", type);
        return;
    }
    if (fault == Fault::Status204 || fault == Fault::Status304) {
        res.status = fault == Fault::Status204 ? 204 : 304;
        return;
    }
    if (fault == Fault::GzipBody) {
        res.set_content(std::string(kGzipPage, sizeof kGzipPage - 1), type);
        res.set_header("Content-Encoding", "gzip");
        return;
    }
    if (fault == Fault::PlainText) {
        res.set_content(log + "\n", "text/plain; charset=utf-8");
        return;
    }
    if (fault == Fault::BinaryBody) {
        res.set_content(binaryBody(16u << 10), type);
        return;
    }
    if (fault == Fault::HugeBody) {
        auto page = std::make_shared<const OversizedPage>(kind, current.style, log, current.charset,
                                                          current.hugeBodyBytes + 1);
        const int fd = addStream(req);
        res.set_content_provider(
            page->size(), type,
            [this, page](std::size_t offset, std::size_t length, DataSink& sink) {
                if (!pause(0ms)) return false;
                const std::string piece = page->piece(offset, std::min(length, kHugeChunk));
                return sink.write(piece.data(), piece.size());
            },
            [this, fd](bool) { removeStream(fd); });
        return;
    }

    std::string html = renderPage(kind, current.style, log, label, fault == Fault::MarkersInMarkup,
                                  current.plainMarkup);
    if (fault == Fault::DeepNesting) html = nestedPage(kind, current.style, log, label);
    if (!current.pageScript.empty()) {
        html.insert(html.rfind("</body>"), "<script>" + current.pageScript + "</script>\n");
    }
    if (isHostileMarkup(fault)) {
        html = hostilePage(fault, kind, current.style, log, label, current.hostileBytes,
                           current.plainMarkup);
    }
    auto page = std::make_shared<const std::string>(encodePage(html, current.charset));
    if (fault == Fault::OctetStream) {
        res.set_content(*page, "application/octet-stream");
    } else if (fault == Fault::Trickle) {
        const std::chrono::milliseconds interval = current.trickleInterval;
        const int fd = addStream(req);
        res.set_content_provider(
            page->size(), type,
            [this, page, interval](std::size_t offset, std::size_t, DataSink& sink) {
                if (!pause(interval)) return false;
                return sink.write(page->data() + offset, 1);
            },
            [this, fd](bool) { removeStream(fd); });
    } else if (fault == Fault::CutBody) {
        res.set_content_provider(
            page->size(), type, [page](std::size_t offset, std::size_t, DataSink& sink) {
                const std::size_t half = page->size() / 2;
                if (offset < half) sink.write(page->data() + offset, half - offset);
                return false;  // the library closes the connection short of the announced length
            });
    } else if (fault == Fault::SlowBody) {
        const auto pieces = std::max<long>(1, long(page->size() / kSlowPiece));
        const std::chrono::milliseconds interval = std::max(10ms, kSlowTotal / pieces);
        const int fd = addStream(req);
        res.set_content_provider(
            page->size(), type,
            [this, page, interval](std::size_t offset, std::size_t length, DataSink& sink) {
                if (!pause(interval)) return false;
                return sink.write(page->data() + offset, std::min(length, kSlowPiece));
            },
            [this, fd](bool) { removeStream(fd); });
    } else {
        res.set_content(*page, type);
    }
}

// Nothing is written back: stop() wakes the handler, which cuts the connection before the
// library could send the response that a handler must always leave behind.
void RouterSim::Impl::holdUntilStop(const Request& req) {
    const int fd =
        findServerSideSocket(req.local_addr, req.local_port, req.remote_addr, req.remote_port);
    std::unique_lock lock(mutex);
    stopped.wait(lock, [this] { return stopping; });
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

// An interim answer goes out ahead of the library's own, on the same connection.
void RouterSim::Impl::sendInterim(const Request& req, std::string_view bytes) {
    const int fd =
        findServerSideSocket(req.local_addr, req.local_port, req.remote_addr, req.remote_port);
    if (fd >= 0) sendRaw(fd, bytes);
}

// Answers that the library cannot produce, written on the connection behind its back; the
// connection is then cut, so the library's own answer goes nowhere.
void RouterSim::Impl::answerRaw(Fault fault, const Request& req) {
    const int fd = addStream(req);
    if (fd < 0) return;
    if (fault == Fault::NotHttp) {
        sendRaw(fd, "QR-100 management console\r\nlogin: ");
    } else if (fault == Fault::LongReason) {
        const std::string body = statusPage(500);
        sendRaw(fd, "HTTP/1.1 500 " + longReason(kLongReasonBytes) +
                        "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    } else {
        bool open = sendRaw(fd, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n");
        const std::string value(1000, 'a');
        for (std::size_t sent = 0, n = 0; open && sent < kFloodBytes; ++n) {
            const std::string line = "X-Flood-" + std::to_string(n) + ": " + value + "\r\n";
            open = sendRaw(fd, line);
            sent += line.size();
        }
    }
    ::shutdown(fd, SHUT_RDWR);
    removeStream(fd);
}

// False once the client has gone or stop() has begun.
bool RouterSim::Impl::sendRaw(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        {
            std::lock_guard lock(mutex);
            if (stopping) return false;
        }
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            // The library's send timeout wakes a blocked send now and then; go on unless stopped.
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return false;
        }
        bytes.remove_prefix(std::size_t(sent));
    }
    return true;
}

int RouterSim::Impl::addStream(const Request& req) {
    const int fd =
        findServerSideSocket(req.local_addr, req.local_port, req.remote_addr, req.remote_port);
    if (fd >= 0) {
        std::lock_guard lock(mutex);
        if (stopping) ::shutdown(fd, SHUT_RDWR);  // stop() has already cut the others
        streams.insert(fd);
    }
    return fd;
}

// Runs as the response is destroyed, before the library closes the socket, so stop() never
// touches a descriptor number that has been reused.
void RouterSim::Impl::removeStream(int fd) {
    std::lock_guard lock(mutex);
    streams.erase(fd);
}

// False once stop() has begun, which ends a paced or oversized response early.
bool RouterSim::Impl::pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex);
    return !stopped.wait_for(lock, duration, [this] { return stopping; });
}

RouterSim::RouterSim(Options options) : impl_(std::make_unique<Impl>()) {
    const auto now = std::chrono::system_clock::now();
    impl_->systemLog = makeSystemLog(now, options.firewallLines);
    impl_->securityLog = makeSecurityLog(now);
    impl_->options = std::move(options);
}

RouterSim::~RouterSim() { stop(); }

bool RouterSim::start(const std::string& host, int port) {
    std::lock_guard life(impl_->lifecycle);
    if (impl_->server) return false;
    {
        std::lock_guard lock(impl_->mutex);
        if (!impl_->options.allowAnyHost && !isLoopbackHost(host)) return false;
    }
    auto server = std::make_unique<httplib::Server>();
    // One request per connection keeps stop() prompt: the library joins its workers, and an
    // idle keep-alive connection would hold one for its whole timeout. That timeout is also how
    // long a new connection waits for its request, which a client on a busy machine may send
    // seconds after the connection stands: a shorter wait closed such a connection unanswered,
    // and the client rightly reported the router's silence (a soak once lost a clear that way).
    server->set_keep_alive_max_count(1);
    server->set_keep_alive_timeout(10);
    // The library's queue of connections not yet accepted stays at its five, as short as a small
    // router's: a client that opens more connections at once has some openings dropped, which
    // the system tries again only a second later.
    // The library's default adds SO_REUSEPORT, which would let a second simulator share a busy
    // port and take half of its connections; a busy port must make start() fail instead.
    server->set_socket_options([](int sock) {
        const int on = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    });
    server->set_pre_routing_handler(
        [impl = impl_.get()](const Request& req, Response& res) { return impl->handle(req, res); });
    const int bound =
        port == 0 ? server->bind_to_any_port(host) : (server->bind_to_port(host, port) ? port : -1);
    if (bound <= 0) return false;
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = false;
        impl_->host = host;
        impl_->port = bound;
    }
    auto ended = std::make_shared<std::atomic<bool>>(false);
    httplib::Server* raw = server.get();
    impl_->thread = std::thread([raw, ended] {
        raw->listen_after_bind();
        *ended = true;
    });
    // The library's stop() does nothing until the accept loop runs.
    while (!raw->is_running() && !*ended) std::this_thread::sleep_for(1ms);
    if (*ended) {
        impl_->thread.join();
        return false;
    }
    impl_->server = std::move(server);
    return true;
}

void RouterSim::stop() {
    std::lock_guard life(impl_->lifecycle);
    if (!impl_->server) return;
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
        for (int fd : impl_->streams) ::shutdown(fd, SHUT_RDWR);
    }
    impl_->stopped.notify_all();
    impl_->server->stop();
    impl_->thread.join();
    impl_->server.reset();
}

int RouterSim::port() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->port;
}

std::string RouterSim::host() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->host;
}

std::string RouterSim::systemLog() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->systemLog;
}

std::string RouterSim::securityLog() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->securityLog;
}

void RouterSim::setSystemLog(std::string text) {
    std::lock_guard lock(impl_->mutex);
    impl_->systemLog = std::move(text);
}

void RouterSim::setSecurityLog(std::string text) {
    std::lock_guard lock(impl_->mutex);
    impl_->securityLog = std::move(text);
}

void RouterSim::setFault(Fault fault) {
    std::lock_guard lock(impl_->mutex);
    impl_->options.fault = fault;
}

void RouterSim::setStyle(PageStyle style) {
    std::lock_guard lock(impl_->mutex);
    impl_->options.style = style;
}

std::vector<ReceivedRequest> RouterSim::requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->requests;
}

int RouterSim::clearRequestCount() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->clearRequests;
}

int RouterSim::streamsInProgress() const {
    std::lock_guard lock(impl_->mutex);
    return int(impl_->streams.size());
}

int RouterSim::clearsPerformed() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->clears;
}

void RouterSim::resetRequests() {
    std::lock_guard lock(impl_->mutex);
    impl_->requests.clear();
    impl_->clearRequests = 0;
    impl_->clears = 0;
}

}  // namespace routersim

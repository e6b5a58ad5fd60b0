#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "app/ShellLog.h"

namespace halvern {

namespace {

constexpr QByteArrayView kActivate = "activate\n";
constexpr QByteArrayView kDone = "ok\n";

QString SafeName(const QString& text) {
    QString out;
    // A reverse-DNS application id keeps its dots, so the socket reads as the program's.
    for (QChar c : text) out += (c.isLetterOrNumber() || c == u'.' || c == u'-' ? c : QChar(u'_'));
    return out;
}

// The socket address for `path`, or nothing when the path does not fit one.
std::optional<sockaddr_un> AddressOf(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (bytes.isEmpty() || static_cast<std::size_t>(bytes.size()) >= sizeof address.sun_path) return std::nullopt;
    std::memcpy(address.sun_path, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return address;
}

// Waits for `events` on `fd` until the deadline; false when it passed first.
bool WaitFor(int fd, short events, const QDeadlineTimer& deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::clamp<qint64>(deadline.remainingTime(), 0, 60000)));
        if (r > 0) return true;
        if (r == 0 || errno != EINTR) return false;
    }
}

}  // namespace

struct SingleInstance::Peer {
    int fd = -1;
    QByteArray received;
    std::unique_ptr<QSocketNotifier> readable;
    std::unique_ptr<QTimer> timeLimit;
};

bool IsActivationToken(QByteArrayView token) {
    if (token.isEmpty() || token.size() > SingleInstance::kMaxTokenBytes) return false;
    return std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

PeerMessage ReadPeerRequest(QByteArrayView received) {
    if (received.size() > SingleInstance::kMaxRequestBytes) return {PeerRequest::Refused, {}};
    const qsizetype end = received.indexOf('\n');
    if (end < 0) return {PeerRequest::Incomplete, {}};
    const QByteArrayView line = received.first(end + 1);
    if (line == kActivate) return {PeerRequest::Activate, {}};
    // "activate TOKEN\n": one blank, then a token and nothing else.
    constexpr QByteArrayView kWithToken = "activate ";
    if (!line.startsWith(kWithToken)) return {PeerRequest::Refused, {}};
    const QByteArrayView token = line.sliced(kWithToken.size()).chopped(1);
    if (!IsActivationToken(token)) return {PeerRequest::Refused, {}};
    return {PeerRequest::Activate, token.toByteArray()};
}

SingleInstance::SingleInstance(const QString& name, QString folder) {
    if (folder.isEmpty()) {
        folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::tempPath();
    }
    base_ = QDir(folder).filePath(u"%1-%2"_qs.arg(SafeName(name)).arg(::getuid()));
}

SingleInstance::~SingleInstance() {
    for (auto& peer : peers_) ::close(peer->fd);
    peers_.clear();
    listening_.reset();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        ::unlink(QFile::encodeName(socketPath()).constData());
    }
}

SingleInstance::Outcome SingleInstance::claim(std::chrono::milliseconds answerWithin, QByteArray token) {
    lock_ = std::make_unique<QLockFile>(lockPath());
    // A lock whose owner died is taken over; a live owner's lock never goes stale.
    lock_->setStaleLockTime(std::chrono::milliseconds(0));
    if (lock_->tryLock(0)) {
        if (!listen())
            qCWarning(lcShell).noquote() << "cannot listen on" << socketPath() << ":" << std::strerror(errno);
        return Outcome::First;
    }
    if (lock_->error() != QLockFile::LockFailedError) {
        // The folder cannot hold a lock (read-only, full): run without the guard
        // rather than not at all.
        qCWarning(lcShell).noquote() << "cannot create" << lockPath() << "; running without the single-instance guard";
        lock_.reset();
        return Outcome::First;
    }
    lock_.reset();
    if (!token.isEmpty() && !IsActivationToken(token)) {
        qCWarning(lcShell) << "activation token of" << token.size() << "bytes not passed on: not a token";
        token.clear();
    }
    return askRunning(answerWithin, token);
}

bool SingleInstance::listen() {
    const std::optional<sockaddr_un> address = AddressOf(socketPath());
    if (!address) {
        errno = ENAMETOOLONG;
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    // We hold the lock, so a socket file still there belongs to a copy that died.
    ::unlink(address->sun_path);
    // Only this user may connect: the socket is made under a umask that leaves the
    // group and others out, so there is no moment in which they could.
    const mode_t before = ::umask(077);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0;
    ::umask(before);
    if (!bound || ::listen(fd, 8) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return false;
    }
    listenFd_ = fd;
    listening_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(listening_.get(), &QSocketNotifier::activated, listening_.get(), [this] { serve(); });
    return true;
}

void SingleInstance::serve() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR) continue;
            return;  // EAGAIN: no more waiting; anything else: try again on the next wake
        }
        auto peer = std::make_unique<Peer>();
        Peer* p = peer.get();
        p->fd = fd;
        p->readable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(p->readable.get(), &QSocketNotifier::activated, p->readable.get(), [this, p] { read(p); });
        // Nobody may hold a connection open.
        p->timeLimit = std::make_unique<QTimer>();
        p->timeLimit->setSingleShot(true);
        QObject::connect(p->timeLimit.get(), &QTimer::timeout, p->timeLimit.get(), [this, p] { drop(p); });
        p->timeLimit->start(kPeerTimeLimit);
        peers_.push_back(std::move(peer));
    }
}

void SingleInstance::read(Peer* peer) {
    // Nobody may make us buffer more than a request: one byte past it is enough to
    // know it is too long.
    char chunk[kMaxRequestBytes + 1];
    const qsizetype room = kMaxRequestBytes + 1 - peer->received.size();
    const ssize_t n = ::recv(peer->fd, chunk, static_cast<std::size_t>(std::max<qsizetype>(room, 1)), 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) {
        drop(peer);
        return;
    }
    peer->received.append(chunk, n);
    const PeerMessage message = ReadPeerRequest(peer->received);
    switch (message.request) {
        case PeerRequest::Incomplete: return;
        case PeerRequest::Refused: drop(peer); return;
        case PeerRequest::Activate: {
            const QByteArray& token = message.token;
            qCInfo(lcShell).noquote() << "second start: activating"
                                      << (token.isEmpty() ? u"without a token"_qs
                                                          : u"with token "_qs + QString::fromLatin1(token));
            if (onActivate_) onActivate_(token);
            // Three bytes into an empty socket buffer; a peer gone meanwhile is no error.
            (void)::send(peer->fd, kDone.data(), static_cast<std::size_t>(kDone.size()), MSG_NOSIGNAL);
            drop(peer);
            return;
        }
    }
}

void SingleInstance::drop(Peer* peer) {
    // Called from the peer's own notifier or timer: they stop now and are deleted once
    // control is back in the event loop.
    peer->readable->setEnabled(false);
    peer->timeLimit->stop();
    ::shutdown(peer->fd, SHUT_RDWR);
    ::close(peer->fd);
    peer->fd = -1;
    auto it = std::find_if(peers_.begin(), peers_.end(), [peer](const auto& p) { return p.get() == peer; });
    if (it == peers_.end()) return;
    std::unique_ptr<Peer> gone = std::move(*it);
    peers_.erase(it);
    gone->readable.release()->deleteLater();
    gone->timeLimit.release()->deleteLater();
}

namespace {

enum class Exchange {
    Done,      // the running copy answered that it activated
    Closed,    // it ended the connection without that answer: it refused the line
    NoAnswer,  // no connection, or no answer before the deadline
};

// One request on a fresh connection to the running copy's socket.
Exchange Ask(const sockaddr_un& address, QByteArrayView line, const QDeadlineTimer& deadline) {
    while (!deadline.hasExpired()) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return Exchange::NoAnswer;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            // The running copy holds the lock but is not listening yet: it is starting.
            QThread::msleep(50);
            continue;
        }
        Exchange outcome = Exchange::NoAnswer;
        if (::send(fd, line.data(), static_cast<std::size_t>(line.size()), MSG_NOSIGNAL) == line.size()) {
            QByteArray answer;
            char chunk[16];
            bool closed = false;
            while (!answer.contains('\n') && answer.size() <= SingleInstance::kMaxRequestBytes &&
                   WaitFor(fd, POLLIN, deadline)) {
                const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
                if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
                if (n < 0 && errno != ECONNRESET) break;
                closed = n <= 0;
                if (closed) break;
                answer.append(chunk, n);
            }
            if (answer == kDone) outcome = Exchange::Done;
            else if (closed && answer.isEmpty()) outcome = Exchange::Closed;
        }
        ::close(fd);
        return outcome;
    }
    return Exchange::NoAnswer;
}

}  // namespace

SingleInstance::Outcome SingleInstance::askRunning(std::chrono::milliseconds answerWithin, const QByteArray& token) {
    const QDeadlineTimer deadline(answerWithin);
    const std::optional<sockaddr_un> address = AddressOf(socketPath());
    if (!address) return Outcome::RunningNoAnswer;
    Exchange exchange = Exchange::NoAnswer;
    if (!token.isEmpty()) {
        exchange = Ask(*address, "activate " + token + "\n", deadline);
        // A copy from before tokens were passed closes on the longer line; it still
        // knows the bare one.
        if (exchange == Exchange::Closed) qCInfo(lcShell) << "the running copy refused the token; asking without it";
    }
    if (token.isEmpty() || exchange == Exchange::Closed) exchange = Ask(*address, kActivate, deadline);
    return exchange == Exchange::Done ? Outcome::ActivatedRunning : Outcome::RunningNoAnswer;
}

}  // namespace halvern

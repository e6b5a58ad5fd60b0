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

PeerRequest ReadPeerRequest(QByteArrayView received) {
    if (received.size() > SingleInstance::kMaxRequestBytes) return PeerRequest::Refused;
    const qsizetype end = received.indexOf('\n');
    if (end < 0) return PeerRequest::Incomplete;
    return received.first(end + 1) == kActivate ? PeerRequest::Activate : PeerRequest::Refused;
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

SingleInstance::Outcome SingleInstance::claim(std::chrono::milliseconds answerWithin) {
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
    return askRunning(answerWithin);
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
    switch (ReadPeerRequest(peer->received)) {
    case PeerRequest::Incomplete:
        return;
    case PeerRequest::Refused:
        drop(peer);
        return;
    case PeerRequest::Activate:
        qCInfo(lcShell) << "second start: activating";
        if (onActivate_) onActivate_();
        // Three bytes into an empty socket buffer; a peer gone meanwhile is no error.
        (void)::send(peer->fd, kDone.data(), static_cast<std::size_t>(kDone.size()), MSG_NOSIGNAL);
        drop(peer);
        return;
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

SingleInstance::Outcome SingleInstance::askRunning(std::chrono::milliseconds answerWithin) {
    const QDeadlineTimer deadline(answerWithin);
    const std::optional<sockaddr_un> address = AddressOf(socketPath());
    if (!address) return Outcome::RunningNoAnswer;
    while (!deadline.hasExpired()) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return Outcome::RunningNoAnswer;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0) {
            Outcome outcome = Outcome::RunningNoAnswer;
            if (::send(fd, kActivate.data(), static_cast<std::size_t>(kActivate.size()), MSG_NOSIGNAL) ==
                kActivate.size()) {
                QByteArray answer;
                char chunk[16];
                while (!answer.contains('\n') && answer.size() <= kMaxRequestBytes && WaitFor(fd, POLLIN, deadline)) {
                    const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
                    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
                    if (n <= 0) break;
                    answer.append(chunk, n);
                }
                if (answer == kDone) outcome = Outcome::ActivatedRunning;
            }
            ::close(fd);
            return outcome;
        }
        ::close(fd);
        // The running copy holds the lock but is not listening yet: it is starting.
        QThread::msleep(50);
    }
    return Outcome::RunningNoAnswer;
}

}  // namespace halvern

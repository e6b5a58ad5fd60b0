#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <unistd.h>

#include "app/ShellLog.h"

namespace halvern {

namespace {

constexpr QByteArrayView kActivate = "activate\n";
constexpr QByteArrayView kDone = "ok\n";

QString SafeName(const QString& text) {
    QString out;
    for (QChar c : text) out += (c.isLetterOrNumber() ? c : QChar(u'_'));
    return out;
}

void Drop(QLocalSocket* peer) {
    peer->abort();
    peer->deleteLater();
}

}  // namespace

PeerRequest ReadPeerRequest(QByteArrayView received) {
    if (received.size() > SingleInstance::kMaxRequestBytes) return PeerRequest::Refused;
    const qsizetype end = received.indexOf('\n');
    if (end < 0) return PeerRequest::Incomplete;
    return received.first(end + 1) == kActivate ? PeerRequest::Activate : PeerRequest::Refused;
}

SingleInstance::SingleInstance(const QString& className, QString folder) {
    if (folder.isEmpty()) {
        folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::tempPath();
    }
    base_ = QDir(folder).filePath(u"%1-%2"_qs.arg(SafeName(className)).arg(::getuid()));
}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

SingleInstance::Outcome SingleInstance::claim(std::chrono::milliseconds answerWithin) {
    lock_ = std::make_unique<QLockFile>(lockPath());
    // A lock whose owner died is taken over; a live owner's lock never goes stale.
    lock_->setStaleLockTime(std::chrono::milliseconds(0));
    if (lock_->tryLock(0)) {
        if (!listen()) qCWarning(lcShell).noquote() << "cannot listen on" << socketPath() << server_->errorString();
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
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket file still there belongs to a copy that died.
    QLocalServer::removeServer(socketPath());
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] { serve(); });
    return server_->listen(socketPath());
}

void SingleInstance::serve() {
    while (QLocalSocket* peer = server_->nextPendingConnection()) {
        // Nobody may make us buffer more than a request, nor hold a connection open.
        peer->setReadBufferSize(kMaxRequestBytes + 1);
        QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        QTimer::singleShot(kPeerTimeLimit, peer, [peer] { Drop(peer); });
        QObject::connect(peer, &QLocalSocket::readyRead, peer, [this, peer] { answer(peer); });
    }
}

void SingleInstance::answer(QLocalSocket* peer) {
    switch (ReadPeerRequest(peer->peek(kMaxRequestBytes + 1))) {
    case PeerRequest::Incomplete:
        return;
    case PeerRequest::Refused:
        Drop(peer);
        return;
    case PeerRequest::Activate:
        qCInfo(lcShell) << "second start: activating";
        if (onActivate_) onActivate_();
        peer->write(kDone.data(), kDone.size());
        peer->flush();
        peer->disconnectFromServer();
        return;
    }
}

SingleInstance::Outcome SingleInstance::askRunning(std::chrono::milliseconds answerWithin) {
    QDeadlineTimer deadline(answerWithin);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
            socket.write(kActivate.data(), kActivate.size());
            socket.flush();
            QByteArray answer;
            while (!answer.contains('\n') && !deadline.hasExpired() &&
                   socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))))
                answer += socket.readAll();
            if (answer == kDone) return Outcome::ActivatedRunning;
            return Outcome::RunningNoAnswer;
        }
        // The running copy holds the lock but is not listening yet: it is starting.
        QThread::msleep(50);
    }
    return Outcome::RunningNoAnswer;
}

}  // namespace halvern

// One running copy per user. The first start holds a lock file and listens on a local
// socket beside it, both named from the application id and the user id, in
// $XDG_RUNTIME_DIR (else the temporary folder). A second start finds the lock taken,
// asks the first over the socket to activate its window, waits for its answer and
// reports that it must end. A lock or socket left behind by a crash is taken over.
//
// The request is one line: "activate" and, when the launcher gave the second start an
// activation token (Wayland's xdg-activation, X11's startup id), a blank and the
// token, so that the first copy may bring its window to the front with it. A copy
// built before tokens were passed refuses such a line; the second start then asks
// again with the bare line.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QLockFile>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace halvern {

// What the first copy makes of the bytes a peer has sent so far on the socket.
enum class PeerRequest {
    Incomplete,  // no whole line yet: wait for more, within the time limit
    Activate,    // the one request there is
    Refused,     // anything else, or more bytes than a request can take
};

struct PeerMessage {
    PeerRequest request = PeerRequest::Incomplete;
    QByteArray token;  // Activate only; empty when the peer had none
    friend bool operator==(const PeerMessage&, const PeerMessage&) = default;
};

// Pure, so that any bytes at all can be thrown at it; the first line decides.
PeerMessage ReadPeerRequest(QByteArrayView received);

// A token as it may travel in the request: 1 to kMaxTokenBytes printable ASCII
// characters without blanks, which every launcher's tokens are.
bool IsActivationToken(QByteArrayView token);

class SingleInstance {
public:
    // A peer must send its request within this long, in at most this many bytes; a
    // second start sends it at once, so only a stranger runs into either.
    static constexpr std::chrono::milliseconds kPeerTimeLimit{2000};
    static constexpr qsizetype kMaxRequestBytes = 512;
    // "activate", a blank, the token and the line's end fit the request.
    static constexpr qsizetype kMaxTokenBytes = kMaxRequestBytes - 10;

    enum class Outcome {
        First,             // this process runs the program
        ActivatedRunning,  // another copy runs and has shown its window
        RunningNoAnswer,   // another copy holds the lock but did not answer in time
    };

    // `folder` empty: $XDG_RUNTIME_DIR, else the temporary folder.
    explicit SingleInstance(const QString& name, QString folder = {});
    ~SingleInstance();

    // Main thread, with a Qt application in place. `answerWithin` bounds the wait for a
    // running copy that is still starting up or is busy. `token`: this start's
    // activation token, handed to the running copy; one that IsActivationToken refuses
    // is left out.
    Outcome claim(std::chrono::milliseconds answerWithin = std::chrono::milliseconds(5000), QByteArray token = {});

    // The first copy calls this on its main thread for every second start, with the
    // token that start sent (empty: none).
    void setActivateHandler(std::function<void(const QByteArray& token)> handler) { onActivate_ = std::move(handler); }

    QString socketPath() const { return base_ + u".sock"_qs; }
    QString lockPath() const { return base_ + u".lock"_qs; }

private:
    // One connection to the listening socket, read until it makes a request, sends too
    // much or runs out of time.
    struct Peer;

    bool listen();
    void serve();
    void read(Peer* peer);
    void drop(Peer* peer);
    Outcome askRunning(std::chrono::milliseconds answerWithin, const QByteArray& token);

    QString base_;
    std::unique_ptr<QLockFile> lock_;
    // A plain local socket rather than Qt's, which would bring its network library and
    // what that links (Kerberos, proxies) into every start for one line of text.
    int listenFd_ = -1;
    std::unique_ptr<QSocketNotifier> listening_;
    std::vector<std::unique_ptr<Peer>> peers_;
    std::function<void(const QByteArray&)> onActivate_;
};

}  // namespace halvern

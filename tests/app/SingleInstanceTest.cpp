// One copy per user: a second start activates the first and hands over its activation
// token, to this build and to one from before tokens were passed; a lock or socket left
// by a crashed copy does not block the next start, and a live copy's never goes stale;
// strangers on the socket change nothing and cannot keep it busy.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "app/SingleInstance.h"
#include "support/TempDir.h"

using halvern::PeerMessage;
using halvern::PeerRequest;
using halvern::SingleInstance;
using namespace std::chrono_literals;

namespace {

const QString kClass = QStringLiteral("NORVA KX Halvern Gaming Mouse");

// Runs `work` on another thread while this one keeps serving events; returns once it ended.
template <typename F>
void WhileServing(F work) {
    std::atomic<bool> done{false};
    std::thread t([&] {
        work();
        done = true;
    });
    QElapsedTimer clock;
    clock.start();
    while (!done && clock.elapsed() < 20000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    t.join();
}

// The copy that started first, counting how often it is asked to activate and keeping
// the tokens it was given.
struct Running {
    explicit Running(const QString& folder) : guard(kClass, folder) {
        guard.setActivateHandler([this](const QByteArray& token) {
            ++activations;
            tokens << token;
        });
        claimed = guard.claim();
    }
    SingleInstance guard;
    SingleInstance::Outcome claimed;
    int activations = 0;
    QList<QByteArray> tokens;
};

SingleInstance::Outcome StartAgain(const QString& folder, const QByteArray& token = {}) {
    SingleInstance::Outcome outcome{};
    WhileServing([&] { outcome = SingleInstance(kClass, folder).claim(5000ms, token); });
    return outcome;
}

pid_t DeadPid() {
    pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

}  // namespace

TEST(SingleInstance, ASecondStartActivatesTheFirstAndIsToldToEnd) {
    halvern::test::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    Running first(folder);
    ASSERT_EQ(first.claimed, SingleInstance::Outcome::First);
    EXPECT_EQ(StartAgain(folder), SingleInstance::Outcome::ActivatedRunning);
    EXPECT_EQ(first.activations, 1);
    EXPECT_EQ(StartAgain(folder), SingleInstance::Outcome::ActivatedRunning);
    EXPECT_EQ(first.activations, 2);
}

TEST(SingleInstance, TheSecondStartsTokenReachesTheFirstOnlyWhenItIsOne) {
    halvern::test::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    Running first(folder);
    ASSERT_EQ(first.claimed, SingleInstance::Outcome::First);
    // What launchers hand out: a KWin UUID, a GNOME startup id with its time, and the
    // longest token the line takes.
    const QByteArray longest(SingleInstance::kMaxTokenBytes, 't');
    const QByteArray given[] = {"4f1c2a9e-0d3b-4e57-9c1a-7be2a5d0c6f1", "gnome-shell/halvern/2202-5-host_TIME91830",
                                longest,
                                // Not tokens: the start still activates, without one.
                                longest + "t", "two words", "line\nbreak", QByteArray("nul\0", 4), ""};
    const QByteArray arrived[] = {given[0], given[1], longest, "", "", "", "", ""};
    for (const QByteArray& token : given)
        EXPECT_EQ(StartAgain(folder, token), SingleInstance::Outcome::ActivatedRunning) << token.left(20).toStdString();
    ASSERT_EQ(first.tokens.size(), static_cast<qsizetype>(std::size(arrived)));
    for (std::size_t i = 0; i < std::size(arrived); ++i) EXPECT_EQ(first.tokens[i], arrived[i]) << i;
}

TEST(SingleInstance, ACopyFromBeforeTokensIsAskedAgainWithTheBareLine) {
    halvern::test::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    SingleInstance names(kClass, folder);
    QLockFile held(names.lockPath());
    ASSERT_TRUE(held.tryLock(0));
    // The old first copy: 64 bytes at most, "activate\n" alone, anything else closed.
    QLocalServer old;
    ASSERT_TRUE(old.listen(names.socketPath()));
    QList<QByteArray> lines;
    QObject::connect(&old, &QLocalServer::newConnection, [&] {
        QLocalSocket* peer = old.nextPendingConnection();
        QObject::connect(peer, &QLocalSocket::readyRead, [&, peer] {
            const QByteArray got = peer->read(65);
            lines << got;
            if (got == "activate\n") peer->write("ok\n");
            peer->disconnectFromServer();
        });
    });
    for (const QByteArray& token : {QByteArray("short-token"), QByteArray(200, 'k')})
        EXPECT_EQ(StartAgain(folder, token), SingleInstance::Outcome::ActivatedRunning);
    EXPECT_EQ(lines, QList<QByteArray>({"activate short-token\n", "activate\n",
                                        QByteArray("activate ") + QByteArray(56, 'k'), "activate\n"}));
}

TEST(SingleInstance, TheNamesComeFromTheGivenNameAndTheUser) {
    SingleInstance guard(kClass, QStringLiteral("/run/x"));
    EXPECT_EQ(guard.lockPath(), QStringLiteral("/run/x/NORVA_KX_Halvern_Gaming_Mouse-%1.lock").arg(getuid()));
    EXPECT_EQ(guard.socketPath(), QStringLiteral("/run/x/NORVA_KX_Halvern_Gaming_Mouse-%1.sock").arg(getuid()));

    // An application id keeps its dots; a path separator never survives.
    SingleInstance byId(QStringLiteral("io.github.halvern.Halvern"), QStringLiteral("/run/x"));
    EXPECT_EQ(byId.socketPath(), QStringLiteral("/run/x/io.github.halvern.Halvern-%1.sock").arg(getuid()));
    SingleInstance escaping(QStringLiteral("../../etc/x"), QStringLiteral("/run/x"));
    EXPECT_EQ(escaping.lockPath(), QStringLiteral("/run/x/.._.._etc_x-%1.lock").arg(getuid()));
}

TEST(SingleInstance, ALockAndSocketLeftByACrashedCopyAreTakenOver) {
    halvern::test::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    SingleInstance probe(kClass, folder);
    // A lock file exactly as a live copy writes it, but naming a process that is gone.
    QByteArray contents;
    {
        QLockFile lock(probe.lockPath());
        ASSERT_TRUE(lock.tryLock(0));
        QFile f(probe.lockPath());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        contents = f.readAll();
    }
    const qsizetype firstLine = contents.indexOf('\n');
    contents = QByteArray::number(DeadPid()) + contents.mid(firstLine);
    QFile f(probe.lockPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(contents);
    f.close();
    QFile socket(probe.socketPath());
    ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
    socket.close();

    Running next(folder);
    ASSERT_EQ(next.claimed, SingleInstance::Outcome::First);
    EXPECT_EQ(StartAgain(folder), SingleInstance::Outcome::ActivatedRunning);
    EXPECT_EQ(next.activations, 1);
}

TEST(SingleInstance, ALiveCopysLockNeverGoesStaleHoweverOld) {
    halvern::test::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    Running first(folder);
    ASSERT_EQ(first.claimed, SingleInstance::Outcome::First);
    // The same lock, but as a file system that keeps no kernel locks shows it: only its
    // contents (a live process of ours) and its age (a day's session) tell.
    const std::filesystem::path lock = first.guard.lockPath().toStdString();
    const std::filesystem::path copy = lock.string() + ".copy";
    std::filesystem::copy_file(lock, copy);
    std::filesystem::rename(copy, lock);
    std::filesystem::last_write_time(lock, std::filesystem::file_time_type::clock::now() - std::chrono::hours(24));
    EXPECT_EQ(StartAgain(folder), SingleInstance::Outcome::ActivatedRunning);
    EXPECT_EQ(first.activations, 1);
}

TEST(SingleInstance, ACopyThatHoldsTheLockButDoesNotAnswerStillMeansEnd) {
    halvern::test::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    QLockFile held(SingleInstance(kClass, folder).lockPath());
    ASSERT_TRUE(held.tryLock(0));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(SingleInstance(kClass, folder).claim(300ms), SingleInstance::Outcome::RunningNoAnswer);
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST(SingleInstance, StrangersOnTheSocketActivateNothing) {
    halvern::test::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    Running first(folder);
    ASSERT_EQ(first.claimed, SingleInstance::Outcome::First);

    for (const QByteArray& message :
         {QByteArray("hello\n"), QByteArray(4096, 'a'), QByteArray("activate"),
          QByteArray("activate\nactivate\n") + QByteArray(SingleInstance::kMaxRequestBytes, 'x')}) {
        QByteArray answer;
        WhileServing([&] {
            QLocalSocket s;
            s.connectToServer(first.guard.socketPath());
            if (!s.waitForConnected(2000)) return;
            s.write(message);
            s.flush();
            if (s.waitForReadyRead(300)) answer = s.readAll();
        });
        EXPECT_NE(answer, QByteArray("ok\n")) << message.left(20).toStdString();
    }
    EXPECT_EQ(first.activations, 0);
}

namespace {

// Sends `message` once, or over and over when `flood`, and reports whether the first copy
// ended the connection within `within`.
bool CutOffAfterSending(const QString& socketPath, const QByteArray& message, bool flood,
                        std::chrono::milliseconds within = 10s) {
    bool cutOff = false;
    WhileServing([&] {
        QLocalSocket s;
        s.connectToServer(socketPath);
        if (!s.waitForConnected(2000)) return;
        QElapsedTimer clock;
        clock.start();
        do {
            s.write(message);
            s.waitForBytesWritten(100);
        } while (flood && s.state() == QLocalSocket::ConnectedState && clock.elapsed() < within.count());
        cutOff = s.state() == QLocalSocket::UnconnectedState ||
                 s.waitForDisconnected(static_cast<int>(std::max<qint64>(1, within.count() - clock.elapsed())));
    });
    return cutOff;
}

}  // namespace

TEST(SingleInstance, APeerThatSendsHalfALineOrFloodsIsCutOffAndTheNextStartStillActivates) {
    halvern::test::TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    Running first(folder);
    ASSERT_EQ(first.claimed, SingleInstance::Outcome::First);

    EXPECT_TRUE(CutOffAfterSending(first.guard.socketPath(), "activ", false));
    EXPECT_TRUE(CutOffAfterSending(first.guard.socketPath(), QByteArray(65536, 'x'), true));
    EXPECT_EQ(first.activations, 0);
    EXPECT_EQ(StartAgain(folder), SingleInstance::Outcome::ActivatedRunning);
    EXPECT_EQ(first.activations, 1);
}

TEST(SingleInstance, OnlyTheOneRequestLineActivatesAndItsLengthIsCapped) {
    const qsizetype cap = SingleInstance::kMaxRequestBytes;
    const QByteArray atCap(cap, 'a');
    const QByteArray longest(SingleInstance::kMaxTokenBytes, 't');
    const PeerMessage incomplete{PeerRequest::Incomplete, {}};
    const PeerMessage refused{PeerRequest::Refused, {}};
    const PeerMessage bare{PeerRequest::Activate, {}};
    const std::pair<QByteArray, PeerMessage> cases[] = {
        {"", incomplete},
        {"activ", incomplete},
        {"activate tok", incomplete},
        {atCap, incomplete},
        {atCap + "\n", refused},
        {atCap + "x", refused},
        {"activate\n", bare},
        // What follows the line is never read as a request.
        {"activate\n" + QByteArray(cap - 9, 'x'), bare},
        {"activate\n" + QByteArray(cap - 8, 'x'), refused},
        {"activate abc-123_TIME42\n", {PeerRequest::Activate, "abc-123_TIME42"}},
        {"activate " + longest + "\n", {PeerRequest::Activate, longest}},
        {"activate " + longest + "t\n", refused},
        {"activate \n", refused},
        {"activate  two\n", refused},
        {"activate one two\n", refused},
        {"activate tab\there\n", refused},
        {"activate t\x7f\n", refused},
        {"activate t\xc3\xa9\n", refused},
        {"activatex\n", refused},
        {"ACTIVATE\n", refused},
        {"activate\r\n", refused},
        {"\nactivate\n", refused},
        {QByteArray("activate\0\n", 10), refused},
    };
    for (const auto& [bytes, expected] : cases) {
        const PeerMessage got = halvern::ReadPeerRequest(bytes);
        EXPECT_EQ(got.request, expected.request) << bytes.left(40).toStdString();
        EXPECT_EQ(got.token, expected.token) << bytes.left(40).toStdString();
    }
}

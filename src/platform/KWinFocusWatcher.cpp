#include "platform/KWinFocusWatcher.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>
#include <QLoggingCategory>

#include "storage/FocusRules.h"

Q_DECLARE_LOGGING_CATEGORY(lcFocus)

namespace halvern {

namespace {

const QString kKWinService = u"org.kde.KWin"_qs;
const QString kScriptingPath = u"/Scripting"_qs;
const QString kScriptingInterface = u"org.kde.kwin.Scripting"_qs;
// More names than a desktop shows; a flood from the bus is cut here.
constexpr qsizetype kMaxNames = 2048;

void AddOnce(std::vector<std::string>& names, const QString& name) {
    std::string utf8 = name.toStdString();
    if (CheckApplicationName(utf8)) return;
    for (const std::string& known : names)
        if (SameApplication(known, utf8)) return;
    names.push_back(std::move(utf8));
}

QDBusMessage CallScripting(QDBusConnection& bus, const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(kKWinService, kScriptingPath, kScriptingInterface, method);
    call.setArguments(arguments);
    return bus.call(call, QDBus::Block, 5000);
}

}  // namespace

QString KWinFocusWatcher::Script(const QString& service) {
    // KWin 5 names windows "clients" and KWin 6 "windows"; the script takes either.
    // Only the names go over the bus, never titles.
    return uR"js(
var service = "%1";
var path = "%2";
var iface = "io.github.halvern.FocusWatcher";
function nameOf(w, key) { return w && w[key] ? String(w[key]) : ""; }
function activated(w) {
    callDBus(service, path, iface, "Activated", nameOf(w, "resourceName"), nameOf(w, "resourceClass"));
}
function listed() {
    var all = workspace.windowList ? workspace.windowList() : workspace.clientList();
    var names = [];
    for (var i = 0; i < all.length; ++i) {
        if (!all[i].normalWindow) continue;
        names.push(nameOf(all[i], "resourceName"));
        names.push(nameOf(all[i], "resourceClass"));
    }
    callDBus(service, path, iface, "Windows", names);
}
(workspace.windowActivated || workspace.clientActivated).connect(activated);
(workspace.windowAdded || workspace.clientAdded).connect(listed);
(workspace.windowRemoved || workspace.clientRemoved).connect(listed);
listed();
activated(workspace.activeWindow || workspace.activeClient);
)js"_qs.arg(service, QString::fromLatin1(kObjectPath));
}

KWinFocusWatcher::KWinFocusWatcher(QDBusConnection bus) : bus_(std::move(bus)) {}

KWinFocusWatcher::~KWinFocusWatcher() {
    if (loaded_) CallScripting(bus_, u"unloadScript"_qs, {pluginName_});
    bus_.unregisterObject(QString::fromLatin1(kObjectPath));
}

bool KWinFocusWatcher::start(Listener listener) {
    listener_ = std::move(listener);
    if (!bus_.isConnected()) {
        error_ = u"no session bus"_qs;
        return false;
    }
    if (!bus_.registerObject(QString::fromLatin1(kObjectPath), this, QDBusConnection::ExportScriptableSlots)) {
        error_ = u"the watcher's object could not be put on the bus"_qs;
        return false;
    }
    kwinOwner_ = bus_.interface()->serviceOwner(kKWinService).value();
    if (kwinOwner_.isEmpty()) {
        error_ = u"KWin is not on the session bus"_qs;
        return false;
    }
    // One name per process: halvernctl may ask while halvern watches.
    pluginName_ = u"halvern-focus-%1"_qs.arg(QCoreApplication::applicationPid());
    const QString file = folder_.filePath(u"focus.js"_qs);
    QFile script(file);
    if (!folder_.isValid() || !script.open(QIODevice::WriteOnly) ||
        script.write(Script(bus_.baseService()).toUtf8()) < 0) {
        error_ = u"the KWin script could not be written"_qs;
        return false;
    }
    script.close();
    const QDBusMessage loaded = CallScripting(bus_, u"loadScript"_qs, {file, pluginName_});
    if (loaded.type() != QDBusMessage::ReplyMessage || loaded.arguments().isEmpty() ||
        loaded.arguments().first().toInt() < 0) {
        error_ = u"KWin did not load the script: %1"_qs.arg(loaded.errorMessage());
        return false;
    }
    loaded_ = true;
    const int id = loaded.arguments().first().toInt();
    // KWin 5.27 runs a loaded script through its own object; later ones through start().
    QDBusMessage run = QDBusMessage::createMethodCall(kKWinService, u"/Scripting/Script%1"_qs.arg(id),
                                                      u"org.kde.kwin.Script"_qs, u"run"_qs);
    if (bus_.call(run, QDBus::Block, 5000).type() != QDBusMessage::ReplyMessage) {
        const QDBusMessage started = CallScripting(bus_, u"start"_qs, {});
        if (started.type() != QDBusMessage::ReplyMessage) {
            error_ = u"KWin did not run the script: %1"_qs.arg(started.errorMessage());
            return false;
        }
    }
    return true;
}

bool KWinFocusWatcher::calledByKWin() const {
    // Anyone on the session bus can call the watcher; only KWin's script is listened to.
    return calledFromDBus() && !kwinOwner_.isEmpty() && message().service() == kwinOwner_;
}

void KWinFocusWatcher::Activated(const QString& resourceName, const QString& resourceClass) {
    if (!calledByKWin()) return;
    FocusedWindow now;
    AddOnce(now.names, resourceName);
    AddOnce(now.names, resourceClass);
    if (now == focused_) return;
    focused_ = std::move(now);
    if (listener_) listener_(focused_);
}

void KWinFocusWatcher::Windows(const QStringList& names) {
    if (!calledByKWin()) return;
    windows_.clear();
    for (qsizetype i = 0; i < names.size() && i < kMaxNames; ++i) AddOnce(windows_, names[i]);
}

}  // namespace halvern

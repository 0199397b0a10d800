#include "tools/bluez-mock/bluez_mock.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QMap>

namespace vx414::bluezmock {
namespace {

using InterfaceMap = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, InterfaceMap>;

const QString AdapterInterface = QStringLiteral("org.bluez.Adapter1");
const QString DeviceInterface = QStringLiteral("org.bluez.Device1");
const QString ServiceInterface = QStringLiteral("org.bluez.GattService1");
const QString CharacteristicInterface = QStringLiteral("org.bluez.GattCharacteristic1");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

QString qstring(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

constexpr MockService Services[] = {
    {"fff0", "0000fff0-0000-1000-8000-00805f9b34fb", "0000fff1-0000-1000-8000-00805f9b34fb",
     "0000fff2-0000-1000-8000-00805f9b34fb"},
    {"ffe0", "0000ffe0-0000-1000-8000-00805f9b34fb", "0000ffe1-0000-1000-8000-00805f9b34fb",
     "0000ffe1-0000-1000-8000-00805f9b34fb"},
    {"18f0", "000018f0-0000-1000-8000-00805f9b34fb", "00002af0-0000-1000-8000-00805f9b34fb",
     "00002af1-0000-1000-8000-00805f9b34fb"},
    {"6e400001", "6e400001-b5a3-f393-e0a9-e50e24dcca9e", "6e400003-b5a3-f393-e0a9-e50e24dcca9e",
     "6e400002-b5a3-f393-e0a9-e50e24dcca9e"},
    {"e7810a71", "e7810a71-73ae-499d-8c15-faa9aef0c3f2", "bef8d6c9-9c21-4c9e-b632-bd58c1009f9f",
     "bef8d6c9-9c21-4c9e-b632-bd58c1009f9f"},
};

}  // namespace

const MockService* mockServiceByShortName(std::string_view name) {
    for (const MockService& entry : Services) {
        if (entry.shortName == name) return &entry;
    }
    return nullptr;
}

MockBluez::MockBluez(const MockOptions& options, QDBusConnection bus)
    : options_(options),
      service_(options.service != nullptr ? options.service : &Services[0]),
      bus_(std::move(bus)),
      adapter_(options.adapter) {
    qDBusRegisterMetaType<InterfaceMap>();
    qDBusRegisterMetaType<ManagedObjects>();
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { sendDue(); });
}

QString MockBluez::devicePath() const {
    return adapterPath() + QStringLiteral("/dev_") + qstring(options_.address).replace(QLatin1Char(':'), QLatin1Char('_'));
}

QString MockBluez::writePath() const {
    return oneCharacteristic() ? notifyPath() : servicePath() + QStringLiteral("/char0014");
}

bool MockBluez::start() {
    // ObjectManager sits on the root, the objects under /org/bluez.
    return bus_.registerVirtualObject(QStringLiteral("/"), this, QDBusConnection::SingleNode) &&
           bus_.registerVirtualObject(QStringLiteral("/org/bluez"), this, QDBusConnection::SubPath) &&
           bus_.registerService(QStringLiteral("org.bluez"));
}

QString MockBluez::introspect(const QString& /*path*/) const { return {}; }

QVariantMap MockBluez::properties(const QString& path, const QString& interface) const {
    QVariantMap p;
    if (interface == AdapterInterface && path == adapterPath() && !options_.noAdapter) {
        p[QStringLiteral("Address")] = QStringLiteral("00:11:22:33:44:55");
        p[QStringLiteral("Name")] = QStringLiteral("mock");
        p[QStringLiteral("Powered")] = !options_.poweredOff;
    } else if (interface == DeviceInterface && path == devicePath() && !options_.noAdapter) {
        p[QStringLiteral("Address")] = qstring(options_.address);
        p[QStringLiteral("Name")] = qstring(options_.name);
        p[QStringLiteral("Alias")] = qstring(options_.name);
        p[QStringLiteral("Adapter")] = QVariant::fromValue(QDBusObjectPath(adapterPath()));
        p[QStringLiteral("Paired")] = false;
        p[QStringLiteral("Trusted")] = false;
        p[QStringLiteral("Connected")] = connected_;
        p[QStringLiteral("ServicesResolved")] = connected_;
        p[QStringLiteral("RSSI")] = QVariant::fromValue(static_cast<qint16>(-58));
        p[QStringLiteral("UUIDs")] = QStringList{qstring(service_->service)};
    } else if (interface == ServiceInterface && path == servicePath() && connected_) {
        p[QStringLiteral("UUID")] = qstring(service_->service);
        p[QStringLiteral("Device")] = QVariant::fromValue(QDBusObjectPath(devicePath()));
        p[QStringLiteral("Primary")] = true;
    } else if (interface == CharacteristicInterface && (path == notifyPath() || path == writePath()) && connected_) {
        const bool notify = path == notifyPath();
        const bool write = path == writePath();
        p[QStringLiteral("UUID")] = qstring(notify ? service_->notify : service_->write);
        p[QStringLiteral("Service")] = QVariant::fromValue(QDBusObjectPath(servicePath()));
        QStringList flags;
        if (notify) flags << QStringLiteral("read") << QStringLiteral("notify");
        if (write) flags << QStringLiteral("write") << QStringLiteral("write-without-response");
        p[QStringLiteral("Flags")] = flags;
        p[QStringLiteral("Notifying")] = notify && notifying_;
        p[QStringLiteral("MTU")] = QVariant::fromValue(static_cast<quint16>(options_.mtu));
    }
    return p;
}

QDBusMessage MockBluez::managedObjects(const QDBusMessage& call) const {
    ManagedObjects objects;
    const std::pair<QString, QString> all[] = {{adapterPath(), AdapterInterface}, {devicePath(), DeviceInterface},
                                               {servicePath(), ServiceInterface}, {notifyPath(), CharacteristicInterface},
                                               {writePath(), CharacteristicInterface}};
    for (const auto& [path, interface] : all) {
        const QVariantMap p = properties(path, interface);
        if (!p.isEmpty()) objects[QDBusObjectPath(path)][interface] = p;
    }
    return call.createReply(QVariant::fromValue(objects));
}

bool MockBluez::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    const QString path = message.path();
    const QString interface = message.interface();
    const QString member = message.member();
    QDBusMessage reply;
    if (interface == QStringLiteral("org.freedesktop.DBus.ObjectManager") && member == QStringLiteral("GetManagedObjects")) {
        reply = managedObjects(message);
    } else if (interface == PropertiesInterface) {
        const QList<QVariant> arguments = message.arguments();
        const QVariantMap p = properties(path, arguments.value(0).toString());
        if (member == QStringLiteral("GetAll")) {
            reply = message.createReply(p);
        } else if (member == QStringLiteral("Get") && p.contains(arguments.value(1).toString())) {
            reply = message.createReply(QVariant::fromValue(QDBusVariant(p.value(arguments.value(1).toString()))));
        } else {
            reply = message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
                                             QStringLiteral("No such property"));
        }
    } else if (interface == DeviceInterface && path == devicePath() && !options_.noAdapter) {
        if (options_.unreachable && member == QStringLiteral("Connect")) return true;  // never answered
        reply = deviceCall(message);
    } else if (interface == CharacteristicInterface && connected_ && (path == notifyPath() || path == writePath())) {
        reply = characteristicCall(message);
    } else {
        reply = message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
                                         QStringLiteral("No such object or method"));
    }
    connection.send(reply);
    return true;
}

QDBusMessage MockBluez::deviceCall(const QDBusMessage& call) {
    if (call.member() == QStringLiteral("Connect")) {
        if (options_.poweredOff) return call.createErrorReply(QStringLiteral("org.bluez.Error.NotReady"), QStringLiteral("Resource Not Ready"));
        if (options_.refuse) return call.createErrorReply(QStringLiteral("org.bluez.Error.Failed"), QStringLiteral("Connection refused"));
        if (!connected_) {
            connected_ = true;
            changed(devicePath(), DeviceInterface,
                    {{QStringLiteral("Connected"), true}, {QStringLiteral("ServicesResolved"), true}});
        }
        return call.createReply();
    }
    if (call.member() == QStringLiteral("Disconnect")) {
        if (connected_) disconnectDevice();
        return call.createReply();
    }
    return call.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"), call.member());
}

QDBusMessage MockBluez::characteristicCall(const QDBusMessage& call) {
    const QString member = call.member();
    if (member == QStringLiteral("StartNotify") && call.path() == notifyPath()) {
        notifying_ = true;
        return call.createReply();
    }
    if (member == QStringLiteral("StopNotify") && call.path() == notifyPath()) {
        notifying_ = false;
        return call.createReply();
    }
    if (member == QStringLiteral("WriteValue") && call.path() == writePath()) {
        const QByteArray value = call.arguments().value(0).toByteArray();
        // Longer than one ATT write can carry: refused, as a real link would.
        if (value.size() > options_.mtu - 3)
            return call.createErrorReply(QStringLiteral("org.bluez.Error.InvalidValueLength"), QStringLiteral("Invalid Length"));
        received(value);
        return call.createReply();
    }
    return call.createErrorReply(QStringLiteral("org.bluez.Error.NotSupported"), member);
}

// As the emulator's serving loop: a printable character during an interruptible reply
// stops it; otherwise bytes feed the command interpreter.
void MockBluez::received(const QByteArray& bytes) {
    for (const char byte : bytes) {
        if (!queue_.empty()) {
            if (interruptible_ && static_cast<unsigned char>(byte) >= 0x20) {
                queue_.clear();
                enqueue(elmemu::Reply{{{0, adapter_.stop()}}, true});
            }
            continue;
        }
        if (const auto reply = adapter_.receive(byte)) enqueue(*reply);
    }
}

void MockBluez::enqueue(const elmemu::Reply& reply) {
    using std::chrono::milliseconds;
    auto due = queue_.empty() ? std::chrono::steady_clock::now() : queue_.back().due;
    const auto size = static_cast<qsizetype>(options_.mtu - 3);
    for (const elmemu::Step& step : reply.steps) {
        due += milliseconds(step.delayMilliseconds);
        const QByteArray text = QByteArray::fromStdString(step.text);
        for (qsizetype at = 0; at < text.size(); at += size) {
            ++notifications_;
            if (options_.dropEvery > 0 && notifications_ % options_.dropEvery == 0) continue;
            if (options_.lateEvery > 0 && notifications_ % options_.lateEvery == 0) {
                const int span = options_.lateMaxMilliseconds - options_.lateMinMilliseconds;
                const int steps = 4;
                due += milliseconds(options_.lateMinMilliseconds + span * (lateTurn_++ % (steps + 1)) / steps);
            }
            queue_.push_back({due, text.mid(at, size)});
        }
    }
    interruptible_ = reply.interruptible;
    sendDue();
}

void MockBluez::sendDue() {
    const auto now = std::chrono::steady_clock::now();
    while (!queue_.empty() && queue_.front().due <= now) {
        QByteArray bytes = queue_.front().bytes;
        queue_.pop_front();
        if (!connected_) continue;
        if (options_.disconnectAfter >= 0 && notified_ + bytes.size() > options_.disconnectAfter) {
            bytes.truncate(static_cast<qsizetype>(options_.disconnectAfter - notified_));
            if (!bytes.isEmpty() && notifying_) changed(notifyPath(), CharacteristicInterface, {{QStringLiteral("Value"), bytes}});
            // Once: the next read finds the device in range again.
            options_.disconnectAfter = -1;
            disconnectDevice();
            return;
        }
        notified_ += bytes.size();
        if (notifying_) changed(notifyPath(), CharacteristicInterface, {{QStringLiteral("Value"), bytes}});
    }
    if (!queue_.empty()) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(queue_.front().due - now);
        timer_.start(static_cast<int>(wait.count()) + 1);
    }
}

void MockBluez::changed(const QString& path, const QString& interface, const QVariantMap& values) {
    QDBusMessage signal = QDBusMessage::createSignal(path, PropertiesInterface, QStringLiteral("PropertiesChanged"));
    signal << interface << values << QStringList();
    bus_.send(signal);
}

void MockBluez::disconnectDevice() {
    connected_ = false;
    notifying_ = false;
    queue_.clear();
    adapter_.hangUp();
    changed(devicePath(), DeviceInterface,
            {{QStringLiteral("Connected"), false}, {QStringLiteral("ServicesResolved"), false}});
}

}  // namespace vx414::bluezmock

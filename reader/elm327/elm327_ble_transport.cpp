#include "reader/elm327/elm327_ble_transport.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <thread>

#include "reader/elm327/ble_notifications.h"
#include "reader/elm327/ble_services.h"
#include "reader/elm327/bluez_objects.h"

namespace vx414::elm327 {
namespace {

const QString DeviceInterface = QStringLiteral("org.bluez.Device1");
const QString CharacteristicInterface = QStringLiteral("org.bluez.GattCharacteristic1");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

// How often the device's ServicesResolved is looked at while BlueZ discovers its services.
constexpr std::chrono::milliseconds ResolveSlice{50};

QString uniqueConnectionName() {
    static std::atomic<unsigned> next{0};
    return QStringLiteral("vx414-ble-%1").arg(next.fetch_add(1));
}

QDBusMessage callBluez(const QDBusConnection& bus, const QString& path, const QString& interface,
                       const QString& method, const QList<QVariant>& arguments, Deadline deadline) {
    QDBusMessage call = QDBusMessage::createMethodCall(BluezBusName, path, interface, method);
    call.setArguments(arguments);
    return bus.call(call, QDBus::Block, callTimeout(deadline));
}

bool timedOut(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ErrorMessage &&
           reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.NoReply");
}

}  // namespace

struct BleTransport::Link {
    explicit Link(std::string address)
        : address_(std::move(address)), connectionName_(uniqueConnectionName()), bus_(connectionName_) {}

    LinkStatus open(Deadline deadline);
    void close();
    LinkStatus connectDevice(const QString& devicePath, Deadline deadline);
    LinkStatus subscribe(const QString& characteristic, const QString& device, Deadline deadline);
    LinkStatus write(std::string_view bytes, Deadline deadline);
    LinkStatus read(std::string& into, std::size_t max, Deadline deadline);
    void discardInput();

    std::string address_;
    QString connectionName_;
    QDBusConnection bus_;
    std::shared_ptr<NotificationInbox> inbox_;
    QPointer<NotificationReceiver> receiver_;
    QString devicePath_;
    QString notifyPath_;
    QString writePath_;
    QString writeType_;  // "command" (no response) when the characteristic allows it, else "request"
    int writeSize_ = 20;
    bool connectedByUs_ = false;
};

BleTransport::BleTransport(std::string address) : link_(std::make_unique<Link>(std::move(address))) {}

BleTransport::~BleTransport() { close(); }

LinkStatus BleTransport::open(Deadline deadline) {
    if (open_) return LinkStatus::ok();
    const LinkStatus opened = link_->open(deadline);
    if (!opened.isOk()) {
        link_->close();
        return opened;
    }
    open_ = true;
    return opened;
}

void BleTransport::close() {
    link_->close();
    open_ = false;
}

LinkStatus BleTransport::write(std::string_view bytes, Deadline deadline) {
    if (!open_) return {LinkCode::Io, "not connected"};
    return link_->write(bytes, deadline);
}

LinkStatus BleTransport::read(std::string& into, std::size_t max, Deadline deadline) {
    if (!open_) return {LinkCode::Io, "not connected"};
    return link_->read(into, max, deadline);
}

void BleTransport::discardInput() {
    if (open_) link_->discardInput();
}

int BleTransport::writeSize() const { return link_->writeSize_; }

LinkStatus BleTransport::Link::open(Deadline deadline) {
    bus_ = connectToSystemBus(connectionName_);
    BluezObjects objects;
    if (const LinkStatus read = readBluezObjects(bus_, deadline, objects); !read.isOk()) return read;
    if (objects.adapters.empty()) return {LinkCode::NoDevice, NoBluetooth};
    const BluezDevice* device = objects.deviceByAddress(QString::fromStdString(address_));
    if (device == nullptr) {
        // An adapter that is off forgets no device but sees none either: say which.
        for (const BluezAdapter& adapter : objects.adapters) {
            if (adapter.powered) return {LinkCode::NoDevice, BleDeviceNotFound};
        }
        return {LinkCode::NoDevice, BluetoothOff};
    }
    const BluezAdapter* adapter = objects.adapterByPath(device->adapter);
    if (adapter != nullptr && !adapter->powered) return {LinkCode::NoDevice, BluetoothOff};
    devicePath_ = device->path;
    if (!device->connected || !device->servicesResolved) {
        if (const LinkStatus connected = connectDevice(device->path, deadline); !connected.isOk()) return connected;
        if (const LinkStatus again = readBluezObjects(bus_, deadline, objects); !again.isOk()) return again;
    }
    // The first of our services the device offers, and its two characteristics.
    for (const BleService& entry : bleServices()) {
        for (const BluezService& service : objects.services) {
            if (service.device != devicePath_ || bleServiceByUuid(service.uuid.toStdString()) != &entry) continue;
            const BluezCharacteristic* notify = nullptr;
            const BluezCharacteristic* write = nullptr;
            for (const BluezCharacteristic& c : objects.characteristics) {
                if (c.service != service.path) continue;
                const std::string uuid = c.uuid.toLower().toStdString();
                if (uuid == entry.notify) notify = &c;
                if (uuid == entry.write) write = &c;
            }
            if (notify == nullptr || write == nullptr) continue;
            notifyPath_ = notify->path;
            writePath_ = write->path;
            writeType_ = write->flags.contains(QStringLiteral("write-without-response")) ? QStringLiteral("command")
                                                                                        : QStringLiteral("request");
            writeSize_ = bleWriteSize(write->mtu);
            return subscribe(notify->path, devicePath_, deadline);
        }
    }
    return {LinkCode::NoDevice, BleNoService};
}

LinkStatus BleTransport::Link::connectDevice(const QString& devicePath, Deadline deadline) {
    const QDBusMessage reply = callBluez(bus_, devicePath, DeviceInterface, QStringLiteral("Connect"), {}, deadline);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (timedOut(reply)) return {LinkCode::Timeout, BleOutOfRange};
        const QString error = reply.errorName();
        if (error == QStringLiteral("org.bluez.Error.NotReady")) return {LinkCode::NoDevice, BluetoothOff};
        // BlueZ says a device it could not reach as a connection it gave up on.
        if (reply.errorMessage().contains(QStringLiteral("abort-by-local")) ||
            reply.errorMessage().contains(QStringLiteral("Timeout"), Qt::CaseInsensitive) ||
            reply.errorMessage().contains(QStringLiteral("Host is down")))
            return {LinkCode::Timeout, BleOutOfRange};
        if (error != QStringLiteral("org.bluez.Error.AlreadyConnected")) return {LinkCode::NoDevice, BleConnectionRefused};
    } else {
        connectedByUs_ = true;
    }
    // BlueZ discovers the services after the connection; ServicesResolved says when.
    for (;;) {
        const QDBusMessage resolved = callBluez(bus_, devicePath, PropertiesInterface, QStringLiteral("Get"),
                                                {DeviceInterface, QStringLiteral("ServicesResolved")}, deadline);
        if (resolved.type() == QDBusMessage::ReplyMessage && !resolved.arguments().isEmpty() &&
            resolved.arguments().constFirst().value<QDBusVariant>().variant().toBool())
            return LinkStatus::ok();
        if (Clock::now() + ResolveSlice >= deadline) return {LinkCode::Timeout, BleOutOfRange};
        std::this_thread::sleep_for(ResolveSlice);
    }
}

LinkStatus BleTransport::Link::subscribe(const QString& characteristic, const QString& device, Deadline deadline) {
    inbox_ = std::make_shared<NotificationInbox>();
    auto* receiver = new NotificationReceiver(inbox_, characteristic, device);
    // The D-Bus connection's own thread runs an event loop; the worker has none.
    receiver->moveToThread(bus_.interface() != nullptr ? bus_.interface()->thread() : QThread::currentThread());
    receiver_ = receiver;
    const char* slot = SLOT(propertiesChanged(QDBusMessage));
    // Matched by path alone: only BlueZ sends on its objects' paths, and a hook on the name
    // would depend on Qt having looked up the name's owner before the first answer comes.
    const bool hooked =
        bus_.connect(QString(), characteristic, PropertiesInterface, QStringLiteral("PropertiesChanged"), receiver, slot) &&
        bus_.connect(QString(), device, PropertiesInterface, QStringLiteral("PropertiesChanged"), receiver, slot);
    if (!hooked) return {LinkCode::Io, "the notifications could not be subscribed to"};
    const QDBusMessage started =
        callBluez(bus_, characteristic, CharacteristicInterface, QStringLiteral("StartNotify"), {}, deadline);
    if (timedOut(started)) return {LinkCode::Timeout, BleOutOfRange};
    if (started.type() == QDBusMessage::ErrorMessage) return {LinkCode::Io, "the notifications could not be started"};
    return LinkStatus::ok();
}

void BleTransport::Link::close() {
    if (bus_.isConnected()) {
        if (connectedByUs_) {
            bus_.call(QDBusMessage::createMethodCall(BluezBusName, devicePath_, DeviceInterface,
                                                     QStringLiteral("Disconnect")),
                      QDBus::NoBlock);
        }
        // BlueZ ends a client's notification session when the client leaves the bus.
        const char* slot = SLOT(propertiesChanged(QDBusMessage));
        if (receiver_) {
            bus_.disconnect(QString(), notifyPath_, PropertiesInterface, QStringLiteral("PropertiesChanged"),
                            receiver_.data(), slot);
            bus_.disconnect(QString(), devicePath_, PropertiesInterface, QStringLiteral("PropertiesChanged"),
                            receiver_.data(), slot);
        }
    }
    QDBusConnection::disconnectFromBus(connectionName_);
    bus_ = QDBusConnection(connectionName_);
    if (receiver_) {
        // Qt's D-Bus module hears of a hooked receiver's end through a blocking call into the
        // connection's thread, which is the receiver's own: were that still wired when the
        // receiver ends there, its thread would wait on itself for good. Its hooks are gone
        // (above) or gone with the connection, so nothing is left for it to hear.
        QObject::disconnect(receiver_.data(), &QObject::destroyed, nullptr, nullptr);
        receiver_->deleteLater();
    }
    receiver_.clear();
    inbox_.reset();
    connectedByUs_ = false;
}

LinkStatus BleTransport::Link::write(std::string_view bytes, Deadline deadline) {
    QVariantMap options;
    options.insert(QStringLiteral("type"), writeType_);
    const auto size = static_cast<std::size_t>(writeSize_);
    for (std::size_t done = 0; done < bytes.size(); done += size) {
        {
            const std::lock_guard lock(inbox_->mutex);
            if (inbox_->lost) return {LinkCode::Io, BleOutOfRange};
        }
        const std::string_view piece = bytes.substr(done, size);
        const QByteArray value(piece.data(), static_cast<qsizetype>(piece.size()));
        const QDBusMessage reply = callBluez(bus_, writePath_, CharacteristicInterface, QStringLiteral("WriteValue"),
                                             {value, options}, deadline);
        if (timedOut(reply)) return {LinkCode::Timeout, "the adapter took no more bytes"};
        if (reply.type() == QDBusMessage::ErrorMessage) return {LinkCode::Io, BleOutOfRange};
    }
    return LinkStatus::ok();
}

LinkStatus BleTransport::Link::read(std::string& into, std::size_t max, Deadline deadline) {
    if (max == 0) return LinkStatus::ok();
    std::unique_lock lock(inbox_->mutex);
    inbox_->arrived.wait_until(lock, deadline, [&] { return !inbox_->bytes.empty() || inbox_->lost; });
    if (!inbox_->bytes.empty()) {
        const std::size_t take = std::min(max, inbox_->bytes.size());
        into.append(inbox_->bytes, 0, take);
        inbox_->bytes.erase(0, take);
        return LinkStatus::ok();
    }
    if (inbox_->lost) return {LinkCode::Io, BleOutOfRange};
    return LinkStatus::ok();
}

void BleTransport::Link::discardInput() {
    const std::lock_guard lock(inbox_->mutex);
    inbox_->bytes.clear();
}

}  // namespace vx414::elm327

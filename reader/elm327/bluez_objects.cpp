#include "reader/elm327/bluez_objects.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMap>
#include <QVariantMap>

#include "reader/elm327/elm327_io_wait.h"

namespace vx414::elm327 {
namespace {

using InterfaceMap = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, InterfaceMap>;

QString pathOf(const QVariant& value) { return value.value<QDBusObjectPath>().path(); }

}  // namespace

const BluezDevice* BluezObjects::deviceByAddress(const QString& address) const {
    for (const BluezDevice& device : devices) {
        if (device.address.compare(address, Qt::CaseInsensitive) == 0) return &device;
    }
    return nullptr;
}

const BluezAdapter* BluezObjects::adapterByPath(const QString& path) const {
    for (const BluezAdapter& adapter : adapters) {
        if (adapter.path == path) return &adapter;
    }
    return nullptr;
}

QDBusConnection connectToSystemBus(const QString& name) {
    return QDBusConnection::connectToBus(QDBusConnection::SystemBus, name);
}

int callTimeout(Deadline deadline) {
    const int ms = millisecondsLeft(deadline);
    return ms < 1 ? 1 : ms;
}

LinkStatus readBluezObjects(const QDBusConnection& bus, Deadline deadline, BluezObjects& out) {
    out = {};
    if (!bus.isConnected()) return {LinkCode::NoDevice, NoBluetooth};
    const QDBusMessage call = QDBusMessage::createMethodCall(BluezBusName, QStringLiteral("/"),
                                                             QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                                             QStringLiteral("GetManagedObjects"));
    const QDBusMessage reply = bus.call(call, QDBus::Block, callTimeout(deadline));
    if (reply.type() != QDBusMessage::ReplyMessage) {
        if (reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.NoReply"))
            return {LinkCode::Timeout, "BlueZ did not answer in time"};
        return {LinkCode::NoDevice, NoBluetooth};
    }
    if (reply.arguments().isEmpty()) return {LinkCode::Protocol, "BlueZ's object tree could not be read"};
    ManagedObjects objects;
    reply.arguments().constFirst().value<QDBusArgument>() >> objects;

    for (auto object = objects.cbegin(); object != objects.cend(); ++object) {
        const QString path = object.key().path();
        const InterfaceMap& interfaces = object.value();
        if (const auto a = interfaces.constFind(QStringLiteral("org.bluez.Adapter1")); a != interfaces.cend()) {
            out.adapters.push_back({path, a->value(QStringLiteral("Address")).toString(),
                                    a->value(QStringLiteral("Powered")).toBool()});
        }
        if (const auto d = interfaces.constFind(QStringLiteral("org.bluez.Device1")); d != interfaces.cend()) {
            BluezDevice device;
            device.path = path;
            device.adapter = pathOf(d->value(QStringLiteral("Adapter")));
            device.address = d->value(QStringLiteral("Address")).toString();
            device.name = d->value(QStringLiteral("Alias"), d->value(QStringLiteral("Name"))).toString();
            device.hasRssi = d->contains(QStringLiteral("RSSI"));
            device.rssi = d->value(QStringLiteral("RSSI")).toInt();
            device.connected = d->value(QStringLiteral("Connected")).toBool();
            device.servicesResolved = d->value(QStringLiteral("ServicesResolved")).toBool();
            device.uuids = d->value(QStringLiteral("UUIDs")).toStringList();
            out.devices.push_back(device);
        }
        if (const auto s = interfaces.constFind(QStringLiteral("org.bluez.GattService1")); s != interfaces.cend()) {
            out.services.push_back({path, pathOf(s->value(QStringLiteral("Device"))),
                                    s->value(QStringLiteral("UUID")).toString()});
        }
        if (const auto c = interfaces.constFind(QStringLiteral("org.bluez.GattCharacteristic1"));
            c != interfaces.cend()) {
            out.characteristics.push_back({path, pathOf(c->value(QStringLiteral("Service"))),
                                           c->value(QStringLiteral("UUID")).toString(),
                                           c->value(QStringLiteral("Flags")).toStringList(),
                                           c->value(QStringLiteral("MTU")).toInt()});
        }
    }
    return LinkStatus::ok();
}

}  // namespace vx414::elm327

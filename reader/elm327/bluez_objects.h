// What BlueZ knows, as read from its object tree over D-Bus (org.bluez on the system bus):
// the Bluetooth adapters of this computer, the devices they have paired or seen, and the
// GATT services and characteristics of the connected ones. A snapshot, read in one call.
#pragma once

#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <vector>

#include "reader/elm327/elm327_transport.h"

namespace vx414::elm327 {

struct BluezAdapter {
    QString path;  // /org/bluez/hci0
    QString address;
    bool powered = false;
};

struct BluezDevice {
    QString path;     // /org/bluez/hci0/dev_AA_BB_CC_DD_EE_FF
    QString adapter;  // the adapter's path
    QString address;  // AA:BB:CC:DD:EE:FF
    QString name;     // the alias BlueZ shows, else the name; empty when it has neither
    int rssi = 0;     // the signal when seen lately; 0 when not known
    bool hasRssi = false;
    bool connected = false;
    bool servicesResolved = false;
    QStringList uuids;  // the services it offers (advertised or found)
};

struct BluezCharacteristic {
    QString path;
    QString service;  // the service's path
    QString uuid;
    QStringList flags;  // "notify", "write", "write-without-response", ...
    int mtu = 0;        // 0 when BlueZ does not say (before 5.62)
};

struct BluezService {
    QString path;
    QString device;  // the device's path
    QString uuid;
};

struct BluezObjects {
    std::vector<BluezAdapter> adapters;
    std::vector<BluezDevice> devices;
    std::vector<BluezService> services;
    std::vector<BluezCharacteristic> characteristics;

    const BluezDevice* deviceByAddress(const QString& address) const;
    const BluezAdapter* adapterByPath(const QString& path) const;
};

// The fixed reasons of the Bluetooth failures, which elm327_failure_cause.cpp turns into
// the user's words.
inline constexpr const char* NoBluetooth = "no Bluetooth adapter or no BlueZ";
inline constexpr const char* BluetoothOff = "Bluetooth is off";
inline constexpr const char* BleDeviceNotFound = "the Bluetooth device is not known";
inline constexpr const char* BleConnectionRefused = "the Bluetooth device refused the connection";
inline constexpr const char* BleOutOfRange = "the Bluetooth device went out of range";
inline constexpr const char* BleNoService = "the Bluetooth device offers no ELM327 service";

inline const QString BluezBusName = QStringLiteral("org.bluez");

// A private connection to the system bus (the variable DBUS_SYSTEM_BUS_ADDRESS names
// another one, as the tests do) under a name of its own, so that a worker thread never
// shares the process's default connection. Disconnected by the caller.
QDBusConnection connectToSystemBus(const QString& name);

// Reads BlueZ's whole object tree (ObjectManager.GetManagedObjects), waiting no longer
// than `deadline`. NoDevice with NoBluetooth when BlueZ is not on the bus.
LinkStatus readBluezObjects(const QDBusConnection& bus, Deadline deadline, BluezObjects& out);

// Milliseconds left until `deadline` for a D-Bus call's own timeout: at least 1, since 0
// and less mean the library's default of 25 s.
int callTimeout(Deadline deadline);

}  // namespace vx414::elm327

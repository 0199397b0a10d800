#include "reader/elm327/ble_discovery.h"

#include <QDBusConnection>
#include <algorithm>
#include <atomic>

#include "reader/elm327/ble_services.h"
#include "reader/elm327/bluez_objects.h"

namespace vx414::elm327 {

BleDiscovery knownBleAdapters(Deadline deadline) {
    static std::atomic<unsigned> next{0};
    const QString name = QStringLiteral("vx414-ble-discovery-%1").arg(next.fetch_add(1));
    BleDiscovery found;
    BluezObjects objects;
    {
        const QDBusConnection bus = connectToSystemBus(name);
        found.status = readBluezObjects(bus, deadline, objects);
    }
    QDBusConnection::disconnectFromBus(name);
    if (!found.status.isOk()) return found;
    if (objects.adapters.empty()) {
        found.status = {LinkCode::NoDevice, NoBluetooth};
        return found;
    }
    if (std::none_of(objects.adapters.begin(), objects.adapters.end(), [](const BluezAdapter& a) { return a.powered; })) {
        found.status = {LinkCode::NoDevice, BluetoothOff};
        return found;
    }
    for (const BluezDevice& device : objects.devices) {
        const BluezAdapter* adapter = objects.adapterByPath(device.adapter);
        if (adapter != nullptr && !adapter->powered) continue;
        for (const QString& uuid : device.uuids) {
            const BleService* service = bleServiceByUuid(uuid.toStdString());
            if (service == nullptr) continue;
            found.devices.push_back({device.address.toStdString(), device.name.toStdString(), device.rssi,
                                     device.hasRssi, std::string(service->name), device.connected});
            break;
        }
    }
    std::stable_sort(found.devices.begin(), found.devices.end(), [](const BleCandidate& a, const BleCandidate& b) {
        if (a.connected != b.connected) return a.connected;
        const int signalA = a.hasRssi ? a.rssi : -1000;
        const int signalB = b.hasRssi ? b.rssi : -1000;
        return signalA > signalB;
    });
    return found;
}

}  // namespace vx414::elm327

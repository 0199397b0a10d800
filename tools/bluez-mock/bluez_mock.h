// A stand-in for BlueZ on a private D-Bus bus, for the tests: it owns org.bluez and shows
// one Bluetooth adapter and one BLE device offering one of the ELM327 services, and behind
// the device's characteristics the ELM327 emulator's adapter and cars. The faults a real
// link shows can be asked for: notifications split at the MTU, held back or lost, the
// device disconnecting in the middle of an answer, Bluetooth off, no adapter at all.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QTimer>
#include <chrono>
#include <deque>
#include <string>

#include "tools/elm327-emulator/elm327_adapter.h"

namespace vx414::bluezmock {

// The services the mock can offer, written out here rather than taken from the program's
// own table, so that each checks the other (as the ELM327 emulator shares no code with
// the program's ELM327 back-end).
struct MockService {
    std::string_view shortName;  // for --service
    std::string_view service;
    std::string_view notify;
    std::string_view write;  // the same as notify where one characteristic serves both ways
};
const MockService* mockServiceByShortName(std::string_view name);

struct MockOptions {
    elmemu::AdapterSetup adapter;
    std::string address = "00:1D:A5:68:98:8B";
    std::string name = "OBDII";
    const MockService* service = nullptr;  // nullptr: fff0
    int mtu = 23;                  // ATT MTU (at least 23): writes and notifications carry mtu - 3 bytes
    int lateEvery = 0;             // every Nth notification is held back ...
    int lateMinMilliseconds = 0;   // ... between these two (in turn through the range)
    int lateMaxMilliseconds = 0;
    int dropEvery = 0;             // every Nth notification is lost
    int disconnectAfter = -1;      // the device disconnects once this many bytes were notified
    bool poweredOff = false;       // the adapter is off: the device cannot be connected
    bool noAdapter = false;        // no adapter at all
    bool refuse = false;           // the device refuses the connection
    bool unreachable = false;      // Connect never answers (out of range)
};

class MockBluez final : public QDBusVirtualObject {
public:
    MockBluez(const MockOptions& options, QDBusConnection bus);

    // Registers the objects and takes the name org.bluez; false when the bus refused.
    bool start();

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    struct Pending {
        std::chrono::steady_clock::time_point due;
        QByteArray bytes;
    };

    QString adapterPath() const { return QStringLiteral("/org/bluez/hci0"); }
    QString devicePath() const;
    QString servicePath() const { return devicePath() + QStringLiteral("/service0010"); }
    QString notifyPath() const { return servicePath() + QStringLiteral("/char0011"); }
    QString writePath() const;
    bool oneCharacteristic() const { return service_->notify == service_->write; }

    QVariantMap properties(const QString& path, const QString& interface) const;
    QDBusMessage managedObjects(const QDBusMessage& call) const;
    QDBusMessage deviceCall(const QDBusMessage& call);
    QDBusMessage characteristicCall(const QDBusMessage& call);
    void received(const QByteArray& bytes);
    void enqueue(const elmemu::Reply& reply);
    void sendDue();
    void changed(const QString& path, const QString& interface, const QVariantMap& values);
    void disconnectDevice();

    MockOptions options_;
    const MockService* service_;
    QDBusConnection bus_;
    elmemu::Adapter adapter_;
    bool connected_ = false;
    bool notifying_ = false;
    std::deque<Pending> queue_;
    bool interruptible_ = false;
    long notifications_ = 0;
    long notified_ = 0;  // bytes
    int lateTurn_ = 0;
    QTimer timer_;
};

}  // namespace vx414::bluezmock

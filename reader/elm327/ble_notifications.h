// Where a BLE adapter's notifications land: BlueZ sends each as a PropertiesChanged signal
// of the characteristic's Value, and the device's Connected turning false as another. Qt
// delivers D-Bus signals as events to an object's thread, and the session's worker has no
// event loop, so this receiver lives on the thread of the D-Bus connection itself (which
// runs one) and hands the bytes over under a mutex to the worker, which waits for them
// with a deadline.
#pragma once

#include <QDBusMessage>
#include <QObject>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

namespace vx414::elm327 {

// Shared by the receiver and the transport, so that a late signal finds it alive.
struct NotificationInbox {
    std::mutex mutex;
    std::condition_variable arrived;
    std::string bytes;  // notified, not yet read: at most InboxLimit
    bool lost = false;  // the device disconnected (out of range, switched off)
};

// An adapter that keeps notifying while nobody reads is not answering a command: what
// goes past a whole answer's worth is dropped, as a tty's input queue would overflow.
inline constexpr std::size_t InboxLimit = 64 * 1024;

class NotificationReceiver final : public QObject {
    Q_OBJECT
public:
    NotificationReceiver(std::shared_ptr<NotificationInbox> inbox, QString characteristic, QString device)
        : inbox_(std::move(inbox)), characteristic_(std::move(characteristic)), device_(std::move(device)) {}

public Q_SLOTS:
    void propertiesChanged(const QDBusMessage& message);

private:
    std::shared_ptr<NotificationInbox> inbox_;
    QString characteristic_;
    QString device_;
};

}  // namespace vx414::elm327

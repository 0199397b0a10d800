#include "reader/elm327/ble_notifications.h"

#include <QDBusArgument>
#include <QVariantMap>

namespace vx414::elm327 {

void NotificationReceiver::propertiesChanged(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2) return;
    QVariantMap changed;
    arguments.at(1).value<QDBusArgument>() >> changed;
    const std::lock_guard lock(inbox_->mutex);
    if (message.path() == characteristic_) {
        const auto value = changed.constFind(QStringLiteral("Value"));
        if (value == changed.cend()) return;
        const QByteArray bytes = value->toByteArray();
        if (inbox_->bytes.size() + static_cast<std::size_t>(bytes.size()) > InboxLimit) return;
        inbox_->bytes.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    } else if (message.path() == device_) {
        const auto connected = changed.constFind(QStringLiteral("Connected"));
        if (connected == changed.cend() || connected->toBool()) return;
        inbox_->lost = true;
    } else {
        return;
    }
    inbox_->arrived.notify_all();
}

}  // namespace vx414::elm327

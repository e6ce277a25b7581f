#include "SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

const QStringList SingleInstance::actions = {QStringLiteral("companion"), QStringLiteral("main")};

namespace {

const QString applicationInterface = QStringLiteral("org.freedesktop.Application");
// A running instance answers at once; a start that waits longer is better told so.
constexpr int handOverTimeoutMs = 800;

} // namespace

SingleInstance::SingleInstance(QString bundleIdentifier, QDBusConnection bus, QObject *parent)
    : QObject(parent), m_identifier(std::move(bundleIdentifier)), m_bus(std::move(bus))
{
}

QString SingleInstance::objectPath(const QString &bundleIdentifier)
{
    QString path = QLatin1Char('/') + bundleIdentifier;
    path.replace(QLatin1Char('.'), QLatin1Char('/'));
    path.replace(QLatin1Char('-'), QLatin1Char('_'));
    return path;
}

SingleInstance::Claim SingleInstance::claim()
{
    if (!m_bus.isConnected() || !m_bus.interface())
        return Claim::alone;
    // The object answers before the name is ours, so a start that finds the name taken
    // never calls an instance that cannot answer yet.
    if (!m_bus.registerObject(objectPath(m_identifier), this, QDBusConnection::ExportScriptableSlots))
        return Claim::alone;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = m_bus.interface()->registerService(
        m_identifier, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return Claim::owned;
    m_bus.unregisterObject(objectPath(m_identifier));
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceNotRegistered)
        return Claim::taken;
    return Claim::alone;
}

QString SingleInstance::handOver(const QString &action)
{
    QDBusMessage call;
    const QString path = objectPath(m_identifier);
    if (action.isEmpty()) {
        call = QDBusMessage::createMethodCall(m_identifier, path, applicationInterface, QStringLiteral("Activate"));
        call << QVariantMap();
    } else {
        call = QDBusMessage::createMethodCall(m_identifier, path, applicationInterface,
                                              QStringLiteral("ActivateAction"));
        call << action << QVariantList() << QVariantMap();
    }
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, handOverTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
    return {};
}

void SingleInstance::Activate(const QVariantMap &)
{
    emit activated();
}

void SingleInstance::ActivateAction(const QString &action, const QVariantList &, const QVariantMap &)
{
    if (!actions.contains(action)) {
        if (calledFromDBus())
            sendErrorReply(QDBusError::InvalidArgs, QStringLiteral("Corvana has no action \u201c%1\u201d.").arg(action));
        return;
    }
    emit actionRequested(action);
}

void SingleInstance::Open(const QStringList &, const QVariantMap &)
{
    // Corvana opens no documents from the command line; opening brings the app forward.
    emit activated();
}

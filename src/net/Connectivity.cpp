#include "net/Connectivity.h"

#include <QNetworkInformation>
#include <QNetworkInterface>

bool isOnline()
{
    if (qEnvironmentVariable("PAGEWICK_OFFLINE") == QLatin1String("1"))
        return false;
    if (!QNetworkInformation::instance() &&
        !QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return true;
    const QNetworkInformation* info = QNetworkInformation::instance();
    if (!info || !info->supports(QNetworkInformation::Feature::Reachability))
        return true;
    return info->reachability() != QNetworkInformation::Reachability::Disconnected;
}

bool isDialUpConfigured()
{
    if (qEnvironmentVariable("PAGEWICK_OFFLINE") == QLatin1String("1"))
        return false;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& i : interfaces)
        if (i.type() == QNetworkInterface::Ppp && (i.flags() & QNetworkInterface::IsUp) &&
            (i.flags() & QNetworkInterface::IsRunning))
            return true;
    return isOnline();
}

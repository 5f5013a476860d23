#pragma once

// Small helpers shared by the retrieval, upload and publish files of the
// Publisher.

#include "base/Settings.h"
#include "core/entry/WorkFiles.h"

#include <QList>
#include <QString>

#include <utility>

namespace PublishFiles {

inline const QString kCrLf = QStringLiteral("\r\n");

// weblog.ini values are read cut at 254 characters. A transfer path or
// address that long was most likely cut and would send the page to the
// wrong place: the message naming the key, or empty when all are whole.
inline QString cutTransferSetting(const Settings& s, bool ftp)
{
    QList<std::pair<const char*, QString>> keys;
    if (ftp)
        keys = {{"ftpsite", s.ftpsite}, {"ftpremote", s.ftpremote}};
    else
        keys = {{"website", s.website}};
    if (s.archiveEnabled())
        keys.append(ftp ? std::pair{"archiveftp", s.archiveftp}
                        : std::pair{"archiveurl", s.archiveurl});
    for (const auto& [key, value] : keys) {
        if (value.size() >= 254) {
            return QStringLiteral("The setting ") + QLatin1String(key) +
                   QStringLiteral(" in weblog.ini is 254 characters or longer, so it was cut "
                                  "short when it was read.  Nothing was sent.  Please correct it "
                                  "in the SETUP menu.");
        }
    }
    return {};
}

} // namespace PublishFiles

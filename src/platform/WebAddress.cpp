#include "platform/WebAddress.h"

#include <algorithm>

namespace wk::platform {

std::optional<QString> webAddressToOpen(const QString& stored) {
    if (std::any_of(stored.begin(), stored.end(),
                    [](QChar c) { return c.category() == QChar::Other_Control; }))
        return std::nullopt;
    for (const char* prefix : {"http://", "https://", "ftp://", "mailto:"})
        if (stored.startsWith(QLatin1String(prefix), Qt::CaseInsensitive) &&
            stored.size() > qsizetype(qstrlen(prefix)))
            return stored;
    if (stored.startsWith(QLatin1String("www."), Qt::CaseInsensitive) && stored.size() > 4)
        return QStringLiteral("http://") + stored;
    return std::nullopt;
}

} // namespace wk::platform

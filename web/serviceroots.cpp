#include "serviceroots.h"

#include "transferengine.h"

#include <QUrl>

bool isUsableRoot(const QString& root)
{
    const QUrl url(root, QUrl::StrictMode);
    return TransferEngine::canFetch(url) && !url.host().isEmpty() &&
           root.endsWith(QLatin1Char('/')) && !url.hasQuery() && !url.hasFragment();
}

std::optional<ServiceRoots> serviceRootsFromEnvironment(QString* problem)
{
    ServiceRoots roots;
    const struct
    {
        const char* variable;
        QString* root;
    } overrides[] = {{"VARNOLT_FORUM_ROOT", &roots.forumRoot},
                     {"VARNOLT_PICTURE_ROOT", &roots.pictureRoot}};
    for (const auto& entry : overrides) {
        if (!qEnvironmentVariableIsSet(entry.variable))
            continue;
        const QString value = qEnvironmentVariable(entry.variable);
        if (!isUsableRoot(value)) {
            if (problem)
                *problem = QStringLiteral("%1=\"%2\" 不是以“/”结尾的 http 或 https 绝对地址")
                               .arg(QLatin1String(entry.variable), value);
            return std::nullopt;
        }
        *entry.root = value;
    }
    return roots;
}

#include "transfercount.h"

#include "transferengine.h"

std::optional<int> parseTransfers(const QString& text)
{
    bool ok = false;
    const int count = text.trimmed().toInt(&ok);
    if (!ok || count < 1 || count > mostTransfers)
        return std::nullopt;
    return count;
}

std::optional<int> transfersFromEnvironment(QString* problem)
{
    const char* variable = "VARNOLT_TRANSFERS";
    if (!qEnvironmentVariableIsSet(variable))
        return defaultTransfers;
    const QString value = qEnvironmentVariable(variable);
    const std::optional<int> count = parseTransfers(value);
    if (!count && problem)
        *problem = QStringLiteral("%1=\"%2\" is not a whole number from 1 to %3")
                       .arg(QLatin1String(variable), value)
                       .arg(mostTransfers);
    return count;
}

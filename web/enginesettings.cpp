#include "enginesettings.h"

#include <cmath>

namespace {

std::optional<double> numberWithin(const QString& text, double low, double high)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < low || value > high)
        return std::nullopt;
    return value;
}

// The variable's value read by `parse`; its default when unset; no value, and why, when bad.
template <typename Value, typename Parse>
std::optional<Value> fromEnvironment(const char* variable, Value fallback, Parse parse,
                                     const QString& expected, QString* problem)
{
    if (!qEnvironmentVariableIsSet(variable))
        return fallback;
    const QString value = qEnvironmentVariable(variable);
    const std::optional<Value> parsed = parse(value);
    if (!parsed && problem)
        *problem = QStringLiteral("%1=\"%2\" 不是%3").arg(QLatin1String(variable), value, expected);
    return parsed;
}

} // namespace

std::optional<int> parseTransfers(const QString& text)
{
    bool ok = false;
    const int count = text.trimmed().toInt(&ok);
    if (!ok || count < 1 || count > mostTransfers)
        return std::nullopt;
    return count;
}

std::optional<double> parseMaxWait(const QString& text)
{
    return numberWithin(text, 0, mostMaxWaitSeconds);
}

std::optional<double> parseRate(const QString& text)
{
    return numberWithin(text, leastRate, mostRate);
}

std::optional<double> parseTimeout(const QString& text)
{
    return numberWithin(text, 1, 600);
}

std::optional<std::optional<double>> timeoutSetting(std::optional<double> given, QString* problem)
{
    if (given || !qEnvironmentVariableIsSet("VARNOLT_TIMEOUT"))
        return given;
    const std::optional<double> read = fromEnvironment(
        "VARNOLT_TIMEOUT", 0.0, parseTimeout, QStringLiteral("1 到 600 之间的秒数"), problem);
    if (!read)
        return std::nullopt;
    return std::optional<double>(read);
}

std::optional<int> transfersFromEnvironment(QString* problem)
{
    return fromEnvironment("VARNOLT_TRANSFERS", defaultTransfers, parseTransfers,
                           QStringLiteral("1 到 %1 之间的整数").arg(mostTransfers), problem);
}

std::optional<EngineSettings> engineSettings(std::optional<int> transfers,
                                             std::optional<double> maxWait,
                                             std::optional<double> rate, QString* problem)
{
    EngineSettings settings;
    if (!transfers)
        transfers = transfersFromEnvironment(problem);
    if (transfers && !maxWait)
        maxWait = fromEnvironment("VARNOLT_MAX_WAIT", defaultMaxWaitSeconds, parseMaxWait,
                                  QStringLiteral("0 到 3600 之间的秒数"), problem);
    if (maxWait && !rate)
        rate = fromEnvironment("VARNOLT_RATE", 0.0, parseRate,
                               QStringLiteral("0.1 到 1000 之间的数"), problem);
    if (!transfers || !maxWait || !rate)
        return std::nullopt;
    settings.transfers = *transfers;
    settings.maxWaitSeconds = *maxWait;
    settings.rate = *rate;
    return settings;
}

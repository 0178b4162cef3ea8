#pragma once

#include "transferengine.h"

#include <QString>

#include <optional>

// How many transfers may run at once: VARNOLT_TRANSFERS (1 to 16), or the default. Gives no
// value, and says why in `problem`, when the variable holds anything else.
std::optional<int> transfersFromEnvironment(QString* problem);

// `text` read as a transfer count, or no value when it is not a whole number from 1 to 16.
std::optional<int> parseTransfers(const QString& text);

// `text` read as the longest server wait to obey, in seconds from 0 to 3600.
std::optional<double> parseMaxWait(const QString& text);
// `text` read as request starts a second at one host, from 0.1 to 1000.
std::optional<double> parseRate(const QString& text);
// `text` read as a time limit for pages and pictures, in seconds from 1 to 600.
std::optional<double> parseTimeout(const QString& text);

// The time limit `given` (on the command line), or else VARNOLT_TIMEOUT's; an empty value when
// neither says one (each fetch keeps its own). No value, and why in `problem`, when the
// variable holds anything else.
std::optional<std::optional<double>> timeoutSetting(std::optional<double> given, QString* problem);

// The engine's settings: each as given (on the command line), or else from VARNOLT_TRANSFERS,
// VARNOLT_MAX_WAIT and VARNOLT_RATE, or else its default. A variable is read only for a setting
// not given. No value, and why in `problem`, when one read holds anything it does not take.
std::optional<EngineSettings> engineSettings(std::optional<int> transfers,
                                             std::optional<double> maxWait,
                                             std::optional<double> rate, QString* problem);
inline std::optional<EngineSettings> engineSettingsFromEnvironment(QString* problem)
{
    return engineSettings({}, {}, {}, problem);
}

constexpr double mostMaxWaitSeconds = 3600;
constexpr double leastRate = 0.1;
constexpr double mostRate = 1000;

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

// The engine's settings from VARNOLT_TRANSFERS, VARNOLT_MAX_WAIT and VARNOLT_RATE, each with
// its default when unset. No value, and why in `problem`, when one of them is set to anything
// it does not take.
std::optional<EngineSettings> engineSettingsFromEnvironment(QString* problem);

constexpr double mostMaxWaitSeconds = 3600;
constexpr double leastRate = 0.1;
constexpr double mostRate = 1000;

#pragma once

#include <QString>

#include <optional>

// How many transfers may run at once: VARNOLT_TRANSFERS (1 to 16), or the default. Gives no
// value, and says why in `problem`, when the variable holds anything else.
std::optional<int> transfersFromEnvironment(QString* problem);

// `text` read as a transfer count, or no value when it is not a whole number from 1 to 16.
std::optional<int> parseTransfers(const QString& text);

#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The settings file: `key = value` lines with the options' long names (`transfers = 8`,
// `output = ~/Pictures/贴吧`, `update = true`), blank lines and `#` comments. What it sets
// counts for less than the command line and the environment, and more than the defaults.
QString defaultConfigPath();

// The arguments the file at `path` adds to a command line: "--name=value" for each setting whose
// option `given` says the command line leaves out and whose variable is unset; options that
// only a download takes, only when `download`. No value, and the file and line in `problem`,
// when a line is no such setting, or the file cannot be read; a missing file adds nothing
// unless it was asked for by name (`named`).
std::optional<QStringList> configArguments(const QString& path, bool named, bool download,
                                           const std::function<bool(const QString&)>& given,
                                           QString* problem);

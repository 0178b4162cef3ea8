#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

// The columns a terminal gives `text`: two for a wide (East Asian) character, one for others.
int displayWidth(const QString& text);
// As much of `text` from its start as `columns` columns hold.
QString cutToWidth(const QString& text, int columns);
// `text` in lines of at most `width` columns, broken only where Unicode's line-breaking rules
// allow (between any two Chinese characters, at spaces between words, never before "，").
QStringList wrapped(const QString& text, int width);
// The width of the terminal `file` writes to; COLUMNS, or 80, when it is none.
int terminalWidth(std::FILE* file);

// What --help prints, laid out for a terminal `width` columns wide.
QString helpText(int width);

#pragma once

#include <QString>

#include <cstdio>

// Writes `text` to stdout or stderr and flushes it; false when it could not be written whole.
// Into a file or a pipe it goes as UTF-8. On a Windows console it goes as UTF-16 through the
// console itself, so Chinese shows whatever the console's code page is.
bool writeText(std::FILE* out, const QString& text);

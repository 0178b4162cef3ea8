#pragma once

#include <QString>

// The page scanners count positions from 1 and use 0 for "not found", the way the
// forum's markers were first described; these helpers keep that arithmetic in one place.
namespace TextSearch {

// Position (1-based) of the first `needle` in `text` at or after position `from`; 0 if none.
// A `from` below 1 searches from the start.
qsizetype find(const QString& text, const QString& needle, qsizetype from);

// The characters from 1-based position `start`, at most `length` of them.
QString mid(const QString& text, qsizetype start, qsizetype length = -1);

} // namespace TextSearch

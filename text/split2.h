#pragma once

#include <QString>

// The text between the first `b` in `a` and the next `c` after it. `d` keeps the start
// marker in the result, `e` appends the end marker; an empty `c` means "to the end".
//
// Throws std::invalid_argument when the cut cannot be made: the end marker is missing
// after the start marker, begins inside it, or the start marker is missing while `d` is set.
QString split2(const QString& a, const QString& b, const QString& c, bool d, bool e);

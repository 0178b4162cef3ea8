#include "textsearch.h"

#include <algorithm>

namespace TextSearch {

qsizetype find(const QString& text, const QString& needle, qsizetype from)
{
    const qsizetype index = text.indexOf(needle, std::max<qsizetype>(from, 1) - 1);
    return index < 0 ? 0 : index + 1;
}

QString mid(const QString& text, qsizetype start, qsizetype length)
{
    return text.mid(start - 1, length);
}

} // namespace TextSearch

#include "split2.h"

#include "textsearch.h"

#include <stdexcept>

QString split2(const QString& a, const QString& b, const QString& c, bool d, bool e)
{
    const qsizetype p1 = TextSearch::find(a, b, 1);
    // One character after the start of the start marker, not after its end: an end marker
    // that begins inside the start marker is found there.
    const qsizetype p2 = TextSearch::find(a, c, p1 + 1);
    const qsizetype k = d ? 0 : b.size();
    const qsizetype start = p1 + k;
    if (start < 1)
        throw std::invalid_argument("split2: the start marker is missing");
    if (c.isEmpty())
        return TextSearch::mid(a, start);

    const qsizetype length = p2 - p1 - k;
    if (length < 0)
        throw std::invalid_argument("split2: no end marker after the start marker");
    QString piece = TextSearch::mid(a, start, length);
    if (e)
        piece += c;
    return piece;
}

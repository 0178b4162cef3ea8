#include "albumselection.h"

#include <QRegularExpression>

#include <algorithm>

std::optional<AlbumSelection> AlbumSelection::parse(const QString& text)
{
    static const QRegularExpression item(
        QStringLiteral("^\\s*(\\d{1,9})\\s*(-\\s*(\\d{1,9})?)?\\s*$"));
    QList<Range> ranges;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QRegularExpressionMatch match = item.match(part);
        if (!match.hasMatch())
            return std::nullopt;
        const qsizetype first = match.captured(1).toLongLong();
        const bool open = match.hasCaptured(2) && !match.hasCaptured(3);
        const qsizetype last =
            open ? -1 : (match.hasCaptured(3) ? match.captured(3).toLongLong() : first);
        if (first < 1 || (last != -1 && last < first))
            return std::nullopt;
        ranges.append({first, last, part.trimmed()});
    }
    AlbumSelection selection;
    selection.m_ranges = ranges;
    return selection;
}

bool AlbumSelection::contains(qsizetype position) const
{
    if (!m_ranges)
        return true;
    for (const Range& range : *m_ranges) {
        if (position >= range.first && (range.last == -1 || position <= range.last))
            return true;
    }
    return false;
}

bool AlbumSelection::takesAnyIn(qsizetype first, qsizetype last) const
{
    if (!m_ranges)
        return first <= last;
    return std::any_of(m_ranges->begin(), m_ranges->end(), [first, last](const Range& range) {
        return range.first <= last && (range.last == -1 || range.last >= first);
    });
}

qsizetype AlbumSelection::countAmong(const QStringList& albums) const
{
    qsizetype taken = 0;
    for (qsizetype position = 1; position <= albums.size(); ++position)
        taken += takes(albums, position) ? 1 : 0;
    return taken;
}

QStringList AlbumSelection::beyond(qsizetype count, qsizetype upTo) const
{
    QStringList parts;
    if (!m_ranges || count >= upTo) // an unknown end (the largest count) leaves nothing beyond
        return parts;
    for (const Range& range : *m_ranges) {
        const qsizetype first = std::max(range.first, count + 1);
        const qsizetype last = range.last == -1 ? upTo : std::min(range.last, upTo);
        if (first > last)
            continue;
        // A range that reaches past the listing's end names positions beyond it as well.
        if (first == range.first && (last == range.last || range.last == -1))
            parts.append(range.text);
        else if (range.last != -1)
            parts.append(first == last ? QString::number(first)
                                       : QStringLiteral("%1-%2").arg(first).arg(last));
    }
    return parts;
}

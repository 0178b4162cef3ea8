#include "foldername.h"

#include <QStringList>

namespace {

constexpr int maxComponentBytes = 255; // NAME_MAX of ext4, and NTFS's 255 units are never fewer
const QChar replacement = QLatin1Char('_');

bool isRefusedCharacter(QChar c)
{
    // Control characters, both path separators, and what Windows refuses in a name.
    return c.unicode() < 0x20 || c.unicode() == 0x7f || QStringLiteral("<>:\"/\\|?*").contains(c);
}

void dropTrailingDotsAndBlanks(QString& name)
{
    while (!name.isEmpty() && (name.back() == QLatin1Char('.') || name.back() == QLatin1Char(' ')))
        name.chop(1);
}

bool isDeviceName(const QString& name)
{
    // Windows treats "CON", "con.jpg" and "COM1.txt" alike: only the part before the first dot
    // counts.
    const QString stem = name.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    static const QStringList fixed = {QStringLiteral("CON"), QStringLiteral("PRN"),
                                      QStringLiteral("AUX"), QStringLiteral("NUL")};
    if (fixed.contains(stem))
        return true;
    return stem.size() == 4 &&
           (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT"))) &&
           stem.at(3) >= QLatin1Char('1') && stem.at(3) <= QLatin1Char('9');
}

void cutToByteLimit(QString& name)
{
    while (name.toUtf8().size() > maxComponentBytes) {
        // Never leave half of a surrogate pair behind.
        const bool pair = name.size() >= 2 && name.back().isLowSurrogate() &&
                          name.at(name.size() - 2).isHighSurrogate();
        name.chop(pair ? 2 : 1);
    }
}

} // namespace

QString safeFolderName(const QString& name)
{
    QString safe = name;
    for (QChar& c : safe) {
        if (isRefusedCharacter(c))
            c = replacement;
    }
    dropTrailingDotsAndBlanks(safe);
    if (isDeviceName(safe)) {
        const qsizetype dot = safe.indexOf(QLatin1Char('.'));
        safe.insert(dot < 0 ? safe.size() : dot, replacement);
    }
    cutToByteLimit(safe);
    dropTrailingDotsAndBlanks(safe);
    if (safe.isEmpty())
        safe = replacement;
    return safe;
}

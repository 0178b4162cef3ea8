#include "foldername.h"

#include <QStringList>

#include <algorithm>
#include <utility>

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
    // The consoles' own names open the console as well.
    static const QStringList fixed = {QStringLiteral("CON"),    QStringLiteral("PRN"),
                                      QStringLiteral("AUX"),    QStringLiteral("NUL"),
                                      QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    if (fixed.contains(stem))
        return true;
    // Ports 1 to 9, and the superscript 1, 2 and 3 Windows also takes for digits.
    return stem.size() == 4 &&
           (stem.startsWith(QLatin1String("COM")) || stem.startsWith(QLatin1String("LPT"))) &&
           QStringLiteral("123456789\u00b9\u00b2\u00b3").contains(stem.at(3));
}

// Windows gives a file with a long name a short one too, "HOLIDA~1", and opens that file by
// it: a folder named so could be another album's. Such a name has no blank, a part before its
// one dot of at most eight bytes in the system's code page ending in "~" and letters or digits,
// and an ending of at most three. Chinese characters take two bytes ("新建文~1"): counting
// every character as one misses none. A title that only ends in "~" ("美美哒~") is no such name.
bool couldBeShortName(const QString& name)
{
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? name : name.left(dot);
    const qsizetype tilde = base.lastIndexOf(QLatin1Char('~'));
    const auto isAsciiAlnum = [](QChar c) { return c.unicode() < 0x80 && c.isLetterOrNumber(); };
    const bool blank = std::any_of(name.begin(), name.end(), [](QChar c) { return c.isSpace(); });
    return !blank && tilde >= 0 && tilde + 1 < base.size() && base.size() <= 8 &&
           std::all_of(base.begin() + tilde + 1, base.end(), isAsciiAlnum) &&
           name.size() - base.size() <= 4 && name.count(QLatin1Char('.')) <= 1;
}

// The UTF-8 bytes of the character that starts at `at`, and how many units it takes.
std::pair<int, int> utf8Size(const QString& name, qsizetype at)
{
    const char16_t unit = name.at(at).unicode();
    if (QChar::isHighSurrogate(unit) && at + 1 < name.size() && name.at(at + 1).isLowSurrogate())
        return {4, 2}; // never half of a pair
    return {unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3, 1};
}

void cutToByteLimit(QString& name, int limit)
{
    int bytes = 0;
    for (qsizetype at = 0; at < name.size();) {
        const auto [size, units] = utf8Size(name, at);
        if (bytes + size > limit) {
            name.truncate(at);
            return;
        }
        bytes += size;
        at += units;
    }
}

} // namespace

QString safeFolderName(const QString& name, const QString& suffix)
{
    // No more characters than the name can keep bytes: a title of megabytes costs no more than
    // a short one. Never half of a surrogate pair.
    QString safe = name.left(maxComponentBytes);
    if (!safe.isEmpty() && safe.back().isHighSurrogate())
        safe.chop(1);
    for (QChar& c : safe) {
        if (isRefusedCharacter(c))
            c = replacement;
    }
    dropTrailingDotsAndBlanks(safe);
    // Without its "~" it can be no other file's short name.
    if (couldBeShortName(safe))
        safe.replace(QLatin1Char('~'), replacement);
    if (isDeviceName(safe)) {
        const qsizetype dot = safe.indexOf(QLatin1Char('.'));
        safe.insert(dot < 0 ? safe.size() : dot, replacement);
    }
    cutToByteLimit(safe, maxComponentBytes - int(suffix.toUtf8().size()));
    dropTrailingDotsAndBlanks(safe);
    if (safe.isEmpty())
        safe = replacement;
    return safe + suffix;
}

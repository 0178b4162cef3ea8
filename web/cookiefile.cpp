#include "cookiefile.h"

#include "answerrules.h"

#include <QFile>

namespace {

bool isFlag(const QByteArray& field)
{
    return field == "TRUE" || field == "FALSE";
}

bool isCookie(const QByteArray& line)
{
    const QList<QByteArray> fields = line.split('\t');
    if (fields.size() != 7)
        return false;
    const QByteArray& expiry = fields.at(4);
    return !fields.at(0).isEmpty() && isFlag(fields.at(1)) && isFlag(fields.at(3)) &&
           isDigits(expiry) && !fields.at(5).isEmpty();
}

} // namespace

std::optional<QList<QByteArray>> readCookieFile(const QString& path, QString* problem)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (problem)
            *problem = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QList<QByteArray> cookies;
    int number = 0;
    // Read whole: a pipe is at its end until its first bytes come.
    for (QByteArray line : file.readAll().split('\n')) {
        ++number;
        if (number == 1 && line.startsWith("\xEF\xBB\xBF"))
            line.remove(0, 3); // a byte-order mark some editors write
        line = line.trimmed(); // the line's end too, "\r\n" as well as "\n"
        if (line.isEmpty() || (line.startsWith('#') && !line.startsWith("#HttpOnly_")))
            continue;
        const QByteArray cookie =
            line.startsWith("#HttpOnly_") ? line.mid(int(qstrlen("#HttpOnly_"))) : line;
        if (!isCookie(cookie)) {
            if (problem)
                // The line's number, not its text: a cookie's value is a secret.
                *problem = QStringLiteral("%1:%2: 不是 Netscape 格式的 cookie")
                               .arg(path, QString::number(number));
            return std::nullopt;
        }
        cookies.append(line);
    }
    return cookies;
}

#include "configfile.h"

#include "options.h"
#include "run/albumselection.h"
#include "web/cookiefile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringDecoder>

namespace {

// Why `value` cannot be the value of `option`, or nothing when it can. The file a line names is
// looked at only when the line is `used`: the command line or a variable may name another.
QString refusalOf(const Option& option, const QString& value, bool used)
{
    if (option.kind == Option::Kind::Flag)
        return value == QLatin1String("true") || value == QLatin1String("false")
                   ? QString()
                   : QStringLiteral("应为 true 或 false");
    if (option.isNumber())
        return readNumber(option, value) ? QString()
                                         : QStringLiteral("应为") + expectedValue(option);
    if (value.isEmpty())
        return QStringLiteral("缺少值");
    // Checked here as the command line checks them later, so that the file and line are named.
    const QLatin1String name(option.name);
    if (name == QLatin1String("albums") && !AlbumSelection::parse(value))
        return QStringLiteral("应为相册位置列表，如 1-5,8,12-");
    if (name == QLatin1String("proxy") && !isProxyAddress(value))
        return QStringLiteral("应为") + proxyForm();
    if (name == QLatin1String("user-agent") && hasControlCharacter(value))
        return QStringLiteral("不能含控制字符");
    QString problem;
    if (name == QLatin1String("cookies") && used && !readCookieFile(value, &problem))
        return problem;
    return {};
}

// What names forums or other settings files is for the command line alone; so is a dry run,
// which in the file would make every run one, unasked.
bool isCommandOnly(const QString& key)
{
    static const QStringList commandOnly{QStringLiteral("download"), QStringLiteral("input-file"),
                                         QStringLiteral("config"), QStringLiteral("dry-run")};
    return commandOnly.contains(key);
}

const Option* settingNamed(const QString& key)
{
    if (isCommandOnly(key))
        return nullptr;
    for (const Option& option : allOptions()) {
        if (key == QLatin1String(option.name))
            return &option;
    }
    return nullptr;
}

} // namespace

QString defaultConfigPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/varnolt/varnolt.conf");
}

std::optional<QStringList> configArguments(const QString& path, bool named, bool download,
                                           const std::function<bool(const QString&)>& given,
                                           QString* problem)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!named && !file.exists())
            return QStringList();
        *problem = QDir::toNativeSeparators(path) + QStringLiteral("：") + file.errorString();
        return std::nullopt;
    }
    QStringList arguments;
    int number = 0;
    // Read whole: a pipe is at its end until its first bytes come.
    for (const QByteArray& bytes : file.readAll().split('\n')) {
        ++number;
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString line = QString(utf8(bytes)).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString key = line.left(equals).trimmed();
        QString value = line.mid(equals + 1).trimmed();
        // On Windows "~\\Pictures" as well, written with the separator of the place.
        if (value.startsWith(QStringLiteral("~/")) ||
            (QDir::separator() == QLatin1Char('\\') && value.startsWith(QStringLiteral("~\\"))))
            value = QDir::homePath() + QLatin1Char('/') + value.mid(2);
        const Option* option = equals > 0 ? settingNamed(key) : nullptr;
        const bool used =
            option && !given(key) &&
            !(option->environment && qEnvironmentVariableIsSet(option->environment)) &&
            (download || !option->downloadOnly);
        const QString refusal =
            utf8.hasError()                    ? QStringLiteral("不是 UTF-8")
            : equals > 0 && isCommandOnly(key) ? QStringLiteral("%1 只能在命令行中给出").arg(key)
            : !option ? QStringLiteral("应为“选项名 = 值”，选项名如 transfers、output")
                      : refusalOf(*option, value, used);
        if (!refusal.isEmpty()) {
            *problem = QStringLiteral("%1 第%2行：%3")
                           .arg(QDir::toNativeSeparators(path))
                           .arg(number)
                           .arg(refusal);
            return std::nullopt;
        }
        if (!used)
            continue;
        if (option->kind != Option::Kind::Flag)
            arguments.append(QStringLiteral("--%1=%2").arg(key, value));
        else if (value == QLatin1String("true"))
            arguments.append(QStringLiteral("--") + key);
    }
    return arguments;
}

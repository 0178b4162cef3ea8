#include "options.h"

#include "web/transferengine.h"

#include <QUrl>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using Kind = Option::Kind;
constexpr double none = std::numeric_limits<double>::quiet_NaN();

const std::vector<Option> table{
    {"download", Kind::Text, "NAME", 0, 0, nullptr, nullptr, none, nullptr,
     "不开窗口，下载吧 NAME 的全部相册，逐条打印进度；退出状态见上。可以给多次，各吧依次下载。",
     false},
    {"input-file", Kind::Text, "FILE", 0, 0, nullptr, nullptr, none, nullptr,
     "再下载 FILE 中的吧（UTF-8，每行一个吧名，空行不计，# 开头的行是注释），排在 --download "
     "的之后。",
     false},
    {"output", Kind::Text, "DIR", 0, 0, "VARNOLT_OUTPUT", "输出文件夹", none, nullptr,
     "保存到 DIR（不存在时创建），而不是默认位置。", false},
    {"transfers", Kind::Count, "N", 1, mostTransfers, "VARNOLT_TRANSFERS", "同时传输数",
     defaultTransfers, nullptr, "同时传输数，{range}{default}。", false},
    {"retries", Kind::Count, "N", 0, 100, nullptr, nullptr, 2, nullptr,
     "失败的图片最多重试 N 轮，{range}，每轮前等待 1 秒、2 秒……（与 --download 一起用）。", true},
    {"max-wait", Kind::Seconds, "SECONDS", 0, 3600, "VARNOLT_MAX_WAIT", "最长等待秒数",
     defaultMaxWaitSeconds, nullptr,
     "服务器要求等待（429，或带 Retry-After 的 503）时最多等 SECONDS 秒，{range}{default}；"
     "更长的等待算作失败。",
     false},
    {"rate", Kind::Number, "N", 0.1, 1000, "VARNOLT_RATE", "每秒请求数上限", none, "不限",
     "每个服务器每秒最多发起 N 个请求，{range}{default}。", false},
    {"timeout", Kind::Seconds, "SECONDS", 1, 600, "VARNOLT_TIMEOUT", "等待数据的秒数", none,
     "页面 5 秒、图片 10 秒",
     "页面和图片等待连接与第一个字节、以及两段数据之间最多 SECONDS 秒，{range}{default}；"
     "一直在传输的不会被中断。",
     false},
    {"albums", Kind::Text, "LIST", 0, 0, nullptr, nullptr, none, nullptr,
     "只下载相册列表中这些位置的相册，如 1-5,8,12-（与 --download 一起用）。", true},
    {"cookies", Kind::Text, "FILE", 0, 0, nullptr, nullptr, none, nullptr,
     "启动时读入 FILE 中的 cookie（浏览器导出插件写的 Netscape 格式），从不写回。", false},
    {"proxy", Kind::Text, "URL", 0, 0, "VARNOLT_PROXY", "代理", none, nullptr,
     "经代理 URL 访问（http://、https://、socks5:// 或 socks5h://主机:端口）；两者都没有时用 "
     "libcurl 的 http_proxy、https_proxy 等变量。",
     false},
    {"user-agent", Kind::Text, "TEXT", 0, 0, nullptr, nullptr, none, nullptr,
     "请求中的 User-Agent 用 TEXT，而不是 Varnolt/版本。", false},
    {"config", Kind::Text, "FILE", 0, 0, nullptr, nullptr, none, nullptr,
     "读这个设置文件，而不是 ~/.config/varnolt/varnolt.conf（“选项名 = 值”，每行一个；命令行和"
     "环境变量优先）。",
     false},
    {"update", Kind::Flag, nullptr, 0, 0, nullptr, nullptr, none, nullptr,
     "只下载新的图片：下载记录（吧文件夹中的 .varnolt.db）中已保存、文件仍在且大小未变的图片"
     "不再请求，已有的文件不会被覆盖；中断的下载这样继续。也可打开窗口时用，窗口中的每次下载都"
     "如此。",
     false},
    {"dry-run", Kind::Flag, nullptr, 0, 0, nullptr, nullptr, none, nullptr,
     "只看不下：读相册列表和相册页面，为每个相册打印标题、文件夹和图片数（与 --update 一起用时还有"
     "新图片数），不请求图片，不创建或写入任何文件（与 --download 一起用）。",
     true},
    {"verbose", Kind::Flag, nullptr, 0, 0, nullptr, nullptr, none, nullptr,
     "在标准错误上为每个请求打印一行：地址、状态和用时，失败时还有原因（与 --download 一起用）。",
     true},
    {"quiet", Kind::Flag, nullptr, 0, 0, nullptr, nullptr, none, nullptr,
     "只打印问题行和结束行（与 --download 一起用）。", true},
    {"json", Kind::Flag, nullptr, 0, 0, nullptr, nullptr, none, nullptr,
     "每行打印一个 JSON 对象代替进度行：album、picture、retry、problem 和 summary 事件"
     "（与 --download 一起用）。",
     true},
};

QString numberText(double value)
{
    return QString::number(value);
}

} // namespace

const std::vector<Option>& allOptions()
{
    return table;
}

const Option& optionNamed(const char* name)
{
    for (const Option& option : table) {
        if (qstrcmp(option.name, name) == 0)
            return option;
    }
    qFatal("no option --%s", name);
}

std::optional<double> readNumber(const Option& option, const QString& text)
{
    bool ok = false;
    const double value = option.kind == Kind::Count ? double(text.trimmed().toInt(&ok))
                                                    : text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < option.least || value > option.most)
        return std::nullopt;
    return value;
}

QString expectedValue(const Option& option)
{
    const QString kind = option.kind == Kind::Count     ? QStringLiteral("整数")
                         : option.kind == Kind::Seconds ? QStringLiteral("秒数")
                                                        : QStringLiteral("数");
    return QStringLiteral("%1 到 %2 之间的%3")
        .arg(numberText(option.least), numberText(option.most), kind);
}

QString badValue(const Option& option, const QString& text)
{
    return QStringLiteral("--%1 应为%2，而不是 '%3'")
        .arg(QLatin1String(option.name), expectedValue(option), text);
}

QString helpOf(const Option& option)
{
    QString help = QString::fromUtf8(option.help);
    help.replace(QStringLiteral("{range}"),
                 QStringLiteral("%1 到 %2").arg(numberText(option.least), numberText(option.most)));
    QString fallback;
    if (option.environment)
        fallback = QStringLiteral("（默认：%1，否则%2）")
                       .arg(QLatin1String(option.environment),
                            option.fallbackText ? QString::fromUtf8(option.fallbackText)
                                                : QLatin1Char(' ') + numberText(option.fallback));
    help.replace(QStringLiteral("{default}"), fallback);
    return help;
}

bool resolveNumber(const Option& option, std::optional<double>& given, QString* problem)
{
    if (given)
        return true;
    if (option.environment && qEnvironmentVariableIsSet(option.environment)) {
        const QString value = qEnvironmentVariable(option.environment);
        given = readNumber(option, value);
        if (!given && problem)
            *problem = QStringLiteral("%1=\"%2\" 不是%3")
                           .arg(QLatin1String(option.environment), value, expectedValue(option));
        return given.has_value();
    }
    if (!std::isnan(option.fallback))
        given = option.fallback;
    return true;
}

bool isProxyAddress(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    static const QStringList schemes{QStringLiteral("http"), QStringLiteral("https"),
                                     QStringLiteral("socks5"), QStringLiteral("socks5h")};
    return url.isValid() && schemes.contains(url.scheme()) && !url.host().isEmpty();
}

QString proxyForm()
{
    // With its leading blank, it follows "应为" or "代理应为" as the messages say it.
    return QStringLiteral(" http://、https://、socks5:// 或 socks5h://主机:端口");
}

bool hasControlCharacter(const QString& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

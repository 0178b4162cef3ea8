#include "failurecause.h"

QString transportFailure(CURLcode code, const char* detail)
{
    const QString words = QString::fromUtf8(detail).trimmed();
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return QStringLiteral("超时");
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return QStringLiteral("找不到服务器");
    case CURLE_COULDNT_CONNECT:
        return QStringLiteral("无法连接");
    case CURLE_GOT_NOTHING:
        return QStringLiteral("服务器没有回答");
    case CURLE_PARTIAL_FILE:
        return QStringLiteral("数据不完整");
    case CURLE_FILESIZE_EXCEEDED:
        return QStringLiteral("文件过大");
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        if (words.contains(QLatin1String("reset"), Qt::CaseInsensitive))
            return QStringLiteral("连接被重置");
        return QStringLiteral("连接中断");
    default:
        break;
    }
    // libcurl's own words name what went wrong more closely than its code's.
    return words.isEmpty() ? QString::fromUtf8(curl_easy_strerror(code)) : words;
}

QString outcomeFailure(TransferOutcome::Kind kind, int status)
{
    using Kind = TransferOutcome::Kind;
    switch (kind) {
    case Kind::NotFinished:
        return QStringLiteral("超时");
    case Kind::CannotOpen:
        return QStringLiteral("无法创建文件");
    case Kind::CannotWrite:
        return QStringLiteral("无法写入文件");
    case Kind::DiskFull:
        return QStringLiteral("磁盘空间不足");
    case Kind::NotAPicture:
        return QStringLiteral("不是图片");
    case Kind::Failed:
    case Kind::Complete:
        break;
    }
    if (status == 200)
        return kind == Kind::Complete ? QString() : QStringLiteral("数据不完整");
    return status > 0 ? QStringLiteral("HTTP %1").arg(status) : QStringLiteral("没有回答");
}

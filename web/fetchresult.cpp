#include "fetchresult.h"

#include <utility>

FetchResult FetchResult::bodyBytes(QByteArray body)
{
    FetchResult result;
    result.m_kind = Kind::Body;
    result.m_body = std::move(body);
    return result;
}

FetchResult FetchResult::text(QString text)
{
    FetchResult result;
    result.m_kind = Kind::Text;
    result.m_text = std::move(text);
    return result;
}

QString timeoutText()
{
    return QStringLiteral("获取内容超时");
}

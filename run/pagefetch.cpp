#include "pagefetch.h"

#include "web/bytestobstr.h"
#include "web/getbody.h"

namespace {
constexpr double pageTimeLimitSeconds = 5;
}

Page fetchPage(HttpClient& network, const QString& address)
{
    const FetchResult result = GetBody(network, address, pageTimeLimitSeconds);
    return {BytesToBstr(result, QStringLiteral("gb2312")), result.isBody()};
}

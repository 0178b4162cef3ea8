#include "pagefetch.h"

#include "text/bytestobstr.h"

Page readPage(const PageRequest& request)
{
    const FetchResult result = request.result();
    const QString& error = request.outcome().error;
    return {BytesToBstr(result, QStringLiteral("gb2312")), result.isBody(),
            result.isBody()   ? QString()
            : error.isEmpty() ? QStringLiteral("超时")
                              : error};
}

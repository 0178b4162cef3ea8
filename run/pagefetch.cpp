#include "pagefetch.h"

#include "text/bytestobstr.h"

Page readPage(const PageRequest& request)
{
    const FetchResult result = request.result();
    return {BytesToBstr(result, QStringLiteral("gb2312")), result.isBody()};
}

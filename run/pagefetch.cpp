#include "pagefetch.h"

#include "text/bytestobstr.h"
#include "web/getbody.h"

namespace {

Page pageOf(const FetchResult& result)
{
    return {BytesToBstr(result, QStringLiteral("gb2312")), result.isBody()};
}

} // namespace

Page fetchPage(TransferEngine& network, const QString& address, double seconds)
{
    return pageOf(GetBody(network, address, seconds));
}

PendingPage::PendingPage(TransferEngine& network, const QString& address, double seconds,
                         TransferOrder order)
    : m_request(network, address, seconds, order)
{}

Page PendingPage::take()
{
    return pageOf(m_request.result());
}

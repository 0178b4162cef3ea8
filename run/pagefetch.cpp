#include "pagefetch.h"

#include "web/bytestobstr.h"
#include "web/getbody.h"
#include "web/transferengine.h"

#include <QUrl>

namespace {

constexpr double pageTimeLimitSeconds = 5;

Page pageOf(const FetchResult& result)
{
    return {BytesToBstr(result, QStringLiteral("gb2312")), result.isBody()};
}

} // namespace

Page fetchPage(TransferEngine& network, const QString& address)
{
    return pageOf(GetBody(network, address, pageTimeLimitSeconds));
}

PendingPage::PendingPage(TransferEngine& network, const QString& address, TransferOrder order)
    : m_transfer(network.fetch(QUrl(address), pageTimeLimitSeconds, order))
{}

Page PendingPage::take()
{
    m_transfer->wait();
    return pageOf(fetchResultOf(m_transfer->outcome()));
}

#include "pagefetch.h"

#include "web/bytestobstr.h"
#include "web/getbody.h"
#include "web/transferengine.h"

#include <QUrl>

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
    : m_transfer(network.fetch(QUrl(address), seconds, order))
{}

Page PendingPage::take()
{
    m_transfer->wait();
    return pageOf(fetchResultOf(m_transfer->outcome()));
}

#include "transferengine.h"

#include "enginecore.h"

#include <algorithm>

TransferEngine::TransferEngine(int maxTransfers, qint64 bodyLimit)
    : TransferEngine([&] {
          EngineSettings settings;
          settings.transfers = maxTransfers;
          if (bodyLimit > 0)
              settings.pageLimit = settings.fileLimit = bodyLimit;
          return settings;
      }())
{}

TransferEngine::TransferEngine(EngineSettings settings)
{
    settings.transfers = std::clamp(settings.transfers, 1, mostTransfers);
    m_core = std::make_unique<EngineCore>(*this, std::move(settings));
}

TransferEngine::~TransferEngine() = default;

bool TransferEngine::canFetch(const QUrl& url)
{
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

int TransferEngine::maxTransfers() const
{
    return m_core->settings().transfers;
}

void TransferEngine::trustCertificates(const QByteArray& pem)
{
    m_core->trust(pem);
}

std::unique_ptr<Transfer> TransferEngine::fetch(const QUrl& url, double seconds,
                                                TransferOrder order)
{
    return m_core->enqueue(url, seconds, QString(), order);
}

std::unique_ptr<Transfer> TransferEngine::download(const QUrl& url, double seconds,
                                                   const QString& target, TransferOrder order)
{
    return m_core->enqueue(url, seconds, target, order);
}

double TransferEngine::serverWaitSeconds() const
{
    return m_core->serverWaitSeconds();
}

void TransferEngine::dropTogether(const std::function<void()>& drop)
{
    m_core->holdStarts(true);
    drop();
    m_core->holdStarts(false);
}

void TransferEngine::abandonAll()
{
    m_core->abandonAll();
}

#include "savejpg.h"

#include "transferengine.h"

#include <QUrl>

namespace {

// The save error of a finished download.
SaveError saveErrorOf(const TransferOutcome& outcome)
{
    switch (outcome.kind) {
    case TransferOutcome::Kind::NotFinished:
        return SaveError::TimedOut;
    case TransferOutcome::Kind::Failed:
        return SaveError::FetchFailed;
    case TransferOutcome::Kind::CannotOpen:
        return SaveError::CannotOpen;
    case TransferOutcome::Kind::CannotWrite:
        return SaveError::CannotWrite;
    case TransferOutcome::Kind::DiskFull:
        return SaveError::DiskFull;
    case TransferOutcome::Kind::NotAPicture:
        return SaveError::NotAPicture;
    case TransferOutcome::Kind::Complete:
        break;
    }
    if (outcome.status != 200)
        return SaveError::FetchFailed;
    if (outcome.bodyBytes == 0)
        return SaveError::EmptyBody;
    return SaveError::Ok;
}

} // namespace

PictureSave::PictureSave(TransferEngine& network, const QString& url, const QString& tpm,
                         double seconds, TransferOrder order)
    : m_transfer(network.download(QUrl(url), seconds, tpm, order))
{}

SaveError PictureSave::finish()
{
    Q_ASSERT(m_transfer->isFinished());
    const SaveError error = saveErrorOf(m_transfer->outcome());
    if (error != SaveError::Ok)
        return error;
    return m_transfer->putInPlace() ? SaveError::Ok : SaveError::CannotReplace;
}

QString PictureSave::cause(SaveError error) const
{
    switch (error) {
    case SaveError::Ok:
        return QString();
    case SaveError::EmptyBody:
        return QStringLiteral("空文件");
    case SaveError::CannotReplace:
        return QStringLiteral("无法替换原有文件");
    default:
        return m_transfer->outcome().error;
    }
}

qint64 PictureSave::bytes() const
{
    return m_transfer->outcome().bodyBytes;
}

#include "savejpg.h"

#include "transferengine.h"

#include <QFile>
#include <QUrl>

#include <filesystem>
#include <system_error>

namespace {

std::filesystem::path nativePath(const QString& path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

SaveError errorOf(const TransferOutcome& outcome)
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
    : m_transfer(network.download(QUrl(url), seconds, tpm, order)), m_tpm(tpm)
{}

SaveError PictureSave::finish()
{
    m_transfer->wait();
    const SaveError error = errorOf(m_transfer->outcome());
    if (error != SaveError::Ok)
        return error;
    // Replaces an existing target in one step, on Windows as well. There is no flush to the
    // disk first: the picture can always be fetched again, and waiting for the disk once per
    // picture would double a run.
    std::error_code failure;
    std::filesystem::rename(nativePath(m_transfer->partPath()), nativePath(m_tpm), failure);
    if (failure)
        return SaveError::CannotReplace; // the transfer removes its file
    m_transfer->releasePart();
    return SaveError::Ok;
}

SaveError SaveJpg(TransferEngine& network, const QString& url, const QString& tpm, double chaoshi)
{
    return PictureSave(network, url, tpm, chaoshi).finish();
}

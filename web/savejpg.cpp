#include "savejpg.h"

#include "getbody.h"

#include <QFile>

#include <filesystem>
#include <system_error>

namespace {

constexpr double pictureTimeLimitSeconds = 10;

std::filesystem::path nativePath(const QString& path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// Writes the bytes beside the target first and moves them over it in one step, so the target
// is never seen half-written. There is no flush to the disk before the move: the picture can
// always be fetched again, and waiting for the disk once per picture would double a run.
SaveError writeWhole(const QString& tpm, const QByteArray& bytes)
{
    const QString partial = tpm + QStringLiteral(".part");
    QFile file(partial);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return SaveError::CannotOpen;
    const bool written = file.write(bytes) == bytes.size();
    file.close(); // a failure to flush on closing stays in error()
    if (!written || file.error() != QFileDevice::NoError) {
        file.remove();
        return SaveError::CannotWrite;
    }
    std::error_code failure;
    // Replaces an existing target in one step, on Windows as well.
    std::filesystem::rename(nativePath(partial), nativePath(tpm), failure);
    if (failure) {
        file.remove();
        return SaveError::CannotReplace;
    }
    return SaveError::Ok;
}

} // namespace

SaveError SaveJpg(HttpClient& network, const QString& url, const QString& tpm)
{
    const FetchResult fetched = GetBody(network, url, pictureTimeLimitSeconds);
    switch (fetched.kind()) {
    case FetchResult::Kind::Nothing:
        return SaveError::FetchFailed;
    case FetchResult::Kind::Text:
        return SaveError::TimedOut;
    case FetchResult::Kind::Body:
        break;
    }
    if (fetched.body().isEmpty())
        return SaveError::EmptyBody;
    // The file is opened only now, after the fetch: no window event runs while it is open.
    return writeWhole(tpm, fetched.body());
}

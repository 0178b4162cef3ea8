#include "startaction.h"

#include "albumprocessing.h"
#include "downloadrecord.h"
#include "folders.h"
#include "listingcrawl.h"
#include "pictureplacement.h"
#include "recordopening.h"
#include "runobserver.h"

#include <QStringList>
#include <QUrl>

StartAction::StartAction(RunContext& context, QString forumName)
    : m_context(context), m_name(std::move(forumName))
{}

StartAction::~StartAction() = default;

bool StartAction::advance()
{
    if (!m_crawl && !begin())
        return true;
    if (!m_opening) {
        if (!m_crawl->advance())
            return false;
        if (!prepareAlbums())
            return true;
    }
    if (!m_processing) {
        m_record = m_opening->take();
        if (!m_record)
            return false;
        beginProcessing();
    }
    return m_processing->advance();
}

bool StartAction::begin()
{
    m_context.tally = {};
    m_context.tally.forumFolder = forumFolderIn(m_context.outputFolder, m_name);
    m_runFile.setFileName(joinPath(m_context.outputFolder, QStringLiteral("1.txt")));
    if (!m_runFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_context.observer.problem(QStringLiteral("无法创建文件：") + m_runFile.fileName(),
                                   m_runFile.errorString());
        ++m_context.tally.missing;
        return false;
    }
    m_context.failedPictures.clear();
    m_context.failedListingPages.clear();
    m_context.failedAlbums.clear();

    // Percent-encoded, so that "&", "#", "+", "%" and blanks stay part of the name.
    const QString listingBase = m_context.roots.forumRoot + QStringLiteral("f/tupian?kw=") +
                                QString::fromLatin1(QUrl::toPercentEncoding(m_name));
    m_context.observer.listingStarted();
    m_crawl = ListingCrawl::ofForum(m_context, listingBase);
    return true;
}

bool StartAction::prepareAlbums()
{
    RunObserver& observer = m_context.observer;
    const QStringList& albums = m_crawl->albums();
    const QString& forumFolder = m_context.tally.forumFolder;
    m_context.tally.albums = albums.size();
    if (!albums.isEmpty() && !ensureFolder(forumFolder)) {
        observer.problem(QStringLiteral("无法创建文件夹：") + forumFolder, QString());
        ++m_context.tally.missing;
        return false;
    }
    observer.listingRead(m_name, albums.size());
    const QStringList beyond = m_context.albums.beyond(albums.size());
    if (!beyond.isEmpty())
        observer.problem(QStringLiteral("超出相册列表（共%1个相册），已忽略：").arg(albums.size()) +
                             beyond.join(QLatin1Char(',')),
                         QString());
    if (albums.isEmpty())
        return false;

    m_opening = std::make_unique<RecordOpening>(forumFolder, m_context);
    return true;
}

void StartAction::beginProcessing()
{
    const QString& forumFolder = m_context.tally.forumFolder;
    // Without a record an update still overwrites nothing: every picture is placed as new.
    m_placement = !m_context.update
                      ? std::make_unique<PicturePlacement>(forumFolder)
                      : std::make_unique<PicturePlacement>(forumFolder, m_record->isOpen()
                                                                            ? m_record->entries()
                                                                            : QList<RecordEntry>());
    if (!m_record->isOpen())
        reportRecordUnusable(m_context.observer, *m_record);
    m_processing = std::make_unique<AlbumProcessing>(m_context, m_crawl->albums(), m_context.albums,
                                                     *m_record, *m_placement);
}

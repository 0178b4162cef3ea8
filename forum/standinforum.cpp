#include "standinforum.h"

#include "forumpages.h"
#include "loopbackcertificate.h"
#include "picturemaker.h"

#include <QHostAddress>
#include <QPointer>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <memory>

#include <zlib.h>

#ifdef Q_OS_WIN
#include <winsock2.h>
using NativeSocket = SOCKET;
#else
#include <sys/socket.h>
using NativeSocket = int;
#endif

namespace StandIn {

namespace {

const QByteArray pageType = QByteArrayLiteral("text/html; charset=gb2312");

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

// A negative length leaves Content-Length out.
QByteArray head(int status, const QByteArray& contentType, qint64 length,
                const QByteArray& location, const QByteArray& extraHeaders = QByteArray())
{
    QByteArray text =
        "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    text += "Content-Type: " + contentType + "\r\n";
    if (length >= 0)
        text += "Content-Length: " + QByteArray::number(length) + "\r\n";
    if (!location.isEmpty())
        text += "Location: " + location + "\r\n";
    return text + extraHeaders + "\r\n";
}

QByteArray gzip(const QByteArray& bytes)
{
    z_stream stream{};
    // 16 above the window bits asks zlib for the gzip wrapper instead of its own.
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    QByteArray packed(static_cast<qsizetype>(deflateBound(&stream, uLong(bytes.size()))), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(packed.data());
    stream.avail_out = uInt(packed.size());
    deflate(&stream, Z_FINISH);
    packed.resize(static_cast<qsizetype>(stream.total_out));
    deflateEnd(&stream);
    return packed;
}

// Closes with a reset instead of an orderly close: a lingering time of zero makes the system
// drop the connection on the spot, as a crashed server or a broken route does.
void reset(QTcpSocket* socket)
{
    const linger immediately{1, 0};
    setsockopt(static_cast<NativeSocket>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER,
               reinterpret_cast<const char*>(&immediately), sizeof immediately);
    socket->abort();
}

QByteArray chunked(const QByteArray& bytes)
{
    return QByteArray::number(bytes.size(), 16) + "\r\n" + bytes + "\r\n0\r\n\r\n";
}

QString targetOf(const QUrl& url)
{
    QString target = url.path(QUrl::FullyEncoded);
    if (url.hasQuery())
        target += QLatin1Char('?') + url.query(QUrl::FullyEncoded);
    return target;
}

} // namespace

QByteArray LoggedRequest::header(const QByteArray& name) const
{
    for (const auto& entry : headers) {
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0)
            return entry.second;
    }
    return QByteArray();
}

StandInForum::StandInForum(ForumContent content) : m_content(std::move(content))
{
    m_clock.start();
    setFaultsOfContent();
}

void StandInForum::setContent(ForumContent content)
{
    m_content = std::move(content);
    setFaultsOfContent();
}

void StandInForum::setFaultsOfContent()
{
    for (const Forum& forum : m_content.forums) {
        for (const Album& album : forum.albums) {
            for (const Picture& picture : album.pictures) {
                if (picture.failFirst > 0)
                    m_faults.insert(Pages::pictureFileTarget(picture.id),
                                    Fault::failingFirst(picture.failFirst));
            }
        }
    }
}

bool StandInForum::start(quint16 port)
{
    return listenOn(new QTcpServer(this), port);
}

bool StandInForum::startSecure()
{
    auto* server = new QSslServer(this);
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(QSslCertificate(loopbackCertificatePem));
    configuration.setPrivateKey(QSslKey(loopbackKeyPem, QSsl::Rsa));
    server->setSslConfiguration(configuration);
    m_secure = true;
    return listenOn(server, 0);
}

bool StandInForum::listenOn(QTcpServer* server, quint16 port)
{
    m_server = server;
    // A TLS server offers a connection only once its handshake is done.
    connect(server, &QTcpServer::pendingConnectionAvailable, this, [this] {
        while (QTcpSocket* socket = m_server->nextPendingConnection())
            accept(socket);
    });
    if (!server->listen(QHostAddress::LocalHost, port))
        return false;
    m_port = server->serverPort();
    return true;
}

void StandInForum::accept(QTcpSocket* socket)
{
    // As real servers do (nginx's tcp_nodelay): otherwise the end of an answer written in two
    // parts waits for the client's delayed acknowledgement, 40 ms an answer one at a time.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // The socket stays the server's child until it is gone: openConnections() counts on it.
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    auto reader = std::make_shared<RequestReader>();
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, reader] {
        QList<Request> complete;
        const bool wellFormed = reader->read(socket->readAll(), complete);
        const QPointer<QTcpSocket> guarded(socket);
        for (const Request& request : complete) {
            if (!guarded || guarded->state() != QAbstractSocket::ConnectedState)
                return;
            handleRequest(request, socket);
        }
        if (!wellFormed && guarded)
            socket->abort();
    });
}

QString StandInForum::forumRoot() const
{
    return (m_secure ? QStringLiteral("https://127.0.0.1:%1/")
                     : QStringLiteral("http://127.0.0.1:%1/"))
        .arg(m_port);
}

int StandInForum::openConnections() const
{
    // Accepted sockets are children of their server until they disconnect and are deleted.
    return m_server ? static_cast<int>(m_server->findChildren<QTcpSocket*>().size()) : 0;
}

QString StandInForum::pictureRoot() const
{
    return forumRoot() + QStringLiteral("imgsrc/");
}

QByteArray StandInForum::pictureBytes(const QString& pictureId)
{
    const Picture* picture = m_content.picture(pictureId);
    if (!picture)
        return QByteArray();
    if (picture->bytes)
        return *picture->bytes;
    auto cached = m_pictures.find(pictureId);
    if (cached == m_pictures.end())
        cached = m_pictures.insert(pictureId, makeJpeg(pictureId, picture->width, picture->height));
    return *cached;
}

void StandInForum::setFault(const QString& target, const Fault& fault)
{
    m_faults.insert(target, fault);
    m_hits.remove(target);
}

void StandInForum::clearFaults()
{
    m_faults.clear();
    m_hits.clear();
}

QStringList StandInForum::requestedTargets() const
{
    QStringList targets;
    for (const LoggedRequest& request : m_log)
        targets.append(request.target);
    return targets;
}

void StandInForum::handleRequest(const Request& request, QTcpSocket* socket)
{
    const char* answered = "standInAnswered";
    if (m_oneAnswerPerConnection && socket->property(answered).toBool()) {
        socket->disconnectFromHost();
        return;
    }
    socket->setProperty(answered, true);
    // A copy of the previous answer on this connection, held back until now.
    const char* copy = "standInCopy";
    if (socket->property(copy).isValid()) {
        socket->write(socket->property(copy).toByteArray());
        socket->setProperty(copy, QVariant());
    }
    const QString target = targetOf(request.url);
    LoggedRequest logged;
    logged.atMs = m_clock.elapsed();
    logged.throttled = overRateLimit();
    logged.method = request.method == "GET" ? QByteArrayLiteral("GET") : QByteArrayLiteral("OTHER");
    logged.target = target;
    logged.headers = request.headers;
    m_log.append(logged);
    m_mostOpen = std::max(m_mostOpen, ++m_open);
    if (logged.throttled) {
        deliver(socket, {429, pageType, QByteArrayLiteral("slow down"), {}},
                Fault::withHeaders("Retry-After: 1\r\n"));
        return;
    }

    const auto planned = m_faults.constFind(target);
    const Fault fault = planned != m_faults.cend() ? *planned : Fault::delayedBy(m_defaultDelayMs);
    const int hit = ++m_hits[target];
    if (fault.stall)
        return;

    Answer answer;
    if (hit <= fault.failFirst)
        answer = {fault.failStatus, pageType, QByteArrayLiteral("busy"), {}};
    else if (fault.status != 0)
        answer = {fault.status, pageType, QByteArrayLiteral("fault"), {}};
    else if (fault.body)
        answer = {200, pageType, *fault.body, {}};
    else if (!fault.redirectTo.isEmpty())
        // Real servers send a short page with a redirect.
        answer = {302, pageType, QByteArrayLiteral("<html><body>Moved</body></html>\r\n"),
                  fault.redirectTo.toUtf8()};
    else
        answer = answerFor(request.url.path(), QUrlQuery(request.url), fault.withoutMarkers);

    if (fault.delayMs <= 0) {
        deliver(socket, answer, fault);
        return;
    }
    QTimer::singleShot(fault.delayMs, this,
                       [this, guarded = QPointer<QTcpSocket>(socket), answer, fault] {
                           if (guarded)
                               deliver(guarded, answer, fault);
                       });
}

StandInForum::Answer StandInForum::answerFor(const QString& path, const QUrlQuery& query,
                                             bool withoutMarkers)
{
    Answer notFound{404, pageType, QByteArrayLiteral("not found"), {}};
    const auto page = [withoutMarkers](const QString& text) {
        return Answer{200,
                      pageType,
                      Pages::encodeGb2312(withoutMarkers ? Pages::pageWithoutMarkers() : text),
                      {}};
    };
    const QString forumName = query.queryItemValue(QStringLiteral("kw"), QUrl::FullyDecoded);
    const int pageNumber = query.queryItemValue(QStringLiteral("pn")).toInt();

    Forum unknown;
    unknown.name = forumName;
    const Forum* forum = m_content.forum(forumName);
    if (path == QLatin1String("/f/tupian"))
        return page(Pages::listingPage(forum ? *forum : unknown, pageNumber));
    if (path == QLatin1String("/f/tupian/album")) {
        const Album* album =
            m_content.album(query.queryItemValue(QStringLiteral("an"), QUrl::FullyDecoded));
        return album ? page(Pages::albumPage(forum ? *forum : unknown, *album, pageNumber))
                     : notFound;
    }
    const QString picturePages = QStringLiteral("/f/tupian/pic/");
    if (path.startsWith(picturePages)) {
        const Picture* picture = m_content.picture(path.section(QLatin1Char('/'), -1));
        return picture ? page(Pages::picturePage(*picture)) : notFound;
    }
    const QString pictureFiles = QStringLiteral("/imgsrc/forum/pic/item/");
    if (path.startsWith(pictureFiles) && path.endsWith(QLatin1String(".jpg"))) {
        const QString id = path.mid(pictureFiles.size()).chopped(4);
        if (!m_content.picture(id))
            return notFound;
        return {200, QByteArrayLiteral("image/jpeg"), pictureBytes(id), {}};
    }
    return notFound;
}

bool StandInForum::overRateLimit()
{
    if (m_rateLimit <= 0)
        return false;
    const qint64 now = m_clock.elapsed();
    while (!m_answeredAt.isEmpty() && m_answeredAt.constFirst() <= now - m_rateSecondMs)
        m_answeredAt.removeFirst();
    if (m_answeredAt.size() >= m_rateLimit)
        return true;
    m_answeredAt.append(now);
    return false;
}

void StandInForum::sendAgainLater(QTcpSocket* socket, const Answer& answer, const Fault& fault)
{
    QByteArray body = answer.body;
    // As a page rendered again would be: the same length, not the same bytes.
    if (fault.alterCopy && !body.isEmpty())
        body.back() = static_cast<char>(body.back() ^ 0x20);
    const QByteArray again =
        head(answer.status, answer.contentType, body.size(), answer.location, fault.extraHeaders) +
        body;
    if (*fault.againAfterMs < 0) {
        socket->setProperty("standInCopy", again);
        return;
    }
    QTimer::singleShot(*fault.againAfterMs, socket, [socket, again] { socket->write(again); });
}

void StandInForum::deliver(QTcpSocket* socket, const Answer& answer, const Fault& fault)
{
    // A trickled answer never ends: its request stays open.
    if (fault.dripBytes <= 0)
        --m_open;
    write(socket, answer, fault);
    if (fault.answerTwice)
        write(socket, answer, fault);
    if (fault.againAfterMs)
        sendAgainLater(socket, answer, fault);
}

void StandInForum::write(QTcpSocket* socket, const Answer& answer, const Fault& fault)
{
    const QByteArray& body = answer.body;
    if (fault.packing != Fault::Packing::None) {
        QByteArray packed = gzip(body);
        if (fault.cutPacked)
            packed.truncate(packed.size() / 2);
        if (fault.packing == Fault::Packing::ContentGzip) {
            socket->write(head(answer.status, answer.contentType, packed.size(), answer.location,
                               "Content-Encoding: gzip\r\n" + fault.extraHeaders));
            socket->write(packed);
        } else {
            socket->write(head(answer.status, answer.contentType, -1, answer.location,
                               "Transfer-Encoding: gzip, chunked\r\n" + fault.extraHeaders));
            socket->write(chunked(packed));
        }
        return;
    }
    const qint64 announced = fault.withoutLength ? -1 : body.size();
    if (fault.dropMidBody) {
        socket->write(head(answer.status, answer.contentType, announced, answer.location,
                           fault.extraHeaders));
        socket->write(body.left(body.size() / 2));
        socket->flush();
        reset(socket);
        return;
    }
    if (fault.lieAboutLength) {
        socket->write(
            head(answer.status, answer.contentType, body.size() * 2 + 1, answer.location));
        socket->write(body);
        socket->disconnectFromHost();
        return;
    }
    if (fault.dripBytes > 0) {
        // Announce a large body and send a little of it now and then, never finishing in time.
        socket->write(head(answer.status, answer.contentType, fault.dripBytes, answer.location));
        auto* drip = new QTimer(socket);
        QObject::connect(drip, &QTimer::timeout, socket,
                         [socket] { socket->write(QByteArray(64, 'x')); });
        drip->start(fault.dripEveryMs);
        return;
    }
    if (fault.streamBytes > 0) {
        stream(socket, answer, fault.streamBytes, !fault.withoutLength);
        return;
    }
    if (fault.bytesPerSecond > 0) {
        pace(socket,
             head(answer.status, answer.contentType, body.size(), answer.location,
                  fault.extraHeaders) +
                 body,
             fault.bytesPerSecond);
        return;
    }
    QByteArray extra = fault.extraHeaders;
    if (fault.lengthValue)
        extra += "Content-Length: " + *fault.lengthValue + "\r\n";
    socket->write(head(answer.status, answer.contentType, fault.lengthValue ? -1 : announced,
                       answer.location, extra));
    socket->write(body);
    if (fault.withoutLength)
        socket->disconnectFromHost();
}

void StandInForum::pace(QTcpSocket* socket, const QByteArray& body, qint64 bytesPerSecond)
{
    constexpr int sliceMs = 50;
    const qint64 slice = std::max<qint64>(1, bytesPerSecond * sliceMs / 1000);
    auto sent = std::make_shared<qint64>(0);
    auto* timer = new QTimer(socket);
    QObject::connect(timer, &QTimer::timeout, socket, [socket, body, slice, sent, timer] {
        socket->write(body.mid(*sent, slice));
        *sent += slice;
        if (*sent >= body.size())
            timer->deleteLater();
    });
    timer->start(sliceMs);
}

void StandInForum::stream(QTcpSocket* socket, const Answer& answer, qint64 length, bool announced)
{
    // Written as the socket drains, so the stand-in never holds the whole body.
    socket->write(
        head(answer.status, answer.contentType, announced ? length : -1, answer.location));
    auto left = std::make_shared<qint64>(length);
    const auto refill = [socket, left] {
        static const QByteArray chunk(256 * 1024, 'z');
        while (*left > 0 && socket->bytesToWrite() < 2 * chunk.size()) {
            const qint64 size = std::min<qint64>(*left, chunk.size());
            socket->write(chunk.constData(), size);
            *left -= size;
        }
    };
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, refill);
    refill();
}

} // namespace StandIn

#pragma once

#include "transfer.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class EngineCore;
class QHostAddress;

// Bodies beyond these are refused as failures, so that a server that never stops sending fills
// neither the memory nor the disk: a page, read into memory, is far smaller than this; a
// picture streams into its file.
constexpr qint64 maxPageBytes = 16 * 1024 * 1024;
constexpr qint64 maxFileBytes = qint64(1024) * 1024 * 1024;

// How many transfers may run at once when nothing says otherwise.
constexpr int defaultTransfers = 4;
constexpr int mostTransfers = 16;

// The longest wait a server may ask for (Retry-After) that is obeyed; a longer one fails the
// request at once.
constexpr double defaultMaxWaitSeconds = 60;

// How the engine treats the network and the servers on it.
struct EngineSettings
{
    int transfers = 1;
    double maxWaitSeconds = defaultMaxWaitSeconds;
    double rate = 0; // request starts a second at one host; 0 for no pacing
    qint64 pageLimit = maxPageBytes;
    qint64 fileLimit = maxFileBytes;
    // Every wait lasts this many times as long: those a server asks for, the pacing after a
    // refusal and that of `rate`; tests make it short.
    double waitScale = 1;
    // Which addresses count as internal, which a redirect may reach only from an internal one;
    // without it, isInternalAddress(). Tests move the line.
    std::function<bool(const QHostAddress& address, int port)> isInternal;
    // Cookies to start with, lines of the Netscape format; never written back anywhere.
    QList<QByteArray> cookies;
    // Every request goes through this proxy; empty for libcurl's own choice (its variables).
    QByteArray proxy;
    // What requests say they come from; empty for "Varnolt/<version>".
    QByteArray userAgent;
};

// The program's HTTP, on one libcurl multi handle run by the program's event loop. At most
// `transfers` run at once; the others wait, in their order. Connections are kept between
// transfers, and cookies are kept in memory for the program's life, shared by all.
//
// A server that answers 429, or 503 with Retry-After, is obeyed: the request is sent again once
// the wait has passed, and meanwhile nothing new starts at that host.
class TransferEngine : public QObject
{
    Q_OBJECT

  public:
    // `bodyLimit`, when given, bounds pages and files alike.
    explicit TransferEngine(int maxTransfers = 1, qint64 bodyLimit = 0);
    explicit TransferEngine(EngineSettings settings);
    ~TransferEngine() override;

    // Whether `url` is an address that can be requested at all: http or https.
    static bool canFetch(const QUrl& url);

    int maxTransfers() const;

    // Certificates (PEM) to trust, for a mirror with a certificate of its own; where libcurl
    // also has a folder of the system's certificates (Debian's has), those stay trusted too.
    // Applies to transfers that start from now on.
    void trustCertificates(const QByteArray& pem);

    // A GET of `url` whose body is kept in memory. `seconds` bounds each request, redirects
    // included, from the moment it starts; a wait a server asked for is no part of it.
    std::unique_ptr<Transfer> fetch(const QUrl& url, double seconds, TransferOrder order = {});
    // A GET of `url` whose 200 body streams into a working file beside `target`.
    std::unique_ptr<Transfer> download(const QUrl& url, double seconds, const QString& target,
                                       TransferOrder order = {});

    // The longest wait a server asked for that is still running, in seconds; 0 when none.
    double serverWaitSeconds() const;

    // The program is closing: every transfer stops where it is and counts as unfinished, no
    // further one starts, and no file of an unfinished or untaken transfer is left behind.
    void abandonAll();

    // While `drop` runs, a transfer dropped does not let a waiting one start: the waiting ones
    // are being dropped too. Those left then start as usual.
    void dropTogether(const std::function<void()>& drop);

  signals:
    // One or more transfers have finished.
    void transferFinished();
    // The two below are sent from inside the engine's work on libcurl's handles: a slot only
    // looks and tells; it drops no transfer and does not turn the event loop.
    //
    // A transfer has just finished: its first address, the status of its last answer (0 for
    // none), how long its last request took, and why it failed (empty for a whole 200).
    void transferEnded(const QUrl& url, int status, qint64 milliseconds, const QString& error);
    // A server has asked for a wait, which serverWaitSeconds() now counts down.
    void serverWaitBegan();

  private:
    std::unique_ptr<EngineCore> m_core;
};

#pragma once

#include "curlmulti.h"
#include "partfiles.h"
#include "transfer.h"

#include <QObject>

#include <memory>
#include <vector>

// Bodies beyond this are refused as failures: a generous bound for a picture, and what keeps
// a server that never stops sending from filling the memory or the disk.
constexpr qint64 maxBodyBytes = 64 * 1024 * 1024;

// How many transfers may run at once when nothing says otherwise.
constexpr int defaultTransfers = 4;
constexpr int mostTransfers = 16;

// The program's HTTP, on one libcurl multi handle run by the program's event loop. At most
// `maxTransfers` transfers run at once; the others wait, in their order. Connections are kept
// between transfers, and cookies are kept in memory for the program's life, shared by all.
class TransferEngine : public QObject
{
    Q_OBJECT

  public:
    explicit TransferEngine(int maxTransfers = 1, qint64 bodyLimit = maxBodyBytes);
    ~TransferEngine() override;

    // Whether `url` is an address that can be requested at all: http or https.
    static bool canFetch(const QUrl& url);

    int maxTransfers() const { return m_maxTransfers; }

    // Certificates (PEM) to trust, for a mirror with a certificate of its own; where libcurl
    // also has a folder of the system's certificates (Debian's has), those stay trusted too.
    // Applies to transfers that start from now on.
    void trustCertificates(const QByteArray& pem) { m_extraTrust = pem; }

    // A GET of `url` whose body is kept in memory. `seconds` bounds the whole transfer,
    // redirects included, from the moment it starts.
    std::unique_ptr<Transfer> fetch(const QUrl& url, double seconds, TransferOrder order = {});
    // A GET of `url` whose 200 body streams into a file beside `target` (see partPath()).
    std::unique_ptr<Transfer> download(const QUrl& url, double seconds, const QString& target,
                                       TransferOrder order = {});

    // The program is closing: every transfer stops where it is and counts as unfinished, no
    // further one starts, and no file of an unfinished or untaken transfer is left behind.
    void abandonAll();

  signals:
    // One or more transfers have finished.
    void transferFinished();

  private:
    friend class Transfer;

    std::unique_ptr<Transfer> enqueue(std::unique_ptr<Transfer> transfer);
    void startWaiting();
    bool mustWait(const Transfer* transfer) const;
    void begin(Transfer* transfer);
    void failAtStart(Transfer* transfer, TransferOutcome::Kind kind);
    bool configure(Transfer* transfer);
    void forget(Transfer* transfer);
    void stopHandle(Transfer* transfer);
    void reapFinished();
    enum class Hop
    {
        Final,    // a redirect status without a place to go: the answer stands
        Followed, // the transfer goes on at the new address
        Refused,  // too many hops, or a scheme we do not follow
        OutOfTime
    };
    Hop followRedirect(Transfer* transfer);
    void announceSoon();

    friend struct CurlCallbacks;

    const int m_maxTransfers;
    const qint64 m_bodyLimit;
    CurlMulti m_curl;
    void* m_share = nullptr;
    void* m_headers = nullptr;
    std::vector<Transfer*> m_waiting;
    std::vector<Transfer*> m_running;
    std::vector<Transfer*> m_all;
    PartFiles m_parts;
    QByteArray m_extraTrust;
    quint64 m_nextSequence = 0;
    bool m_announcing = false;
    bool m_abandoned = false;
};

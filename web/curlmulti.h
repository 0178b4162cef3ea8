#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <curl/curl.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class QSocketNotifier;

// libcurl's multi handle, run by Qt's event loop through libcurl's socket interface: a
// notifier pair per socket that libcurl wants watched, and one single-shot timer for its
// time-outs. No thread, no polling, so waiting costs no CPU.
//
// It also follows each connection from its first to its last moment, to keep HTTP/1 answers in
// step with their requests: libcurl 7.88 reuses a kept-alive connection with unread bytes on it,
// and would read a late copy of an earlier answer as the answer to the next request.
class CurlMulti : public QObject
{
    Q_OBJECT

  public:
    // A transfer that libcurl has finished, with libcurl's result for it.
    struct Done
    {
        CURL* easy;
        CURLcode result;
    };

    // Enough of an answer to know a copy of it: the body of a 200, or where a redirect leads.
    struct Answer
    {
        QByteArrayView address;
        qint64 size = -1;
        quint32 checksum = 0;
    };

    explicit CurlMulti(long keptConnections);
    ~CurlMulti() override;
    CurlMulti(const CurlMulti&) = delete;
    CurlMulti& operator=(const CurlMulti&) = delete;

    // Lets this multi see the closing of the connections that `easy` opens.
    void prepare(CURL* easy);
    bool add(CURL* easy);
    void remove(CURL* easy);
    // The finished transfers since the last call. Their results are read here, before anybody
    // removes their handles.
    std::vector<Done> takeDone();
    // Nothing is watched or timed from now on: the program is ending.
    void stop();

    // The transfer of `easy`, to `host`, has ended with HTTP/1: whenever libcurl keeps its
    // connection idle, it is watched, and a byte that arrives there ends it.
    void keepInStep(CURL* easy, const QString& host);
    // Records `answer`, just come for `easy`, among the answers of its connection. True when
    // one of those before it, for another address, was the very same: an earlier answer sent
    // again, read in place of this one.
    bool repeatsEarlierAnswer(CURL* easy, const Answer& answer);
    // The connection of `easy`, if still open, is out of step with its requests: it is shut
    // down, so that nothing more is read from it and libcurl connects afresh.
    void condemn(CURL* easy);
    // Whether the connection `easy` was using was condemned while its request was out: nothing
    // read for it can be trusted to be its answer.
    bool wasOnCondemned(CURL* easy) const { return m_onCondemned.count(easy) > 0; }

  signals:
    // libcurl has acted on a socket or a time-out: transfers may have finished.
    void acted();
    // A connection to `host` has sent what nobody asked for.
    void outOfStep(const QString& host);

  private:
    friend struct CurlMultiCallbacks;
    struct Connection
    {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
        bool watchedByCurl = false;
        bool http1 = false;
        bool condemned = false;
        CURL* user = nullptr; // the transfer libcurl drives on it, while it does
        QString host;         // where it leads, once a transfer over it has ended
    };

    // The answers of one size and checksum a connection has carried, as its history keeps
    // them: the address of the first only by its hash, so that a connection that carries
    // thousands of requests stays small, and whether others came for other addresses.
    struct Seen
    {
        size_t address;
        bool otherAddresses = false;
    };

    Connection& connection(curl_socket_t socket);
    Connection* connectionOf(CURL* easy);
    void watch(CURL* easy, curl_socket_t socket, int what, Connection* known);
    void watchIdle(Connection& connection);
    void condemn(curl_socket_t socket, Connection& connection);
    // Condemned when a byte or the end came while no request was out: a byte tells that its
    // server is out of step.
    void condemnIdle(curl_socket_t socket, Connection& connection);
    void condemnIdleWithBytesWaiting();
    static std::string endsOf(CURL* easy);
    void closing(curl_socket_t socket);
    void setTimer(long timeoutMs);
    void act(curl_socket_t socket, int events);
    void readable(curl_socket_t socket);
    // Every libcurl multi call goes through here: a failure is said once, the same way.
    bool check(CURLMcode code, const char* call) const;

    CURLM* m_multi = nullptr;
    QTimer m_timer;
    std::unordered_map<curl_socket_t, std::unique_ptr<Connection>> m_connections;
    // Every answer a connection has carried, by size and checksum: looked up at once, however
    // many there were. A connection is known by its two ends, which libcurl still tells after it
    // has closed the connection.
    struct History
    {
        std::unordered_map<quint64, Seen> answers;
        quint64 used = 0;
    };
    std::unordered_map<std::string, History> m_histories;
    quint64 m_answersSeen = 0;
    const std::size_t m_mostHistories;
    std::unordered_set<CURL*> m_onCondemned;
    bool m_stopped = false;
};

#pragma once

#include <QObject>
#include <QTimer>

#include <unordered_map>
#include <vector>

class QSocketNotifier;

// libcurl's multi handle, run by Qt's event loop through libcurl's socket interface: a
// notifier pair per socket that libcurl wants watched, and one single-shot timer for its
// time-outs. No thread, no polling, so waiting costs no CPU.
class CurlMulti : public QObject
{
    Q_OBJECT

  public:
    // A transfer that libcurl has finished, with libcurl's result for it.
    struct Done
    {
        void* easy;
        int result;
    };

    explicit CurlMulti(long keptConnections);
    ~CurlMulti() override;
    CurlMulti(const CurlMulti&) = delete;
    CurlMulti& operator=(const CurlMulti&) = delete;

    bool add(void* easy);
    void remove(void* easy);
    // The finished transfers since the last call. Their results are read here, before anybody
    // removes their handles.
    std::vector<Done> takeDone();
    // Nothing is watched or timed from now on: the program is ending.
    void stop();

  signals:
    // libcurl has acted on a socket or a time-out: transfers may have finished.
    void acted();

  private:
    friend struct CurlMultiCallbacks;
    struct Watch
    {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };

    void watch(qintptr socket, int what);
    void setTimer(long timeoutMs);
    void act(qintptr socket, int events);

    void* m_multi = nullptr;
    QTimer m_timer;
    std::unordered_map<qintptr, Watch> m_watches;
    bool m_stopped = false;
};

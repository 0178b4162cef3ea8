#include "curlmulti.h"

#include <QSocketNotifier>

#include <curl/curl.h>

#include <algorithm>

// libcurl calls these from inside its own functions: they only arm Qt's notifiers and timer,
// and never call back into the multi handle; the work they ask for runs from the event loop.
struct CurlMultiCallbacks
{
    static int socket(CURL*, curl_socket_t socket, int what, void* multi, void*)
    {
        static_cast<CurlMulti*>(multi)->watch(static_cast<qintptr>(socket), what);
        return 0;
    }

    static int timer(CURLM*, long timeoutMs, void* multi)
    {
        static_cast<CurlMulti*>(multi)->setTimer(timeoutMs);
        return 0;
    }
};

CurlMulti::CurlMulti(long keptConnections)
{
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    Q_UNUSED(initialised);
    m_multi = curl_multi_init();
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlMultiCallbacks::socket);
    curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlMultiCallbacks::timer);
    curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    curl_multi_setopt(m_multi, CURLMOPT_MAXCONNECTS, keptConnections);

    m_timer.setSingleShot(true);
    // libcurl's time limits end on time, not up to 5% late.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
}

CurlMulti::~CurlMulti()
{
    curl_multi_cleanup(m_multi);
}

bool CurlMulti::add(void* easy)
{
    return curl_multi_add_handle(m_multi, easy) == CURLM_OK;
}

void CurlMulti::remove(void* easy)
{
    curl_multi_remove_handle(m_multi, easy);
}

std::vector<CurlMulti::Done> CurlMulti::takeDone()
{
    std::vector<Done> done;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg == CURLMSG_DONE)
            done.push_back({message->easy_handle, message->data.result});
    }
    return done;
}

void CurlMulti::stop()
{
    m_stopped = true;
    m_timer.stop();
    for (auto& entry : m_watches) {
        entry.second.read->setEnabled(false);
        entry.second.write->setEnabled(false);
    }
}

void CurlMulti::setTimer(long timeoutMs)
{
    if (timeoutMs < 0 || m_stopped)
        m_timer.stop();
    else
        m_timer.start(static_cast<int>(std::min<long>(timeoutMs, 24L * 3600 * 1000)));
}

void CurlMulti::watch(qintptr socket, int what)
{
    if (what == CURL_POLL_REMOVE) {
        const auto found = m_watches.find(socket);
        if (found == m_watches.end())
            return;
        // The notifier may be the one whose signal brought us here: disable it now, delete
        // it once control is back in the event loop.
        for (QSocketNotifier* notifier : {found->second.read, found->second.write}) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
        m_watches.erase(found);
        return;
    }
    if (m_stopped)
        return;
    Watch& watch = m_watches[socket];
    if (!watch.read) {
        watch.read = new QSocketNotifier(socket, QSocketNotifier::Read, this);
        watch.write = new QSocketNotifier(socket, QSocketNotifier::Write, this);
        connect(watch.read, &QSocketNotifier::activated, this,
                [this, socket] { act(socket, CURL_CSELECT_IN); });
        connect(watch.write, &QSocketNotifier::activated, this,
                [this, socket] { act(socket, CURL_CSELECT_OUT); });
    }
    watch.read->setEnabled((what & CURL_POLL_IN) != 0);
    watch.write->setEnabled((what & CURL_POLL_OUT) != 0);
}

void CurlMulti::act(qintptr socket, int events)
{
    if (m_stopped)
        return;
    int running = 0;
    curl_multi_socket_action(m_multi, static_cast<curl_socket_t>(socket), events, &running);
    emit acted();
}

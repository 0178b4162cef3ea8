#include "curlmulti.h"

#include <QSocketNotifier>
#include <QtDebug>

#include <algorithm>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#include <unistd.h>
#endif

// libcurl calls these from inside its own functions: they only arm Qt's notifiers and timer,
// and never call back into the multi handle; the work they ask for runs from the event loop.
struct CurlMultiCallbacks
{
    static int socket(CURL*, curl_socket_t socket, int what, void* multi, void* socketData)
    {
        static_cast<CurlMulti*>(multi)->watch(socket, what,
                                              static_cast<CurlMulti::Connection*>(socketData));
        return 0;
    }

    static int timer(CURLM*, long timeoutMs, void* multi)
    {
        static_cast<CurlMulti*>(multi)->setTimer(timeoutMs);
        return 0;
    }

    static int close(void* multi, curl_socket_t socket)
    {
        static_cast<CurlMulti*>(multi)->closing(socket);
#ifdef Q_OS_WIN
        return closesocket(socket);
#else
        return ::close(socket);
#endif
    }
};

CurlMulti::CurlMulti(long keptConnections)
{
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    Q_UNUSED(initialised);
    m_multi = curl_multi_init();
    check(curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlMultiCallbacks::socket),
          "setopt");
    check(curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this), "setopt");
    check(curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlMultiCallbacks::timer),
          "setopt");
    check(curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this), "setopt");
    check(curl_multi_setopt(m_multi, CURLMOPT_MAXCONNECTS, keptConnections), "setopt");

    m_timer.setSingleShot(true);
    // libcurl's time limits end on time, not up to 5% late.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
}

CurlMulti::~CurlMulti()
{
    // Closes the kept connections, through closing().
    check(curl_multi_cleanup(m_multi), "cleanup");
}

bool CurlMulti::check(CURLMcode code, const char* call) const
{
    if (code == CURLM_OK)
        return true;
    qWarning("libcurl: curl_multi_%s: %s", call, curl_multi_strerror(code));
    return false;
}

void CurlMulti::prepare(CURL* easy)
{
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &CurlMultiCallbacks::close);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, this);
}

bool CurlMulti::add(CURL* easy)
{
    return check(curl_multi_add_handle(m_multi, easy), "add_handle");
}

void CurlMulti::remove(CURL* easy)
{
    check(curl_multi_remove_handle(m_multi, easy), "remove_handle");
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
    for (auto& entry : m_connections) {
        entry.second->read->setEnabled(false);
        entry.second->write->setEnabled(false);
    }
}

void CurlMulti::setTimer(long timeoutMs)
{
    if (timeoutMs < 0 || m_stopped)
        m_timer.stop();
    else
        m_timer.start(static_cast<int>(std::min<long>(timeoutMs, 24L * 3600 * 1000)));
}

CurlMulti::Connection& CurlMulti::connection(curl_socket_t socket)
{
    std::unique_ptr<Connection>& entry = m_connections[socket];
    if (entry)
        return *entry;
    entry = std::make_unique<Connection>();
    const auto handle = static_cast<qintptr>(socket);
    entry->read = new QSocketNotifier(handle, QSocketNotifier::Read, this);
    entry->write = new QSocketNotifier(handle, QSocketNotifier::Write, this);
    entry->read->setEnabled(false);
    entry->write->setEnabled(false);
    connect(entry->read, &QSocketNotifier::activated, this, [this, socket] { readable(socket); });
    connect(entry->write, &QSocketNotifier::activated, this,
            [this, socket] { act(socket, CURL_CSELECT_OUT); });
    return *entry;
}

void CurlMulti::watch(curl_socket_t socket, int what, Connection* known)
{
    if (what == CURL_POLL_REMOVE) {
        // libcurl is done with the socket for now; it may keep the connection for later.
        const auto found = m_connections.find(socket);
        if (found == m_connections.end())
            return;
        found->second->watchedByCurl = false;
        found->second->write->setEnabled(false);
        watchIdle(*found->second);
        return;
    }
    if (m_stopped)
        return;
    Connection& entry = known ? *known : connection(socket);
    if (!known)
        check(curl_multi_assign(m_multi, socket, &entry), "assign");
    entry.watchedByCurl = true;
    entry.read->setEnabled((what & CURL_POLL_IN) != 0);
    entry.write->setEnabled((what & CURL_POLL_OUT) != 0);
}

void CurlMulti::watchIdle(Connection& entry)
{
    // An idle HTTP/2 connection may well hear from its server; an idle HTTP/1 one must not.
    entry.read->setEnabled(!m_stopped && entry.http1 && !entry.condemned);
}

void CurlMulti::readable(curl_socket_t socket)
{
    const auto found = m_connections.find(socket);
    if (found != m_connections.end() && !found->second->watchedByCurl) {
        condemn(socket);
        return;
    }
    act(socket, CURL_CSELECT_IN);
}

void CurlMulti::keepInStep(curl_socket_t socket)
{
    const auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    found->second->http1 = true;
    if (!found->second->watchedByCurl)
        watchIdle(*found->second);
}

bool CurlMulti::repeatsLastAnswer(curl_socket_t socket, const Answer& answer)
{
    const auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return false;
    Answer& last = found->second->last;
    const bool repeated = last.address != answer.address && last.size == answer.size &&
                          last.checksum == answer.checksum;
    last = answer;
    return repeated;
}

void CurlMulti::condemn(curl_socket_t socket)
{
    const auto found = m_connections.find(socket);
    if (found == m_connections.end() || found->second->condemned)
        return;
    found->second->condemned = true;
    // The socket stays libcurl's to close; shut down, it fails the next request sent over it,
    // which libcurl then sends again over a new connection.
#ifdef Q_OS_WIN
    ::shutdown(socket, SD_BOTH);
#else
    ::shutdown(socket, SHUT_RDWR);
#endif
    if (!found->second->watchedByCurl)
        watchIdle(*found->second);
}

void CurlMulti::closing(curl_socket_t socket)
{
    const auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    // The notifier may be the one whose signal brought us here: disable it now, delete it once
    // control is back in the event loop.
    for (QSocketNotifier* notifier : {found->second->read, found->second->write}) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
    m_connections.erase(found);
}

void CurlMulti::act(curl_socket_t socket, int events)
{
    if (m_stopped)
        return;
    int running = 0;
    check(curl_multi_socket_action(m_multi, socket, events, &running), "socket_action");
    emit acted();
}

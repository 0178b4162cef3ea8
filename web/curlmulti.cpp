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
namespace {

enum class Waiting
{
    Nothing,
    End, // the server has closed its side, as servers do with idle connections
    Byte // the server has sent what nobody asked for
};

Waiting waitingOn(curl_socket_t socket)
{
    // libcurl's sockets do not block: nothing waiting gives an error.
    char byte = 0;
    const auto got = ::recv(socket, &byte, 1, MSG_PEEK);
    return got < 0 ? Waiting::Nothing : got == 0 ? Waiting::End : Waiting::Byte;
}

} // namespace

struct CurlMultiCallbacks
{
    static int socket(CURL* easy, curl_socket_t socket, int what, void* multi, void* socketData)
    {
        static_cast<CurlMulti*>(multi)->watch(easy, socket, what,
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
    : m_mostHistories(static_cast<std::size_t>(keptConnections) * 4)
{
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    Q_UNUSED(initialised);
    m_multi = curl_multi_init();
    check(curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &CurlMultiCallbacks::socket),
          "setopt");
    check(curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this), "setopt");
    check(curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &CurlMultiCallbacks::timer), "setopt");
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
    m_onCondemned.erase(easy);
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

void CurlMulti::watch(CURL* easy, curl_socket_t socket, int what, Connection* known)
{
    if (what == CURL_POLL_REMOVE) {
        // libcurl is done with the socket for now; it may keep the connection for later.
        const auto found = m_connections.find(socket);
        if (found == m_connections.end())
            return;
        found->second->watchedByCurl = false;
        found->second->user = nullptr;
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
    entry.user = easy;
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
        // Windows queues its "readable" as a message, which can be stale by the time it is
        // handled: libcurl may have read the bytes since.
        condemnIdle(socket, *found->second);
        return;
    }
    act(socket, CURL_CSELECT_IN);
}

CurlMulti::Connection* CurlMulti::connectionOf(CURL* easy)
{
    // While libcurl keeps the connection, the socket of the transfer's last one.
    curl_socket_t socket = CURL_SOCKET_BAD;
    curl_easy_getinfo(easy, CURLINFO_ACTIVESOCKET, &socket);
    const auto found = m_connections.find(socket);
    return found == m_connections.end() ? nullptr : found->second.get();
}

void CurlMulti::keepInStep(CURL* easy, const QString& host)
{
    Connection* entry = connectionOf(easy);
    if (!entry)
        return;
    entry->http1 = true;
    entry->host = host;
    if (!entry->watchedByCurl)
        watchIdle(*entry);
}

std::string CurlMulti::endsOf(CURL* easy)
{
    char* remote = nullptr;
    char* local = nullptr;
    long remotePort = 0;
    long localPort = 0;
    curl_easy_getinfo(easy, CURLINFO_PRIMARY_IP, &remote);
    curl_easy_getinfo(easy, CURLINFO_PRIMARY_PORT, &remotePort);
    curl_easy_getinfo(easy, CURLINFO_LOCAL_IP, &local);
    curl_easy_getinfo(easy, CURLINFO_LOCAL_PORT, &localPort);
    if (!remote || !local || localPort == 0)
        return {};
    return std::string(remote) + ' ' + std::to_string(remotePort) + ' ' + local + ' ' +
           std::to_string(localPort);
}

bool CurlMulti::repeatsEarlierAnswer(CURL* easy, const Answer& answer)
{
    const std::string ends = endsOf(easy);
    if (ends.empty())
        return false;
    const size_t address = qHash(answer.address);
    const quint64 key = (quint64(answer.size) << 32) ^ answer.checksum;
    History& history = m_histories[ends];
    // Repeated when an earlier answer of this size and checksum was for another address.
    const auto [found, first] = history.answers.try_emplace(key, Seen{address});
    const bool repeated =
        !first && (found->second.otherAddresses || found->second.address != address);
    if (!first && found->second.address != address)
        found->second.otherAddresses = true;
    history.used = ++m_answersSeen;
    // Only the connections used last can still be open: libcurl keeps no more.
    if (m_histories.size() > m_mostHistories) {
        const auto oldest = std::min_element(
            m_histories.begin(), m_histories.end(),
            [](const auto& a, const auto& b) { return a.second.used < b.second.used; });
        m_histories.erase(oldest);
    }
    return repeated;
}

void CurlMulti::condemn(CURL* easy)
{
    curl_socket_t socket = CURL_SOCKET_BAD;
    curl_easy_getinfo(easy, CURLINFO_ACTIVESOCKET, &socket);
    const auto found = m_connections.find(socket);
    if (found != m_connections.end())
        condemn(socket, *found->second);
}

void CurlMulti::condemnIdle(curl_socket_t socket, Connection& entry)
{
    const Waiting waiting = waitingOn(socket);
    if (waiting == Waiting::Nothing)
        return;
    condemn(socket, entry);
    if (waiting == Waiting::Byte && !entry.host.isEmpty())
        emit outOfStep(entry.host);
}

void CurlMulti::condemn(curl_socket_t socket, Connection& entry)
{
    if (entry.condemned)
        return;
    entry.condemned = true;
    if (entry.watchedByCurl && entry.user)
        m_onCondemned.insert(entry.user);
        // The socket stays libcurl's to close; shut down, it fails the next request sent over it,
        // which libcurl then sends again over a new connection.
#ifdef Q_OS_WIN
    ::shutdown(socket, SD_BOTH);
#else
    ::shutdown(socket, SHUT_RDWR);
#endif
    if (!entry.watchedByCurl)
        watchIdle(entry);
}

void CurlMulti::condemnIdleWithBytesWaiting()
{
    for (auto& [socket, entry] : m_connections) {
        if (entry->watchedByCurl || !entry->http1 || entry->condemned)
            continue;
        condemnIdle(socket, *entry);
    }
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
    // libcurl hands kept connections to new transfers when its timer runs out; the idle watch
    // may not have had its turn yet if bytes have just arrived.
    if (socket == CURL_SOCKET_TIMEOUT)
        condemnIdleWithBytesWaiting();
    int running = 0;
    check(curl_multi_socket_action(m_multi, socket, events, &running), "socket_action");
    emit acted();
}

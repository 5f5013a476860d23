#include "net/CurlMultiDriver.h"

#include <QSocketNotifier>

#include <utility>

CurlMultiDriver::CurlMultiDriver(QObject* parent) : QObject(parent)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
    watchdog_.setSingleShot(true);
    connect(&watchdog_, &QTimer::timeout, this, &CurlMultiDriver::runAll);
}

CurlMultiDriver::~CurlMultiDriver()
{
    running_.clear();
    closeConnections();
}

CURLM* CurlMultiDriver::multi()
{
    if (!multi_) {
        multi_.reset(curl_multi_init());
        if (!multi_)
            return nullptr;
        curl_multi_setopt(multi_.get(), CURLMOPT_SOCKETFUNCTION, &CurlMultiDriver::onSocket);
        curl_multi_setopt(multi_.get(), CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(multi_.get(), CURLMOPT_TIMERFUNCTION, &CurlMultiDriver::onTimer);
        curl_multi_setopt(multi_.get(), CURLMOPT_TIMERDATA, this);
    }
    return multi_.get();
}

bool CurlMultiDriver::start(CURL* easy, Done done)
{
    CURLM* handle = multi();
    if (!handle || running_.count(easy) || curl_multi_add_handle(handle, easy) != CURLM_OK)
        return false;
    running_[easy] = std::move(done);
    keepWatch();
    return true;
}

void CurlMultiDriver::stop(CURL* easy)
{
    if (running_.erase(easy) && multi_)
        curl_multi_remove_handle(multi_.get(), easy);
    keepWatch();
}

void CurlMultiDriver::closeConnections()
{
    for (auto it = running_.begin(); it != running_.end(); it = running_.erase(it))
        curl_multi_remove_handle(multi_.get(), it->first);
    // The callbacks still reach this driver while the connections close.
    multi_.reset();
    for (auto& [socket, watch] : sockets_) {
        for (std::unique_ptr<QSocketNotifier>* notifier : {&watch.read, &watch.write}) {
            if (*notifier) {
                (*notifier)->setEnabled(false);
                notifier->release()->deleteLater();
            }
        }
    }
    sockets_.clear();
    watchdog_.stop();
    while (!connecting_.empty())
        dropConnecting(connecting_.begin()->first);
    timer_.stop();
}

int CurlMultiDriver::onSocket(CURL*, curl_socket_t socket, int what, void* self, void*)
{
    static_cast<CurlMultiDriver*>(self)->watch(socket, what);
    return 0;
}

int CurlMultiDriver::onTimer(CURLM*, long milliseconds, void* self)
{
    QTimer& timer = static_cast<CurlMultiDriver*>(self)->timer_;
    if (milliseconds < 0)
        timer.stop();
    else
        timer.start(int(qMin(milliseconds, long(24 * 3600 * 1000))));
    return 0;
}

// Keeps a notifier for each direction libcurl waits for on `socket`. A
// notifier that is no longer wanted may be the one whose signal is being
// delivered, so it is switched off at once and deleted later.
void CurlMultiDriver::watch(curl_socket_t socket, int what)
{
    dropConnecting(socket);
    Watch& watch = sockets_[socket];
    const auto want = [&](std::unique_ptr<QSocketNotifier>& notifier, QSocketNotifier::Type type,
                          bool on, int event) {
        if (on && !notifier) {
            notifier = std::make_unique<QSocketNotifier>(socket, type);
            connect(notifier.get(), &QSocketNotifier::activated, this,
                    [this, socket, event] { act(socket, event); });
        } else if (!on && notifier) {
            notifier->setEnabled(false);
            notifier.release()->deleteLater();
        }
    };
    const bool remove = what == CURL_POLL_REMOVE;
    want(watch.read, QSocketNotifier::Read, !remove && (what & CURL_POLL_IN), CURL_CSELECT_IN);
    want(watch.write, QSocketNotifier::Write, !remove && (what & CURL_POLL_OUT), CURL_CSELECT_OUT);
    if (remove)
        sockets_.erase(socket);
}

void CurlMultiDriver::opened(curl_socket_t socket)
{
    auto notifier = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Write);
    connect(notifier.get(), &QSocketNotifier::activated, this,
            [this, socket] { connected(socket); });
    connecting_[socket] = std::move(notifier);
}

void CurlMultiDriver::closing(curl_socket_t socket)
{
    dropConnecting(socket);
}

void CurlMultiDriver::dropConnecting(curl_socket_t socket)
{
    const auto found = connecting_.find(socket);
    if (found == connecting_.end())
        return;
    found->second->setEnabled(false);
    found->second.release()->deleteLater();
    connecting_.erase(found);
}

// A socket libcurl did not name has connected: every transfer gets the
// chance to go on (and to name the sockets it now waits for).
void CurlMultiDriver::connected(curl_socket_t socket)
{
    dropConnecting(socket);
    runAll();
}

// Lets every transfer go on, whatever it waits for.
void CurlMultiDriver::runAll()
{
    if (!multi_)
        return;
    int running = 0;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    curl_multi_socket_all(multi_.get(), &running);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    collect();
    keepWatch();
}

// libcurl 7.88 can also leave a transfer between two steps of an FTP
// exchange without naming a socket or a time-out (seen at the start of an
// upload): with no socket to wait on it has to be called again, and the
// watchdog does so at once. While transfers wait on sockets
// and nothing has moved for a while, it lets them go on too; a transfer that
// keeps moving never meets it.
void CurlMultiDriver::keepWatch()
{
    if (running_.empty())
        watchdog_.stop();
    else
        watchdog_.start(sockets_.empty() && connecting_.empty() ? 1 : 200);
}

void CurlMultiDriver::act(curl_socket_t socket, int events)
{
    if (!multi_)
        return;
    int running = 0;
    curl_multi_socket_action(multi_.get(), socket, events, &running);
    collect();
    keepWatch();
}

// Hands every finished transfer to its `done`, which may start the next one.
void CurlMultiDriver::collect()
{
    int queued = 0;
    while (multi_) {
        CURLMsg* message = curl_multi_info_read(multi_.get(), &queued);
        if (!message)
            break;
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL* easy = message->easy_handle;
        const CURLcode result = message->data.result;
        const auto found = running_.find(easy);
        if (found == running_.end())
            continue;
        Done done = std::move(found->second);
        running_.erase(found);
        curl_multi_remove_handle(multi_.get(), easy);
        done(result);
    }
}

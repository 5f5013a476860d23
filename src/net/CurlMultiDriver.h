#pragma once

// libcurl's multi interface driven by Qt's event loop: a QSocketNotifier for
// every socket libcurl names (CURLMOPT_SOCKETFUNCTION), one single-shot
// QTimer for the time-out it asks for (CURLMOPT_TIMERFUNCTION), and
// curl_multi_socket_action when either fires. No thread and no polling: the
// transfers move while the event loop runs, and the loop never waits for
// them.
//
// The kept connections live in the multi handle, so transfers started
// through one driver reuse them.

#include "net/CurlHandles.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

class QSocketNotifier;

class CurlMultiDriver : public QObject
{
    Q_OBJECT

public:
    using Done = std::function<void(CURLcode)>;

    explicit CurlMultiDriver(QObject* parent = nullptr);
    ~CurlMultiDriver() override;

    // Starts the transfer set up on `easy`; `done` is called from the event
    // loop once it has ended, with the handle already detached. False (and
    // `done` never called) when libcurl does not take the handle.
    bool start(CURL* easy, Done done);
    // Detaches `easy` at once; an unfinished transfer is ended and its
    // connection closed. Its `done` is not called.
    void stop(CURL* easy);
    bool isRunning(CURL* easy) const { return running_.count(easy) != 0; }
    // Closes every kept connection (FTP ones are logged out).
    void closeConnections();
    // libcurl has opened `socket` to connect it, or is about to close it.
    // libcurl 7.88 names neither the socket nor a time-out while it
    // connects an FTP data connection, so the driver watches such a socket
    // itself until libcurl names it, and once it has connected lets libcurl
    // go on with every transfer.
    void opened(curl_socket_t socket);
    void closing(curl_socket_t socket);

private:
    struct Watch
    {
        std::unique_ptr<QSocketNotifier> read, write;
    };

    CURLM* multi();
    static int onSocket(CURL*, curl_socket_t socket, int what, void* self, void*);
    static int onTimer(CURLM*, long milliseconds, void* self);
    void watch(curl_socket_t socket, int what);
    void act(curl_socket_t socket, int events);
    void collect();
    void connected(curl_socket_t socket);
    void runAll();
    void keepWatch();
    void dropConnecting(curl_socket_t socket);

    CurlMulti multi_;
    QTimer timer_;
    QTimer watchdog_; // see keepWatch()
    std::map<curl_socket_t, Watch> sockets_;
    std::map<curl_socket_t, std::unique_ptr<QSocketNotifier>> connecting_;
    std::map<CURL*, Done> running_;
};

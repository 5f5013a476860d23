#pragma once

// Waiting in a job for the request of a transfer client to end:
//   client.download(remote, local);
//   RequestEnd end{client, waiting};
//   co_await end;
// goes on once the request has ended (at once when none runs). `waiting` is
// where the job is kept meanwhile; the owner resumes it when the client
// reports finished() and runs nothing else (see Publisher's constructor).
// (Named, as GCC 12 mishandles braced lists and temporary awaiters in a
// co_await expression.)

#include "net/NetTask.h"
#include "net/TransferClient.h"

struct RequestEnd
{
    TransferClient& client;
    std::coroutine_handle<>& waiting;

    bool await_ready() const noexcept { return !client.isBusy(); }
    void await_suspend(std::coroutine_handle<> job) noexcept { waiting = job; }
    void await_resume() const noexcept {}
};

#pragma once

// A coroutine that is one request of a NetSession, or one part of it. It
// starts when first awaited (or resumed), hands its result to the coroutine
// that awaits it, and is destroyed with its Task object: destroying the
// outermost Task of a suspended request destroys every frame below it, and
// so every transfer in flight (see CurlStep in NetSession.h). The jobs of
// the publisher and the wizard are made of them too.
//
// With GCC 12, no argument of a coroutine call inside a co_await expression
// may be a temporary (name it first), nor an awaiter a temporary: the
// compiler then resumes a frame that has ended or drops a value twice.

// moc cannot read <coroutine>.
#ifndef Q_MOC_RUN
#include <coroutine>
#endif
#include <exception>
#include <functional>
#include <optional>
#include <utility>

template <typename T> class NetTask
{
public:
    struct promise_type
    {
        std::optional<T> value;
        std::exception_ptr error;
        std::coroutine_handle<> continuation;
        std::function<void()> onDone; // the outermost task: told when it ends

        NetTask get_return_object()
        {
            return NetTask(std::coroutine_handle<promise_type>::from_promise(*this));
        }
        std::suspend_always initial_suspend() noexcept { return {}; }
        struct Final
        {
            bool await_ready() noexcept { return false; }
            std::coroutine_handle<> await_suspend(std::coroutine_handle<promise_type> h) noexcept
            {
                promise_type& promise = h.promise();
                if (promise.continuation)
                    return promise.continuation;
                if (promise.onDone)
                    promise.onDone();
                return std::noop_coroutine();
            }
            void await_resume() noexcept {}
        };
        Final final_suspend() noexcept { return {}; }
        void return_value(T result) { value = std::move(result); }
        void unhandled_exception() { error = std::current_exception(); }
    };

    NetTask() = default;
    explicit NetTask(std::coroutine_handle<promise_type> handle) : handle_(handle) {}
    NetTask(NetTask&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    NetTask& operator=(NetTask&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, {});
        }
        return *this;
    }
    ~NetTask() { reset(); }

    // The outermost task: runs until its first wait; `onDone` is called when
    // it has ended (result() is then ready).
    void start(std::function<void()> onDone)
    {
        handle_.promise().onDone = std::move(onDone);
        handle_.resume();
    }
    bool isValid() const { return bool(handle_); }
    T result()
    {
        if (handle_.promise().error)
            std::rethrow_exception(handle_.promise().error);
        return std::move(*handle_.promise().value);
    }
    void reset()
    {
        if (handle_)
            std::exchange(handle_, {}).destroy();
    }

    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) noexcept
    {
        handle_.promise().continuation = awaiting;
        return handle_;
    }
    T await_resume() { return result(); }

private:
    std::coroutine_handle<promise_type> handle_;
};

#pragma once

#include <QByteArray>
#include <curl/curl.h>
#include <memory>

// Owning wrappers for libcurl handles, so that every handle is released on
// every path out of a function, exceptions included.

struct CurlEasyDeleter
{
    void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};

struct CurlMultiDeleter
{
    void operator()(CURLM* handle) const noexcept { curl_multi_cleanup(handle); }
};

struct CurlSlistDeleter
{
    void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};

using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;

// A list of strings for options such as CURLOPT_QUOTE. It must outlive the
// transfer that uses it.
class CurlSlist
{
public:
    // false when libcurl could not take the string (the list is unchanged).
    [[nodiscard]] bool append(const QByteArray& text)
    {
        curl_slist* grown = curl_slist_append(list_.get(), text.constData());
        if (!grown)
            return false;
        (void)list_.release();
        list_.reset(grown);
        return true;
    }
    curl_slist* get() const { return list_.get(); }
    bool isEmpty() const { return !list_; }

private:
    std::unique_ptr<curl_slist, CurlSlistDeleter> list_;
};

// Attaches an easy handle to a multi handle for the length of one transfer
// and detaches it again whatever happens. Detaching a transfer that has not
// finished aborts it and closes its connection.
class CurlMultiAttachment
{
public:
    CurlMultiAttachment(CURLM* multi, CURL* easy) : multi_(multi), easy_(easy)
    {
        attached_ = curl_multi_add_handle(multi_, easy_) == CURLM_OK;
    }
    ~CurlMultiAttachment()
    {
        if (attached_)
            curl_multi_remove_handle(multi_, easy_);
    }
    CurlMultiAttachment(const CurlMultiAttachment&) = delete;
    CurlMultiAttachment& operator=(const CurlMultiAttachment&) = delete;
    bool isAttached() const { return attached_; }

private:
    CURLM* multi_;
    CURL* easy_;
    bool attached_ = false;
};

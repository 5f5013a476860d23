#pragma once

// libcurl's result codes turned into the TransferError numbers callers act on.

#include "net/TransferRequest.h"

#include <QString>
#include <curl/curl.h>

// What is known about a transfer that did not end with CURLE_OK.
struct CurlFailure
{
    CURLcode code = CURLE_OK;
    QString detail;               // libcurl's own text for it
    bool cancelled = false;       // cancel() stopped it
    bool stalled = false;         // nothing moved for the time-out
    bool deadlineExpired = false; // the request ran longer than job.deadline
    bool tooLarge = false;        // more than job.maxBytes came
    bool localWriteFailed = false;
    bool localReadFailed = false;
    QString localError; // why the local file could not be written or read
    QString sshRefusal; // why the SSH host key or log-in was refused
    int replyCode = 0;  // the server's last reply (FTP)
    QString replyText;
};

// Sets outcome.error (and, for an answer of the server, responseCode and
// responseInfo). sftp:// and file:// speak in the FTP reply codes of the
// same meaning.
void mapCurlFailure(const CurlFailure& failure, const TransferJob& job, TransferOutcome& outcome);

// HTTP(S): one GET on a connection of its own.

#include "net/CurlEngine.h"

void TransferEngine::runHttp(const TransferJob& job, TransferOutcome& outcome)
{
    outcome.http = true;
    Transfer transfer;
    QByteArray body;
    transfer.memory = &body;
    setUp(transfer, job, job.base);
    const CURLcode code = perform(transfer, job);
    outcome.headers = transfer.headers.join("\r\n");
    if (code != CURLE_OK) {
        fail(outcome, transfer, code, job);
        return;
    }
    outcome.data = body;
}

#pragma once

#include <QMetaType>
#include <QString>

// The states a request of the TransferClient passes through, in increasing
// order within one request (a kept connection skips the first four). The
// numbers are those of the old transfer control, which status texts and
// logs were written for.
enum class TransferState
{
    ResolvingHost = 1,
    HostResolved = 2,
    Connecting = 3,
    Connected = 4,
    SendingRequest = 5,
    RequestSent = 6,
    ReceivingResponse = 7,
    ResponseReceived = 8,
    Disconnecting = 9,
    Disconnected = 10,
    // The last state of a failed request (TransferClient::lastError()).
    Error = 11,
    // The last state of every successful request, raised once the data is
    // ready for readChunk().
    ResponseCompleted = 12,
};
Q_DECLARE_METATYPE(TransferState)

// The one table of status-line texts for the states: "Resolving Host",
// "Host Resolved", "Connecting", "Connected", "Sending Request", "Request
// Sent", "Receiving Response ", "Response Received!", "Disconnecting",
// "Disconnected", "Response Completed ". Error has no text of its own (its
// callers show the server's answer); empty for it and for unknown values.
QString transferStateText(TransferState state);

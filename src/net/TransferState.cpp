#include "net/TransferState.h"

QString transferStateText(TransferState state)
{
    switch (state) {
    case TransferState::ResolvingHost:
        return QStringLiteral("Resolving Host");
    case TransferState::HostResolved:
        return QStringLiteral("Host Resolved");
    case TransferState::Connecting:
        return QStringLiteral("Connecting");
    case TransferState::Connected:
        return QStringLiteral("Connected");
    case TransferState::SendingRequest:
        return QStringLiteral("Sending Request");
    case TransferState::RequestSent:
        return QStringLiteral("Request Sent");
    case TransferState::ReceivingResponse:
        return QStringLiteral("Receiving Response ");
    case TransferState::ResponseReceived:
        return QStringLiteral("Response Received!");
    case TransferState::Disconnecting:
        return QStringLiteral("Disconnecting");
    case TransferState::Disconnected:
        return QStringLiteral("Disconnected");
    case TransferState::ResponseCompleted:
        return QStringLiteral("Response Completed ");
    case TransferState::Error:
        break;
    }
    return {};
}

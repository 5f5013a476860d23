#include "net/TransferError.h"

TransferError::TransferError(int number, const QString& description)
    : number_(number), description_(description),
      what_(QString(QString::number(number) + QStringLiteral(": ") + description).toUtf8())
{
}

#include "cli/CliPrompt.h"

#include <QCoreApplication>

QString CliPrompt::oneLine(const Message& m)
{
    QString text = m.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return m.title + QStringLiteral(": ") + text;
}

Answer CliPrompt::ask(const Message& m)
{
    std::fprintf(m_err, "%s\n", oneLine(m).toLocal8Bit().constData());
    std::fflush(m_err);
    switch (m.buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::OkCancel:
        return yes ? Answer::Ok : Answer::Cancel;
    case Buttons::YesNo:
        return yes ? Answer::Yes : Answer::No;
    case Buttons::YesNoCancel:
        return yes ? Answer::Yes : Answer::Cancel;
    }
    return Answer::Cancel;
}

std::optional<QString> CliPrompt::input(const QString&, const QString&, const QString&)
{
    return std::nullopt;
}

std::optional<QString> CliPrompt::chooseFile(const FileRequest& request)
{
    if (request.kind == FileRequest::Save && !saveFile.isEmpty())
        return saveFile;
    throw CommandStopped(request.kind == FileRequest::Save
                             ? "a file name to save the page is needed: give --save FILE"
                             : "a local file must be chosen: put it in place as the backup "
                               "copy, or choose another retrieve mode");
}

void CliPrompt::openDocument(const QString& pathOrUrl)
{
    opened << pathOrUrl;
    std::fprintf(m_out, "Open: %s\n", pathOrUrl.toLocal8Bit().constData());
    std::fflush(m_out);
}

void CliView::appendStatus(const QString& message)
{
    QString m = message;
    if (!m_out || appendStatusLine(QString(), m).isEmpty())
        return;
    std::fprintf(m_out, "%s\n", m.trimmed().toLocal8Bit().constData());
    std::fflush(m_out);
}

void CliView::setPublishingEnabled(bool enable)
{
    finishEnabled = previewEnabled = enable;
    if (!enable)
        resendEnabled = resendVisible = false;
}

void CliView::setSignature(const QString& sig, const QString& email)
{
    if (!sigGiven)
        entry.sig = sig;
    if (!emailGiven)
        entry.email = email;
}

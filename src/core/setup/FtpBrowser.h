#pragma once

// The setup wizard's walk over the user's FTP server, through a transfer
// client of its own: log on and list, change folders, download the chosen
// page, upload the marked page with the safe upload (temporary name, size
// check, rename). Every command sent and every error reply of the server is
// written to the command log; the transfer's states become status texts.
//
// A step starts and returns at once; it runs on the event loop and reports
// its end to `done` (always later, never from within the call) with the
// first error it met (number 0: none). Only one step runs at a time: one
// started while another runs is not started and reports isBusy. A step goes
// on after a failed command with the commands that follow it (a failed
// folder change still refreshes the directory and the list). An error reply
// of the server (RequestFailed) has already been shown to the user as
// "Error Response Received" when the step reports.
//
// The directory and the list always belong together: they change only when
// both PWD and LS of a listing have come; after a failed listing both stay as
// they were.

#include "net/NetTask.h"
#include "net/TransferClient.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class Prompt;

class FtpBrowser : public QObject
{
    Q_OBJECT

public:
    using Done = std::function<void(const TransferError& error)>;

    // Server errors and host-key questions go to `prompt`.
    explicit FtpBrowser(Prompt& prompt, QObject* parent = nullptr);

    TransferClient& client() { return m_client; }

    void setAccount(const QString& site, const QString& userName, const QString& password);

    // PWD, then LS: the first listing (no parent item).
    void connectAndList(Done done);
    // A double-clicked folder item (or ".."): CD, PWD, LS.
    void openFolder(const QString& item, Done done);
    // GET of the remote path into `localFile` (deleted first, so a failed
    // download leaves no page behind).
    void download(const QString& remotePath, const QString& localFile, Done done);
    // PWD, LS.
    void refresh(Done done);
    // PUT of `localFile` over `remotePath`, then PWD and LS. The error is
    // the upload's own.
    void upload(const QString& localFile, const QString& remotePath, Done done);

    // From the start of a step until its `done` has been called.
    bool isBusy() const { return m_step.isValid(); }

    // Ends the step under way at once: its transfer is abandoned (the
    // connection dropped, nothing waited for) and the commands of the step
    // not yet sent are skipped; it reports Cancelled. Every step reports
    // Cancelled from then on, without sending anything.
    void abandon();
    bool abandoned() const { return m_abandoned; }

    // The server's current directory (its answer to PWD) and the list items:
    // ".." first after a folder change, then the folders, then the files.
    QString directory() const { return m_directory; }
    QStringList items() const { return m_items; }
    // The last command composed (CD, GET or PUT).
    QString lastCommand() const { return m_command; }
    // What a failed upload did on the server, if the client had to delete
    // the old file first; empty otherwise.
    QString lastNotice() const { return m_client.lastNotice(); }

signals:
    // One line for the command log (a command sent or an error reply).
    void logged(const QString& line);
    // The text of the status label.
    void statusChanged(const QString& text);
    // directory() or items() changed.
    void listingChanged();

private:
    enum class Reading
    {
        None,
        FirstListing,
        Listing,
        Directory
    };
    using Step = NetTask<TransferError>;
    using Request = std::function<void()>; // starts one request of the client
    struct Reply;

    void begin(Step step, Done done);
    void end();
    // Logs `line` (when `log`), starts `request` and waits for its end.
    Step run(QString line, Request request, Reading reading, bool log = true);
    // PWD and LS; `first` is the error of the command before them, if any.
    Step listing(TransferError first = {}, Reading list = Reading::Listing);
    Step enterFolder(QString item);
    Step fetch(QString remotePath, QString localFile);
    Step send(QString localFile, QString remotePath);
    void onStateChanged(TransferState state);
    void resume();
    void collect();

    Prompt& m_prompt;
    TransferClient m_client;
    Reading m_reading = Reading::None;
    QString m_command;
    QString m_directory;
    QStringList m_items;
    QString m_newDirectory; // of the listing under way
    QStringList m_newItems;
    bool m_abandoned = false;
    // The step under way (gone before the client) and the command it waits for.
    Step m_step;
    Done m_done;
    std::coroutine_handle<> m_waiting;
};

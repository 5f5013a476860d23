#pragma once

// The Help menu's ways out of the program: the version news from the maker's
// site, the home page and the user guide.

#include "net/TransferClient.h"

#include <QObject>

class MainView;
class Workspace;

class UpdateCheck : public QObject
{
    Q_OBJECT
public:
    UpdateCheck(Workspace& ws, MainView& view, QObject* parent = nullptr);

    TransferClient newsClient;

    // Starts fetching "/pagewick/version.txt"; once it has come it is shown
    // beside the running version, with the home page offered. A job: the
    // view is told while it runs.
    void checkForUpdate();
    bool isRunning() const { return m_running; }
    // Ends a running check at once, without a message box.
    void stop();
    void visitWebSite();
    void openHelp();
    void onNewsStateChanged(TransferState state);

    static QString homePage();
    static QString newsAddress();

private:
    void finishCheck();
    void report(const QString& failure);

    Workspace& m_ws;
    MainView& m_view;
    bool m_running = false;
};

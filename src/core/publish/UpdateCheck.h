#pragma once

// The Help menu's ways out of the program: the version news from the maker's
// site, the home page and the user guide.

#include "net/TransferClient.h"

#include <QObject>

class MainView;

class UpdateCheck : public QObject
{
    Q_OBJECT
public:
    explicit UpdateCheck(MainView& view, QObject* parent = nullptr);

    TransferClient newsClient;

    // Fetches "/pagewick/version.txt" and shows it beside the running
    // version, offering the home page.
    void checkForUpdate();
    void visitWebSite();
    void openHelp();
    void onNewsStateChanged(TransferState state);

    static QString homePage();
    static QString newsAddress();

private:
    MainView& m_view;
};

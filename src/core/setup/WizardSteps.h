#pragma once

// What the setup wizard decides without any window: which names of a server
// listing it offers, how it turns a list item into a directory change or a
// remote path, how it reads the downloaded page and finds its markers, the
// checks of the account page and what it hands to the preferences at the end.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace Setup {

// ---- the server listing ----------------------------------------------------

// The items of a listing: one name a line, every line ended by CR LF (text
// after the last CR LF is not a line), folders ending with "/". Names are
// shown as the server sent them (UTF-8, or Windows-1252 when the bytes are not
// UTF-8). A name that holds "/" anywhere but as its folder mark, a CR or a LF
// is not offered, nor are ".", ".." and empty lines: such a name could not be
// sent back as one path. There is no limit on the listing's length. The
// folders come first, then the files, each in alphabetical order (letter
// case ignored).
QStringList listingItems(QByteArrayView listing);

// The list item that leads to the parent folder.
inline QString parentItem()
{
    return QStringLiteral("..");
}

enum class ItemKind
{
    Parent,
    Folder,
    File
};
ItemKind itemKind(const QString& item);

// The folder a double click on `item` moves to, from `directory` (the
// server's answer to PWD): ".." for the parent, else the directory joined to
// the item by one "/".
QString folderTarget(const QString& directory, const QString& item);
// The remote path of the file `item` in `directory`.
QString remotePath(const QString& directory, const QString& item);

// ---- the downloaded page ---------------------------------------------------

// The page as the wizard reads it: every line (ended by CR LF, CR or LF) ends
// with CR LF, and a run of more than three empty lines shrinks to three. The
// bytes are never transcoded.
QByteArray readDownloadedPage(QByteArrayView raw);

// "<!--Ñ-->" (in either encoding) or "<!--pagewick-->", written exactly so:
// the marker the entries are placed after.
bool hasInsertionMarker(QByteArrayView page);
// The first insertion marker written in another letter case ("<!--Pagewick-->",
// "<!--ñ-->"), as the page has it; empty when there is none.
QByteArray insertionMarkerInOtherCase(QByteArrayView page);
// The page with every such marker written as the entries need it.
QByteArray withInsertionMarkersMended(QByteArrayView page);
// "<!--PagewickArchiveStart-->", letter case ignored.
bool hasArchiveMarker(QByteArrayView page);

// ---- the account page ------------------------------------------------------

struct Account
{
    QString ftpSite;
    QString userName;
    QString password;
    QString webSite;
};

// The example page address shown on the account page and in its message.
QString examplePageAddress();
// The caption of the label beside the page address.
QString pageAddressCaption();
// The first problem of the account page, in the order the fields are
// checked; empty when Next may go on.
QString accountProblem(const Account& account);

// ---- the result --------------------------------------------------------------

// What the wizard hands to the preferences when the user presses OK.
struct WizardResult
{
    Account account;
    QString mainLocation; // remote path of the weblog page
    bool archiveMode = false;
    QString archiveLocation; // remote path of the archive page
    QString archiveAddress;  // web address of the archive page
};

// The archive page's web address proposed for the archive at `archiveRemote`:
// the weblog page's address with its file name replaced by the archive's.
QString proposedArchiveAddress(const QString& pageAddress, const QString& archiveRemote);
// What is wrong with the archive page's address; empty when it will do.
QString archiveAddressProblem(const QString& address);

// The summary page's text.
QString summaryText(const WizardResult& result);

} // namespace Setup

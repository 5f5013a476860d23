#include "core/setup/WizardSteps.h"

#include "base/TextCodec.h"
#include "core/entry/PageText.h"

#include <QCoreApplication>

#include <algorithm>

namespace Setup {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

bool offered(const QString& name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('\r')) || name.contains(QLatin1Char('\n')))
        return false;
    const QString bare = name.endsWith(QLatin1Char('/')) ? name.chopped(1) : name;
    if (bare.isEmpty() || bare.contains(QLatin1Char('/')))
        return false;
    return bare != QLatin1String(".") && bare != QLatin1String("..");
}

} // namespace

QStringList listingItems(QByteArrayView listing)
{
    QStringList items;
    qsizetype from = 0;
    for (;;) {
        const qsizetype end = listing.indexOf(PageText::kCrLf, from);
        if (end < 0)
            break;
        const QString name = TextCodec::decode(listing.sliced(from, end - from));
        if (offered(name))
            items << name;
        from = end + 2;
    }
    // Folders first, then files, each alphabetically.
    std::sort(items.begin(), items.end(), [](const QString& a, const QString& b) {
        const bool folderA = a.endsWith(QLatin1Char('/')), folderB = b.endsWith(QLatin1Char('/'));
        if (folderA != folderB)
            return folderA;
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return items;
}

ItemKind itemKind(const QString& item)
{
    if (item == parentItem())
        return ItemKind::Parent;
    return item.endsWith(QLatin1Char('/')) ? ItemKind::Folder : ItemKind::File;
}

QString folderTarget(const QString& directory, const QString& item)
{
    if (itemKind(item) == ItemKind::Parent)
        return parentItem();
    return remotePath(directory, item);
}

QString remotePath(const QString& directory, const QString& item)
{
    return directory.endsWith(QLatin1Char('/')) ? directory + item
                                                : directory + QLatin1Char('/') + item;
}

QByteArray readDownloadedPage(QByteArrayView raw)
{
    QByteArray out;
    out.reserve(raw.size() + raw.size() / 16);
    int emptyRun = 0;
    qsizetype from = 0;
    const qsizetype n = raw.size();
    while (from < n) {
        qsizetype end = from;
        while (end < n && raw[end] != '\r' && raw[end] != '\n')
            ++end;
        const QByteArrayView line = raw.sliced(from, end - from);
        if (!line.isEmpty()) {
            out += line;
            out += PageText::kCrLf;
            emptyRun = 0;
        } else if (++emptyRun < 4) {
            out += PageText::kCrLf;
        }
        if (end < n && raw[end] == '\r' && end + 1 < n && raw[end + 1] == '\n')
            ++end;
        from = end + 1;
    }
    return out;
}

namespace {

// Each marker as the entries need it, and the forms of it in another case:
// "ñ" is F1 in Windows-1252 and C3 B1 in UTF-8.
struct MarkerForms
{
    QByteArrayView exact, lower;
};
constexpr MarkerForms kMarkerForms[] = {{PageText::kInsertMarker1252, "<!--\xF1-->"},
                                        {PageText::kInsertMarkerUtf8, "<!--\xC3\xB1-->"},
                                        {PageText::kPagewickMarker, PageText::kPagewickMarker}};

// The first marker in another case at or after `from`: where, and its forms.
std::pair<qsizetype, const MarkerForms*> otherCase(QByteArrayView page, qsizetype from = 0)
{
    std::pair<qsizetype, const MarkerForms*> first{-1, nullptr};
    for (const MarkerForms& forms : kMarkerForms) {
        for (qsizetype at = from; at < page.size();) {
            // The word written any way, or the lower-case letter.
            at = forms.exact == forms.lower ? PageText::indexOfNoCase(page, forms.exact, at)
                                            : page.indexOf(forms.lower, at);
            if (at < 0)
                break;
            if (page.sliced(at, forms.exact.size()) != forms.exact) {
                if (first.first < 0 || at < first.first)
                    first = {at, &forms};
                break;
            }
            at += forms.exact.size();
        }
    }
    return first;
}

} // namespace

bool hasInsertionMarker(QByteArrayView page)
{
    return PageText::findInsertionMarker(page).found();
}

QByteArray insertionMarkerInOtherCase(QByteArrayView page)
{
    const auto [at, forms] = otherCase(page);
    return at < 0 ? QByteArray() : page.sliced(at, forms->exact.size()).toByteArray();
}

QByteArray withInsertionMarkersMended(QByteArrayView page)
{
    QByteArray mended = page.toByteArray();
    for (auto [at, forms] = otherCase(mended); at >= 0; std::tie(at, forms) = otherCase(mended, at))
        mended.replace(at, forms->exact.size(), forms->exact.toByteArray());
    return mended;
}

bool hasArchiveMarker(QByteArrayView page)
{
    return PageText::indexOfNoCase(page, PageText::kArchiveStart) >= 0;
}

QString examplePageAddress()
{
    return QStringLiteral("http://www.example.com/~myname/index.html");
}

QString pageAddressCaption()
{
    return QStringLiteral("Your pagewick web page:") + kCrLf + QLatin1Char('(') +
           examplePageAddress() + QLatin1Char(')');
}

QString accountProblem(const Account& a)
{
    if (a.ftpSite.isEmpty())
        return QStringLiteral("You must enter the name of the FTP site.");
    if (a.userName.isEmpty())
        return QStringLiteral("You must enter your FTP username.");
    if (a.password.isEmpty())
        return QStringLiteral("You must enter your FTP password.");
    if (a.webSite.isEmpty())
        return QStringLiteral("You must enter the URL to your pagewick page.");
    if (!a.webSite.startsWith(QLatin1Char('h'), Qt::CaseInsensitive))
        return QStringLiteral("Please format the website entry like this:   ") +
               examplePageAddress();
    return {};
}

QString proposedArchiveAddress(const QString& pageAddress, const QString& archiveRemote)
{
    const QString name = archiveRemote.mid(archiveRemote.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype hostStart = pageAddress.indexOf(QStringLiteral("://"));
    const qsizetype slash = pageAddress.lastIndexOf(QLatin1Char('/'));
    // An address of the host alone ("http://host") gets its "/".
    if (hostStart < 0 || slash < hostStart + 3)
        return pageAddress + QLatin1Char('/') + name;
    return pageAddress.left(slash + 1) + name;
}

QString archiveAddressProblem(const QString& address)
{
    if (address.isEmpty() || !address.startsWith(QLatin1Char('h'), Qt::CaseInsensitive))
        return QCoreApplication::translate("Setup", "Please enter the web address of your "
                                                    "archive page like this:   %1")
            .arg(QStringLiteral("http://www.example.com/~myname/archive.html"));
    return {};
}

QString summaryText(const WizardResult& r)
{
    QString text = kCrLf + QStringLiteral("FTP location of main Pagewick File:") + kCrLf +
                   r.mainLocation + kCrLf + kCrLf;
    if (r.archiveMode)
        text += QStringLiteral("FTP location of Archive Pagewick File:") + kCrLf +
                r.archiveLocation + kCrLf + kCrLf +
                QCoreApplication::translate("Setup", "Web address of the archive page:") + kCrLf +
                r.archiveAddress;
    return text;
}

} // namespace Setup

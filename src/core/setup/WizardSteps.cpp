#include "core/setup/WizardSteps.h"

#include "base/TextCodec.h"
#include "core/entry/PageText.h"

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

bool hasInsertionMarker(QByteArrayView page)
{
    // "Ñ" ignores its case too: "ñ" is F1 in Windows-1252 and C3 B1 in UTF-8.
    static constexpr QByteArrayView kMarkers[] = {
        PageText::kInsertMarker1252, PageText::kInsertMarkerUtf8, QByteArrayView("<!--\xF1-->"),
        QByteArrayView("<!--\xC3\xB1-->"), PageText::kPagewickMarker};
    for (QByteArrayView marker : kMarkers)
        if (PageText::indexOfNoCase(page, marker) >= 0)
            return true;
    return false;
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

QString summaryText(const WizardResult& r)
{
    QString text = kCrLf + QStringLiteral("FTP location of main Pagewick File:") + kCrLf +
                   r.mainLocation + kCrLf + kCrLf;
    if (r.archiveMode)
        text +=
            QStringLiteral("FTP location of Archive Pagewick File:") + kCrLf + r.archiveLocation;
    return text;
}

} // namespace Setup

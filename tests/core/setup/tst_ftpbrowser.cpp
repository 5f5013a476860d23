// The wizard's FTP browser against a real FTP server: folders, awkward names, and what a
// failed step leaves behind.

#include "core/setup/FtpBrowser.h"

#include "PublishFixture.h"
#include "ScriptedPrompt.h"
#include "TestServers.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Starts `step` of `b` with `given` and waits for its end: its error number (-1: it never
// reported). The end is reported later, never from within the call.
template <typename... Args, typename... Given>
int ended(FtpBrowser& b, void (FtpBrowser::*step)(Args...), Given&&... given)
{
    std::optional<TransferError> error;
    (b.*step)(std::forward<Given>(given)..., [&error](const TransferError& e) { error = e; });
    if (error || !b.isBusy())
        return -1;
    return QTest::qWaitFor([&] { return error.has_value(); }, 30000) && !b.isBusy()
               ? error->number()
               : -1;
}

} // namespace

class TestFtpBrowser : public QObject
{
    Q_OBJECT

    std::unique_ptr<FtpTestServer> m_ftp;
    QTemporaryDir m_local;

    // Signs `b` in to the test server and lists its root.
    void signIn(FtpBrowser& b)
    {
        b.setAccount(m_ftp->url(), FtpTestServer::User, FtpTestServer::Password);
        QCOMPARE(ended(b, &FtpBrowser::connectAndList), 0);
    }

private slots:
    void initTestCase()
    {
        m_ftp = std::make_unique<FtpTestServer>();
        QVERIFY2(m_ftp->isRunning(), qPrintable(m_ftp->errorString()));
        m_ftp->writeFile("www/index.html", "<html><body>\r\n</body></html>\r\n");
        m_ftp->writeFile("www/my page.html", "<html>blank</html>\r\n");
        m_ftp->writeFile(QString::fromUtf8("www/t\xC3\xA4gebuch.html"), "<html>t</html>\r\n");
        m_ftp->writeFile("www/say \"hi\".html", "<html>quote</html>\r\n");
        m_ftp->writeFile("www/blog/deep/page.html", "<html>deep</html>\r\n");
    }

    // ".." goes one folder up, not to the root (the listings are checked with the wizard).
    void browsesFolders()
    {
        FtpBrowser b(workspace().prompt());
        signIn(b);
        for (const char* folder : {"www/", "blog/", "deep/"})
            QCOMPARE(ended(b, &FtpBrowser::openFolder, folder), 0);
        QCOMPARE(b.directory() + u'|' + b.items().join(u','), u"/www/blog/deep|..,page.html"_s);
        QCOMPARE(ended(b, &FtpBrowser::openFolder, ".."), 0);
        QCOMPARE(b.directory(), u"/www/blog"_s);
    }

    void downloadsAndUploadsNamesWithBlanksAndLetters_data()
    {
        QTest::addColumn<QString>("remote");
        for (const QString& name : {u"my page"_s, u"tägebuch"_s, u"say \"hi\""_s})
            QTest::newRow(qPrintable(name)) << u"/www/"_s + name + u".html"_s;
    }
    void downloadsAndUploadsNamesWithBlanksAndLetters()
    {
        QFETCH(QString, remote);
        FtpBrowser b(workspace().prompt());
        signIn(b);
        const QString local = m_local.filePath("wizardtemp.html");
        QCOMPARE(ended(b, &FtpBrowser::download, remote, local), 0);
        QCOMPARE(PublishFixture::readFile(local), m_ftp->readFile(remote.mid(1)));
        // The command log quotes each path, a quote in it doubled.
        const QString quoted = u'"' + QString(remote).replace(u"\""_s, u"\"\""_s) + u'"';
        QCOMPARE(b.lastCommand(), u"GET "_s + quoted + u" \""_s + local + u'"');

        const QByteArray marked = "<html><!--pagewick-->\r\n<!--**END**--></html>\r\n\r\n";
        QVERIFY(PublishFixture::writeFile(local, marked));
        QCOMPARE(ended(b, &FtpBrowser::upload, local, remote), 0);
        QCOMPARE(m_ftp->readFile(remote.mid(1)), marked);
        QCOMPARE(b.lastCommand(), u"PUT \""_s + local + u"\" "_s + quoted);
    }

    // A folder that cannot be entered: the list still shows where we are (a failed download
    // or upload is checked with the wizard window).
    void folderThatCannotBeEntered()
    {
        ScriptedPrompt prompt;
        usePrompt(&prompt);
        FtpBrowser b(workspace().prompt());
        signIn(b);
        m_ftp->denyAccess("/www/blog");
        QCOMPARE(ended(b, &FtpBrowser::openFolder, "www/"), 0);
        QCOMPARE(ended(b, &FtpBrowser::openFolder, "blog/"), TransferError::RequestFailed);
        QCOMPARE(b.directory(), u"/www"_s);
        QVERIFY(b.items().contains("index.html"));
        m_ftp->resetBehaviour();
    }

    // A folder entered whose listing then does not come (a time-out, or the step abandoned):
    // the directory and the list stay together on the folder listed last. Once abandoned,
    // nothing more is sent.
    void listingThatDoesNotCome()
    {
        FtpBrowser b(workspace().prompt());
        signIn(b);
        QCOMPARE(ended(b, &FtpBrowser::openFolder, "www/"), 0);
        const QStringList before = b.items();
        m_ftp->hangOn("MLSD");
        b.client().setRequestTimeout(1);
        QCOMPARE(ended(b, &FtpBrowser::openFolder, "blog/"), TransferError::TimedOut);
        QCOMPARE(b.directory() + u'|' + b.items().join(u','), u"/www|"_s + before.join(u','));
        b.client().cancel();

        b.client().setRequestTimeout(60);
        // A step started while another waits is refused, and the one waiting goes on.
        std::optional<TransferError> refused;
        QTimer::singleShot(300, &b,
                           [&] { b.refresh([&](const TransferError& e) { refused = e; }); });
        QTimer::singleShot(600, &b, [&b] { b.abandon(); });
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(ended(b, &FtpBrowser::openFolder, "blog/"), TransferError::Cancelled);
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(refused.value_or(TransferError()).number(), TransferError::isBusy);
        const qsizetype sent = m_ftp->commands().size();
        QCOMPARE(ended(b, &FtpBrowser::refresh), TransferError::Cancelled);
        QCOMPARE(m_ftp->commands().size(), sent);
        QCOMPARE(b.directory() + u'|' + b.items().join(u','), u"/www|"_s + before.join(u','));
        m_ftp->resetBehaviour();
    }
};

QTEST_GUILESS_MAIN(TestFtpBrowser)
#include "tst_ftpbrowser.moc"

#include "core/setup/FtpBrowser.h"

#include "ScriptedPrompt.h"
#include "TestServers.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestFtpBrowser : public QObject
{
    Q_OBJECT

    std::unique_ptr<FtpTestServer> m_ftp;
    QTemporaryDir m_local;

    // A browser signed in to the test server.
    struct Browser
    {
        FtpBrowser browser;
        explicit Browser(const FtpTestServer& ftp)
        {
            browser.setAccount(ftp.url(), FtpTestServer::User, FtpTestServer::Password);
        }
    };

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
        for (int i = 0; i < 5000; ++i)
            m_ftp->writeFile(u"many/entry-%1.html"_s.arg(i, 4, 10, QLatin1Char('0')), "x");
    }

    void browsesFolders()
    {
        Browser b(*m_ftp);
        QCOMPARE(b.browser.connectAndList().number(), 0);
        QCOMPARE(b.browser.directory(), u"/"_s);
        QVERIFY(b.browser.items().contains("www/"));
        QVERIFY(!b.browser.items().contains(".."));

        QCOMPARE(b.browser.openFolder("www/").number(), 0);
        QCOMPARE(b.browser.directory(), u"/www"_s);
        QCOMPARE(b.browser.items().first(), u".."_s);
        for (const char* name : {"index.html", "my page.html", "blog/"})
            QVERIFY2(b.browser.items().contains(QString::fromLatin1(name)), name);
        QVERIFY(b.browser.items().contains(QString::fromUtf8("t\xC3\xA4gebuch.html")));

        QCOMPARE(b.browser.openFolder("blog/").number(), 0);
        QCOMPARE(b.browser.openFolder("deep/").number(), 0);
        QCOMPARE(b.browser.directory(), u"/www/blog/deep"_s);
        QCOMPARE(b.browser.items(), (QStringList{"..", "page.html"}));
        QCOMPARE(b.browser.openFolder("..").number(), 0);
        QCOMPARE(b.browser.directory(), u"/www/blog"_s);
    }

    void listsThousandsOfFiles()
    {
        Browser b(*m_ftp);
        QCOMPARE(b.browser.connectAndList().number(), 0);
        QCOMPARE(b.browser.openFolder("many/").number(), 0);
        QCOMPARE(b.browser.items().size(), 5001);
        QVERIFY(b.browser.items().contains("entry-4999.html"));
    }

    void downloadsAndUploadsNamesWithBlanksAndLetters_data()
    {
        QTest::addColumn<QString>("remote");
        QTest::newRow("blank") << "/www/my page.html";
        QTest::newRow("non-ASCII") << QString::fromUtf8("/www/t\xC3\xA4gebuch.html");
        QTest::newRow("quotes") << "/www/say \"hi\".html";
    }
    void downloadsAndUploadsNamesWithBlanksAndLetters()
    {
        QFETCH(QString, remote);
        Browser b(*m_ftp);
        QCOMPARE(b.browser.connectAndList().number(), 0);
        const QString local = m_local.filePath("wizardtemp.html");
        QCOMPARE(b.browser.download(remote, local).number(), 0);
        QCOMPARE(readAll(local), m_ftp->readFile(remote.mid(1)));

        const QByteArray marked = "<html><!--pagewick-->\r\n<!--**END**--></html>\r\n\r\n";
        QFile f(local);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(marked);
        f.close();
        QCOMPARE(b.browser.upload(local, remote).number(), 0);
        QCOMPARE(m_ftp->readFile(remote.mid(1)), marked);
    }

    // A failed step shows the server's reply once and leaves nothing behind.
    void failures()
    {
        ScriptedPrompt prompt;
        setPrompt(&prompt);
        Browser b(*m_ftp);
        QCOMPARE(b.browser.connectAndList().number(), 0);
        const QString local = m_local.filePath("wizardtemp.html");
        QFile stale(local);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("stale page <!--pagewick-->");
        stale.close();

        QCOMPARE(b.browser.download("/www/gone.html", local).number(),
                 TransferError::RequestFailed);
        QVERIFY(!QFile::exists(local));
        QCOMPARE(prompt.messages.size(), 1);
        QCOMPARE(prompt.messages[0].title, u"Error Response Received"_s);
        QVERIFY(prompt.messages[0].text.startsWith("Error Code 550\r\n"));

        // An upload that breaks off keeps the live page as it was.
        const QByteArray live = m_ftp->readFile("www/index.html");
        QFile big(local);
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write(QByteArray(200000, 'x'));
        big.close();
        m_ftp->setDiskFullAfter(1000);
        QVERIFY(b.browser.upload(local, "/www/index.html").number() != 0);
        m_ftp->resetBehaviour();
        QCOMPARE(m_ftp->readFile("www/index.html"), live);

        // A folder that cannot be entered: the list still shows where we are.
        m_ftp->denyAccess("/www/blog");
        prompt.clear();
        QCOMPARE(b.browser.openFolder("www/").number(), 0);
        QCOMPARE(b.browser.openFolder("blog/").number(), TransferError::RequestFailed);
        QCOMPARE(b.browser.directory(), u"/www"_s);
        QVERIFY(b.browser.items().contains("index.html"));
        m_ftp->resetBehaviour();
    }

    void wrongPasswordAndNoServer()
    {
        ScriptedPrompt prompt;
        setPrompt(&prompt);
        FtpBrowser wrong;
        wrong.setAccount(m_ftp->url(), FtpTestServer::User, "wrong");
        QCOMPARE(wrong.connectAndList().number(), TransferError::RequestFailed);
        QVERIFY(wrong.items().isEmpty());

        FtpBrowser none;
        none.setAccount("ftp://127.0.0.1:1", "u", "p");
        QCOMPARE(none.connectAndList().number(), TransferError::CannotConnect);
    }
};

QTEST_GUILESS_MAIN(TestFtpBrowser)
#include "tst_ftpbrowser.moc"

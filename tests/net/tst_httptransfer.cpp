// HTTP(S) downloads of the transfer control against a real local web server:
// answers and faults, redirects, certificates, and the limits no download
// runs past.

#include "net/TransferRun.h"

#include <QElapsedTimer>

using namespace PublishFixture;
using namespace TransferRun;

class TestHttpTransfer : public QObject
{
    Q_OBJECT

private slots:
    void httpsCertificates()
    {
        HttpTestServer server(HttpTestServer::Security::Tls);
        REQUIRE_RUNNING(server);
        QVERIFY(server.writeFile("index.html", "secure page"));
        TransferClient inet;
        Runner run(inet);
        inet.setUrl(server.url("/index.html"));
        const auto get = [&] { inet.get(); };
        RUN_FAILS(run, get, TransferError::SecureConnectionFailed, 0);
        ERROR_SAYS(inet, "certificate could not be verified");
        QVERIFY(server.requests().isEmpty());

        inet.setCaCertificates(TestServerBase::certificateFile());
        QCOMPARE(run.output(get), QByteArray("secure page"));
    }

    void answersAndFaults_data()
    {
        QTest::addColumn<QString>("how"); // HttpTestServer::setAnswer; "redirect": 301 to the page
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("status"); // the status code; empty: no answer
        QTest::newRow("200") << "" << 0 << "200";
        // HTTP error statuses are answers, not failures.
        for (const char* status : {"401", "404", "500"})
            QTest::newRow(status) << status << 0 << status;
        QTest::newRow("redirect") << "redirect" << 0 << "200";
        QTest::newRow("no Content-Length") << "no length" << 0 << "200";
        QTest::newRow("body longer than Content-Length") << "extra 700" << 0 << "200";
        QTest::newRow("closed without answer") << "close" << +TransferError::ConnectionLost << "";
    }

    void answersAndFaults()
    {
        QFETCH(QString, how);
        QFETCH(int, number);
        QFETCH(QString, status);
        HttpTestServer server;
        REQUIRE_RUNNING(server);
        const QByteArray page = binaryBytes(100000);
        QVERIFY(server.writeFile("index.html", page));
        const bool redirect = how == u"redirect";
        server.setAnswer(redirect ? "/old.html" : "*", redirect ? "301" : how,
                         {{"X-Pagewick-Test", "yes"}, {"Location", "/index.html"}});
        TransferClient inet;
        inet.setUrl(server.url(redirect ? "/old.html" : "/index.html"));
        Runner run(inet);
        QCOMPARE(run.expect([&] { inet.get(); }, number, 0), QString());
        QCOMPARE(status.isEmpty() ? inet.responseHeader() : inet.responseHeader().mid(9, 3),
                 status);
        if (status.isEmpty())
            QCOMPARE(readChunks(inet), QByteArray());
        if (status == u"200") {
            // The headers of the final answer, found in any letter case.
            QVERIFY(run.statesRoseTo(TransferState::ResponseCompleted));
            QCOMPARE(inet.responseHeader("content-length"),
                     how == u"no length" ? QString() : QString("100000"));
            QCOMPARE(inet.responseHeader("X-PAGEWICK-TEST"), redirect ? QString() : "yes");
            QCOMPARE(readChunks(inet), page);
        }

        // The next request on the same control is not disturbed; an address
        // given to get is kept.
        server.resetBehaviour();
        QCOMPARE(run([&] { inet.get(server.url("/index.html")); }), QString());
        QCOMPARE(inet.url(), server.url("/index.html"));
        QCOMPARE(readChunks(inet), page);
    }

    // fetch never runs past its limits (the size cap, the deadline for the
    // whole request) and never throws: each failure has its own error and
    // nothing is returned.
    void fetchLimitsAndFailures_data()
    {
        QTest::addColumn<QString>("address"); // %url%: the page on the server
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<int>("deadline");
        QTest::addColumn<int>("error"); // 0: the document arrives
        QTest::addColumn<QString>("detail");
        const QString url = "%url%";
        QTest::newRow("within both") << url << qint64(200000) << 30 << 0 << "";
        QTest::newRow("larger than the cap")
            << url << qint64(50000) << 30 << +TransferError::OtherFailure
            << "larger than 50000 bytes";
        QTest::newRow("slower than the deadline")
            << url << qint64(0) << 1 << +TransferError::TimedOut << "seconds in all";
        QTest::newRow("server not running")
            << QStringLiteral("http://127.0.0.1:%1/x.txt").arg(closedPort()) << qint64(0) << 0
            << +TransferError::CannotConnect << "";
        QTest::newRow("no scheme") << "no scheme\r\n"
                                   << qint64(0) << 0 << +TransferError::InvalidUrl << "";
    }

    void fetchLimitsAndFailures()
    {
        QFETCH(QString, address);
        QFETCH(qint64, maxBytes);
        QFETCH(int, deadline);
        QFETCH(int, error);
        QFETCH(QString, detail);
        HttpTestServer http;
        REQUIRE_RUNNING(http);
        const QByteArray body = binaryBytes(120000);
        QVERIFY(http.writeFile("page.html", body));
        // 120 KB in 4 KB blocks, 0.3 s apart: about 9 s, always moving.
        http.setAnswer("/page.html", deadline == 1 ? "slow 300 4096" : "");
        TransferClient inet;
        inet.setRequestTimeout(5);
        inet.setDownloadLimits(maxBytes, deadline);
        QElapsedTimer clock;
        clock.start();
        const QByteArray got = fetched(inet, address.replace("%url%", http.url("/page.html")));
        QCOMPARE(inet.lastError().number(), error);
        QVERIFY(!inet.isBusy());
        QCOMPARE(got, error ? QByteArray() : body);
        QVERIFY2(error == 0 || clock.elapsed() < 5000,
                 qPrintable(QString::number(clock.elapsed())));
        ERROR_SAYS(inet, detail);
    }
};

QTEST_GUILESS_MAIN(TestHttpTransfer)
#include "tst_httptransfer.moc"

// The listing parser on its own, on lines real FTP servers send: "ls -l"
// style of Unix servers (vsftpd, ProFTPD, pure-ftpd, pyftpdlib), the DOS
// style of IIS, and MLSD facts.

#include "net/FtpListing.h"

#include <QTest>

class TestFtpListing : public QObject
{
    Q_OBJECT

private slots:
    // A line and the name it lists; no name: the line lists nothing.
    void oneLine_data()
    {
        QTest::addColumn<bool>("mlsd");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("directory");
        const auto row = [](const char* title, bool mlsd, const QByteArray& line,
                            const QByteArray& name, bool directory = false) {
            QTest::newRow(title) << mlsd << line << name << directory;
        };
        const bool list = false, mlsd = true;

        // Unix "ls -l".
        row("vsftpd file", list,
            "-rw-r--r--    1 ftp      ftp          1024 Dec 07 09:30 index.html", "index.html");
        row("ProFTPD directory, year", list,
            "drwxr-xr-x   2 web      web          4096 Jan 15  2024 archive", "archive", true);
        row("pyftpdlib file", list,
            "-rw-r--r--   1 tester   tester        13 Dec  7 09:30 page.html", "page.html");
        row("numeric owner", list,
            "-rw-rw-r--    1 1000     1000        20480 Mar  3 12:00 data.bin", "data.bin");
        row("no group column", list, "-rw-r--r-- 1 owner 1024 Dec 7 09:30 nogroup.html",
            "nogroup.html");
        row("blanks in the name", list,
            "-rw-r--r--   1 owner group  2048 Mar  3 12:00 my page one.html", "my page one.html");
        row("name with a month and time in it", list,
            "-rw-r--r--   1 owner group  2048 Mar  3 12:00 Dec 7 10:00 notes.txt",
            "Dec 7 10:00 notes.txt");
        row("UTF-8 name", list,
            "-rw-r--r--   1 ftp ftp   300 Feb 29  2024 Tagebuch-Eintr\xc3\xa4ge.html",
            "Tagebuch-Eintr\xc3\xa4ge.html");
        row("UTF-8 directory", list,
            "drwxr-xr-x   3 ftp ftp  4096 Nov 30 23:59 \xe6\x97\xa5\xe8\xa8\x98",
            "\xe6\x97\xa5\xe8\xa8\x98", true);
        row("symlink", list,
            "lrwxrwxrwx    1 ftp      ftp            10 Dec  7 09:30 link.html -> index.html",
            "link.html");
        row("symlink with blanks", list,
            "lrwxrwxrwx    1 ftp      ftp            10 Dec  7 09:30 my link -> my page.html",
            "my link");
        row("tab separated", list, "-rw-r--r--\t1\tftp\tftp\t12\tDec\t7\t09:30\ttab.html",
            "tab.html");
        row("total line", list, "total 24", "");

        // DOS style of IIS.
        row("IIS file", list, "12-07-26  09:30AM                 1024 index.html", "index.html");
        row("IIS directory", list, "01-15-24  02:05PM       <DIR>          archive", "archive",
            true);
        row("IIS 24 hour, four-digit year", list,
            "12-07-2026  21:30                 2048 my page.html", "my page.html");
        row("IIS UTF-8 name", list, "12-07-26  09:30AM                   10 Eintr\xc3\xa4ge.html",
            "Eintr\xc3\xa4ge.html");
        row("IIS blanks in a directory", list, "12-07-26  09:30AM       <DIR>          old posts",
            "old posts", true);

        // Anything else is a bare name (servers answering NLST-like lists).
        row("bare name", list, "index.html", "index.html");

        // MLSD facts.
        row("MLSD file", mlsd, "type=file;size=1024;modify=20261207093000;perm=r; index.html",
            "index.html");
        row("MLSD directory", mlsd, "type=dir;modify=20240115140500;perm=flcdmpe; archive",
            "archive", true);
        row("MLSD facts in capitals", mlsd, "Type=DIR;Modify=20240115140500; Archive", "Archive",
            true);
        row("MLSD blanks in the name", mlsd, "type=file;size=5; name with blanks.html",
            "name with blanks.html");
        row("MLSD leading blank kept", mlsd, "type=file;size=5;  leading.html", " leading.html");
        row("MLSD UTF-8 name", mlsd, "type=file;size=7; Eintr\xc3\xa4ge.html",
            "Eintr\xc3\xa4ge.html");
        row("MLSD symlink", mlsd, "type=OS.unix=slink:/srv/index.html;size=10; link.html",
            "link.html");
        row("MLSD cdir", mlsd, "type=cdir;modify=20261207093000;perm=flcdmpe; .", "");
        row("MLSD pdir", mlsd, "type=pdir;modify=20261207093000;perm=flcdmpe; ..", "");
        row("MLSD line without name", mlsd, "type=file;size=5;", "");
    }

    void oneLine()
    {
        QFETCH(bool, mlsd);
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, name);
        QFETCH(bool, directory);
        const QList<FtpListing::Entry> entries =
            mlsd ? FtpListing::parseMlsd(line + "\r\n") : FtpListing::parseList(line + "\r\n");
        QCOMPARE(entries.size(), name.isEmpty() ? 0 : 1);
        if (!name.isEmpty()) {
            QCOMPARE(entries.first().name, name);
            QCOMPARE(entries.first().directory, directory);
        }
    }

    // A whole answer as the client hands it out: one name a line, folders
    // marked, CR LF after every line, never "." or "..", whatever the line
    // ends of the server.
    void wholeListing_data()
    {
        QTest::addColumn<bool>("mlsd");
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("formatted");

        QTest::newRow("Unix, LF line ends")
            << false
            << QByteArray("total 12\n"
                          "drwxr-xr-x    2 ftp ftp 4096 Dec  7 09:30 .\n"
                          "drwxr-xr-x    9 ftp ftp 4096 Dec  7 09:30 ..\n"
                          "-rw-r--r--    1 ftp ftp 1024 Dec  7 09:30 index.html\n"
                          "drwxr-xr-x    2 ftp ftp 4096 Jan 15  2024 sub dir\n"
                          "lrwxrwxrwx    1 ftp ftp   10 Dec  7 09:30 link.html -> index.html\n")
            << QByteArray("index.html\r\nsub dir/\r\nlink.html\r\n");
        QTest::newRow("IIS, CR LF line ends")
            << false
            << QByteArray("12-07-26  09:30AM                 1024 index.html\r\n"
                          "01-15-24  02:05PM       <DIR>          archive\r\n"
                          "\r\n")
            << QByteArray("index.html\r\narchive/\r\n");
        QTest::newRow("MLSD") << true
                              << QByteArray("type=cdir;perm=el; /www\r\n"
                                            "type=pdir;perm=el; /\r\n"
                                            "type=file;size=3; a b.html\r\n"
                                            "type=dir;perm=el; blog\r\n")
                              << QByteArray("a b.html\r\nblog/\r\n");
        QTest::newRow("empty directory") << true << QByteArray() << QByteArray();
    }

    void wholeListing()
    {
        QFETCH(bool, mlsd);
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, formatted);
        const QList<FtpListing::Entry> entries =
            mlsd ? FtpListing::parseMlsd(raw) : FtpListing::parseList(raw);
        QCOMPARE(FtpListing::format(entries), formatted);
    }
};

QTEST_APPLESS_MAIN(TestFtpListing)
#include "tst_ftplisting.moc"

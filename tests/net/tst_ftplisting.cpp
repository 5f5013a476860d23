// The listing parser on its own, on lines real FTP servers send: "ls -l"
// style of Unix servers (vsftpd, ProFTPD, pure-ftpd, pyftpdlib), the DOS
// style of IIS, and MLSD facts.

#include "net/FtpListing.h"

#include <QTest>

class TestFtpListing : public QObject
{
    Q_OBJECT

private slots:
    // A whole answer and the names the client hands out: one a line,
    // folders marked "/", CR LF after every line, never "." or "..",
    // whatever the line ends of the server.
    void listing_data()
    {
        QTest::addColumn<bool>("mlsd");
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("formatted");
        QTest::newRow("Unix servers")
            << false
            << QByteArray(
                   "-rw-r--r--    1 ftp      ftp          1024 Dec 07 09:30 index.html\n"
                   "drwxr-xr-x   2 web      web          4096 Jan 15  2024 archive\n"
                   "-rw-r--r--   1 tester   tester        13 Dec  7 09:30 page.html\n"
                   "-rw-rw-r--    1 1000     1000        20480 Mar  3 12:00 data.bin\n"
                   "-rw-r--r-- 1 owner 1024 Dec 7 09:30 nogroup.html\n"
                   "-rw-r--r--   1 owner group  2048 Mar  3 12:00 my page one.html\n"
                   "-rw-r--r--   1 owner group  2048 Mar  3 12:00 Dec 7 10:00 notes.txt\n"
                   "-rw-r--r--   1 ftp ftp   300 Feb 29  2024 Tagebuch-Eintr\xc3\xa4ge.html\n"
                   "drwxr-xr-x   3 ftp ftp  4096 Nov 30 23:59 \xe6\x97\xa5\xe8\xa8\x98\n"
                   "lrwxrwxrwx    1 ftp      ftp            10 Dec  7 09:30 link.html -> "
                   "index.html\n"
                   "lrwxrwxrwx    1 ftp      ftp            10 Dec  7 09:30 my link -> my "
                   "page.html\n"
                   "-rw-r--r--\t1\tftp\tftp\t12\tDec\t7\t09:30\ttab.html\n"
                   "total 24\n"
                   "index.html\n") // a bare name (servers answering NLST-like lists)
            << QByteArray("index.html\r\narchive/\r\npage.html\r\ndata.bin\r\nnogroup.html\r\n"
                          "my page one.html\r\nDec 7 10:00 notes.txt\r\n"
                          "Tagebuch-Eintr\xc3\xa4ge.html\r\n\xe6\x97\xa5\xe8\xa8\x98/\r\n"
                          "link.html\r\nmy link\r\ntab.html\r\nindex.html\r\n");
        QTest::newRow("Unix, LF line ends, . and ..")
            << false
            << QByteArray("total 12\n"
                          "drwxr-xr-x    2 ftp ftp 4096 Dec  7 09:30 .\n"
                          "drwxr-xr-x    9 ftp ftp 4096 Dec  7 09:30 ..\n"
                          "-rw-r--r--    1 ftp ftp 1024 Dec  7 09:30 index.html\n"
                          "drwxr-xr-x    2 ftp ftp 4096 Jan 15  2024 sub dir\n")
            << QByteArray("index.html\r\nsub dir/\r\n");
        QTest::newRow("IIS")
            << false
            << QByteArray("12-07-26  09:30AM                 1024 index.html\r\n"
                          "01-15-24  02:05PM       <DIR>          archive\r\n"
                          "12-07-2026  21:30                 2048 my page.html\r\n" // 24 hours
                          "12-07-26  09:30AM                   10 Eintr\xc3\xa4ge.html\r\n"
                          "12-07-26  09:30AM       <DIR>          old posts\r\n"
                          "\r\n")
            << QByteArray("index.html\r\narchive/\r\nmy page.html\r\nEintr\xc3\xa4ge.html\r\n"
                          "old posts/\r\n");
        QTest::newRow("MLSD")
            << true
            << QByteArray("type=file;size=1024;modify=20261207093000;perm=r; index.html\r\n"
                          "type=dir;modify=20240115140500;perm=flcdmpe; archive\r\n"
                          "Type=DIR;Modify=20240115140500; Archive\r\n"
                          "type=file;size=5; name with blanks.html\r\n"
                          "type=file;size=5;  leading.html\r\n"
                          "type=file;size=7; Eintr\xc3\xa4ge.html\r\n"
                          "type=OS.unix=slink:/srv/index.html;size=10; link.html\r\n"
                          "type=cdir;modify=20261207093000;perm=flcdmpe; .\r\n"
                          "type=pdir;modify=20261207093000;perm=flcdmpe; ..\r\n"
                          "type=cdir;perm=el; /www\r\n"
                          "type=pdir;perm=el; /\r\n"
                          "type=file;size=5;\r\n")
            << QByteArray("index.html\r\narchive/\r\nArchive/\r\nname with blanks.html\r\n"
                          " leading.html\r\nEintr\xc3\xa4ge.html\r\nlink.html\r\n");
        QTest::newRow("empty directory") << true << QByteArray() << QByteArray();
    }

    void listing()
    {
        QFETCH(bool, mlsd);
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, formatted);
        QCOMPARE(FtpListing::format(mlsd ? FtpListing::parseMlsd(raw) : FtpListing::parseList(raw)),
                 formatted);
    }
};

QTEST_APPLESS_MAIN(TestFtpListing)
#include "tst_ftplisting.moc"

// The entry draft: its file format against every kind of damage, the window
// saving what is typed, a process killed while typing and started again,
// and the draft going away after Finish and New Entry.

#include "PublishFixture.h"
#include "ScriptedPrompt.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/entry/EntryDraft.h"
#include "gui/EntryDraftKeeper.h"
#include "gui/MainWindow.h"
#include "gui/QtPrompt.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

namespace {

const QByteArray kPage =
    "<html><body>\r\n<!--pagewick-->\r\n<!--|12/5/2000|5:44:36 PM|-->Old entry\r\n"
    "<!--**END**-->\r\n</body></html>\r\n";

// A configuration that needs no server: the page is the local backup, and
// Finish saves the page where the user says.
const QByteArray kIni = "[General]\r\nConfig=1\r\n[1]\r\nwebsite=http://www.example.com/\r\n"
                        "autoftp=False\r\nretreivemode=none\r\ndefaultsig=Ann\r\n"
                        "defaultemail=ann@example.com\r\n";

EntryFields sample()
{
    return {QStringLiteral("Title \u00e9t\u00e9"),
            QStringLiteral("Line one\r\n<b>two</b>\r\n"),
            QStringLiteral("Ann"),
            QStringLiteral("ann@example.com"),
            QStringLiteral("http://example.com/a b"),
            QStringLiteral("A link")};
}

bool sameFields(const EntryFields& a, const EntryFields& b)
{
    return a.head == b.head && a.main == b.main && a.sig == b.sig && a.email == b.email &&
           a.url == b.url && a.urlTitle == b.urlTitle;
}

// The child process of killWhileTyping: the window build on DIR, typing like
// a user; it says "saved" once the draft of the first words is on disk and
// "more" after typing on, and then waits to be killed.
int runTypist(const QString& dir)
{
    if (!setProgramDir(dir))
        return 3;
    QtPrompt qtPrompt;
    setPrompt(&qtPrompt);
    MainWindow w;
    w.start(0);
    QTest::keyClicks(w.txtHead, QStringLiteral("Written before the crash"));
    QTest::keyClicks(w.txtMain, QStringLiteral("First words."));
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(EntryDraft::path()) && waited.elapsed() < 20000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    std::printf("saved\n");
    std::fflush(stdout);
    QTest::keyClicks(w.txtMain, QStringLiteral(" Lost words."));
    std::printf("more\n");
    std::fflush(stdout);
    return QApplication::exec();
}

} // namespace

class TestEntryDraft : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    void startOn()
    {
        QVERIFY(PublishFixture::writeFile(programFile(QStringLiteral("weblog.ini")), kIni));
        QVERIFY(PublishFixture::writeFile(programFile(QStringLiteral("backup1.html")), kPage));
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(setProgramDir(dir->path()));
        settings() = Settings();
    }

    void formatReadsBack()
    {
        const EntryFields in = sample();
        const std::optional<EntryFields> out = EntryDraft::parse(EntryDraft::format(in));
        QVERIFY(out);
        QVERIFY(sameFields(in, *out));
        const std::optional<EntryFields> empty = EntryDraft::parse(EntryDraft::format({}));
        QVERIFY(empty && sameFields(*empty, {}));
    }

    // A draft cut at any byte, or with anything changed in its frame, is
    // refused as a whole: never read as a shorter entry.
    void everyTruncationIsRefused()
    {
        const QByteArray full = EntryDraft::format(sample());
        for (qsizetype n = 0; n < full.size(); ++n) {
            QString error;
            QVERIFY2(!EntryDraft::parse(full.left(n), &error), qPrintable(QString::number(n)));
            QVERIFY(!error.isEmpty());
        }
    }

    void damagedFrames_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        const char* const rows[][3] = {{"other version", "DRAFT 1\n", "DRAFT 2\n"},
                                       {"not a draft", "PAGEWICK-DRAFT 1\n", "hello\n"},
                                       {"length too long", "sig 3\n", "sig 4\n"},
                                       {"length too short", "sig 3\n", "sig 2\n"},
                                       {"negative length", "sig 3\n", "sig -3\n"},
                                       {"huge length", "sig 3\n", "sig 99999999999\n"},
                                       {"field renamed", "email ", "mail "},
                                       {"trailing bytes", "END\n", "END\nx"},
                                       {"no end line", "END\n", "EOF\n"}};
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QByteArray(r[1]) << QByteArray(r[2]);
    }

    void damagedFrames()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QByteArray bytes = EntryDraft::format(sample());
        QVERIFY(bytes.contains(from));
        bytes.replace(from, to);
        QVERIFY(!EntryDraft::parse(bytes));
    }

    void blankEntries_data()
    {
        QTest::addColumn<QStringList>("typed"); // title, body, link, link text
        QTest::addColumn<bool>("blank");
        QTest::newRow("fresh form") << QStringList{"", "", "http://", ""} << true;
        QTest::newRow("after New Entry") << QStringList{"", "", "", ""} << true;
        QTest::newRow("title") << QStringList{"T", "", "http://", ""} << false;
        QTest::newRow("body") << QStringList{"", " ", "", ""} << false;
        QTest::newRow("link") << QStringList{"", "", "http://x", ""} << false;
        QTest::newRow("link text") << QStringList{"", "", "", "x"} << false;
    }

    void blankEntries()
    {
        QFETCH(QStringList, typed);
        QFETCH(bool, blank);
        // Signature and e-mail come from the configuration, not from typing.
        const EntryFields f{typed[0], typed[1], QStringLiteral("Sig"), QStringLiteral("e@x"),
                            typed[2], typed[3]};
        QCOMPARE(EntryDraft::isBlank(f), blank);
    }

    void saveReplacesAtomically()
    {
        const QString path = EntryDraft::path();
        QVERIFY(EntryDraft::save(path, sample()));
        EntryFields second = sample();
        second.head = QStringLiteral("Second");
        QVERIFY(EntryDraft::save(path, second));
        const EntryDraft::Loaded loaded = EntryDraft::load(path);
        QCOMPARE(loaded.status, EntryDraft::Loaded::Found);
        QCOMPARE(loaded.fields.head, QStringLiteral("Second"));
        // No temporary file stays behind.
        QCOMPARE(QDir(dir->path()).entryList({QStringLiteral("entrydraft*")}, QDir::Files),
                 QStringList{EntryDraft::fileName()});
        QVERIFY(EntryDraft::remove(path));
        QCOMPARE(EntryDraft::load(path).status, EntryDraft::Loaded::Missing);
        // A draft that cannot be written says why; nothing is left behind.
        QString error;
        QVERIFY(!EntryDraft::save(dir->filePath(QStringLiteral("gone/entrydraft.txt")), second,
                                  &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFileInfo::exists(dir->filePath(QStringLiteral("gone"))));
    }

    // A draft that cannot be written costs one status line, not one per
    // pause, and typing goes on.
    void unwritableDraftIsReportedOnce()
    {
        startOn();
        QVERIFY(QDir(dir->path()).mkdir(EntryDraft::fileName())); // a folder in its place
        ScriptedPrompt p;
        MainWindow w;
        w.draftKeeper()->setDelay(50);
        w.start(0);
        QCOMPARE(p.texts(), QStringList());
        const QString line = QStringLiteral("The entry draft could not be saved");
        QTest::keyClicks(w.txtHead, QStringLiteral("One"));
        QTRY_VERIFY(w.txtStatus->toPlainText().contains(line));
        QTest::keyClicks(w.txtHead, QStringLiteral(" two"));
        QTest::qWait(200);
        QCOMPARE(w.txtStatus->toPlainText().count(line), 1);
        QCOMPARE(w.txtHead->text(), QStringLiteral("One two"));
    }

    // Typing is saved once the typing pauses; until the start-up offer is
    // made nothing is written, so a crashed run's draft is not overwritten.
    void typingIsSavedAfterAPause()
    {
        startOn();
        QVERIFY(PublishFixture::writeFile(EntryDraft::path(), EntryDraft::format(sample())));
        ScriptedPrompt p;
        p.answers << Answer::No;
        MainWindow w;
        w.draftKeeper()->setDelay(200);
        w.start(0);
        QCOMPARE(p.texts(), QStringList{QStringLiteral("Restore the entry you were writing?")});
        QCOMPARE(p.messages[0].buttons, Buttons::YesNo);
        QCOMPARE(p.messages[0].title, QStringLiteral("Pagewick"));
        // Declined: the draft is gone and the form keeps the configuration's
        // signature.
        QVERIFY(!QFile::exists(EntryDraft::path()));
        QCOMPARE(w.txtSig->text(), QStringLiteral("Ann"));
        QCOMPARE(w.txtHead->text(), QString());

        QTest::keyClicks(w.txtHead, QStringLiteral("Hel"));
        QVERIFY(w.draftKeeper()->timer().isActive());
        QTest::qWait(50);
        QTest::keyClicks(w.txtHead, QStringLiteral("lo"));
        QVERIFY(!QFile::exists(EntryDraft::path()));
        QTRY_VERIFY(QFile::exists(EntryDraft::path()));
        EntryDraft::Loaded loaded = EntryDraft::load(EntryDraft::path());
        QCOMPARE(loaded.status, EntryDraft::Loaded::Found);
        QCOMPARE(loaded.fields.head, QStringLiteral("Hello"));
        QCOMPARE(loaded.fields.sig, QStringLiteral("Ann"));

        // Every one of the six boxes counts.
        const QList<QWidget*> boxes{w.txtMain, w.txtSig, w.txtEmail, w.txtURL, w.txtURLtitle};
        for (QWidget* box : boxes)
            QTest::keyClicks(box, QStringLiteral("Z"));
        QTRY_COMPARE(EntryDraft::load(EntryDraft::path()).fields.urlTitle, QStringLiteral("Z"));
        loaded = EntryDraft::load(EntryDraft::path());
        QCOMPARE(loaded.fields.main, QStringLiteral("Z"));
        QCOMPARE(loaded.fields.sig, QStringLiteral("AnnZ"));
        QCOMPARE(loaded.fields.email, QStringLiteral("ann@example.comZ"));
        QCOMPARE(loaded.fields.url, QStringLiteral("http://Z"));

        // Emptying the entry by hand leaves no draft to offer.
        for (QLineEdit* e : {w.txtHead, w.txtURL, w.txtURLtitle})
            e->clear();
        w.txtMain->clear();
        QTRY_VERIFY(!QFile::exists(EntryDraft::path()));
    }

    // A damaged draft (every kind is refused above), or an empty one, costs a
    // status line.
    void damagedDraftIsIgnored_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray full = EntryDraft::format(sample());
        QTest::newRow("cut before END") << full.left(full.size() - 2);
        QTest::newRow("empty file") << QByteArray();
    }
    void damagedDraftIsIgnored()
    {
        QFETCH(QByteArray, bytes);
        startOn();
        QVERIFY(PublishFixture::writeFile(EntryDraft::path(), bytes));
        ScriptedPrompt p;
        MainWindow w;
        w.start(0);
        QCOMPARE(p.texts(), QStringList());
        QVERIFY2(w.txtStatus->toPlainText().contains(
                     QStringLiteral("The saved entry draft could not be read")),
                 qPrintable(w.txtStatus->toPlainText()));
        QCOMPARE(w.txtHead->text(), QString());
        QCOMPARE(w.txtURL->text(), QStringLiteral("http://"));
        // Left for a look by hand until typing replaces it.
        QVERIFY(QFile::exists(EntryDraft::path()));
    }

    // The window build killed with SIGKILL while the user types, then
    // started again: the entry comes back as of the last pause.
    void killWhileTyping()
    {
        startOn();
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--typist"), dir->path()});
        QVERIFY(child.waitForStarted());
        QByteArray said;
        QElapsedTimer waited;
        waited.start();
        while (!said.contains("more\n") && waited.elapsed() < 60000 &&
               child.state() == QProcess::Running) {
            child.waitForReadyRead(500);
            said += child.readAllStandardOutput();
        }
        QVERIFY2(said.contains("saved\nmore\n"), said.constData());
        child.kill(); // SIGKILL: no chance to save anything more
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        const EntryDraft::Loaded left = EntryDraft::load(EntryDraft::path());
        QCOMPARE(left.status, EntryDraft::Loaded::Found);
        QCOMPARE(left.fields.head, QStringLiteral("Written before the crash"));
        QCOMPARE(left.fields.main, QStringLiteral("First words."));

        ScriptedPrompt p;
        p.answers << Answer::Yes;
        MainWindow w;
        w.start(0);
        QCOMPARE(p.texts(), QStringList{QStringLiteral("Restore the entry you were writing?")});
        QCOMPARE(w.txtHead->text(), QStringLiteral("Written before the crash"));
        QCOMPARE(w.txtMain->toPlainText(), QStringLiteral("First words."));
        QCOMPARE(w.txtSig->text(), QStringLiteral("Ann"));
        QVERIFY(
            w.txtStatus->toPlainText().contains(QStringLiteral("Entry restored from the draft")));
        // The restored entry is still the draft.
        QVERIFY(QFile::exists(EntryDraft::path()));

        // A Finish that fails (the page cannot be saved there) keeps it...
        w.butt_Preview->click();
        QVERIFY(w.butt_Fin->isEnabled());
        p.files << dir->filePath(QStringLiteral("no such folder/upload.html"));
        w.butt_Fin->click();
        QVERIFY(QFile::exists(EntryDraft::path()));
        // ...a Finish that succeeds removes it.
        w.butt_Preview->click();
        p.files << dir->filePath(QStringLiteral("upload.html"));
        w.butt_Fin->click();
        QVERIFY(QFile::exists(dir->filePath(QStringLiteral("upload.html"))));
        QVERIFY(!QFile::exists(EntryDraft::path()));
    }

    void newEntryRemovesTheDraft()
    {
        startOn();
        ScriptedPrompt p;
        MainWindow w;
        w.draftKeeper()->setDelay(100);
        w.start(0);
        QTest::keyClicks(w.txtHead, QStringLiteral("To be cleared"));
        QTRY_VERIFY(QFile::exists(EntryDraft::path()));
        // Cancel keeps the entry and its draft.
        p.answers << Answer::Cancel;
        w.findChild<QAction*>(QStringLiteral("mnuNew"))->trigger();
        QVERIFY(QFile::exists(EntryDraft::path()));
        p.answers << Answer::Ok;
        QTest::keyClicks(w.txtHead, QStringLiteral("!"));
        w.findChild<QAction*>(QStringLiteral("mnuNew"))->trigger();
        QVERIFY(!QFile::exists(EntryDraft::path()));
        // The pending save of the last key press does not bring it back.
        QTest::qWait(300);
        QVERIFY(!QFile::exists(EntryDraft::path()));
    }

    // Closing the window writes what was typed since the last pause.
    void closingSavesAtOnce()
    {
        startOn();
        ScriptedPrompt p;
        auto w = std::make_unique<MainWindow>();
        w->start(0);
        QTest::keyClicks(w->txtURLtitle, QStringLiteral("Just typed"));
        QVERIFY(w->draftKeeper()->timer().isActive());
        w->close();
        w.reset();
        QCOMPARE(EntryDraft::load(EntryDraft::path()).fields.urlTitle,
                 QStringLiteral("Just typed"));
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--typist") == 0) {
        QApplication app(argc, argv);
        return runTypist(QString::fromLocal8Bit(argv[2]));
    }
    QApplication app(argc, argv);
    TestEntryDraft test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_entrydraft.moc"

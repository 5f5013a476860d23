// The entry draft: its file format against every kind of damage, the window
// saving what is typed, the draft offered at start-up, and the draft going away
// after Finish and New Entry.

#include "PublishFixture.h"
#include "ScriptedPrompt.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/entry/EntryDraft.h"
#include "gui/EntryDraftKeeper.h"
#include "gui/MainWindow.h"
#include "gui/ShownWindows.h"

#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

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

QStringList fieldList(const EntryFields& f)
{
    return {f.head, f.main, f.sig, f.email, f.url, f.urlTitle};
}

QStringList draftOnDisk()
{
    return fieldList(EntryDraft::load(EntryDraft::path()).fields);
}

} // namespace

class TestEntryDraft : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    static void startOn()
    {
        QVERIFY(PublishFixture::writeFile(programFile(QStringLiteral("weblog.ini")), kIni));
        QVERIFY(PublishFixture::writeFile(programFile(QStringLiteral("backup1.html")),
                                          PublishFixture::page(1)));
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
        for (const EntryFields& in : {sample(), EntryFields{}}) {
            const std::optional<EntryFields> out = EntryDraft::parse(EntryDraft::format(in));
            QVERIFY(out);
            QCOMPARE(fieldList(*out), fieldList(in));
        }
    }

    // A draft cut at any byte, or with anything changed in its frame, is
    // refused as a whole: never read as a shorter entry.
    void damagedFrames()
    {
        const QByteArray full = EntryDraft::format(sample());
        for (qsizetype n = 0; n < full.size(); ++n) {
            QString error;
            QVERIFY2(!EntryDraft::parse(full.left(n), &error), qPrintable(QString::number(n)));
            QVERIFY(!error.isEmpty());
        }
        const char* const changes[][2] = {
            {"DRAFT 1\n", "DRAFT 2\n"}, {"PAGEWICK-DRAFT 1\n", "hello\n"},
            {"sig 3\n", "sig 4\n"},     {"sig 3\n", "sig 2\n"},
            {"sig 3\n", "sig -3\n"},    {"sig 3\n", "sig 99999999999\n"},
            {"email ", "mail "},        {"END\n", "END\nx"},
            {"END\n", "EOF\n"}};
        for (const auto& [from, to] : changes) {
            QByteArray bytes = full;
            QVERIFY2(bytes.contains(from), from);
            QVERIFY2(!EntryDraft::parse(bytes.replace(from, to)), to);
        }
    }

    void blankEntries()
    {
        // Title, body, link, link text; signature and e-mail come from the
        // configuration, not from typing.
        const std::pair<QStringList, bool> cases[] = {
            {{"", "", "http://", ""}, true},   {{"", "", "", ""}, true},
            {{"T", "", "http://", ""}, false}, {{"", " ", "", ""}, false},
            {{"", "", "http://x", ""}, false}, {{"", "", "", "x"}, false}};
        for (const auto& [typed, blank] : cases)
            QVERIFY2(EntryDraft::isBlank({typed[0], typed[1], QStringLiteral("Sig"),
                                          QStringLiteral("e@x"), typed[2], typed[3]}) == blank,
                     qPrintable(typed.join(u'|')));
    }

    void saveReplacesAtomically()
    {
        const QString path = EntryDraft::path();
        EntryFields second = sample();
        second.head = QStringLiteral("Second");
        QVERIFY(EntryDraft::save(path, sample()) && EntryDraft::save(path, second));
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

    // A draft that cannot be written costs one status line, not one per pause,
    // and typing goes on.
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

    // Typing is saved once the typing pauses; until the start-up offer is made
    // nothing is written, so a crashed run's draft is not overwritten.
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
        QCOMPARE(shownTexts(&w, {"txtSig", "txtHead"}), QStringList({"Ann", ""}));
        QTest::keyClicks(w.txtHead, QStringLiteral("Hel"));
        QVERIFY(w.draftKeeper()->timer().isActive());
        QTest::qWait(50);
        QTest::keyClicks(w.txtHead, QStringLiteral("lo"));
        QVERIFY(!QFile::exists(EntryDraft::path()));
        QTRY_VERIFY(QFile::exists(EntryDraft::path()));
        QCOMPARE(EntryDraft::load(EntryDraft::path()).status, EntryDraft::Loaded::Found);
        QCOMPARE(draftOnDisk(),
                 QStringList({"Hello", "", "Ann", "ann@example.com", "http://", ""}));
        // Every one of the six boxes counts.
        for (QWidget* box : {static_cast<QWidget*>(w.txtMain), static_cast<QWidget*>(w.txtSig),
                             static_cast<QWidget*>(w.txtEmail), static_cast<QWidget*>(w.txtURL),
                             static_cast<QWidget*>(w.txtURLtitle)})
            QTest::keyClicks(box, QStringLiteral("Z"));
        QTRY_COMPARE(draftOnDisk(),
                     QStringList({"Hello", "Z", "AnnZ", "ann@example.comZ", "http://Z", "Z"}));
        // Emptying the entry by hand leaves no draft to offer.
        for (QLineEdit* e : {w.txtHead, w.txtURL, w.txtURLtitle})
            e->clear();
        w.txtMain->clear();
        QTRY_VERIFY(!QFile::exists(EntryDraft::path()));
    }

    // A damaged draft (every kind is refused above), or an empty one, costs a
    // status line and is left for a look by hand until typing replaces it.
    void damagedDraftIsIgnored()
    {
        const QByteArray full = EntryDraft::format(sample());
        for (const QByteArray& bytes : {full.left(full.size() - 2), QByteArray()}) {
            settings() = Settings();
            startOn();
            QVERIFY(PublishFixture::writeFile(EntryDraft::path(), bytes));
            ScriptedPrompt p;
            MainWindow w;
            w.start(0);
            QCOMPARE(p.texts(), QStringList());
            QVERIFY2(w.txtStatus->toPlainText().contains(
                         QStringLiteral("The saved entry draft could not be read")),
                     qPrintable(w.txtStatus->toPlainText()));
            QCOMPARE(shownTexts(&w, {"txtHead", "txtURL"}), QStringList({"", "http://"}));
            QVERIFY(QFile::exists(EntryDraft::path()));
        }
    }

    // A draft left by a run that ended while the user typed comes back at the
    // next start and stays the draft until a Finish succeeds.
    void restoredDraftLastsUntilFinish()
    {
        startOn();
        EntryFields left;
        left.head = QStringLiteral("Written before the crash");
        left.main = QStringLiteral("First words.");
        left.sig = QStringLiteral("Ann");
        QVERIFY(EntryDraft::save(EntryDraft::path(), left));
        ScriptedPrompt p;
        p.answers << Answer::Yes;
        MainWindow w;
        w.start(0);
        QCOMPARE(p.texts(), QStringList{QStringLiteral("Restore the entry you were writing?")});
        QCOMPARE(shownTexts(&w, {"txtHead", "txtMain", "txtSig"}),
                 QStringList({"Written before the crash", "First words.", "Ann"}));
        QVERIFY(
            w.txtStatus->toPlainText().contains(QStringLiteral("Entry restored from the draft")));
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
        p.answers << Answer::Cancel << Answer::Ok;
        child<QAction>(&w, "mnuNew")->trigger();
        QVERIFY(QFile::exists(EntryDraft::path()));
        QTest::keyClicks(w.txtHead, QStringLiteral("!"));
        child<QAction>(&w, "mnuNew")->trigger();
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
        QCOMPARE(draftOnDisk().value(5), QStringLiteral("Just typed"));
    }
};

QTEST_MAIN(TestEntryDraft)
#include "tst_entrydraft.moc"

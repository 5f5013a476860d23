// The entry commands on real files: Preview (page fetched first or not), auto-delete with and
// without archive, the local-or-server choice, Restore Backup and Delete Last Entry.

#include "PublishFixture.h"
#include "RecordingView.h"
#include "ScriptedPrompt.h"

#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/entry/PageEditor.h"
#include "core/entry/WorkFiles.h"

#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QByteArray entry(int n, bool last = false)
{
    const QByteArray d = QByteArray::number(n);
    return "<!--|12/" + d + "/2000|9:00:00 AM|-->Post " + d + "\r\n<!--Title-->\r\nText " + d +
           (last ? "<!--**END**-->" : "") + "\r\n";
}

// Entries n down to 1, the oldest with the end marker.
QByteArray entries(int n)
{
    QByteArray all;
    for (; n > 1; --n)
        all += entry(n) + "\r\n";
    return all + entry(1, true);
}

const QByteArray kHead = "<html>\r\n<body>\r\n<h1>Caf\xE9</h1>\r\n<!--\xD1-->\r\n";
const QByteArray kTail = "</body>\r\n</html>\r\n";
QByteArray page(const QByteArray& entries)
{
    return kHead + entries + kTail;
}

// The entry Preview makes of the boxes filled in init() on 12/5/2000 at
// 5:44:36 PM (the template's "%url" is empty, hence the two line ends).
const QByteArray kNew = "<!--|12/5/2000|5:44:36 PM|--><a name=\"125200054436PM\"></a>Hello\r\n"
                        "<!--Title-->\r\nBy: Ann -- 05-Dec-00 @ 05:44 PM\r\nWorld\r\n\r\n";

const QString kEndMissing =
    u"This program looks for <!--**END**--> at the end of the last weblog entry.  This marker "
    "has not been found; therefore, this operation can not be continued."_s;

void put(const QString& stem, const QByteArray& bytes)
{
    QVERIFY(WorkFiles::write(workFile(stem), bytes));
}
QByteArray get(const QString& stem)
{
    return WorkFiles::read(workFile(stem)).value_or("<missing>"_ba);
}
bool exists(const QString& stem)
{
    return WorkFiles::exists(workFile(stem));
}

// The least that works on local files: the site is the file "server1.html"
// of the program directory; publishing copies the edited page to "backup".
class LocalHooks final : public PageEditorHooks
{
public:
    PageEditor* flows = nullptr;
    QList<bool> updates;
    QString choice = u"Server"_s;
    int choices = 0, preferences = 0, published = 0;
    bool previewEnabled = false;
    bool serverDown = false;
    QList<EntryFields> shown;

    void retrievePage(bool insertAfter, std::function<void()> then) override
    {
        updates << insertAfter;
        if (!serverDown) {
            WorkFiles::copy(workFile(u"server"_s), workFile(u"indexbackup"_s));
            flows->readRetrievedPage(insertAfter);
        }
        if (then)
            then();
    }
    void publish() override
    {
        ++published;
        WorkFiles::copy(workFile(u"webbie"_s), workFile(u"backup"_s));
    }
    QString choosePageSource() override
    {
        ++choices;
        return choice;
    }
    void showPreferences() override { ++preferences; }
    void setPreviewEnabled(bool enabled) override { previewEnabled = enabled; }
    void showFields(const EntryFields& fields) override { shown << fields; }
};

// One test's world, torn down in reverse order: the flows first.
struct Fixture
{
    QTemporaryDir dir;
    const bool inDir = useProgramDir(dir.path()); // the flows work there
    ScriptedPrompt prompt;
    RecordingView view;
    LocalHooks hooks;
    PageEditor flows{workspace(), view, hooks};
    Fixture() { hooks.flows = &flows; }
};

} // namespace

class TestEntryFlows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { PublishFixture::pinClockAndLocale(); }

    void init()
    {
        f = std::make_unique<Fixture>();
        QVERIFY(f->inDir);
        Settings& s = settings();
        s = Settings();
        s.activeSection = u"1"_s;
        s.templateText = u"%title\r\nBy: %sig -- %date @ %time\r\n%body\r\n%url"_s;
        s.dateformat = u"medium date"_s;
        s.timeformat = u"medium time"_s;
        s.autoftp = u"True"_s;
        s.autodelete = u"False"_s;
        s.archive = u"false"_s;
        runState().pageRetrieved = true;
        f->view.entry = {u"Hello"_s, u"World"_s, u"Ann"_s, QString(), u"http://"_s, QString()};
        f->view.resendVisible = f->view.resendEnabled = true;
    }

    void cleanup() { f.reset(); }

    // Statuses, the opened page, Resend, the recorded date and a second preview are checked
    // by the tests below, the window and publishing tests.
    void previewOfRetrievedPage()
    {
        put(u"indexbackup"_s, page(entry(4, true)));
        f->flows.preview();
        QCOMPARE(get(u"webbie"_s), page(kNew + "\r\n" + entry(4, true)).chopped(2));
        QVERIFY(f->prompt.messages.isEmpty() && f->hooks.updates.isEmpty() &&
                f->view.finishEnabled && f->view.previewEnabled && !f->view.busy);
    }

    void previewFetchesAndCleansFirst()
    {
        // The site's page: a byte-order mark, bare CR line ends, five empty lines.
        runState().pageRetrieved = false;
        QByteArray served = "\xEF\xBB\xBF" + page("\r\n\r\n\r\n\r\n\r\n" + entry(4, true));
        served.replace("\r\n", "\r");
        put(u"server"_s, served);
        f->flows.preview();
        QCOMPARE(f->hooks.updates, QList<bool>{true});
        QCOMPARE(get(u"indexbackup"_s), page("\r\n\r\n\r\n" + entry(4, true)));
        QCOMPARE(get(u"webbie"_s), page(kNew + "\r\n\r\n\r\n\r\n" + entry(4, true)).chopped(2));
        QVERIFY(runState().pageRetrieved && f->prompt.messages.isEmpty() && f->view.finishEnabled);
    }

    // Deleting it again is checked with the page text.
    void firstEntry()
    {
        runState().pageRetrieved = false;
        put(u"server"_s, page({}));
        f->flows.preview();
        QCOMPARE(
            f->prompt.texts(),
            QStringList{u"Time/Date Markers Not Found.  Assuming this is 1st weblog entry."_s});
        QCOMPARE(f->prompt.messages[0].title, u"Pagewick"_s);
        QCOMPARE(get(u"webbie"_s), page(kNew.chopped(2) + "<!--**END**-->\r\n\r\n").chopped(2));
    }

    void blankBoxesAndMissingMarkers()
    {
        put(u"indexbackup"_s, "<html>\r\n<!--PAGEWICK-->\r\n" + entry(1, true) + "</html>\r\n");
        f->view.entry.head.clear();
        f->view.entry.sig.clear();
        f->flows.preview();
        // Its text is checked with the entry builder; nothing else happened.
        QVERIFY(f->prompt.texts().size() == 1 && f->hooks.shown.isEmpty() &&
                f->view.status.isEmpty());

        // No insertion marker ("<!--PAGEWICK-->" is none): nothing is written.
        f->view.entry.head = u"Hello"_s;
        preview();
        QCOMPARE(f->hooks.shown.value(0).sig + QString::number(f->hooks.shown.size()),
                 u"Unknown1"_s);
        QCOMPARE(f->prompt.texts(),
                 QStringList{u"Neither insert symbols were found in the web page downloaded from "
                             "server; therefore, pagewick entry could not be added."_s});
        QCOMPARE(f->view.status.last(), u"Entry Placement failed."_s);
        QVERIFY(!exists(u"webbie"_s) && f->prompt.opened.isEmpty() && !f->view.finishEnabled &&
                f->view.previewEnabled);

        // A page of 0 bytes: first entry, no insertion marker, and the base copy
        // is not replaced by a lone "<".
        runState().pageRetrieved = false;
        put(u"server"_s, QByteArray());
        preview();
        QVERIFY(f->prompt.texts().size() == 2 &&
                f->prompt.texts()[1].startsWith(u"Neither insert symbols"_s));
        QCOMPARE(get(u"indexbackup"_s), QByteArray());
    }

    void autoDeleteWithArchive()
    {
        Settings& s = settings();
        s.autodelete = u"TRUE"_s;
        s.deleteamount = u"2"_s;
        put(u"indexbackup"_s, page(entries(3)));
        const QByteArray trimmed =
            page(kNew + "\r\n" + entry(3) + "\r\n<!--**END**-->\r\n").chopped(2);
        // Without archive.
        f->flows.preview();
        QCOMPARE(get(u"webbie"_s) + get(u"delete"_s), trimmed + trimmed);
        QVERIFY(!exists(u"archivewebbie"_s));
        QCOMPARE(f->prompt.opened, QStringList{opened(u"webbie"_s)});

        // With archive: the cut entries go to the top of the archive page.
        s.archive = u"true"_s;
        put(u"archive"_s, "<html>\n<body>\n<!--PagewickArchiveStart-->\n" + entry(0) + "</body>\n");
        // Its lines end at CR LF or CR: the bare LFs stay, and the last line,
        // which has no line end of its own, gets CR LF.
        const QByteArray archived = "<html>\n<body>\n<!--PagewickArchiveStart-->" + entry(2) +
                                    "\r\n" + entry(1).chopped(2) + "\n" + entry(0) +
                                    "</body>\n\r\n";
        f->view.status.clear();
        f->flows.preview();
        QCOMPARE(get(u"webbie"_s), trimmed);
        QCOMPARE(get(u"archivewebbie"_s), archived);
        QCOMPARE(f->view.status,
                 QStringList({u"Creating Preview..."_s, u"Preview Finished"_s,
                              u"Creating Archive"_s, u"Archive Created Successfully"_s}));
        // Again: the archive is rebuilt from its base copy, the entries go in once.
        f->flows.preview();
        QCOMPARE(get(u"archivewebbie"_s), archived);
        QVERIFY(f->prompt.messages.isEmpty());

        // Archive page without its start marker: said, and left as it is.
        put(u"archive"_s, "<html>old archive</html>\r\n");
        f->flows.preview();
        QVERIFY(f->prompt.texts().size() == 1 &&
                f->prompt.texts()[0].contains(u"archive1.html has no <!--PagewickArchiveStart-->"));
        QCOMPARE(get(u"archivewebbie"_s), "<html>old archive</html>\r\n"_ba);
        // Entries the archive cannot take are not cut: the page keeps them all.
        const QByteArray untrimmed = get(u"webbie"_s);
        QVERIFY(untrimmed.startsWith(kHead + kNew) && untrimmed.contains("Post 2\r\n") &&
                untrimmed.contains("Post 1\r\n"));
        QVERIFY(f->view.status.last().contains(u"no entries were cut from the page"_s));
        // No archive page at all.
        QVERIFY(QFile::remove(workFile(u"archive"_s)));
        preview();
        QCOMPARE(f->prompt.texts(), QStringList{u"Archive Page Not Found"_s});
        QCOMPARE(get(u"webbie"_s), untrimmed);
    }

    void autoDeleteTrouble()
    {
        Settings& s = settings();
        s.autodelete = u"True"_s;
        put(u"indexbackup"_s, page(entry(2) + "\r\n" + entry(1)));
        // A keep count that is no whole number from 1 on: said, nothing written.
        for (const QString& amount : {u"abc"_s, u"0"_s}) {
            s.deleteamount = amount;
            preview();
            QVERIFY(f->prompt.texts().size() == 1 &&
                    f->prompt.texts()[0].contains(u"not a whole number"_s) &&
                    !exists(u"webbie"_s) && !f->view.finishEnabled && f->view.previewEnabled);
        }

        // No end marker: both messages, the untrimmed page, nothing else written.
        s.deleteamount = u"1"_s;
        s.archive = u"true"_s;
        put(u"archive"_s, "<!--PagewickArchiveStart-->");
        preview();
        QCOMPARE(f->prompt.texts(),
                 QStringList({u"Archive Unable to be performed.  <!--**END**--> not found."_s,
                              kEndMissing}));
        QCOMPARE(f->view.status.last(), u"End Marker Not Found"_s);
        QVERIFY(get(u"webbie"_s).count("<!--|") == 3 && !exists(u"delete"_s));
        // The archive page that would be published is the archive unchanged.
        QCOMPARE(get(u"archivewebbie"_s), QByteArray("<!--PagewickArchiveStart-->"));

        // Fewer entries than the keep count: the plain preview.
        s.deleteamount = u"3"_s;
        preview();
        QVERIFY(f->prompt.messages.isEmpty() && get(u"webbie"_s).count("<!--|") == 3);
        QCOMPARE(f->view.status.last(), u"Preview Finished"_s);
    }

    void localOrServerChoice()
    {
        Settings& s = settings();
        s.autoftp = u"False"_s;
        s.Date = u"12/2/2000"_s;
        s.Time = u"10:00:00 AM"_s;
        const QByteArray served = page(entries(2)), local = page(entry(1, true));
        put(u"server"_s, served);
        put(u"backup"_s, local);

        f->hooks.choice = u"Local"_s;
        f->hooks.retrievePage(false, {});
        QCOMPARE(get(u"indexbackup"_s), local);
        QVERIFY(runState().pageRetrieved && f->view.previewEnabled && !f->view.finishEnabled);
        f->hooks.choice = u"Config"_s;
        f->hooks.retrievePage(false, {});
        QCOMPARE(get(u"indexbackup"_s), served);
        QCOMPARE(std::pair(f->hooks.preferences, f->hooks.choices), std::pair(1, 2));
        // The recorded time matches, or automatic FTP is on: nobody is asked.
        s.Time = u"9:00:00 AM"_s;
        f->hooks.retrievePage(false, {});
        s.Time = u"other"_s;
        s.autoftp = u"True"_s;
        f->hooks.retrievePage(false, {});
        QVERIFY(f->hooks.choices == 2 && f->prompt.messages.isEmpty());
    }

    void restoreBackup()
    {
        f->flows.restoreBackup();
        QCOMPARE(f->prompt.texts(),
                 QStringList{u"Error opening backup1.html.  Can't restore website."_s});

        const QByteArray backup = page(entry(1, true));
        put(u"backup"_s, backup);
        put(u"webbie"_s, "current");
        put(u"archivebackup"_s, "old archive");
        settings().archive = u"true"_s;
        f->prompt.clear();
        f->flows.restoreBackup(); // unscripted: Cancel
        QCOMPARE(f->prompt.opened, QStringList{opened(u"backup"_s)});
        QCOMPARE(f->prompt.messages[0].title + u'|' + f->prompt.messages[0].text,
                 u"Restore Web Site?|Please view the preview.  If it appears correct, then press "
                 "\"OK\" to restore from the last backup  If not, then you may CANCEL."_s);
        QCOMPARE(get(u"webbie"_s), "current"_ba);
        QVERIFY(f->hooks.published == 0 && f->hooks.previewEnabled);

        f->prompt.answers << Answer::Ok;
        f->flows.restoreBackup();
        QCOMPARE(get(u"webbie"_s) + '|' + get(u"archivewebbie"_s), backup + "|old archive");
        QVERIFY(f->hooks.published == 1 && f->view.finishEnabled);
        // Archive on but no archive backup: only the page, no message.
        QVERIFY(QFile::remove(workFile(u"archivebackup"_s)));
        put(u"archivewebbie"_s, "edited archive");
        f->prompt.answers << Answer::Ok;
        f->flows.restoreBackup();
        QCOMPARE(std::tuple(get(u"archivewebbie"_s), f->hooks.published, f->prompt.messages.size()),
                 std::tuple("edited archive"_ba, 2, qsizetype(3)));
    }

    void deleteLastEntry()
    {
        settings().archive = u"true"_s;
        put(u"indexbackup"_s, page(entries(3)));
        put(u"archive"_s, "<!--PagewickArchiveStart-->");
        put(u"archivewebbie"_s, "left by an earlier preview");
        put(u"webbie"_s, "current");
        // Cancel: the cut page is shown, nothing else changes.
        f->flows.deleteNewestEntry();
        const QByteArray cut = page(entries(2)).chopped(2);
        QCOMPARE(get(u"delete"_s) + '|' + get(u"webbie"_s), cut + "|current");
        QVERIFY(f->hooks.published == 0 && f->view.finishEnabled && f->view.deleteLastEnabled);
        QCOMPARE(f->prompt.opened, QStringList{opened(u"delete"_s)});
        const Message m = f->prompt.messages.value(0);
        QCOMPARE(std::tuple(f->prompt.messages.size(), m.title, m.buttons, m.text),
                 std::tuple(1, u"Deletion of PageWick Entry"_s, Buttons::OkCancel,
                            u"Please view the preview.  If it appears correct, then press \"OK\" "
                            "to delete the old pagewick entry.  If not, then you may CANCEL."_s));
        // OK: exactly the newest entry goes, and nothing goes to the archive.
        f->prompt.answers << Answer::Ok;
        f->flows.deleteNewestEntry();
        QCOMPARE(get(u"webbie"_s) + get(u"archivewebbie"_s), cut + "<!--PagewickArchiveStart-->");
        QVERIFY(f->hooks.published == 1 && f->hooks.previewEnabled);

        // Not retrieved yet: fetched first; no end marker: said, nothing written.
        QVERIFY(QFile::remove(workFile(u"delete"_s)));
        runState().pageRetrieved = false;
        put(u"server"_s, page(entry(2) + "\r\n" + entry(1)));
        f->prompt.clear();
        f->flows.deleteNewestEntry();
        QCOMPARE(f->hooks.updates, QList<bool>{false});
        QCOMPARE(f->prompt.texts(), QStringList{kEndMissing});
        QCOMPARE(f->view.status.last(), u"End Marker Not Found"_s);
        QVERIFY(!exists(u"delete"_s) && f->view.finishEnabled);
        // The retrieval fails: the older base copy is not cut.
        runState().pageRetrieved = false;
        f->hooks.serverDown = true;
        put(u"indexbackup"_s, page(entries(3)));
        f->flows.deleteNewestEntry();
        QVERIFY(!exists(u"delete"_s) && f->hooks.published == 1);
        f->hooks.serverDown = false;
        runState().pageRetrieved = true;
        // No entry: the edited page is shown again.
        put(u"indexbackup"_s, page({}));
        f->prompt.clear();
        f->flows.deleteNewestEntry();
        QCOMPARE(f->prompt.opened + f->prompt.texts() +
                     f->view.status.mid(f->view.status.size() - 1),
                 QStringList({opened(u"webbie"_s), u"Preview Finished"_s}));
        // No markup at all: said, nothing written.
        put(u"indexbackup"_s, "no markup here");
        f->flows.deleteNewestEntry();
        QVERIFY(f->prompt.texts().value(0).contains(u"indexbackup1.html"_s) &&
                !exists(u"delete"_s) && f->view.previewEnabled);
    }

private:
    QString opened(const QString& stem) const { return f->dir.path() + u'/' + stem + u"1.html"_s; }
    // Preview, with the messages of earlier steps forgotten.
    void preview()
    {
        f->prompt.clear();
        f->flows.preview();
    }

    std::unique_ptr<Fixture> f;
};

QTEST_GUILESS_MAIN(TestEntryFlows)
#include "tst_pageeditor.moc"

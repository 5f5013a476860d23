#pragma once

#include <functional>

// Pages, settings files, program runs and sessions for the transfer,
// retrieval and publishing tests.

#include "RecordingView.h"
#include "ScriptedPrompt.h"
#include "TestServers.h"

#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/entry/PageEditor.h"
#include "core/publish/Publisher.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

#define REQUIRE_RUNNING(server) QVERIFY2((server).isRunning(), qPrintable((server).errorString()))

namespace PublishFixture {

using Keys = QMap<QString, QString>;

// The weblog's public address: opened and named in the RSS file, never
// fetched in the FTP retrieve mode.
inline const QString kWebsite = QStringLiteral("http://www.example.com/weblog/index.html");

// FTP retrieve mode of `remote` on `ftp` as its test user, Auto FTP on, a
// direct connection, a time-out of 30 seconds.
Keys ftpKeys(const FtpTestServer& ftp, const QString& remote = QStringLiteral("www/index.html"));
// ftpKeys with the archive page www/archive.html and the RSS file.
Keys publishKeys(const FtpTestServer& ftp);
// Retrieval by HTTP from `address` (time-out 2 s); publishing on `ftp`, or
// on a port where nothing listens.
Keys httpKeys(const QString& address, const FtpTestServer* ftp = nullptr);

// A CR LF page: the insertion marker, `entries` entries (newest first, dated
// 12/4/2000 and earlier, anchors "e1", "e2", ...; the oldest carries the end
// marker) and a comment of `padding` bytes before </body>.
QByteArray page(int entries, qsizetype padding = 0);
QByteArray archivePage(); // its start marker and one archived entry

// DIR/weblog.ini: [General] Config = `generalConfig` and one section per
// entry of `sections`; "password" is stored scrambled.
bool writeIni(const QString& dir, const QMap<int, Keys>& sections,
              const QString& generalConfig = QStringLiteral("1"));

quint16 closedPort();                     // a local port where nothing listens
QByteArray readFile(const QString& path); // "<missing>" when there is no such file
bool writeFile(const QString& path, const QByteArray& bytes); // makes the folders
QStringList filesIn(const QString& folder);                   // sorted, hidden ones too

// The messages as "title: text", CR and LF written \r and \n; whether they
// are, in order, one of `patterns` each ("*": one character or more).
QString describe(const QList<Message>& messages);
bool shownAre(const QList<Message>& messages, const QStringList& patterns);

// The program run in a process of its own with `arguments`, at
// 2000-12-05T17:44:36 in en_US, online, `dataHome` as XDG_DATA_HOME, nothing
// on standard input.
struct ProgramRun
{
    bool finished = false;
    int exitCode = -1; // -1: it crashed
    QString out, err;
    QString describe() const;
};
// `during`, when given, is called once the program has started, with its
// process (to interrupt it, say).
ProgramRun runProgram(const QStringList& arguments, const QString& dataHome,
                      const std::function<void(QProcess&)>& during = {});

// An FTP and an HTTP test server serving page(2) as index.html and
// archivePage() as archive.html (in www/ on the FTP server), started anew
// by SERVERS_START() in the inheriting test class.
class Servers
{
public:
    QString startServers(); // empty, or why they do not serve
    FtpTestServer& ftp() { return *m_ftp; }
    HttpTestServer& http() { return *m_http; }

private:
    std::unique_ptr<FtpTestServer> m_ftp;
    std::unique_ptr<HttpTestServer> m_http;
};

// Entries are dated 12/5/2000 5:44:36 PM in the en_US formats from now on,
// and the network counts as reachable.
void pinClockAndLocale();

// The window's hooks, with the real publisher behind them.
class Hooks final : public PageEditorHooks
{
public:
    Publisher* publisher = nullptr;
    int preferences = 0; // times the preferences window was asked for

    void retrievePage(bool insertAfter, std::function<void()> then) override
    {
        publisher->retrievePage(insertAfter, std::move(then));
    }
    void publish() override { publisher->publish(); }
    QString choosePageSource() override { return QStringLiteral("Server"); }
    void showPreferences() override { ++preferences; }
    void setPreviewEnabled(bool) override {}
    void showFields(const EntryFields&) override {}
};

// One run of the program without its window: weblog.ini loaded by start-up
// in a program directory of its own, a scripted prompt, a recording view,
// the window's flows and publisher. The entry is "Hello", "World", by "Ann".
class Session
{
public:
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    RecordingView view;
    Hooks hooks;
    std::unique_ptr<PageEditor> flows;
    std::unique_ptr<Publisher> publisher;

    bool start(const Keys& keys);
    void again() { prompt.clear(), view.status.clear(); } // forgets messages and status lines
    bool preview(); // fetches the page and previews the entry; true when Finish is then on
    // Waits until the publisher's jobs have ended; false when they still run
    // after a minute.
    bool settle();
    bool retrieve(bool insertAfter) { return publisher->retrievePage(insertAfter), settle(); }
    bool finish() { return publisher->finish(), settle(); }
    bool resend() { return publisher->resend(), settle(); }

    // The working file `stem` of section 1 (stem, "1", ".html").
    QByteArray file(const QString& stem) const { return readFile(workFile(stem)); }
    QByteArrayList files(const QStringList& stems) const;
    bool put(const QString& stem, const QByteArray& b) const
    {
        return writeFile(workFile(stem), b);
    }
    bool exists(const QString& stem) const { return QFileInfo::exists(workFile(stem)); }
    QString ini(const QString& key) const // of section 1
    {
        return readSetting(settings().settingsPath, QStringLiteral("1"), key);
    }
    QStringList inis(const QStringList& keys) const;
    bool said(const QStringList& lines) const; // the status box showed each of them
    // Preview, Config, Restore Backup and Delete Last Entry on, the pointer
    // normal; idle: also Finish off, waiting for the next Preview.
    bool commandsOn() const
    {
        return view.previewEnabled && view.preferencesEnabled && view.backupEnabled &&
               view.deleteLastEnabled && !view.busy;
    }
    bool idle() const { return commandsOn() && !view.finishEnabled; }
};

} // namespace PublishFixture

#define SERVERS_START()                                                                            \
    do {                                                                                           \
        const QString why_ = startServers();                                                       \
        QVERIFY2(why_.isEmpty(), qPrintable(why_));                                                \
    } while (false)
#define SHOWN(prompt, ...)                                                                         \
    QVERIFY2(PublishFixture::shownAre((prompt).messages, __VA_ARGS__),                             \
             qPrintable(PublishFixture::describe((prompt).messages)))
#define SAID(s, ...)                                                                               \
    QVERIFY2((s).said(__VA_ARGS__), qPrintable((s).view.status.join(QStringLiteral(" | "))))

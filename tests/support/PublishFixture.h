#pragma once

// Pages and settings files for the transfer, retrieval and publishing tests:
// a marked weblog page and archive page as the program finds them on a
// server, a weblog.ini written the way the preferences dialog writes it
// (password scrambled), so start-up loads it like a user's, and the settings
// and server answers those tests share.

#include "RecordingView.h"
#include "ScriptedPrompt.h"
#include "TestServers.h"

#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/entry/PageEditor.h"
#include "core/publish/Publisher.h"

#include <QByteArray>
#include <QFileInfo>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

#include <memory>

#define REQUIRE_RUNNING(server) QVERIFY2((server).isRunning(), qPrintable((server).errorString()))

namespace PublishFixture {

using Keys = QMap<QString, QString>;

// The weblog's public address in the settings: only opened (and named in the
// RSS file), never fetched, in the FTP retrieve mode.
inline const QString kWebsite = QStringLiteral("http://www.example.com/weblog/index.html");

// Retrieving and publishing `remote` on `ftp` as its test user: FTP retrieve
// mode, Auto FTP on, a direct connection, a time-out of 30 seconds.
Keys ftpKeys(const FtpTestServer& ftp, const QString& remote = QStringLiteral("www/index.html"));

// How an HTTP test server is to answer, for tables of cases: "" as usual, a
// status ("404"), "no length" (no Content-Length; the connection closes after
// the body), "extra N" (N bytes more than Content-Length), "cut N"
// (Content-Length N, but the connection closes after the shorter body),
// "close" (closed without an answer), "stall N" (silent after N bytes of
// the body), "endless N" (no Content-Length, N bytes more after the body) or
// "slow" (the body in blocks of 1 KB, 0.4 s apart).
HttpTestServer::Behaviour httpBehaviour(const QString& how);

// A weblog page with CR LF line ends: the insertion marker, `entries`
// entries (newest first, dated 12/4/2000 and earlier, anchors "e1", "e2",
// ...; the oldest carries the end marker) and, before </body>, a comment of
// `padding` bytes so that an upload of it takes many blocks.
QByteArray page(int entries, qsizetype padding = 0);
// An archive page with its start marker and one archived entry.
QByteArray archivePage();

// Writes DIR/weblog.ini: section General with Config = `generalConfig`, and
// one section per entry of `sections` (number -> keys). The "password" key is
// stored scrambled.
bool writeIni(const QString& dir, const QMap<int, Keys>& sections,
              const QString& generalConfig = QStringLiteral("1"));

// A local port where nothing listens (a server that is not running).
quint16 closedPort();

QByteArray readFile(const QString& path);
bool writeFile(const QString& path, const QByteArray& bytes);

// Publishing by FTP on `ftp` with the page, the archive page (www/archive.html)
// and the RSS file.
Keys publishKeys(const FtpTestServer& ftp);
// Retrieval by HTTP from `address` (time-out 2 s); publishing on `ftp`, or
// on a port where nothing listens.
Keys httpKeys(const QString& address, const FtpTestServer* ftp = nullptr);

// The messages, one "title: text" each, CR and LF written \r and \n.
QString describe(const QList<Message>& messages);
// Whether the messages shown are, in order, one of `patterns` each ("title:
// text", where one "*" stands for one character or more).
bool shownAre(const QList<Message>& messages, const QStringList& patterns);

// The window's hooks, with the real publisher behind them.
class Hooks final : public PageEditorHooks
{
public:
    Publisher* publisher = nullptr;
    int preferences = 0; // times the preferences window was asked for

    void retrievePage(bool insertAfter) override { publisher->retrievePage(insertAfter); }
    void publish() override { publisher->publish(); }
    QString choosePageSource() override { return QStringLiteral("Server"); }
    void showPreferences() override { ++preferences; }
    void setPreviewEnabled(bool) override {}
    void showFields(const EntryFields&) override {}
};

// One run of the program without its window: a program directory with
// weblog.ini loaded by start-up, a scripted prompt, a recording view, and the
// flows and publisher the window would have. The entry is "Hello", "World",
// signed "Ann".
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
    // Forgets the messages and status lines shown so far.
    void again();
    // Fetches the page and previews the entry; true when Finish is then on.
    bool preview();

    // The working file `stem` of section 1 (stem, "1", ".html").
    QByteArray file(const QString& stem) const { return readFile(workFile(stem)); }
    bool put(const QString& stem, const QByteArray& bytes) const
    {
        return writeFile(workFile(stem), bytes);
    }
    bool exists(const QString& stem) const { return QFileInfo::exists(workFile(stem)); }
    QString ini(const QString& key) const // of section 1 in weblog.ini
    {
        return readSetting(settings().settingsPath, QStringLiteral("1"), key);
    }
    // The status box showed every one of `lines`.
    bool said(const QStringList& lines) const;
    // Every command on (Preview, Config, Restore Backup, Delete Last Entry),
    // the pointer normal.
    bool commandsOn() const;
    // Waiting for the next Preview: the commands on, Finish off.
    bool idle() const { return commandsOn() && !view.finishEnabled; }
};

} // namespace PublishFixture

#define SHOWN(prompt, ...)                                                                         \
    QVERIFY2(PublishFixture::shownAre((prompt).messages, __VA_ARGS__),                             \
             qPrintable(PublishFixture::describe((prompt).messages)))
#define SAID(s, ...)                                                                               \
    QVERIFY2((s).said(__VA_ARGS__), qPrintable((s).view.status.join(QStringLiteral(" | "))))

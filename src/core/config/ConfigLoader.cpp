#include "core/config/ConfigLoader.h"

#include "base/IniFile.h"
#include "base/MainView.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "base/StringHelpers.h"
#include "base/TextCodec.h"
#include "core/config/PasswordStore.h"
#include "core/entry/EntryBuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace {

QString decimalText(double v)
{
    if (v == std::floor(v) && std::fabs(v) < 1e15)
        return QString::number(static_cast<long long>(v));
    return QString::number(v);
}

int indexOfFormat(const QString& value, const char* kind)
{
    const QString k = QString::fromLatin1(kind);
    if (value == QStringLiteral("long ") + k)
        return 0;
    if (value == QStringLiteral("medium ") + k)
        return 1;
    if (value == QStringLiteral("short ") + k)
        return 2;
    return -1;
}

} // namespace

bool offerResendIfFailed(int number, const Settings& s, Prompt& prompt, MainView& view)
{
    // Resend uploads by FTP: without the automatic upload there is nothing
    // to offer (the window hides Resend then).
    if (readSetting(s.settingsPath, QString::number(number), QStringLiteral("Fail")) !=
            QLatin1String("True") ||
        !s.autoFtp())
        return false;
    prompt.message(QStringLiteral(
        "It has been detected that the last FTP did not succeed.  Pressing RESEND will retry to "
        "FTP the old weblog entry.  Proceeding normally will erase this old weblog entry. A "
        "preview of the old entry will now load."));
    view.appendStatus(QStringLiteral("RESEND Config %1?").arg(number));
    view.setResendEnabled(true);
    view.setResendVisible(true); // the message speaks of it: it must be there
    return true;
}

namespace {

// The keys up to the password: the account the password belongs to.
PasswordStore::Account readAccount(int number, Settings& s)
{
    const QString section = QString::number(number);
    auto read = [&](const char* key) {
        return readSetting(s.settingsPath, section, QString::fromLatin1(key));
    };
    s.website = read("website");
    s.ftpsite = read("ftpsite");
    s.autoftp = read("autoftp");
    s.ftpremote = read("ftpremote");
    s.username = read("username");
    return {section, s.ftpsite, s.username};
}

// The password, and the keys after it.
ConfigLoadResult loadRest(int number, Settings& s, Prompt& prompt, MainView& view,
                          const PasswordStore::Loaded& password)
{
    ConfigLoadResult result;
    result.number = number;
    const QString section = QString::number(number);
    auto read = [&](const char* key) {
        return readSetting(s.settingsPath, section, QString::fromLatin1(key));
    };
    s.password = password.password;
    result.passwordPlace = password.place;
    if (!password.problem.isEmpty())
        view.appendStatus(password.problem);

    s.connection = read("connection");
    const double timeout = numericValue(read("timeout"));
    s.timeout = timeout == 0 ? QStringLiteral("60") : decimalText(timeout);
    if (s.connection.isEmpty())
        s.connection = QStringLiteral("modem");

    s.siteHost = deriveSiteHost(s.website);
    s.sitePath = deriveSitePath(s.website);

    if (s.autoftp.isEmpty())
        s.autoftp = QStringLiteral("False");
    // A value that is no Boolean word counts as off; the rest of the section
    // still loads, so no key of a previously loaded configuration lingers.
    const bool ftpOn = s.autoFtp();

    result.failFound = offerResendIfFailed(number, s, prompt, view);

    s.retreivemode = read("retreivemode");
    if (s.retreivemode.isEmpty())
        s.retreivemode = QStringLiteral("auto");
    if (s.retrieveMode() == Settings::RetrieveMode::Ftp && !ftpOn) {
        prompt.message(QStringLiteral(
            "You can not use FTP-mode if you do not have Pagewick setup to update to FTP "
            "automatically.  You will be switched back into the default automatic mode."));
        s.retreivemode = QStringLiteral("auto");
    }

    s.backendenabled = read("backendenabled");
    s.imagebackendenabled = read("imagebackendenabled");
    if (s.backendenabled.isEmpty())
        s.backendenabled = QStringLiteral("False");
    s.backendtitle = read("backendtitle");
    s.backenddescript = read("backenddescript");
    s.backendimagealt = read("backendimagealt");
    s.backendimagedescript = read("backendimagedescript");
    s.backendimageurl = read("backendimageurl");
    s.feeds = read("feeds");
    s.feeditems = read("feeditems");

    s.dateformat = read("dateformat");
    s.timeformat = read("timeformat");
    if (s.dateformat.isEmpty())
        s.dateformat = QStringLiteral("medium date");
    if (s.timeformat.isEmpty())
        s.timeformat = QStringLiteral("medium time");
    result.dateIndex = indexOfFormat(s.dateformat, "date");
    if (result.dateIndex < 0)
        prompt.message(QStringLiteral("DateFormat Error"));
    result.timeIndex = indexOfFormat(s.timeformat, "time");
    if (result.timeIndex < 0)
        prompt.message(QStringLiteral("TimeFormat Error"));

    s.autodelete = read("autodelete");
    if (s.autodelete.isEmpty())
        s.autodelete = QStringLiteral("False");
    s.deleteamount = read("deleteamount");

    s.archive = read("archive");
    if (s.archive.isEmpty())
        s.archive = QStringLiteral("false");
    if (s.archiveEnabled() && !ftpOn) {
        prompt.message(QStringLiteral(
            "The Auto Archive Ability can not be used if the auto FTP is not enabled.  The auto "
            "archive ability has been disabled."));
        s.archive = QStringLiteral("false");
    }
    s.archiveurl = read("archiveurl");
    s.archiveftp = read("archiveftp");

    s.defaultsig = read("defaultsig");
    s.defaultemail = read("defaultemail");
    view.setSignature(s.defaultsig, s.defaultemail);

    // The run-time keys, read so that every key of the section is known.
    s.Fail = read("Fail");
    s.Date = read("Date");
    s.Time = read("Time");
    return result;
}

} // namespace

void loadConfiguration(int number, Settings& s, Prompt& prompt, MainView& view, QObject* context,
                       std::function<void(const ConfigLoadResult&)> done)
{
    PasswordStore::load(s.settingsPath, readAccount(number, s), prompt, context,
                        [number, &s, &prompt, &view, done](const PasswordStore::Loaded& password) {
                            done(loadRest(number, s, prompt, view, password));
                        });
}

QStringList loadStyles(Settings& s)
{
    for (StyleField f : kStyleFields) {
        FieldStyle& style = s.style(f);
        for (int i = 0; i < static_cast<int>(kStyleSuffixes.size()); ++i)
            styleValue(style, i) =
                readSetting(s.settingsPath, s.activeSection,
                            stylePrefix(f) + QString::fromLatin1(kStyleSuffixes[i]));
    }
    QStringList lines;
    for (const UnusableStyle& u : unusableStyles(s)) {
        const QString key = stylePrefix(u.field) + u.suffix;
        const char* what =
            u.suffix == QLatin1String("fontname")
                ? "The font face \"%1\" (%2 in weblog.ini) holds a quote or an angle bracket: "
                  "entries are built without it."
            : u.suffix == QLatin1String("fontsize")
                ? "The font size \"%1\" (%2 in weblog.ini) is not a size from -3 to +9: entries "
                  "are built without it."
                : "The colour \"%1\" (%2 in weblog.ini) is not a colour number from 0 to "
                  "16777215: entries are built without it.";
        lines << QCoreApplication::translate("Styles", what).arg(u.value, key);
    }
    return lines;
}

QString defaultTemplate()
{
    return QStringLiteral("%title\r\nBy: %sig -- %date @ %time\r\n%body\r\n%url");
}

bool readTemplateFile(const QString& path, QString* text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    QString all = TextCodec::decode(bytes);
    all.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QString out;
    for (const QString& line : all.split(QLatin1Char('\n')))
        if (!line.isEmpty())
            out += line + QStringLiteral("\r\n");
    *text = out;
    return true;
}

TemplateLoad loadTemplate(Settings& s, Prompt& prompt)
{
    TemplateLoad load;
    load.fileName =
        readSetting(s.settingsPath, s.activeSection, QStringLiteral("templatefilename"));
    if (load.fileName.isEmpty())
        load.fileName = QStringLiteral("template.txt");
    s.templatefilename = load.fileName;
    // A bare name is a file of the program directory, where weblog.ini is.
    load.found = readTemplateFile(QDir(s.folder()).filePath(load.fileName), &load.editorText);
    if (!load.found) {
        prompt.message(QStringLiteral("Template File Not Found"));
        load.editorText = defaultTemplate();
    }
    s.templateText = trimBlanks(load.editorText);
    return load;
}

namespace {

void loadStylesAndTemplate(Settings& s, Prompt& prompt, MainView& view)
{
    for (const QString& line : loadStyles(s))
        view.appendStatus(line);
    view.setFinishEnabled(false);
    loadTemplate(s, prompt);
}

} // namespace

void loadAll(int number, Settings& s, Prompt& prompt, MainView& view, QObject* context,
             std::function<void(const ConfigLoadResult&)> done)
{
    loadConfiguration(number, s, prompt, view, context,
                      [&s, &prompt, &view, done](const ConfigLoadResult& r) {
                          loadStylesAndTemplate(s, prompt, view);
                          done(r);
                      });
}

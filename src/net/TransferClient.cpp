#include "net/TransferClient.h"

#include "net/CurlHandles.h"
#include "net/SshHostKeys.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

TransferError::TransferError(int number, const QString& description)
    : number_(number), description_(description),
      what_(QString(QString::number(number) + QStringLiteral(": ") + description).toUtf8())
{
}

namespace {

enum class Protocol
{
    Http,
    Ftp,
    Sftp,
    File
};
enum class Op
{
    HttpGet,
    Connect,
    Get,
    Put,
    List,
    Pwd,
    Cd,
    Close
};

// libcurl is set up once per process, before the first handle.
void initCurl()
{
    static const bool ready = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    (void)ready;
}

// ---- input checks ----------------------------------------------------------

// Throws when `text` holds a character below 0x20 or DEL: libcurl would send
// CR LF straight to an FTP server, where it starts a command of its own.
void refuseControlCharacters(const QString& text, const QString& what, int number)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            throw TransferError(number, QStringLiteral("%1 contains a control character (code %2); "
                                                   "nothing was sent.")
                                        .arg(what)
                                        .arg(c.unicode()));
        }
    }
}

// ---- remote paths ----------------------------------------------------------

// `path` taken from directory `base` (both absolute, '/' separated), with
// ".", ".." and empty segments resolved; ".." at the root stays there.
QString resolvePath(const QString& base, const QString& path)
{
    const QString full = path.startsWith(u'/') ? path : base + u'/' + path;
    QStringList parts;
    for (const QString& segment : full.split(u'/', Qt::SkipEmptyParts)) {
        if (segment == u".")
            continue;
        if (segment == u"..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts << segment;
    }
    return u'/' + parts.join(u'/');
}

QByteArray encodeSegments(const QString& absolutePath)
{
    QByteArrayList encoded;
    for (const QString& segment : absolutePath.split(u'/', Qt::SkipEmptyParts))
        encoded << QUrl::toPercentEncoding(segment);
    return encoded.join('/');
}

// FTP URLs name paths relative to the log-in directory; a leading "%2F"
// makes them absolute. With the no-CWD method libcurl then sends the whole
// decoded path in one command (RETR /a b/c.html).
QByteArray ftpFilePath(const QString& absolutePath)
{
    return "/%2F" + encodeSegments(absolutePath);
}

QByteArray ftpDirectoryPath(const QString& absolutePath)
{
    const QByteArray segments = encodeSegments(absolutePath);
    return segments.isEmpty() ? QByteArray("/%2F/") : "/%2F" + segments + '/';
}

// An upload first goes to this name in the target's own folder and is renamed
// over the target once it is complete, so the target is always either the old
// file or the new one.
QString uploadTempPath(const QString& absolutePath)
{
    return absolutePath + QStringLiteral(".pagewick-upload");
}

QByteArray sftpFilePath(const QString& absolutePath)
{
    return '/' + encodeSegments(absolutePath);
}

QByteArray sftpDirectoryPath(const QString& absolutePath)
{
    const QByteArray segments = encodeSegments(absolutePath);
    return segments.isEmpty() ? QByteArray("/") : '/' + segments + '/';
}

// The directory of a PWD reply text: `"/a ""b"" c" is current directory`.
std::optional<QString> parsePwdReply(const QByteArray& text)
{
    const qsizetype open = text.indexOf('"');
    if (open < 0)
        return std::nullopt;
    QByteArray path;
    for (qsizetype i = open + 1; i < text.size(); ++i) {
        if (text[i] == '"') {
            if (i + 1 < text.size() && text[i + 1] == '"') {
                path += '"';
                ++i;
                continue;
            }
            return QString::fromUtf8(path);
        }
        path += text[i];
    }
    return std::nullopt;
}

// ---- listings --------------------------------------------------------------

struct ListEntry
{
    QByteArray name;
    bool directory = false;
};

QByteArrayList listingLines(const QByteArray& raw)
{
    QByteArrayList lines;
    for (QByteArray line : raw.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}

// MLSD: "type=dir;size=4096;modify=...; name"
QList<ListEntry> parseMlsd(const QByteArray& raw)
{
    QList<ListEntry> entries;
    for (const QByteArray& line : listingLines(raw)) {
        const qsizetype blank = line.indexOf(' ');
        if (blank < 0)
            continue;
        QByteArray type;
        for (const QByteArray& fact : line.left(blank).split(';')) {
            if (fact.toLower().startsWith("type="))
                type = fact.mid(5).toLower();
        }
        if (type == "cdir" || type == "pdir")
            continue;
        entries.append({line.mid(blank + 1), type == "dir"});
    }
    return entries;
}

bool isMonth(const QByteArray& word)
{
    static const QByteArrayList months{"jan", "feb", "mar", "apr", "may", "jun",
                                       "jul", "aug", "sep", "oct", "nov", "dec"};
    return word.size() == 3 && months.contains(word.toLower());
}

bool isDigits(const QByteArray& word, qsizetype minimum, qsizetype maximum)
{
    if (word.size() < minimum || word.size() > maximum)
        return false;
    for (const char c : word) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

bool isTimeOrYear(const QByteArray& word)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,2}:\\d{2}|\\d{4})$"));
    return pattern.match(QString::fromLatin1(word)).hasMatch();
}

// One line of a LIST answer: Unix "ls -l" style or the DOS style of IIS;
// anything else is taken as a bare name.
std::optional<ListEntry> parseListLine(const QByteArray& line)
{
    if (line.startsWith("total "))
        return std::nullopt;

    struct Word
    {
        qsizetype begin;
        qsizetype end;
    };
    QList<Word> words;
    for (qsizetype i = 0; i < line.size();) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            break;
        const qsizetype begin = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        words.append({begin, i});
    }
    auto word = [&](qsizetype i) {
        return line.mid(words[i].begin, words[i].end - words[i].begin);
    };
    auto nameAfter = [&](qsizetype i) {
        qsizetype start = words[i].end;
        while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
            ++start;
        return line.mid(start);
    };

    const char kind = line.isEmpty() ? ' ' : line[0];
    if (QByteArray("-dlbcps").contains(kind) && words.size() >= 6) {
        std::optional<qsizetype> last;
        for (qsizetype i = 2; i + 2 < words.size(); ++i) {
            if (isMonth(word(i)) && isDigits(word(i + 1), 1, 2) && isTimeOrYear(word(i + 2))) {
                last = i + 2;
                break;
            }
        }
        if (!last && words.size() >= 9)
            last = 7;
        if (last) {
            QByteArray name = nameAfter(*last);
            if (kind == 'l') {
                const qsizetype arrow = name.indexOf(" -> ");
                if (arrow >= 0)
                    name.truncate(arrow);
            }
            if (name.isEmpty())
                return std::nullopt;
            return ListEntry{name, kind == 'd'};
        }
    }

    static const QRegularExpression dos(
        QStringLiteral("^\\d{1,2}-\\d{1,2}-\\d{2,4}\\s+\\d{1,2}:\\d{2}\\s*(?:[AaPp][Mm])?\\s+(<DIR>"
                       "|\\d+)\\s+(.+)$"));
    const QRegularExpressionMatch match = dos.match(QString::fromLatin1(line));
    if (match.hasMatch())
        return ListEntry{match.captured(2).toLatin1(), match.captured(1) == u"<DIR>"};

    return ListEntry{line, false};
}

QList<ListEntry> parseList(const QByteArray& raw)
{
    QList<ListEntry> entries;
    for (const QByteArray& line : listingLines(raw)) {
        if (const auto entry = parseListLine(line))
            entries.append(*entry);
    }
    return entries;
}

QByteArray formatListing(const QList<ListEntry>& entries)
{
    QByteArray text;
    for (const ListEntry& entry : entries) {
        if (entry.name.isEmpty() || entry.name == "." || entry.name == "..")
            continue;
        text += entry.name;
        if (entry.directory)
            text += '/';
        text += "\r\n";
    }
    return text;
}

// ---- command arguments -----------------------------------------------------

// Words of `text` split at blanks, where a word in double quotes may hold
// blanks. nullopt when a quote is not closed.
std::optional<QStringList> quotedWords(const QString& text)
{
    QStringList words;
    QString current;
    bool inQuotes = false;
    bool hasWord = false;
    for (const QChar c : text) {
        if (c == u'"') {
            inQuotes = !inQuotes;
            hasWord = true;
        } else if (c == u' ' && !inQuotes) {
            if (hasWord)
                words << current;
            current.clear();
            hasWord = false;
        } else {
            current += c;
            hasWord = true;
        }
    }
    if (inQuotes)
        return std::nullopt;
    if (hasWord)
        words << current;
    return words;
}

bool folderExists(const QString& localFile)
{
    return QFileInfo(QFileInfo(localFile).absolutePath()).isDir();
}

QList<qsizetype> blanksIn(const QString& text)
{
    QList<qsizetype> blanks;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u' ')
            blanks << i;
    }
    return blanks;
}

// "GET remote local": see the rule in TransferClient.h.
std::pair<QString, QString> splitGet(const QString& rest)
{
    const QList<qsizetype> blanks = blanksIn(rest);
    if (blanks.isEmpty())
        return {rest, {}};
    for (const qsizetype blank : blanks) {
        const QString local = rest.mid(blank + 1).trimmed();
        if (local.startsWith(u'/') && folderExists(local))
            return {rest.left(blank).trimmed(), local};
    }
    for (auto it = blanks.crbegin(); it != blanks.crend(); ++it) {
        const QString local = rest.mid(*it + 1).trimmed();
        if (!local.isEmpty() && !local.startsWith(u'/') && folderExists(local))
            return {rest.left(*it).trimmed(), local};
    }
    return {rest.left(blanks.last()).trimmed(), rest.mid(blanks.last() + 1).trimmed()};
}

// "PUT local remote": see the rule in TransferClient.h.
std::optional<std::pair<QString, QString>> splitPut(const QString& rest)
{
    const QList<qsizetype> blanks = blanksIn(rest);
    for (auto it = blanks.crbegin(); it != blanks.crend(); ++it) {
        const QString local = rest.left(*it).trimmed();
        if (QFileInfo(local).isFile())
            return std::pair{local, rest.mid(*it + 1).trimmed()};
    }
    return std::nullopt;
}

QString absoluteLocal(const QString& path)
{
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

bool isTlsFailure(CURLcode code)
{
    switch (code) {
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
        return true;
    default:
        return false;
    }
}

bool isConnectionLoss(CURLcode code)
{
    switch (code) {
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_UPLOAD_FAILED:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_SSH:
        return true;
    default:
        return false;
    }
}

} // namespace

// ---- what travels between the UI thread and the worker ---------------------

struct TransferClient::Job
{
    Protocol protocol = Protocol::Ftp;
    Op op = Op::Connect;
    QByteArray base;   // "ftp://host:port", "sftp://host:port", or the HTTP address
    QString localRoot; // file://: the folder acting as the server's root
    QString startPath; // first current directory: absolute, or relative to the log-in one
    bool tls = false;
    QString user;
    QString password;
    bool hasUser = false;
    QString caFile;
    int timeout = 0;
    QString remote;
    QString local; // empty: keep the data for readChunk
    QString connectionKey;
    QString directoryKey;
};

struct TransferClient::Outcome
{
    TransferError error;
    int responseCode = 0;
    QString responseInfo;
    bool http = false;
    QByteArray headers;
    QByteArray data;
    bool closed = false; // CLOSE: states 9 and 10 already raised
    QString notice;      // something the user should know about a success
};

// ---- the worker side -------------------------------------------------------

// Owns the libcurl handles. run() is called on the worker thread, one job at
// a time; interrupt() may be called from any thread while it runs; the rest
// only while no job runs.
class TransferClient::Engine
{
public:
    using StateSink = std::function<void(int)>;

    explicit Engine(QObject* client) : easy_(curl_easy_init()), sshKeys_(client, cancel_) {}
    ~Engine() { dropConnections(); }

    void arm() { cancel_ = false; }
    Outcome run(const Job& job, StateSink states);

    // Stops a running transfer at once: raises the cancel flag, shuts the
    // sockets down (which also ends any wait of libcurl on them) and wakes
    // the transfer loop. Returns whether any connection was open.
    bool interrupt()
    {
        std::lock_guard lock(mutex_);
        cancel_ = true;
        for (const curl_socket_t socket : sockets_)
            ::shutdown(socket, SHUT_RDWR);
        if (multi_)
            curl_multi_wakeup(multi_.get());
        return !sockets_.empty();
    }

    // Closes every kept connection (an FTP connection is logged out when it
    // is still alive) and forgets the current directory.
    void dropConnections()
    {
        CurlMulti old;
        {
            std::lock_guard lock(mutex_);
            old = std::move(multi_);
        }
        old.reset();
        cwdKnown_ = false;
    }

private:
    enum class Abort
    {
        None,
        Cancel,
        Stall
    };

    // One libcurl transfer of a job.
    struct Transfer
    {
        Engine* engine = nullptr;
        Protocol protocol = Protocol::Ftp;
        QByteArray* memory = nullptr;
        QSaveFile* file = nullptr;
        QFile* upload = nullptr;
        bool localWriteFailed = false;
        bool localReadFailed = false;
        // server replies (FTP, and SFTP quote answers)
        QByteArrayList replyLines;
        int replyCode = 0;
        QByteArray replyText;
        QByteArray pwdReply;
        // HTTP
        QByteArrayList headers;
        // watchdog
        QElapsedTimer quiet;
        curl_off_t seenDown = -1;
        curl_off_t seenUp = -1;
        Abort abort = Abort::None;
        char errorBuffer[CURL_ERROR_SIZE] = {};
    };

    void raise(int state)
    {
        if (state > lastState_) {
            lastState_ = state;
            if (states_)
                states_(state);
        }
    }

    CURLM* multi()
    {
        std::lock_guard lock(mutex_);
        if (!multi_)
            multi_.reset(curl_multi_init());
        return multi_.get();
    }

    void setUp(Transfer& transfer, const Job& job, const QByteArray& url);
    CURLcode perform(Transfer& transfer, const Job& job);
    void fail(Outcome& outcome, const Transfer& transfer, CURLcode code, const Job& job) const;
    void close(Outcome& outcome);

    bool download(const Job& job, const QByteArray& url, Outcome& outcome);
    bool upload(const Job& job, const QByteArray& url, Outcome& outcome);
    struct Reply
    {
        int code = 0;
        QByteArray text;
        QByteArray pwd; // the text of the last 257 (PWD) reply
    };
    bool quote(const Job& job, const QByteArray& url, const QByteArrayList& commands,
               Outcome& outcome, Reply* reply);
    bool putInPlace(const Job& job, const QByteArray& root, const QString& temp,
                    const QString& target, bool sftp, Outcome& outcome);
    bool verifyUpload(const Job& job, const QByteArray& url, const QString& path, qint64 size,
                      Outcome& outcome);

    void runHttp(const Job& job, Outcome& outcome);
    void runFtp(const Job& job, Outcome& outcome);
    void runSftp(const Job& job, Outcome& outcome);
    void runFile(const Job& job, Outcome& outcome);

    // libcurl callbacks
    static int onDebug(CURL*, curl_infotype type, char*, size_t, void* user);
    static size_t onHeader(char* data, size_t size, size_t count, void* user);
    static size_t onWrite(char* data, size_t size, size_t count, void* user);
    static size_t onRead(char* buffer, size_t size, size_t count, void* user);
    static int onProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up);
    static curl_socket_t onOpenSocket(void* user, curlsocktype, curl_sockaddr* address);
    static int onCloseSocket(void* user, curl_socket_t socket);
    static int onResolverStart(void*, void*, void* user);

    CurlEasy easy_;
    std::mutex mutex_; // guards multi_ (for wake-ups) and sockets_
    CurlMulti multi_;
    std::set<curl_socket_t> sockets_;
    std::atomic<bool> cancel_{false};
    SshHostKeyCheck sshKeys_; // host keys and log-in of sftp://

    StateSink states_;
    int lastState_ = 0;

    QString connectionKey_;
    QString directoryKey_;
    QString cwd_;
    bool cwdKnown_ = false;
    bool mlsdRefused_ = false;
};

int TransferClient::Engine::onDebug(CURL*, curl_infotype type, char*, size_t, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    Engine* engine = transfer->engine;
    switch (type) {
    case CURLINFO_HEADER_IN:
    case CURLINFO_DATA_IN:
        transfer->quiet.restart();
        if (engine->lastState_ == Connecting)
            engine->raise(Connected);
        if (engine->lastState_ >= SendingRequest) {
            engine->raise(RequestSent);
            engine->raise(ReceivingResponse);
        }
        break;
    case CURLINFO_HEADER_OUT:
        transfer->quiet.restart();
        if (engine->lastState_ == Connecting)
            engine->raise(Connected);
        engine->raise(SendingRequest);
        break;
    case CURLINFO_DATA_OUT:
    case CURLINFO_SSL_DATA_IN:
    case CURLINFO_SSL_DATA_OUT:
        transfer->quiet.restart();
        if (engine->lastState_ == Connecting)
            engine->raise(Connected);
        break;
    default:
        break;
    }
    return 0;
}

size_t TransferClient::Engine::onHeader(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const size_t length = size * count;
    QByteArray line(data, qsizetype(length));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);

    if (transfer->protocol == Protocol::Http) {
        if (line.startsWith("HTTP/"))
            transfer->headers.clear(); // a new answer (after a redirect or 100 Continue)
        if (!line.isEmpty())
            transfer->headers << line;
        return length;
    }

    // FTP replies: "123 text", or "123-first" ... "123 last" for several lines.
    transfer->replyLines << line;
    const bool final =
        line.size() >= 4 && isDigits(line.left(3), 3, 3) && line[3] == ' ' &&
        (transfer->replyLines.size() == 1 || transfer->replyLines.first().left(3) == line.left(3));
    if (final) {
        QByteArrayList texts;
        for (const QByteArray& part : std::as_const(transfer->replyLines)) {
            const bool coded = part.size() >= 4 && isDigits(part.left(3), 3, 3) &&
                               (part[3] == ' ' || part[3] == '-');
            const QByteArray text = (coded ? part.mid(4) : part).trimmed();
            if (!text.isEmpty())
                texts << text;
        }
        transfer->replyCode = line.left(3).toInt();
        transfer->replyText = texts.join(' ');
        if (transfer->replyCode == 257)
            transfer->pwdReply = transfer->replyLines.first().mid(4);
        transfer->replyLines.clear();
    }
    return length;
}

size_t TransferClient::Engine::onWrite(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const qint64 length = qint64(size * count);
    if (transfer->memory) {
        transfer->memory->append(data, length);
    } else if (transfer->file) {
        if (transfer->file->write(data, length) != length) {
            transfer->localWriteFailed = true;
            return 0;
        }
    }
    return size_t(length);
}

size_t TransferClient::Engine::onRead(char* buffer, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const qint64 got = transfer->upload->read(buffer, qint64(size * count));
    if (got < 0) {
        transfer->localReadFailed = true;
        return CURL_READFUNC_ABORT;
    }
    return size_t(got);
}

int TransferClient::Engine::onProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up)
{
    auto* transfer = static_cast<Transfer*>(user);
    if (down != transfer->seenDown || up != transfer->seenUp) {
        transfer->seenDown = down;
        transfer->seenUp = up;
        transfer->quiet.restart();
    }
    return transfer->engine->cancel_ ? 1 : 0;
}

curl_socket_t TransferClient::Engine::onOpenSocket(void* user, curlsocktype, curl_sockaddr* address)
{
    auto* engine = static_cast<Engine*>(user);
    curl_socket_t socket = CURL_SOCKET_BAD;
    {
        std::lock_guard lock(engine->mutex_);
        if (engine->cancel_)
            return CURL_SOCKET_BAD;
        socket = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
        if (socket == CURL_SOCKET_BAD)
            return socket;
        engine->sockets_.insert(socket);
    }
    engine->raise(ResolvingHost);
    engine->raise(HostResolved);
    engine->raise(Connecting);
    return socket;
}

int TransferClient::Engine::onCloseSocket(void* user, curl_socket_t socket)
{
    auto* engine = static_cast<Engine*>(user);
    {
        std::lock_guard lock(engine->mutex_);
        engine->sockets_.erase(socket);
    }
    return ::close(socket);
}

int TransferClient::Engine::onResolverStart(void*, void*, void* user)
{
    static_cast<Engine*>(user)->raise(ResolvingHost);
    return 0;
}

void TransferClient::Engine::setUp(Transfer& transfer, const Job& job, const QByteArray& url)
{
    CURL* h = easy_.get();
    curl_easy_reset(h);
    transfer.engine = this;
    transfer.protocol = job.protocol;

    curl_easy_setopt(h, CURLOPT_URL, url.constData());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, transfer.errorBuffer);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, &Engine::onDebug);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &Engine::onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Engine::onWrite);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, &Engine::onRead);
    curl_easy_setopt(h, CURLOPT_READDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Engine::onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
    // Sockets are opened and closed through the engine, so that Cancel can
    // shut them down from the UI thread.
    curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, &Engine::onOpenSocket);
    curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(h, CURLOPT_CLOSESOCKETFUNCTION, &Engine::onCloseSocket);
    curl_easy_setopt(h, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(h, CURLOPT_RESOLVER_START_FUNCTION, &Engine::onResolverStart);
    curl_easy_setopt(h, CURLOPT_RESOLVER_START_DATA, this);

    if (job.timeout > 0) {
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, long(job.timeout));
        curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(job.timeout));
    }
    if (job.hasUser) {
        curl_easy_setopt(h, CURLOPT_USERNAME, job.user.toUtf8().constData());
        curl_easy_setopt(h, CURLOPT_PASSWORD, job.password.toUtf8().constData());
    }
    if (!job.caFile.isEmpty())
        curl_easy_setopt(h, CURLOPT_CAINFO, QFile::encodeName(job.caFile).constData());

    switch (job.protocol) {
    case Protocol::Http:
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
        // HTTP/1.1 keeps the status line in the form callers read it in.
        curl_easy_setopt(h, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(h, CURLOPT_USERAGENT, "Pagewick");
        // A fresh connection for every request: a server that sent more
        // than its Content-Length would otherwise hand the surplus to the
        // next request on the kept connection as the start of its answer.
        curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
        break;
    case Protocol::Ftp:
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp,ftps");
        curl_easy_setopt(h, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
        if (job.tls) {
            curl_easy_setopt(h, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
            // TLS 1.2 at most: under TLS 1.3 the server sends session
            // tickets on the data connection after the handshake. An upload
            // never reads them, so closing that connection resets it, and the
            // server may lose the end of the file while reporting success.
            curl_easy_setopt(h, CURLOPT_SSLVERSION,
                             long(CURL_SSLVERSION_TLSv1_2) | long(CURL_SSLVERSION_MAX_TLSv1_2));
        }
        break;
    case Protocol::Sftp: {
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "sftp");
        const QUrl server(QString::fromUtf8(job.base));
        sshKeys_.setUp(h, server.host(), server.port(22), job.password);
        break;
    }
    case Protocol::File:
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "file");
        break;
    }
}

// Runs the transfer set up on the easy handle through the engine's multi
// handle, so that connections are kept between transfers, while watching for
// Cancel and for stalls.
CURLcode TransferClient::Engine::perform(Transfer& transfer, const Job& job)
{
    CURL* easy = easy_.get();
    CURLM* multiHandle = multi();
    CurlMultiAttachment attachment(multiHandle, easy);
    if (!attachment.isAttached())
        return CURLE_FAILED_INIT;
    transfer.quiet.start();
    for (;;) {
        int running = 0;
        curl_multi_perform(multiHandle, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multiHandle, &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy)
                return message->data.result;
        }
        if (cancel_) {
            transfer.abort = Abort::Cancel;
            return CURLE_ABORTED_BY_CALLBACK;
        }
        if (job.timeout > 0 && transfer.quiet.hasExpired(qint64(job.timeout) * 1000)) {
            transfer.abort = Abort::Stall;
            return CURLE_OPERATION_TIMEDOUT;
        }
        // Short: between the steps of an FTP exchange libcurl (7.88) does not
        // always name a socket or timer to wait for, and the poll then
        // sleeps its whole period (publishing took 250, 500 or 750 ms more
        // at random); a missed wake-up now costs 20 ms at most.
        curl_multi_poll(multiHandle, nullptr, 0, 20, nullptr);
    }
}

void TransferClient::Engine::fail(Outcome& outcome, const Transfer& transfer, CURLcode code,
                        const Job& job) const
{
    const QString detail = transfer.errorBuffer[0] ? QString::fromUtf8(transfer.errorBuffer)
                                                   : QString::fromUtf8(curl_easy_strerror(code));
    auto set = [&](int number, const QString& description) {
        outcome.error = TransferError(number, description);
    };
    auto serverRefused = [&](int reply, const QString& text) {
        outcome.responseCode = reply;
        outcome.responseInfo = text;
        set(TransferError::RequestFailed,
            QStringLiteral("Request to remote computer failed: %1 %2").arg(reply).arg(text));
    };

    if (transfer.abort == Abort::Cancel ||
        (code == CURLE_ABORTED_BY_CALLBACK && cancel_ && !transfer.localReadFailed)) {
        set(TransferError::Cancelled, QStringLiteral("The request was cancelled."));
        return;
    }
    if (transfer.abort == Abort::Stall || code == CURLE_OPERATION_TIMEDOUT) {
        set(TransferError::TimedOut,
            QStringLiteral("Request timed out (no answer for %1 seconds).").arg(job.timeout));
        return;
    }
    if (transfer.localWriteFailed) {
        set(TransferError::LocalFileError,
            QStringLiteral("Cannot write the local file %1: %2")
                .arg(QDir::toNativeSeparators(job.local),
                     transfer.file ? transfer.file->errorString() : detail));
        return;
    }
    if (transfer.localReadFailed) {
        set(TransferError::LocalFileError,
            QStringLiteral("Cannot read the local file %1: %2")
                .arg(QDir::toNativeSeparators(job.local),
                     transfer.upload ? transfer.upload->errorString() : detail));
        return;
    }
    if (job.protocol == Protocol::Sftp && !sshKeys_.refusal().isEmpty()) {
        set(TransferError::SecureConnectionFailed, sshKeys_.refusal());
        return;
    }
    if (code == CURLE_PEER_FAILED_VERIFICATION) {
        set(TransferError::SecureConnectionFailed,
            QStringLiteral("The server's certificate could not be verified: %1").arg(detail));
        return;
    }
    if (code == CURLE_USE_SSL_FAILED) {
        set(TransferError::SecureConnectionFailed,
            QStringLiteral("The server does not offer a secure (TLS) connection: %1").arg(detail));
        return;
    }
    if (isTlsFailure(code)) {
        set(TransferError::SecureConnectionFailed,
            QStringLiteral("A secure (TLS) connection could not be set up: %1").arg(detail));
        return;
    }
    if (job.protocol == Protocol::Ftp && transfer.replyCode >= 400) {
        serverRefused(transfer.replyCode, QString::fromUtf8(transfer.replyText));
        return;
    }
    if (job.protocol == Protocol::Sftp || job.protocol == Protocol::File) {
        // Speak in the FTP codes of the same meaning.
        switch (code) {
        case CURLE_REMOTE_FILE_NOT_FOUND:
        case CURLE_FILE_COULDNT_READ_FILE:
            serverRefused(550, QStringLiteral("No such file or directory."));
            return;
        case CURLE_REMOTE_ACCESS_DENIED:
            serverRefused(550, QStringLiteral("Permission denied."));
            return;
        case CURLE_LOGIN_DENIED:
            serverRefused(530, QStringLiteral("Login incorrect."));
            return;
        case CURLE_REMOTE_DISK_FULL:
            serverRefused(452, QStringLiteral("Insufficient storage space."));
            return;
        case CURLE_QUOTE_ERROR:
            serverRefused(550, detail);
            return;
        case CURLE_WRITE_ERROR:
            if (job.protocol == Protocol::File) {
                serverRefused(550, QStringLiteral("Cannot write the file: %1").arg(detail));
                return;
            }
            break;
        default:
            break;
        }
    }
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
        set(TransferError::CannotConnect,
            QStringLiteral("Unable to connect to remote host: %1").arg(detail));
        return;
    case CURLE_GOT_NOTHING:
        set(TransferError::ConnectionLost,
            QStringLiteral("The server closed the connection without answering."));
        return;
    case CURLE_URL_MALFORMAT:
        set(TransferError::InvalidUrl, QStringLiteral("Invalid address: %1").arg(detail));
        return;
    case CURLE_LOGIN_DENIED:
        serverRefused(530, detail);
        return;
    default:
        break;
    }
    if (isConnectionLoss(code)) {
        set(TransferError::ConnectionLost,
            QStringLiteral("The connection was lost during the transfer: %1").arg(detail));
        return;
    }
    set(TransferError::OtherFailure, detail);
}

void TransferClient::Engine::close(Outcome& outcome)
{
    raise(Disconnecting);
    dropConnections();
    raise(Disconnected);
    outcome.closed = true;
}

bool TransferClient::Engine::download(const Job& job, const QByteArray& url, Outcome& outcome)
{
    Transfer transfer;
    QByteArray memory;
    std::optional<QSaveFile> file;
    if (job.local.isEmpty()) {
        transfer.memory = &memory;
    } else {
        // The data goes to a temporary file beside the target, which takes
        // the target's place only once everything has arrived.
        file.emplace(job.local);
        if (!file->open(QIODevice::WriteOnly)) {
            outcome.error =
                TransferError(TransferError::LocalFileError,
                          QStringLiteral("Cannot create the local file %1: %2")
                              .arg(QDir::toNativeSeparators(job.local), file->errorString()));
            return false;
        }
        transfer.file = &*file;
    }
    setUp(transfer, job, url);
    const CURLcode code = perform(transfer, job);
    if (code != CURLE_OK) {
        if (file)
            file->cancelWriting();
        fail(outcome, transfer, code, job);
        return false;
    }
    if (file) {
        if (!file->commit()) {
            outcome.error =
                TransferError(TransferError::LocalFileError,
                          QStringLiteral("Cannot replace the local file %1: %2")
                              .arg(QDir::toNativeSeparators(job.local), file->errorString()));
            return false;
        }
    } else {
        outcome.data = memory;
    }
    return true;
}

bool TransferClient::Engine::upload(const Job& job, const QByteArray& url, Outcome& outcome)
{
    QFile source(job.local);
    if (!source.open(QIODevice::ReadOnly)) {
        outcome.error =
            TransferError(TransferError::LocalFileError,
                      QStringLiteral("Cannot read the local file %1: %2")
                          .arg(QDir::toNativeSeparators(job.local), source.errorString()));
        return false;
    }
    Transfer transfer;
    transfer.upload = &source;
    setUp(transfer, job, url);
    curl_easy_setopt(easy_.get(), CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(easy_.get(), CURLOPT_INFILESIZE_LARGE, curl_off_t(source.size()));
    const CURLcode code = perform(transfer, job);
    if (code != CURLE_OK) {
        fail(outcome, transfer, code, job);
        return false;
    }
    return true;
}

// Sends `commands` on the connection without transferring data. A command
// starting with "*" may fail without failing the request.
bool TransferClient::Engine::quote(const Job& job, const QByteArray& url, const QByteArrayList& commands,
                         Outcome& outcome, Reply* reply)
{
    CurlSlist list;
    for (const QByteArray& command : commands)
        list.append(command);
    Transfer transfer;
    setUp(transfer, job, url);
    curl_easy_setopt(easy_.get(), CURLOPT_NOBODY, 1L);
    if (!list.isEmpty())
        curl_easy_setopt(easy_.get(), CURLOPT_QUOTE, list.get());
    const CURLcode code = perform(transfer, job);
    if (code != CURLE_OK) {
        fail(outcome, transfer, code, job);
        return false;
    }
    if (reply)
        *reply = {transfer.replyCode, transfer.replyText, transfer.pwdReply};
    return true;
}

// Renames the complete upload `temp` over `target`. Some servers refuse to
// rename over an existing file: then the target is deleted first, and the
// caller is told through the notice (the old file is gone for a moment).
bool TransferClient::Engine::putInPlace(const Job& job, const QByteArray& root, const QString& temp,
                              const QString& target, bool sftp, Outcome& outcome)
{
    const QByteArray from = temp.toUtf8();
    const QByteArray to = target.toUtf8();
    const QByteArrayList rename =
        sftp ? QByteArrayList{"rename \"" + from + "\" \"" + to + '"'}
             : QByteArrayList{"RNFR " + from, "RNTO " + to};
    Outcome first;
    if (quote(job, root, rename, first, nullptr))
        return true;
    if (first.error.number() == TransferError::Cancelled || first.error.number() == TransferError::TimedOut ||
        first.error.number() == TransferError::ConnectionLost ||
        first.error.number() == TransferError::CannotConnect) {
        outcome = first;
        return false;
    }
    QByteArrayList replace = sftp ? QByteArrayList{"rm \"" + to + '"'} : QByteArrayList{"DELE " + to};
    replace += rename;
    if (!quote(job, root, replace, outcome, nullptr))
        return false;
    outcome.notice = QStringLiteral("The server would not rename the upload over %1, so the old "
                                    "file was deleted first.")
                         .arg(target);
    return true;
}

// Asks the FTP server for the size of the file just stored: a connection
// that broke at the wrong moment can leave a shortened file behind although
// the server confirmed the upload. Servers without SIZE are taken at their
// word.
bool TransferClient::Engine::verifyUpload(const Job& job, const QByteArray& url, const QString& path,
                                qint64 size, Outcome& outcome)
{
    Reply reply;
    if (!quote(job, url, {"*SIZE " + path.toUtf8()}, outcome, &reply))
        return false;
    if (reply.code != 213)
        return true;
    bool number = false;
    const qint64 stored = reply.text.trimmed().toLongLong(&number);
    if (!number || stored == size)
        return true;
    outcome.error = TransferError(TransferError::ConnectionLost,
                              QStringLiteral("The upload arrived incomplete: the server has %1 of "
                                             "%2 bytes.")
                                  .arg(stored)
                                  .arg(size));
    return false;
}

void TransferClient::Engine::runHttp(const Job& job, Outcome& outcome)
{
    outcome.http = true;
    Transfer transfer;
    QByteArray body;
    transfer.memory = &body;
    setUp(transfer, job, job.base);
    const CURLcode code = perform(transfer, job);
    outcome.headers = transfer.headers.join("\r\n");
    if (code != CURLE_OK) {
        fail(outcome, transfer, code, job);
        return;
    }
    outcome.data = body;
}

void TransferClient::Engine::runFtp(const Job& job, Outcome& outcome)
{
    if (job.op == Op::Close) {
        close(outcome);
        return;
    }
    const QByteArray root = job.base + '/';
    if (!cwdKnown_) {
        // Logging in; libcurl asks for the log-in directory on its own.
        if (!quote(job, root, {}, outcome, nullptr))
            return;
        char* entry = nullptr;
        curl_easy_getinfo(easy_.get(), CURLINFO_FTP_ENTRY_PATH, &entry);
        QString home = entry ? QString::fromUtf8(entry) : QString();
        if (!home.startsWith(u'/'))
            home = QStringLiteral("/");
        cwd_ = resolvePath(home, job.startPath);
        cwdKnown_ = true;
        if (job.op == Op::Connect)
            return;
    }

    switch (job.op) {
    case Op::Connect:
        quote(job, root, {"NOOP"}, outcome, nullptr);
        return;
    case Op::Get:
        download(job, job.base + ftpFilePath(resolvePath(cwd_, job.remote)), outcome);
        return;
    case Op::Put: {
        const QString path = resolvePath(cwd_, job.remote);
        const QString temp = uploadTempPath(path);
        if (upload(job, job.base + ftpFilePath(temp), outcome) &&
            verifyUpload(job, root, temp, QFileInfo(job.local).size(), outcome) &&
            putInPlace(job, root, temp, path, false, outcome))
            return;
        // Whatever went wrong, the target was not touched; the partial copy
        // goes if the connection still allows it.
        Outcome ignored;
        if (outcome.error.number() != TransferError::Cancelled)
            quote(job, root, {"*DELE " + temp.toUtf8()}, ignored, nullptr);
        return;
    }
    case Op::List: {
        const QByteArray url = job.base + ftpDirectoryPath(cwd_);
        for (;;) {
            const bool machineList = !mlsdRefused_;
            Transfer transfer;
            QByteArray raw;
            transfer.memory = &raw;
            setUp(transfer, job, url);
            if (machineList)
                curl_easy_setopt(easy_.get(), CURLOPT_CUSTOMREQUEST, "MLSD");
            const CURLcode code = perform(transfer, job);
            if (code != CURLE_OK && machineList && transfer.abort == Abort::None &&
                (transfer.replyCode == 500 || transfer.replyCode == 502 ||
                 transfer.replyCode == 504)) {
                mlsdRefused_ = true; // an older server: read its LIST instead
                continue;
            }
            if (code != CURLE_OK) {
                fail(outcome, transfer, code, job);
                return;
            }
            outcome.data = formatListing(machineList ? parseMlsd(raw) : parseList(raw));
            return;
        }
    }
    case Op::Pwd:
    case Op::Cd: {
        const QString target = job.op == Op::Cd ? resolvePath(cwd_, job.remote) : cwd_;
        Reply reply;
        if (!quote(job, root, {"CWD " + target.toUtf8(), "PWD"}, outcome, &reply))
            return;
        const std::optional<QString> directory = parsePwdReply(reply.pwd);
        cwd_ = directory && directory->startsWith(u'/') ? *directory : target;
        if (job.op == Op::Pwd)
            outcome.data = cwd_.toUtf8();
        return;
    }
    case Op::HttpGet:
    case Op::Close:
        return;
    }
}

void TransferClient::Engine::runSftp(const Job& job, Outcome& outcome)
{
    if (job.op == Op::Close) {
        close(outcome);
        return;
    }
    if (!cwdKnown_ || job.op == Op::Connect) {
        // Asked about "~/", libcurl's pwd answers with the home directory.
        Reply reply;
        if (!quote(job, job.base + "/~/", {"pwd"}, outcome, &reply))
            return;
        if (!cwdKnown_) {
            const QString home = parsePwdReply(reply.pwd).value_or(QStringLiteral("/"));
            cwd_ = resolvePath(home, job.startPath);
            cwdKnown_ = true;
        }
        if (job.op == Op::Connect)
            return;
    }

    // SFTP requests leave no trace in the debug stream; the request starts here.
    raise(SendingRequest);

    auto list = [&](const QString& directory, QByteArray* names) {
        Transfer transfer;
        QByteArray raw;
        transfer.memory = &raw;
        setUp(transfer, job, job.base + sftpDirectoryPath(directory));
        const CURLcode code = perform(transfer, job);
        if (code != CURLE_OK) {
            fail(outcome, transfer, code, job);
            return false;
        }
        if (names)
            *names = formatListing(parseList(raw));
        return true;
    };

    switch (job.op) {
    case Op::Get:
        download(job, job.base + sftpFilePath(resolvePath(cwd_, job.remote)), outcome);
        return;
    case Op::Put: {
        const QString path = resolvePath(cwd_, job.remote);
        const QString temp = uploadTempPath(path);
        if (upload(job, job.base + sftpFilePath(temp), outcome) &&
            putInPlace(job, job.base + "/", temp, path, true, outcome))
            return;
        Outcome ignored;
        if (outcome.error.number() != TransferError::Cancelled)
            quote(job, job.base + "/", {"*rm \"" + temp.toUtf8() + '"'}, ignored, nullptr);
        return;
    }
    case Op::List:
        list(cwd_, &outcome.data);
        return;
    case Op::Pwd:
        outcome.data = cwd_.toUtf8();
        return;
    case Op::Cd: {
        // SFTP has no current directory: reading the target shows it exists.
        const QString target = resolvePath(cwd_, job.remote);
        if (list(target, nullptr))
            cwd_ = target;
        return;
    }
    case Op::Connect:
    case Op::HttpGet:
    case Op::Close:
        return;
    }
}

void TransferClient::Engine::runFile(const Job& job, Outcome& outcome)
{
    if (job.op == Op::Close) {
        close(outcome);
        return;
    }
    if (!QFileInfo(job.localRoot).isDir()) {
        outcome.error = TransferError(TransferError::CannotConnect,
                                  QStringLiteral("Unable to connect to remote host: the folder "
                                                 "%1 does not exist.")
                                      .arg(QDir::toNativeSeparators(job.localRoot)));
        return;
    }
    if (!cwdKnown_) {
        cwd_ = resolvePath(QStringLiteral("/"), job.startPath);
        cwdKnown_ = true;
    }
    raise(SendingRequest);
    raise(RequestSent);
    raise(ReceivingResponse);

    auto real = [&](const QString& path) { return QDir::cleanPath(job.localRoot + u'/' + path); };
    auto refuse = [&](int code, const QString& text) {
        outcome.responseCode = code;
        outcome.responseInfo = text;
        outcome.error = TransferError(
            TransferError::RequestFailed,
            QStringLiteral("Request to remote computer failed: %1 %2").arg(code).arg(text));
    };

    switch (job.op) {
    case Op::Get: {
        const QString source = real(resolvePath(cwd_, job.remote));
        if (!QFileInfo(source).isFile()) {
            refuse(550, QStringLiteral("No such file or directory."));
            return;
        }
        download(job, QUrl::fromLocalFile(source).toEncoded(), outcome);
        return;
    }
    case Op::Put: {
        const QString target = real(resolvePath(cwd_, job.remote));
        if (!QFileInfo(QFileInfo(target).absolutePath()).isDir() || QFileInfo(target).isDir()) {
            refuse(550, QStringLiteral("No such file or directory."));
            return;
        }
        const QString temp = uploadTempPath(target);
        if (!upload(job, QUrl::fromLocalFile(temp).toEncoded(), outcome)) {
            QFile::remove(temp);
            return;
        }
        // rename() replaces the target in one step.
        if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) != 0) {
            QFile::remove(temp);
            refuse(550, QStringLiteral("The uploaded file could not replace %1.")
                            .arg(QDir::toNativeSeparators(target)));
        }
        return;
    }
    case Op::List: {
        const QDir directory(real(cwd_));
        if (!directory.exists()) {
            refuse(550, QStringLiteral("No such file or directory."));
            return;
        }
        QList<ListEntry> entries;
        const QFileInfoList infos = directory.entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& info : infos)
            entries.append({info.fileName().toUtf8(), info.isDir()});
        outcome.data = formatListing(entries);
        return;
    }
    case Op::Pwd:
        outcome.data = cwd_.toUtf8();
        return;
    case Op::Cd: {
        const QString target = resolvePath(cwd_, job.remote);
        if (!QFileInfo(real(target)).isDir()) {
            refuse(550, QStringLiteral("No such file or directory."));
            return;
        }
        cwd_ = target;
        return;
    }
    case Op::Connect:
    case Op::HttpGet:
    case Op::Close:
        return;
    }
}

TransferClient::Outcome TransferClient::Engine::run(const Job& job, StateSink states)
{
    states_ = std::move(states);
    lastState_ = 0;
    Outcome outcome;
    if (!easy_) {
        outcome.error =
            TransferError(TransferError::OtherFailure, QStringLiteral("libcurl could not be started."));
        return outcome;
    }
    if (job.connectionKey != connectionKey_) {
        dropConnections();
        connectionKey_ = job.connectionKey;
        mlsdRefused_ = false;
    }
    if (job.directoryKey != directoryKey_) {
        directoryKey_ = job.directoryKey;
        cwdKnown_ = false;
    }
    switch (job.protocol) {
    case Protocol::Http:
        runHttp(job, outcome);
        break;
    case Protocol::Ftp:
        runFtp(job, outcome);
        break;
    case Protocol::Sftp:
        runSftp(job, outcome);
        break;
    case Protocol::File:
        runFile(job, outcome);
        break;
    }
    states_ = nullptr;
    return outcome;
}

// ---- the UI side -----------------------------------------------------------

TransferClient::TransferClient(QObject* parent) : QObject(parent)
{
    initCurl();
    engine_ = std::make_unique<Engine>(this);
}

TransferClient::~TransferClient()
{
    engine_->interrupt();
    joinWorker();
}

TransferClient::Job TransferClient::prepare(const QString& address, const QString& command, bool document) const
{
    refuseControlCharacters(address, QStringLiteral("The address"), TransferError::InvalidUrl);
    refuseControlCharacters(userName_, QStringLiteral("The user name"), TransferError::InvalidCommand);
    refuseControlCharacters(password_, QStringLiteral("The password"), TransferError::InvalidCommand);
    refuseControlCharacters(command, QStringLiteral("The command"), TransferError::InvalidCommand);

    QString text = address.trimmed();
    if (text.isEmpty())
        throw TransferError(TransferError::InvalidUrl, QStringLiteral("No address has been set."));
    if (!text.contains(QStringLiteral("://")))
        text.prepend(QStringLiteral("ftp://"));
    const QUrl url(text, QUrl::TolerantMode);
    if (!url.isValid()) {
        throw TransferError(
            TransferError::InvalidUrl,
            QStringLiteral("The address %1 is not valid: %2").arg(address, url.errorString()));
    }

    Job job;
    job.timeout = requestTimeout_;
    job.caFile = caFile_;
    job.user = userName_.isEmpty() ? url.userName(QUrl::FullyDecoded) : userName_;
    job.password = userName_.isEmpty() ? url.password(QUrl::FullyDecoded) : password_;
    job.hasUser = !job.user.isEmpty();
    refuseControlCharacters(job.user, QStringLiteral("The user name"), TransferError::InvalidUrl);
    refuseControlCharacters(job.password, QStringLiteral("The password"), TransferError::InvalidUrl);

    const QString scheme = url.scheme().toLower();
    const QString path = url.path(QUrl::FullyDecoded);
    refuseControlCharacters(path, QStringLiteral("The address"), TransferError::InvalidUrl);
    QString identity;

    if (scheme == u"http" || scheme == u"https") {
        if (url.host().isEmpty())
            throw TransferError(TransferError::InvalidUrl, QStringLiteral("The address names no host."));
        job.protocol = Protocol::Http;
        job.op = Op::HttpGet;
        job.base = url.toEncoded(QUrl::RemoveFragment);
        identity = scheme + u'|' + url.host() + u'|' + QString::number(url.port(-1));
    } else if (scheme == u"ftp" || scheme == u"ftps" || scheme == u"sftp") {
        if (url.host().isEmpty())
            throw TransferError(TransferError::InvalidUrl, QStringLiteral("The address names no host."));
        const int port = url.port(-1);
        job.protocol = scheme == u"sftp" ? Protocol::Sftp : Protocol::Ftp;
        job.tls = scheme == u"ftps";
        QUrl base;
        // ftps:// on port 990 is implicit TLS; elsewhere TLS is asked for
        // with AUTH TLS on a plain FTP connection.
        base.setScheme(scheme == u"sftp"        ? QStringLiteral("sftp")
                       : job.tls && port == 990 ? QStringLiteral("ftps")
                                                : QStringLiteral("ftp"));
        base.setHost(url.host());
        if (port > 0)
            base.setPort(port);
        job.base = base.toEncoded();
        if (job.protocol == Protocol::Ftp) {
            // "/dir" is relative to the log-in directory, "/%2Fdir" absolute.
            job.startPath = path.startsWith(u'/') ? path.mid(1) : path;
        } else if (path.startsWith(QStringLiteral("/~/")) || path == u"/~") {
            job.startPath = path.mid(3);
        } else {
            job.startPath = path == u"/" ? QString() : path;
        }
        identity = scheme + u'|' + url.host() + u'|' + QString::number(port);
    } else if (scheme == u"file") {
        job.protocol = Protocol::File;
        job.localRoot = QDir::cleanPath(url.toLocalFile());
        if (!QDir::isAbsolutePath(job.localRoot)) {
            throw TransferError(TransferError::InvalidUrl,
                            QStringLiteral("The address %1 names no local folder.").arg(address));
        }
        identity = QStringLiteral("file|") + job.localRoot;
    } else {
        throw TransferError(TransferError::InvalidUrl,
                        QStringLiteral("The address %1 uses an unsupported scheme (%2).")
                            .arg(address, url.scheme()));
    }
    job.connectionKey = identity + u'|' + job.user + u'|' + job.password + u'|' + job.caFile;

    if (document) {
        // fetch: the address is the document itself.
        if (job.protocol == Protocol::File) {
            job.remote = job.localRoot;
            job.localRoot = QStringLiteral("/");
            job.connectionKey = QStringLiteral("file|/");
            job.op = Op::Get;
        } else if (job.protocol != Protocol::Http) {
            job.remote = job.startPath;
            job.startPath.clear();
            job.op = Op::Get;
            if (job.remote.isEmpty() || job.remote.endsWith(u'/')) {
                throw TransferError(TransferError::InvalidUrl,
                                QStringLiteral("The address %1 names no document.").arg(address));
            }
        }
        job.directoryKey = job.connectionKey + u'|' + job.startPath;
        return job;
    }
    job.directoryKey = job.connectionKey + u'|' + job.startPath;

    const QString trimmed = command.trimmed();
    const qsizetype blank = trimmed.indexOf(u' ');
    const QString verb = (blank < 0 ? trimmed : trimmed.left(blank)).toUpper();
    const QString rest = blank < 0 ? QString() : trimmed.mid(blank + 1).trimmed();
    auto refuse = [&](const QString& why) {
        return TransferError(
            TransferError::InvalidCommand,
            QStringLiteral("The command \"%1\" cannot be carried out: %2").arg(command, why));
    };

    if (job.protocol == Protocol::Http) {
        if (!verb.isEmpty() && verb != u"GET")
            throw refuse(QStringLiteral("HTTP addresses support GET only."));
        return job;
    }

    if (verb.isEmpty()) {
        job.op = Op::Connect;
    } else if (verb == u"GET") {
        job.op = Op::Get;
        if (rest.contains(u'"')) {
            const std::optional<QStringList> words = quotedWords(rest);
            if (!words || words->isEmpty() || words->size() > 2)
                throw refuse(QStringLiteral(
                    "give the remote and the local file, each in quotes if it has blanks."));
            job.remote = words->at(0);
            job.local = words->size() > 1 ? words->at(1) : QString();
        } else {
            std::tie(job.remote, job.local) = splitGet(rest);
        }
        job.local = absoluteLocal(job.local);
    } else if (verb == u"PUT") {
        job.op = Op::Put;
        if (rest.contains(u'"')) {
            const std::optional<QStringList> words = quotedWords(rest);
            if (!words || words->size() != 2)
                throw refuse(QStringLiteral(
                    "give the local and the remote file, each in quotes if it has blanks."));
            job.local = words->at(0);
            job.remote = words->at(1);
        } else {
            const auto parts = splitPut(rest);
            if (!parts) {
                if (!rest.contains(u' '))
                    throw refuse(QStringLiteral("give the local and the remote file."));
                throw TransferError(TransferError::LocalFileError,
                                QStringLiteral("The command \"%1\" names no existing local file.")
                                    .arg(command));
            }
            std::tie(job.local, job.remote) = *parts;
        }
        job.local = absoluteLocal(job.local);
        if (!QFileInfo(job.local).isFile()) {
            throw TransferError(TransferError::LocalFileError,
                            QStringLiteral("The local file %1 does not exist.")
                                .arg(QDir::toNativeSeparators(job.local)));
        }
    } else if (verb == u"CD" || verb == u"CWD") {
        job.op = Op::Cd;
        const bool quoted = rest.size() >= 2 && rest.startsWith(u'"') && rest.endsWith(u'"');
        job.remote = quoted ? rest.mid(1, rest.size() - 2) : rest;
    } else if (verb == u"CDUP") {
        job.op = Op::Cd;
        job.remote = QStringLiteral("..");
    } else if (verb == u"LS" || verb == u"DIR") {
        job.op = Op::List;
    } else if (verb == u"PWD") {
        job.op = Op::Pwd;
    } else if (verb == u"CLOSE" || verb == u"QUIT") {
        job.op = Op::Close;
    } else {
        throw refuse(QStringLiteral("unknown command."));
    }
    if ((job.op == Op::Get || job.op == Op::Put || job.op == Op::Cd) && job.remote.isEmpty())
        throw refuse(QStringLiteral("the remote path is missing."));
    return job;
}

void TransferClient::execute(const QString& url, const QString& command)
{
    if (running_) {
        throw TransferError(TransferError::isBusy, QStringLiteral("Still executing last request"));
    }
    Job job = prepare(url.isEmpty() ? url_ : url, command, false);
    if (!url.isEmpty())
        url_ = url;
    start(std::move(job));
}

void TransferClient::start(Job job)
{
    joinWorker();
    ++generation_;
    running_ = true;
    lastError_ = TransferError();
    responseCode_ = 0;
    responseInfo_.clear();
    data_.clear();
    dataPos_ = 0;
    if (job.protocol == Protocol::Http)
        headers_.clear();
    engine_->arm();
    const quint64 generation = generation_;
    worker_ = std::thread([this, generation, job = std::move(job)] {
        Outcome outcome;
        try {
            outcome =
                engine_->run(job, [this, generation](int state) { postState(generation, state); });
        } catch (const std::exception& e) {
            outcome.error = TransferError(TransferError::OtherFailure, QString::fromLocal8Bit(e.what()));
        }
        QMetaObject::invokeMethod(
            this, [this, generation, outcome] { finish(generation, outcome); },
            Qt::QueuedConnection);
    });
}

void TransferClient::postState(quint64 generation, int state)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation, state] {
            if (generation == generation_ && running_)
                emit stateChanged(state);
        },
        Qt::QueuedConnection);
}

void TransferClient::finish(quint64 generation, const Outcome& outcome)
{
    if (generation != generation_)
        return; // cancelled meanwhile
    joinWorker();
    responseCode_ = outcome.responseCode;
    responseInfo_ = outcome.responseInfo;
    lastError_ = outcome.error;
    notice_ = outcome.notice;
    if (outcome.http)
        headers_ = outcome.headers;
    if (outcome.error.number() != 0) {
        running_ = false;
        if (waitLoop_)
            waitLoop_->quit();
        emit stateChanged(Error);
        return;
    }
    data_ = outcome.data;
    dataPos_ = 0;
    if (!outcome.closed) {
        emit stateChanged(ResponseReceived);
        if (generation != generation_)
            return; // a handler cancelled
    }
    running_ = false;
    if (waitLoop_)
        waitLoop_->quit();
    emit stateChanged(ResponseCompleted);
}

void TransferClient::joinWorker()
{
    if (worker_.joinable())
        worker_.join();
}

void TransferClient::cancel()
{
    const bool wasRunning = running_;
    const bool hadConnection = engine_->interrupt();
    joinWorker();
    engine_->dropConnections();
    ++generation_; // whatever the stopped request still reports is dropped
    if (wasRunning) {
        running_ = false;
        lastError_ = TransferError(TransferError::Cancelled, QStringLiteral("The request was cancelled."));
        data_.clear();
        dataPos_ = 0;
        if (waitLoop_)
            waitLoop_->quit();
    }
    if (wasRunning || hadConnection) {
        const quint64 generation = generation_;
        for (const int state : {int(Disconnecting), int(Disconnected)}) {
            QMetaObject::invokeMethod(
                this,
                [this, generation, state] {
                    if (generation == generation_)
                        emit stateChanged(state);
                },
                Qt::QueuedConnection);
        }
    }
}

QByteArray TransferClient::readChunk(int size, int /*type: text and bytes are the same bytes*/)
{
    if (size <= 0 || dataPos_ >= data_.size())
        return {};
    const QByteArray chunk = data_.mid(dataPos_, size);
    dataPos_ += chunk.size();
    return chunk;
}

QString TransferClient::responseHeader(const QString& name) const
{
    const QString all = QString::fromLatin1(headers_);
    if (name.isEmpty())
        return all;
    const QStringList lines = all.split(QStringLiteral("\r\n"));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(u':');
        if (colon > 0 && lines[i].left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return lines[i].mid(colon + 1).trimmed();
    }
    return {};
}

QByteArray TransferClient::fetch(const QString& address)
{
    if (running_) {
        lastError_ =
            TransferError(TransferError::isBusy, QStringLiteral("Still executing last request"));
        return {};
    }
    try {
        Job job = prepare(address, QStringLiteral("GET"), true);
        url_ = address;
        start(std::move(job));
    } catch (const TransferError& error) {
        lastError_ = error;
        return {};
    }
    QEventLoop loop;
    waitLoop_ = &loop;
    if (running_)
        loop.exec();
    waitLoop_ = nullptr;
    if (lastError_.number() != 0)
        return {};
    const QByteArray document = data_.mid(dataPos_);
    dataPos_ = data_.size();
    return document;
}

// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/InstanceChannel.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Platform {

namespace {

constexpr QByteArrayView Magic = "ZFRL";
constexpr char Version = 1;
constexpr qsizetype Header = Magic.size() + 2; // the magic word, the version and the kind
constexpr qsizetype Prefix = 4; // the length before each message
constexpr qsizetype MaxMessage = 1 << 20;

enum Kind : char
{
    EncryptFiles = 'E',
    DecryptFiles = 'D',
    Taken = 'K',
    Refused = 'R',
};

// How long a later start waits for the open window, and the open window for a whole message.
constexpr int ConnectWait = 2000;
constexpr int AnswerWait = 5000;
constexpr int ArrivalWait = 3000;
// What Qt may hold of a connection's bytes that have not been asked for yet.
constexpr qint64 ReadAhead = 64 * 1024;
// How long a start waits for another that holds the claim: longer than that start may take to hand its files over
// (ConnectWait and AnswerWait) or to open its window on a busy machine.
constexpr int ClaimWait = 15000;
constexpr int ClaimPoll = 10;

QByteArray frame(char kind, QByteArrayView payload)
{
    QByteArray message(Prefix, Qt::Uninitialized);
    qToBigEndian(quint32(Header + payload.size()), message.data());
    message += Magic;
    message += Version;
    message += kind;
    message += payload;
    return message;
}

// The length of the message a prefix announces; nothing when no proper message is that long.
std::optional<qsizetype> announcedLength(QByteArrayView prefix)
{
    const qsizetype length = qFromBigEndian<quint32>(prefix.data());
    if (length < Header || length > MaxMessage)
        return {};
    return length;
}

struct Parts
{
    char kind;
    QByteArrayView payload;
};

std::optional<Parts> unpack(QByteArrayView body)
{
    if (body.size() < Header || !body.startsWith(Magic) || body.at(Magic.size()) != Version)
        return {};
    return Parts {body.at(Magic.size() + 1), body.sliced(Header)};
}

std::optional<QString> utf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return {};
    return text;
}

// Every path must be absolute, non-empty, UTF-8 and end in its NUL; one that is not spoils the whole message.
std::optional<Handover> readHandover(QByteArrayView body)
{
    const std::optional<Parts> parts = unpack(body);
    if (!parts || (parts->kind != EncryptFiles && parts->kind != DecryptFiles))
        return {};
    Handover files {parts->kind == EncryptFiles, {}};
    for (QByteArrayView rest = parts->payload; !rest.isEmpty();) {
        const qsizetype end = rest.indexOf('\0');
        if (end <= 0)
            return {};
        const std::optional<QString> path = utf8(rest.first(end));
        if (!path || !path->startsWith(u'/'))
            return {};
        files.paths.append(*path);
        rest = rest.sliced(end + 1);
    }
    return files;
}

std::optional<HandoverReply> readReply(QByteArrayView body)
{
    const std::optional<Parts> parts = unpack(body);
    if (parts && parts->kind == Taken && parts->payload.isEmpty())
        return HandoverReply {true, {}};
    if (!parts || parts->kind != Refused)
        return {};
    const std::optional<QString> reason = utf8(parts->payload);
    if (!reason)
        return {};
    return HandoverReply {false, *reason};
}

// As many messages as it takes to keep each within the limit; at least one, so that the window comes forward even
// for no files.
QList<QByteArray> requests(const Handover& files)
{
    const char kind = files.encrypt ? EncryptFiles : DecryptFiles;
    QList<QByteArray> messages;
    QByteArray payload;
    for (const QString& path : files.paths) {
        const QByteArray item = path.toUtf8() + '\0';
        if (!payload.isEmpty() && Header + payload.size() + item.size() > MaxMessage)
            messages.append(frame(kind, std::exchange(payload, {})));
        payload += item;
    }
    messages.append(frame(kind, payload));
    return messages;
}

// The kernel's word on who is at the other end of a connection, taken when it was made.
bool sameUser(qintptr descriptor)
{
    ucred peer {};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer
        && peer.uid == ::geteuid();
}

std::optional<HandoverReply> exchange(const QString& address, const QByteArray& message)
{
    QLocalSocket socket;
    socket.connectToServer(address);
    if (!socket.waitForConnected(ConnectWait) || !sameUser(socket.socketDescriptor()))
        return {};
    const QDeadlineTimer deadline(AnswerWait);
    socket.write(message);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
            return {};
    }
    QByteArray answer;
    qsizetype wanted = Prefix;
    while (answer.size() < wanted) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(deadline.remainingTime())))
            return {};
        answer += socket.read(wanted - answer.size());
        if (answer.size() == Prefix && wanted == Prefix) {
            const std::optional<qsizetype> length = announcedLength(answer);
            if (!length)
                return {};
            wanted += *length;
        }
    }
    return readReply(QByteArrayView(answer).sliced(Prefix));
}

// One connection to the open window: it reads one message, exactly as long as its length says, answers it and
// goes. Whatever comes after the message is never read.
class Arrival : public QObject
{
public:
    Arrival(QLocalSocket* socket, const InstanceChannel::Receiver& receiver)
        : QObject(socket)
        , m_socket(socket)
        , m_receiver(receiver)
    {
        socket->setReadBufferSize(ReadAhead);
        connect(socket, &QLocalSocket::readyRead, this, &Arrival::read);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(ArrivalWait, this, &Arrival::drop);
        read();
    }

private:
    void read()
    {
        while (!m_answered) {
            const QByteArray bytes = m_socket->read(m_wanted - m_message.size());
            if (bytes.isEmpty())
                return;
            m_message += bytes;
            if (m_message.size() < m_wanted)
                continue;
            if (m_wanted > Prefix)
                return answer();
            const std::optional<qsizetype> length = announcedLength(m_message);
            if (!length)
                return drop();
            m_wanted += *length;
        }
    }

    void answer()
    {
        m_answered = true;
        const std::optional<Handover> files = readHandover(QByteArrayView(m_message).sliced(Prefix));
        if (!files)
            return drop();
        const HandoverReply reply = m_receiver(*files);
        m_socket->write(reply.accepted ? frame(Taken, {}) : frame(Refused, reply.refusal.toUtf8()));
        m_socket->disconnectFromServer();
    }

    void drop()
    {
        m_answered = true;
        m_socket->abort();
        m_socket->deleteLater();
    }

    QLocalSocket* m_socket;
    InstanceChannel::Receiver m_receiver;
    QByteArray m_message;
    qsizetype m_wanted = Prefix;
    bool m_answered = false;
};

} // namespace

QString InstanceChannel::address()
{
    // The folder must be the user's own and shut to everybody else, as the desktop's session makes it; anywhere
    // else another user could take the name first, or read which files are handed over.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    struct stat folder
    {
    };
    if (!runtime.startsWith('/') || ::lstat(runtime.constData(), &folder) != 0 || !S_ISDIR(folder.st_mode)
        || folder.st_uid != ::geteuid() || (folder.st_mode & 077) != 0)
        return {};
    const QString platform = QGuiApplication::platformName();
    QString display;
    if (platform == u"xcb"_s)
        display = qEnvironmentVariable("DISPLAY");
    else if (platform.startsWith(u"wayland"_s))
        display = qEnvironmentVariable("WAYLAND_DISPLAY", u"wayland-0"_s);
    QString name = u"zafrel-"_s + platform;
    if (!display.isEmpty())
        name += u'-' + display;
    // DISPLAY may be "host:0.0", or a path.
    static const QRegularExpression unsafe(u"[^A-Za-z0-9._:-]"_s);
    return QFile::decodeName(runtime) + u'/' + name.replace(unsafe, u"_"_s);
}

std::optional<HandoverReply> InstanceChannel::handOver(const QString& address, const Handover& files)
{
    std::optional<HandoverReply> reply;
    for (const QByteArray& message : requests(files)) {
        reply = exchange(address, message);
        if (!reply || !reply->accepted)
            break;
    }
    return reply;
}

InstanceChannel::InstanceChannel(Receiver receiver, QObject* parent)
    : QObject(parent)
    , m_receiver(std::move(receiver))
    , m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::accept);
}

QString InstanceChannel::listen(const QString& address)
{
    if (address.isEmpty())
        return {};
    // Qt puts its socket in place by renaming it over the name, so a live window's socket would be lost: ask first.
    QLocalSocket probe;
    probe.connectToServer(address);
    if (probe.waitForConnected(ConnectWait))
        return {};
    if (probe.error() == QLocalSocket::ConnectionRefusedError)
        QLocalServer::removeServer(address);
    else if (probe.error() != QLocalSocket::ServerNotFoundError)
        return probe.errorString();
    return m_server->listen(address) ? QString() : m_server->errorString();
}

void InstanceChannel::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (sameUser(socket->socketDescriptor())) {
            new Arrival(socket, m_receiver);
        } else {
            socket->abort();
            socket->deleteLater();
        }
    }
}

InstanceClaim::InstanceClaim(const QString& address)
{
    if (address.isEmpty())
        return;
    // The runtime folder is the user's alone (address()), so nobody else can put anything at this name.
    m_lock = ::open(QFile::encodeName(address + u".lock"_s).constData(),
                    O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (m_lock < 0)
        return;
    const QDeadlineTimer deadline(ClaimWait);
    while (::flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired()) {
            release();
            return;
        }
        QThread::msleep(ClaimPoll);
    }
}

InstanceClaim::~InstanceClaim()
{
    release();
}

// The file stays: removing it could let a third start lock a new file of the same name while a second waits on
// the old one.
void InstanceClaim::release()
{
    if (m_lock >= 0)
        ::close(m_lock);
    m_lock = -1;
}

} // namespace Platform

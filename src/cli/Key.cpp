// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/Key.h"

#include "cipher/Descriptor.h"
#include "cipher/FileError.h"
#include "cipher/KeyGenerator.h"
#include "cli/Console.h"
#include "cli/Interrupt.h"

#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>

using namespace Qt::StringLiterals;

namespace {

// A key source that never ends (a device, a stream) must not fill the memory.
constexpr qsizetype MaxKeyBytes = 1024 * 1024;
// The longest line end, which is no part of the key: "\r\n".
constexpr qsizetype MaxLineEnd = 2;

KeyOutcome problem(const QString& text)
{
    return {{}, text, false};
}

KeyOutcome interrupted()
{
    return {{}, {}, true};
}

// Reads `fd` up to its end, or up to the end of the line when `oneLine`; stops once it holds more than a key and its
// line end, so that too long a key is seen without reading on. Each read waits first for input or an interrupt, so
// a signal never leaves it waiting. False with errno set when the read fails or an interrupt is requested.
bool readKeyBytes(int fd, bool oneLine, QByteArray& bytes)
{
    char buffer[4096];
    while (bytes.size() <= MaxKeyBytes + MaxLineEnd && !(oneLine && bytes.endsWith('\n'))) {
        if (!Interrupt::waitReady(fd, POLLIN)) {
            errno = EINTR;
            return false;
        }
        // A terminal gives at most one line per read.
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        bytes.append(buffer, n);
    }
    return true;
}

// The key whose bytes these are, which must be UTF-8.
KeyOutcome keyOfUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString key = decoder.decode(bytes);
    if (decoder.hasError())
        return problem(u"the key is not valid UTF-8"_s);
    return {key, {}, false};
}

// The key of a line of text: its bytes without the one line end that closes the line. The limit counts the key.
KeyOutcome decodeKey(QByteArray bytes)
{
    if (bytes.endsWith("\r\n"))
        bytes.chop(2);
    else if (bytes.endsWith('\n'))
        bytes.chop(1);
    if (bytes.size() > MaxKeyBytes)
        return problem(u"the key is longer than 1 MiB"_s);
    return keyOfUtf8(bytes);
}

// Whether `fd` reads the same file as standard input: a pipe, a terminal or a file, under any number or name.
bool readsStandardInput(int fd)
{
    struct stat key
    {
    };
    struct stat input
    {
    };
    return ::fstat(fd, &key) == 0 && ::fstat(STDIN_FILENO, &input) == 0 && sameFile(key, input);
}

// While the data comes on standard input, no key is read from it: the key would take the data's first bytes.
KeyOutcome readFrom(int fd, const QString& what, bool dataOnStandardInput)
{
    if (dataOnStandardInput && readsStandardInput(fd))
        return problem(u"the key cannot come from standard input, which carries the data: give it with --key-file, "
                       "--key-env or --key-fd from elsewhere, or type it when asked"_s);
    QByteArray bytes;
    if (!readKeyBytes(fd, false, bytes))
        return Interrupt::requested() ? interrupted()
                                      : problem(what + u": "_s + FileError::fromErrno(errno).description);
    return decodeKey(bytes);
}

KeyOutcome fromFile(const QString& path, bool dataOnStandardInput)
{
    // Non-blocking: opening a named pipe would wait for its writer, deaf to an interrupt; the reads wait instead.
    const Descriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.isOpen())
        return problem(Console::shown(path) + u": "_s + FileError::fromErrno(errno).description);
    return readFrom(file.get(), Console::shown(path), dataOnStandardInput);
}

KeyOutcome fromEnvironment(const QString& name)
{
    const QByteArray encoded = name.toLocal8Bit();
    if (!qEnvironmentVariableIsSet(encoded.constData()))
        return problem(u"the environment variable %1 is not set"_s.arg(Console::shown(name)));
    return keyOfUtf8(qgetenv(encoded.constData()));
}

// The terminal as it was, put back on every way out: a shell left without echo is the user's problem otherwise.
class EchoOff
{
public:
    explicit EchoOff(int terminal)
        : m_terminal(terminal)
    {
        m_active = ::tcgetattr(terminal, &m_saved) == 0;
        termios quiet = m_saved;
        // The line end the user types is still shown, so the next prompt starts on a line of its own.
        quiet.c_lflag = (quiet.c_lflag & ~tcflag_t(ECHO)) | ECHONL;
        m_active = m_active && ::tcsetattr(terminal, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff()
    {
        // What was typed and not read goes (it may be a key); nothing here waits, as a flush of the output would
        // for a terminal held by Ctrl-S.
        if (m_active) {
            ::tcflush(m_terminal, TCIFLUSH);
            ::tcsetattr(m_terminal, TCSANOW, &m_saved);
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

    [[nodiscard]] bool active() const { return m_active; }

private:
    int m_terminal;
    termios m_saved {};
    bool m_active = false;
};

KeyOutcome askOnce(int terminal, const QString& prompt)
{
    Console::write(terminal, prompt);
    QByteArray bytes;
    if (!readKeyBytes(terminal, true, bytes)) {
        // The user's Ctrl-C cut the line short: the shell's prompt should not follow ours on the same line.
        Console::write(terminal, u"\n"_s);
        return Interrupt::requested() ? interrupted() : problem(FileError::fromErrno(errno).description);
    }
    return decodeKey(bytes);
}

// On the process's own terminal, whatever standard input and output are: those may carry data.
KeyOutcome fromTerminal(bool twice)
{
    const Descriptor terminal(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY));
    if (!terminal.isOpen())
        return problem(u"no key: give it with --key-file, --key-env or --key-fd, let --auto-key make one, or run "
                       "on a terminal to type it"_s);
    // Off for both questions: what the user types ahead of the second one is not thrown away.
    const EchoOff echoOff(terminal.get());
    if (!echoOff.active() && Interrupt::requested())
        return interrupted();
    if (!echoOff.active())
        return problem(u"the terminal cannot hide the key: "_s + FileError::fromErrno(errno).description);
    KeyOutcome key = askOnce(terminal.get(), u"Key: "_s);
    if (!twice || key.interrupted || !key.problem.isEmpty() || key.key.isEmpty())
        return key;
    const KeyOutcome again = askOnce(terminal.get(), u"Key again: "_s);
    if (again.interrupted || !again.problem.isEmpty())
        return again;
    if (again.key != key.key)
        return problem(u"the two keys differ"_s);
    return key;
}

} // namespace

KeyOutcome obtainKey(const Options& options)
{
    KeyOutcome key;
    switch (options.keySource) {
    case KeySource::Terminal:
        key = fromTerminal(options.encrypt);
        break;
    case KeySource::File:
        key = fromFile(options.keyArgument, options.readsStandardInput());
        break;
    case KeySource::Environment:
        key = fromEnvironment(options.keyArgument);
        break;
    case KeySource::Descriptor:
        key = readFrom(options.keyArgument.toInt(), u"descriptor "_s + options.keyArgument,
                       options.readsStandardInput());
        break;
    case KeySource::Generated:
        // The system's secure source, as the window's Auto button: a key must not be guessable from its time.
        key.key = KeyGenerator::newKey(*QRandomGenerator::system());
        break;
    }
    if (key.problem.isEmpty() && !key.interrupted && key.key.isEmpty())
        key.problem = FileError::noKey().description;
    return key;
}

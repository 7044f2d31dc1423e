// SPDX-License-Identifier: GPL-3.0-or-later

#include "widgets/QueueFeed.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// How long one slice keeps the event loop waiting: well within a frame, so the window still moves, paints and takes
// clicks while a large folder is queued.
constexpr qint64 SliceMilliseconds = 8;

// A message box holds so many lines before it grows past the screen.
constexpr qsizetype NamedAtMost = 20;

} // namespace

QueueFeed::QueueFeed(bool encrypt, QString nothingToTake, QObject* parent)
    : QObject(parent)
    , m_encrypt(encrypt)
    , m_nothingToTake(std::move(nothingToTake))
{
    // Due again once the events that came meanwhile have been handled.
    m_next.setSingleShot(true);
    m_next.setInterval(0);
    connect(&m_next, &QTimer::timeout, this, &QueueFeed::slice);
}

void QueueFeed::give(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    m_given += paths;
    m_busy = true;
    // A few files are queued before this returns, as Add queues them.
    slice();
}

void QueueFeed::pause()
{
    m_paused = true;
    m_next.stop();
}

void QueueFeed::resume()
{
    m_paused = false;
    if (m_busy)
        m_next.start();
}

void QueueFeed::stop()
{
    m_next.stop();
    m_given.clear();
    m_walk.reset();
    m_leftOut.clear();
    m_busy = false;
}

void QueueFeed::slice()
{
    if (m_paused || !m_busy)
        return;
    QElapsedTimer clock;
    clock.start();
    QStringList files;
    bool more = true;
    while (more && !clock.hasExpired(SliceMilliseconds))
        more = step(files);
    if (!files.isEmpty())
        Q_EMIT found(files);
    if (more) {
        m_next.start();
        return;
    }
    m_busy = false;
    Q_EMIT finished(std::exchange(m_leftOut, {}));
}

// One file of the walk under way, or the next path given. False once all is gone through.
bool QueueFeed::step(QStringList& files)
{
    if (m_walk) {
        if (std::optional<FoundFile> file = m_walk->next()) {
            m_walkGaveAny = true;
            if (file->error.isError())
                m_leftOut.append(file->path + u": "_s + file->error.description);
            else
                files.append(file->path);
            return true;
        }
        if (!m_walkGaveAny)
            m_leftOut.append(m_walked + u": "_s + m_nothingToTake);
        m_walk.reset();
        return true;
    }
    if (m_given.isEmpty())
        return false;
    takeGiven(m_given.takeFirst(), files);
    return true;
}

// A path given is taken as it is named, through a link too: a file is queued, a folder walked.
void QueueFeed::takeGiven(const QString& path, QStringList& files)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        m_walk.emplace(path, m_encrypt);
        m_walked = path;
        m_walkGaveAny = false;
    } else if (info.isFile()) {
        files.append(path);
    } else {
        m_leftOut.append(path);
    }
}

QString leftOutMessage(const QStringList& lines)
{
    return u"Zafrel queues only existing files. These were left out:\n\n"_s + namedLines(lines);
}

QString namedLines(const QStringList& lines)
{
    QString text = lines.first(std::min(lines.size(), NamedAtMost)).join(u'\n');
    if (lines.size() > NamedAtMost)
        text += u"\n(and %1 more)"_s.arg(lines.size() - NamedAtMost);
    return text;
}

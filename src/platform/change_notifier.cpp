// SPDX-License-Identifier: MIT
#include "change_notifier.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSocketNotifier>

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <unistd.h>
#endif

ChangeNotifier::ChangeNotifier(QObject *parent) : QObject(parent)
{
#ifdef Q_OS_LINUX
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0) {
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, &ChangeNotifier::read_events);
        return;
    }
#endif
    // No inotify instance to be had (more than the system allows a user):
    // Qt's watcher, which falls back to polling if it must.
    fallback_ = std::make_unique<QFileSystemWatcher>();
    connect(fallback_.get(), &QFileSystemWatcher::fileChanged, this, &ChangeNotifier::fileChanged);
    connect(fallback_.get(), &QFileSystemWatcher::directoryChanged, this,
            &ChangeNotifier::directoryChanged);
}

ChangeNotifier::~ChangeNotifier()
{
#ifdef Q_OS_LINUX
    notifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
#endif
}

bool ChangeNotifier::addPath(const QString &path)
{
    if (fallback_)
        return fallback_->addPath(path);
#ifdef Q_OS_LINUX
    if (byPath_.contains(path))
        return true;
    const bool folder = QFileInfo(path).isDir();
    const uint32_t mask =
        folder ? IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE |
                     IN_MOVE_SELF | IN_DELETE_SELF
               : IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVE_SELF | IN_DELETE_SELF;
    const int watch = inotify_add_watch(fd_, QFile::encodeName(path).constData(), mask);
    if (watch < 0)
        return false;
    // Two paths to one file share one watch: the last one names it.
    byWatch_.insert(watch, path);
    byPath_.insert(path, watch);
    (folder ? directories_ : files_) << path;
    return true;
#else
    return false;
#endif
}

bool ChangeNotifier::removePath(const QString &path)
{
    if (fallback_)
        return fallback_->removePath(path);
#ifdef Q_OS_LINUX
    if (!byPath_.contains(path))
        return false;
    const int watch = byPath_.take(path);
    if (!byPath_.values().contains(watch)) {
        inotify_rm_watch(fd_, watch);
        byWatch_.remove(watch);
    }
    files_.removeAll(path);
    directories_.removeAll(path);
    return true;
#else
    return false;
#endif
}

QStringList ChangeNotifier::files() const
{
    return fallback_ ? fallback_->files() : files_;
}

QStringList ChangeNotifier::directories() const
{
    return fallback_ ? fallback_->directories() : directories_;
}

void ChangeNotifier::read_events()
{
#ifdef Q_OS_LINUX
    // Each path is told once for all the events read at once, as Qt's own
    // watcher does: a file written in place gives several.
    QStringList written, changedFiles, changedFolders;
    const auto once = [](QStringList &list, const QString &path) {
        if (!list.contains(path))
            list << path;
    };
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            const QString watched = byWatch_.value(event->wd);
            if (watched.isEmpty())
                continue;
            if (event->mask & IN_IGNORED) {
                // The watch is gone with its file: it is to be added anew.
                byWatch_.remove(event->wd);
                byPath_.remove(watched);
                files_.removeAll(watched);
                directories_.removeAll(watched);
                continue;
            }
            const bool done = event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO);
            if (event->len > 0) {
                const QString name = QFile::decodeName(event->name);
                if (done)
                    once(written, QDir(watched).filePath(name));
                // As Qt's watcher: a folder changes when its entries do.
                if (event->mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO))
                    once(changedFolders, watched);
            } else if (directories_.contains(watched)) {
                once(changedFolders, watched);
            } else {
                once(done ? written : changedFiles, watched);
            }
        }
    }
    for (const QString &path : std::as_const(written))
        emit fileWritten(path);
    for (const QString &path : std::as_const(changedFiles))
        if (!written.contains(path))
            emit fileChanged(path);
    for (const QString &path : std::as_const(changedFolders))
        emit directoryChanged(path);
#endif
}

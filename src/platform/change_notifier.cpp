// SPDX-License-Identifier: MIT
#include "change_notifier.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMap>
#include <QMutex>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// The process's one inotify instance, read in a thread of its own, and who
// watches what through it.
class ChangeHub : public QObject {
public:
    static ChangeHub &instance()
    {
        // Never destroyed: notifiers of any thread may outlive main's end.
        static ChangeHub *hub = new ChangeHub;
        return *hub;
    }

    bool available() const
    {
        return fd_ >= 0;
    }
    QString unavailable() const
    {
        return unavailable_;
    }

    // The watch's error in words, or an empty string when it was added.
    QString add(ChangeNotifier *client, const QString &path, bool folder)
    {
#ifdef Q_OS_LINUX
        const uint32_t mask =
            folder ? IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE |
                         IN_MOVE_SELF | IN_DELETE_SELF
                   : IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVE_SELF | IN_DELETE_SELF;
        const QMutexLocker lock(&mutex_);
        const int wd =
            inotify_add_watch(fd_, QFile::encodeName(path).constData(), mask | IN_MASK_ADD);
        if (wd < 0)
            return errno == ENOSPC
                       ? QStringLiteral("the system's limit of watched files and folders is "
                                        "reached (fs.inotify.max_user_watches, %1); raise it "
                                        "with sudo sysctl fs.inotify.max_user_watches=524288")
                             .arg(QString::number(limit("max_user_watches")))
                       : qt_error_string(errno);
        watchers_[wd].append({client, path, folder, identity(path)});
        return QString();
#else
        Q_UNUSED(client)
        Q_UNUSED(path)
        Q_UNUSED(folder)
        return unavailable_;
#endif
    }

    void remove(ChangeNotifier *client, const QString &path)
    {
#ifdef Q_OS_LINUX
        const QMutexLocker lock(&mutex_);
        for (auto it = watchers_.begin(); it != watchers_.end(); ++it) {
            const int before = int(it->size());
            it->erase(std::remove_if(
                          it->begin(), it->end(),
                          [&](const Watcher &w) { return w.client == client && w.path == path; }),
                      it->end());
            if (int(it->size()) != before && it->isEmpty()) {
                inotify_rm_watch(fd_, it.key());
                watchers_.erase(it);
                return;
            }
        }
#else
        Q_UNUSED(client)
        Q_UNUSED(path)
#endif
    }

    void forget(ChangeNotifier *client)
    {
#ifdef Q_OS_LINUX
        const QMutexLocker lock(&mutex_);
        for (auto it = watchers_.begin(); it != watchers_.end();) {
            it->erase(std::remove_if(it->begin(), it->end(),
                                     [&](const Watcher &w) { return w.client == client; }),
                      it->end());
            if (it->isEmpty()) {
                inotify_rm_watch(fd_, it.key());
                it = watchers_.erase(it);
            } else {
                ++it;
            }
        }
#else
        Q_UNUSED(client)
#endif
    }

private:
    struct Watcher {
        ChangeNotifier *client;
        QString path;
        bool folder;
        QPair<quint64, quint64> file; // device and inode the path named when it was added
    };
    // What one batch of events tells one client.
    struct Told {
        QStringList written, changedFiles, changedFolders, gone;
    };

    ChangeHub()
    {
#ifdef Q_OS_LINUX
        fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ < 0) {
            unavailable_ = errno == EMFILE
                               ? QStringLiteral("the user's limit of change notification "
                                                "instances is reached "
                                                "(fs.inotify.max_user_instances, %1); raise it "
                                                "with sudo sysctl "
                                                "fs.inotify.max_user_instances=512")
                                     .arg(QString::number(limit("max_user_instances")))
                               : qt_error_string(errno);
            return;
        }
        thread_.setObjectName(QStringLiteral("change notifications"));
        moveToThread(&thread_);
        thread_.start();
        QMetaObject::invokeMethod(this, [this]() {
            notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
            connect(notifier_, &QSocketNotifier::activated, this, &ChangeHub::read_events);
            recheck_ = new QTimer(this);
            connect(recheck_, &QTimer::timeout, this, &ChangeHub::recheck);
            recheck_->start(recheckMs);
        });
#else
        unavailable_ = QStringLiteral("no inotify here");
#endif
    }

#ifdef Q_OS_LINUX
    static QPair<quint64, quint64> identity(const QString &path)
    {
        struct stat info;
        if (stat(QFile::encodeName(path).constData(), &info) != 0)
            return {0, 0};
        return {quint64(info.st_dev), quint64(info.st_ino)};
    }

    static long limit(const char *name)
    {
        QFile file(QStringLiteral("/proc/sys/fs/inotify/") + QLatin1String(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLong() : -1;
    }
#endif

    void read_events()
    {
#ifdef Q_OS_LINUX
        // Each path is told once for all the events read at once, as Qt's
        // own watcher does: a file written in place gives several.
        QMap<ChangeNotifier *, Told> told;
        const auto once = [](QStringList &list, const QString &path) {
            if (!list.contains(path))
                list << path;
        };
        alignas(inotify_event) char buffer[16 * 1024];
        const QMutexLocker lock(&mutex_);
        for (;;) {
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got <= 0)
                break;
            for (ssize_t at = 0; at < got;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                at += ssize_t(sizeof(inotify_event) + event->len);
                const auto found = watchers_.find(event->wd);
                if (found == watchers_.end())
                    continue;
                const bool done = event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO);
                for (const Watcher &w : std::as_const(*found)) {
                    Told &t = told[w.client];
                    if (event->mask & IN_IGNORED) {
                        once(t.gone, w.path);
                    } else if (event->len > 0) {
                        const QString name = QFile::decodeName(event->name);
                        if (done)
                            once(t.written, QDir(w.path).filePath(name));
                        // As Qt's watcher: a folder changes when its entries do.
                        if (event->mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO))
                            once(t.changedFolders, w.path);
                    } else if (w.folder) {
                        once(t.changedFolders, w.path);
                    } else {
                        once(done ? t.written : t.changedFiles, w.path);
                    }
                }
                if (event->mask & IN_IGNORED)
                    watchers_.erase(found); // the watch is gone with its file
            }
        }
        for (auto it = told.constBegin(); it != told.constEnd(); ++it) {
            // Posted to the client's own thread; dropped if it is gone first.
            ChangeNotifier *client = it.key();
            const Told t = it.value();
            QMetaObject::invokeMethod(
                client,
                [client, t]() {
                    client->deliver(t.written, t.changedFiles, t.changedFolders, t.gone);
                },
                Qt::QueuedConnection);
        }
#endif
    }

    // A watched folder that another replaced under the same path higher up
    // than any watch reaches (a parent folder renamed) gives no event: every
    // such path is looked at again this often, for every client at once,
    // and one that names another folder now is told as changed.
    void recheck()
    {
#ifdef Q_OS_LINUX
        QMap<ChangeNotifier *, QStringList> changed;
        {
            const QMutexLocker lock(&mutex_);
            for (auto it = watchers_.begin(); it != watchers_.end(); ++it)
                for (Watcher &w : *it)
                    if (w.folder && identity(w.path) != w.file) {
                        w.file = identity(w.path);
                        changed[w.client] << w.path;
                    }
        }
        for (auto it = changed.constBegin(); it != changed.constEnd(); ++it) {
            ChangeNotifier *client = it.key();
            const QStringList paths = it.value();
            QMetaObject::invokeMethod(
                client, [client, paths]() { client->deliver({}, {}, paths, {}); },
                Qt::QueuedConnection);
        }
#endif
    }

    static constexpr int recheckMs = 1000;
    int fd_ = -1;
    QString unavailable_;
    QThread thread_;
    QSocketNotifier *notifier_ = nullptr;
    QTimer *recheck_ = nullptr;
    QMutex mutex_;
    QMap<int, QList<Watcher>> watchers_; // by inotify watch
};

ChangeNotifier::ChangeNotifier(QObject *parent) : QObject(parent)
{
    shared_ = ChangeHub::instance().available();
    if (shared_)
        return;
        // Elsewhere Qt's watcher is the system's own notifications; on Linux
        // without an inotify instance to be had, it polls.
#ifdef Q_OS_LINUX
    lastError_ = ChangeHub::instance().unavailable();
    polls_ = true;
#endif
    fallback_ = std::make_unique<QFileSystemWatcher>();
    connect(fallback_.get(), &QFileSystemWatcher::fileChanged, this, &ChangeNotifier::fileChanged);
    connect(fallback_.get(), &QFileSystemWatcher::directoryChanged, this,
            &ChangeNotifier::directoryChanged);
}

ChangeNotifier::~ChangeNotifier()
{
    if (shared_)
        ChangeHub::instance().forget(this);
}

bool ChangeNotifier::addPath(const QString &path)
{
    if (fallback_)
        return fallback_->addPath(path);
    if (files_.contains(path) || directories_.contains(path))
        return true;
    const bool folder = QFileInfo(path).isDir();
    lastError_ = ChangeHub::instance().add(this, path, folder);
    if (!lastError_.isEmpty())
        return false;
    (folder ? directories_ : files_) << path;
    return true;
}

bool ChangeNotifier::removePath(const QString &path)
{
    if (fallback_)
        return fallback_->removePath(path);
    if (!files_.removeAll(path) && !directories_.removeAll(path))
        return false;
    ChangeHub::instance().remove(this, path);
    return true;
}

QStringList ChangeNotifier::files() const
{
    return fallback_ ? fallback_->files() : files_;
}

QStringList ChangeNotifier::directories() const
{
    return fallback_ ? fallback_->directories() : directories_;
}

void ChangeNotifier::deliver(const QStringList &written, const QStringList &changedFiles,
                             const QStringList &changedFolders, const QStringList &gone)
{
    // A watch gone with its file is to be added anew.
    for (const QString &path : gone) {
        files_.removeAll(path);
        directories_.removeAll(path);
    }
    for (const QString &path : written)
        emit fileWritten(path);
    for (const QString &path : changedFiles)
        if (!written.contains(path))
            emit fileChanged(path);
    for (const QString &path : changedFolders)
        emit directoryChanged(path);
}

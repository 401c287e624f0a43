// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

class QFileSystemWatcher;

// Change notifications for files and folders, as the system gives them. On
// Linux straight from inotify, which also tells the moment a file's writer
// closes it or a file is renamed into place; elsewhere through
// QFileSystemWatcher, which tells only that something changed. The calls
// are QFileSystemWatcher's.
//
// On Linux every ChangeNotifier of the process, in whatever thread, shares
// one inotify instance, read in a thread of its own: a group of any size
// takes one of the user's instances (fs.inotify.max_user_instances, 128 by
// default and shared with every other program of that user), and one
// watch per path however many stations watch it. Each notifier is told of
// its own paths only, in its own thread. A watched folder that is replaced
// higher up than any watch reaches (which gives no event) is noticed within
// a second, for all notifiers by one timer, and told as changed.
class ChangeNotifier : public QObject {
    Q_OBJECT
public:
    explicit ChangeNotifier(QObject *parent = nullptr);
    ~ChangeNotifier() override;

    // False when the system would not watch it: lastError() says why.
    bool addPath(const QString &path);
    bool removePath(const QString &path);
    QStringList files() const;
    QStringList directories() const;
    // Why the last addPath failed, or why there are no notifications at
    // all, in words a station engineer can act on (the limit reached and
    // the sysctl that raises it); empty when it did not.
    QString lastError() const
    {
        return lastError_;
    }
    // Whether changes are told as they happen; false when the system gave
    // no notifications and Qt's watcher polls instead.
    bool notified() const
    {
        return !polls_;
    }
    // Whether a watched folder replaced higher up is told as changed by
    // the notifier itself (Linux); elsewhere its owner looks for that.
    bool tells_replaced_folders() const
    {
        return shared_;
    }

signals:
    // Something changed: a watched file, or the entries of a watched folder.
    void fileChanged(const QString &path);
    void directoryChanged(const QString &path);
    // The file at `path` (watched, or in a watched folder) is whole now: its
    // writer closed it, or it was renamed into place. A watched file that
    // is whole is told so instead of as changed.
    void fileWritten(const QString &path);

private:
    friend class ChangeHub;
    // From the shared instance's thread, through this one's event loop.
    void deliver(const QStringList &written, const QStringList &changedFiles,
                 const QStringList &changedFolders, const QStringList &gone);

    std::unique_ptr<QFileSystemWatcher> fallback_;
    bool shared_ = false; // uses the process's one inotify instance
    bool polls_ = false;  // Qt's watcher, without notifications to be had, polls
    QStringList files_, directories_;
    QString lastError_;
};

// SPDX-License-Identifier: MIT
#pragma once

#include <QMap>
#include <QObject>
#include <QStringList>

#include <memory>

class QFileSystemWatcher;
class QSocketNotifier;

// Change notifications for files and folders, as the system gives them. On
// Linux straight from inotify (through QSocketNotifier), which also tells
// the moment a file's writer closes it or a file is renamed into place;
// elsewhere through QFileSystemWatcher, which tells only that something
// changed. The calls are QFileSystemWatcher's.
class ChangeNotifier : public QObject {
    Q_OBJECT
public:
    explicit ChangeNotifier(QObject *parent = nullptr);
    ~ChangeNotifier() override;

    bool addPath(const QString &path);
    bool removePath(const QString &path);
    QStringList files() const;
    QStringList directories() const;

signals:
    // Something changed: a watched file, or the entries of a watched folder.
    void fileChanged(const QString &path);
    void directoryChanged(const QString &path);
    // The file at `path` (watched, or in a watched folder) is whole now: its
    // writer closed it, or it was renamed into place. A watched file that
    // is whole is told so instead of as changed.
    void fileWritten(const QString &path);

private:
    void read_events();

    std::unique_ptr<QFileSystemWatcher> fallback_;
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    QMap<int, QString> byWatch_; // inotify watch -> path
    QMap<QString, int> byPath_;
    QStringList files_, directories_;
};

// SPDX-License-Identifier: MIT
#include "file_judgement.h"

#include "file_probe.h"
#include "file_sharing.h"
#include "input_file.h"
#include "output_file.h"
#include "paths.h"

#include <QDir>
#include <QFileInfo>

bool same_target(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    return QDir::cleanPath(QDir::current().absoluteFilePath(a)) ==
               QDir::cleanPath(QDir::current().absoluteFilePath(b)) ||
           same_file(a, b);
}

bool names_no_file(const QString &path)
{
    const QFileInfo info(path);
    return is_device_name(path) || (info.exists() && !info.isFile() && !info.isDir());
}

// Why an input cannot be read by the pass, as far as can be told without
// reading it.
QString input_problem(const QString &path)
{
    const QFileInfo info(path);
    if (!usable_path(path))
        return QStringLiteral("is not a usable path");
    if (!info.exists())
        return QStringLiteral("does not exist");
    if (info.isDir())
        return QStringLiteral("is a folder");
    if (is_fifo_or_socket(path))
        return QStringLiteral("is a FIFO or socket, which the pass refuses (it would wait for a "
                              "writer for ever)");
    if (info.size() > maxInputBytes)
        return QStringLiteral("is larger than %1 bytes").arg(maxInputBytes);
    if (held_by_another_program(path, false))
        return QStringLiteral("is in use by another program, which keeps it from being read now "
                              "(nowplaying-convert tries again for up to a second, "
                              "nowplaying-watch until it can)");
    return QStringLiteral("cannot be read (permissions)");
}

QString output_problem(const QString &path)
{
    if (is_device_name(path))
        return QString(); // written as a device, which it is
    if (!usable_path(path))
        return QStringLiteral("is not a usable path");
    // Written under a longer name first, then renamed.
    const QString replacement = replacement_path(path);
    if (file_name_too_long(replacement))
        return QStringLiteral("has a file name too long to be written: with the %1 characters "
                              "added while it is written, it is more than the 255 a file system "
                              "takes")
            .arg(QFileInfo(replacement).fileName().size() - QFileInfo(path).fileName().size());
    const PathState output = path_state(path);
    const PathState folder = path_state(written_folder(path));
    if (output.folder)
        return QStringLiteral("is a folder");
    if (!folder.folder)
        return QStringLiteral("is in a folder that does not exist");
    if (output.exists ? !output.writable : !folder.writable)
        return QStringLiteral("cannot be written (permissions)");
    return QString();
}

// The raw bytes, for the byte-order mark and the letters' encoding; the text
// itself is read through the pass's own functions.
QByteArray raw_input_bytes(const QString &path)
{
    return first_bytes(path, maxInputBytes + 1);
}

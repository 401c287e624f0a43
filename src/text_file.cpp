#include "text_file.h"

#include <QByteArray>
#include <QFile>
#include <QTextCodec>
#include <QTextStream>

namespace {

// Reads at most `limit` + 1 bytes, so that "more than the limit" can be told
// from "exactly the limit" without trusting the reported size: device files
// report 0. The reported size only sizes the first read.
std::optional<QByteArray> read_bounded(QFile &file, qint64 limit)
{
    QByteArray bytes;
    qint64 chunk = file.isSequential() ? 64 * 1024 : file.size() + 1;
    for (;;) {
        const qint64 room = qMin(chunk, limit + 1 - bytes.size());
        if (room <= 0)
            return std::nullopt;
        const int before = bytes.size();
        bytes.resize(before + int(room));
        const qint64 got = file.read(bytes.data() + before, room);
        if (got < 0)
            return std::nullopt;
        bytes.resize(before + int(got));
        if (got == 0)
            return bytes;
        chunk = 64 * 1024;
    }
}

// QFile warns on stderr about an empty name, and the system cuts a name at
// its first NUL, which would open some other file than the one configured.
bool usable_path(const QString &path)
{
    return !path.isEmpty() && !path.contains(QChar(0));
}

} // namespace

std::optional<QString> read_text_file(const QString &path, QTextCodec *codec)
{
    if (!usable_path(path))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<QByteArray> bytes = read_bounded(file, maxInputBytes);
    file.close();
    if (!bytes)
        return std::nullopt;

    QTextStream stream(*bytes, QIODevice::ReadOnly);
    stream.setAutoDetectUnicode(true);
    if (codec)
        stream.setCodec(codec);
    // Dropping CR after decoding, not before, keeps UTF-16 text intact.
    return stream.readAll().remove(QLatin1Char('\r'));
}

WriteResult write_text_file(const QString &path, const QString &text, QTextCodec *codec)
{
    if (!usable_path(path))
        return WriteResult::NotCreated;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return WriteResult::NotCreated;
    QTextStream out(&file);
    if (codec)
        out.setCodec(codec);
    out << text;
    out.flush();
    const bool streamOk = out.status() == QTextStream::Ok;
    file.close();
    return streamOk && file.error() == QFileDevice::NoError ? WriteResult::Written
                                                           : WriteResult::NotWritten;
}

QTextCodec *codec_for_name(const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    return QTextCodec::codecForName(name.toLocal8Bit());
}

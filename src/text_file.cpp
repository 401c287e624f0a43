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

    // Decoded in one go, as a text stream with Unicode detection would: a
    // byte-order mark picks the codec and is dropped with the converter's
    // header handling.
    QTextCodec *const chosen =
        QTextCodec::codecForUtfText(*bytes, codec ? codec : QTextCodec::codecForLocale());
    QTextCodec::ConverterState state;
    QString text = chosen->toUnicode(bytes->constData(), bytes->size(), &state);
    // Dropping CR after decoding, not before, keeps UTF-16 text intact.
    return text.remove(QLatin1Char('\r'));
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
    // Handing the text over in slices keeps the encoded copy small; a slice
    // never ends between the two halves of a surrogate pair.
    constexpr int slice = 64 * 1024;
    for (int at = 0; at < text.size();) {
        int n = qMin(slice, text.size() - at);
        if (at + n < text.size() && text.at(at + n - 1).isHighSurrogate())
            --n;
        out << QStringRef(&text, at, n);
        at += n;
    }
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

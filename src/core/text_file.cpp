// SPDX-License-Identifier: MIT
#include "text_file.h"

#include <QByteArray>
#include <QFile>
#include <QTextCodec>

namespace {

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
    // A regular file's size can be trusted to refuse it early and to size the
    // text; devices report 0, so the bound is kept while reading as well.
    QString text;
    if (!file.isSequential()) {
        if (file.size() > maxInputBytes)
            return std::nullopt;
        text.reserve(int(file.size())); // a hint: most encodings give a character per byte at most
    }

    // Decoded chunk by chunk into the one string, as a text stream with
    // Unicode detection would: a byte-order mark in the first chunk picks the
    // codec and is dropped by the converter's header handling.
    QTextCodec *chosen = nullptr;
    QTextCodec::ConverterState state;
    char chunk[64 * 1024];
    qint64 total = 0;
    for (;;) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        total += got;
        if (total > maxInputBytes)
            return std::nullopt;
        if (!chosen)
            chosen = QTextCodec::codecForUtfText(QByteArray::fromRawData(chunk, int(got)),
                                                 codec ? codec : QTextCodec::codecForLocale());
        text += chosen->toUnicode(chunk, int(got), &state);
    }
    file.close();
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
    QTextCodec *const encoder = codec ? codec : QTextCodec::codecForLocale();
    // Without a header flag, the UTF-16 and UTF-32 encoders would start the
    // file with a byte-order mark.
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    // Encoding slice by slice keeps the encoded copy small; a slice never
    // ends between the two halves of a surrogate pair.
    constexpr int slice = 16 * 1024;
    bool written = true;
    for (int at = 0; written && at < text.size();) {
        int n = qMin(slice, text.size() - at);
        if (at + n < text.size() && text.at(at + n - 1).isHighSurrogate())
            --n;
        const QByteArray bytes = encoder->fromUnicode(text.constData() + at, n, &state);
        written = file.write(bytes) == bytes.size();
        at += n;
    }
    file.close();
    return written && file.error() == QFileDevice::NoError ? WriteResult::Written
                                                           : WriteResult::NotWritten;
}

QTextCodec *codec_for_name(const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    return QTextCodec::codecForName(name.toLocal8Bit());
}

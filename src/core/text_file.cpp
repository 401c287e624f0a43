// SPDX-License-Identifier: MIT
#include "text_file.h"

#include <QByteArray>
#include <QFile>
#include <QTextCodec>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include "file_sharing.h"

#include <windows.h>
#endif

namespace {

constexpr int readChunk = 64 * 1024;

// Opens `path` for reading, refusing what cannot be read as a file: a FIFO
// or a socket would wait for a writer for ever (and a pass started by a
// service would hang), a folder has no text.
bool open_input(QFile &file, const QString &path)
{
    if (!usable_path(path))
        return false;
#ifdef Q_OS_UNIX
    // Without O_NONBLOCK, opening a FIFO would itself wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) ||
        S_ISDIR(info.st_mode) || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    return file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
#else
    // Every sharing mode, deletion too: reading the document must never keep
    // the playout program from writing, replacing or deleting it. (Qt's own
    // open shares reading and writing only.)
    return open_existing_shared(file, path, false,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
#endif
}

// Calls `expect(size)` with the file's size (0 for a device), then
// `consume(chunk, size)` for each chunk of the file, up to maxInputBytes in
// all. False when the file cannot be opened or read, or is larger.
template <typename Expect, typename Consume>
bool read_chunks(const QString &path, Expect expect, Consume consume)
{
    QFile file;
    if (!open_input(file, path))
        return false;
    // A regular file's size can be trusted to refuse it early; devices
    // report 0, so the bound is kept while reading as well.
    if (!file.isSequential() && file.size() > maxInputBytes)
        return false;
    expect(file.isSequential() ? 0 : file.size());
    char chunk[readChunk];
    qint64 total = 0;
    for (;;) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        total += got;
        if (total > maxInputBytes)
            return false;
        consume(chunk, int(got));
    }
    file.close();
    return true;
}

bool is_valid_utf8(const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    QTextCodec::codecForMib(106)->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

QString without_carriage_returns(QString text)
{
    // Dropping CR after decoding, not before, keeps UTF-16 text intact.
    return text.remove(QLatin1Char('\r'));
}

} // namespace

bool usable_path(const QString &path)
{
    return !path.isEmpty() && !path.contains(QChar(0));
}

bool can_open_input(const QString &path)
{
    QFile file;
    return open_input(file, path);
}

std::optional<QString> read_text_file(const QString &path, QTextCodec *codec)
{
    // Decoded chunk by chunk into one string, with one converter state, so
    // that a character split between two chunks is decoded whole; a
    // byte-order mark in the first chunk picks the codec and is dropped by
    // the converter's header handling.
    QString text;
    QTextCodec *chosen = nullptr;
    QTextCodec::ConverterState state;
    // Most encodings give a character per byte at most: the size is a hint.
    const auto expect = [&text](qint64 size) { text.reserve(int(size)); };
    const bool read = read_chunks(path, expect, [&](const char *chunk, int size) {
        if (!chosen) {
            chosen = QTextCodec::codecForUtfText(QByteArray::fromRawData(chunk, size),
                                                 codec_or_locale(codec));
        }
        text += chosen->toUnicode(chunk, size, &state);
    });
    if (!read)
        return std::nullopt;
    return without_carriage_returns(std::move(text));
}

std::optional<QByteArray> read_file_bytes(const QString &path)
{
    QByteArray bytes;
    const auto expect = [&bytes](qint64 size) { bytes.reserve(int(size)); };
    if (!read_chunks(path, expect, [&](const char *chunk, int size) { bytes.append(chunk, size); }))
        return std::nullopt;
    return bytes;
}

std::optional<QString> read_config_file(const QString &path, QTextCodec *localeCodec)
{
    const std::optional<QByteArray> bytes = read_file_bytes(path);
    if (!bytes)
        return std::nullopt;
    QTextCodec::ConverterState state; // drops a byte-order mark
    return without_carriage_returns(config_file_codec(*bytes, localeCodec)
                                        ->toUnicode(bytes->constData(), bytes->size(), &state));
}

QTextCodec *config_file_codec(const QByteArray &bytes, QTextCodec *localeCodec)
{
    if (QTextCodec *marked = QTextCodec::codecForUtfText(bytes, nullptr))
        return marked;
    return is_valid_utf8(bytes) ? QTextCodec::codecForMib(106) : localeCodec;
}

namespace {

// Encodes `text` slice by slice, handing each slice's bytes to `sink`, which
// keeps the encoded copy of a large document small. A slice never ends
// between the two halves of a surrogate pair.
// A lone surrogate (half of a pair, from a broken UTF-16 document) is
// written as "?" by Qt 5's encoders and as U+FFFD by Qt 6's: both builds
// write U+FFFD where the encoding has it, and "?" elsewhere. A character
// beyond the first 65,536 (an emoji) that the encoding lacks is one "?",
// not one for each half of its pair.
QString with_surrogates_replaced(const QChar *chars, int n, QTextCodec *encoder)
{
    const QChar replacement = encoder->canEncode(QChar(QChar::ReplacementCharacter))
                                  ? QChar(QChar::ReplacementCharacter)
                                  : QChar(QLatin1Char('?'));
    QString text;
    text.reserve(n);
    for (int i = 0; i < n; ++i) {
        const bool pair = i + 1 < n && chars[i].isHighSurrogate() && chars[i + 1].isLowSurrogate();
        if (pair) {
            if (encoder->canEncode(QStringView(chars + i, 2)))
                text.append(chars + i, 2);
            else
                text += QLatin1Char('?');
            ++i;
        } else {
            text += chars[i].isSurrogate() ? replacement : chars[i];
        }
    }
    return text;
}

bool has_surrogates(const QChar *chars, int n)
{
    return std::any_of(chars, chars + n, [](QChar c) { return c.isSurrogate(); });
}

template <typename Sink> bool encode_slices(const QString &text, QTextCodec *codec, Sink sink)
{
    QTextCodec *const encoder = codec_or_locale(codec);
    // Without a header flag, the UTF-16 and UTF-32 encoders would start the
    // file with a byte-order mark.
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    constexpr int slice = 16 * 1024;
    for (int at = 0; at < text.size();) {
        int n = qMin(slice, text.size() - at);
        if (at + n < text.size() && text.at(at + n - 1).isHighSurrogate())
            --n;
        const QChar *const chars = text.constData() + at;
        QByteArray bytes;
        if (has_surrogates(chars, n)) {
            const QString replaced = with_surrogates_replaced(chars, n, encoder);
            bytes = encoder->fromUnicode(replaced.constData(), replaced.size(), &state);
        } else {
            bytes = encoder->fromUnicode(chars, n, &state);
        }
        if (!sink(bytes))
            return false;
        at += n;
    }
    return true;
}

} // namespace

WriteResult write_text_file(const QString &path, const QString &text, QTextCodec *codec)
{
    return write_output(path, [&](QFile &file) {
        return encode_slices(text, codec, [&file](const QByteArray &bytes) {
            return file.write(bytes) == bytes.size();
        });
    });
}

QByteArray encode_text(const QString &text, QTextCodec *codec)
{
    QByteArray bytes;
    encode_slices(text, codec, [&bytes](const QByteArray &slice) {
        bytes += slice;
        return true;
    });
    return bytes;
}

QTextCodec *codec_for_name(const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    return QTextCodec::codecForName(name.toLocal8Bit());
}

QTextCodec *codec_or_locale(QTextCodec *codec)
{
    return codec ? codec : QTextCodec::codecForLocale();
}

QString locale_encoding_name()
{
#ifdef Q_OS_WIN
    // Qt calls the ANSI code page's codec "System", which no XML reader
    // knows.
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8)
        return QStringLiteral("UTF-8");
    return QStringLiteral("windows-%1").arg(codePage);
#else
    return QString::fromLatin1(QTextCodec::codecForLocale()->name());
#endif
}

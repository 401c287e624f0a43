// SPDX-License-Identifier: MIT
#include "text_file.h"

#include "encoding.h"
#include "input_file.h"

#include <QFile>
#include <QTextCodec>

namespace {

QString without_carriage_returns(QString text)
{
    // Dropping CR after decoding, not before, keeps UTF-16 text intact.
    return text.remove(QLatin1Char('\r'));
}

} // namespace

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
    const bool read = read_input_chunks(path, expect, [&](const char *chunk, int size) {
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

QString config_text(const QByteArray &bytes, QTextCodec *localeCodec)
{
    QTextCodec::ConverterState state; // drops a byte-order mark
    return without_carriage_returns(
        config_file_codec(bytes, localeCodec)->toUnicode(bytes.constData(), bytes.size(), &state));
}

std::optional<QString> read_config_file(const QString &path, QTextCodec *localeCodec)
{
    const std::optional<QByteArray> bytes = read_file_bytes(path);
    if (!bytes)
        return std::nullopt;
    return config_text(*bytes, localeCodec);
}

WriteResult write_text_file(const QString &path, const QString &text, QTextCodec *codec)
{
    return write_output(path, [&](QFile &file) {
        return encode_in_slices(text, codec, [&file](const QByteArray &bytes) {
            return file.write(bytes) == bytes.size();
        });
    });
}

// SPDX-License-Identifier: MIT
#include "encoding.h"

#include <QTextCodec>

#include <algorithm>

namespace {

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

} // namespace

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

bool encode_in_slices(const QString &text, QTextCodec *codec,
                      const std::function<bool(const QByteArray &)> &sink)
{
    QTextCodec *const encoder = codec_or_locale(codec);
    // Without a header flag, the UTF-16 and UTF-32 encoders would start the
    // file with a byte-order mark.
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    constexpr int slice = 16 * 1024;
    for (int at = 0; at < text.size();) {
        int n = qMin(slice, text.size() - at);
        // A slice never ends between the two halves of a surrogate pair.
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

QByteArray encode_text(const QString &text, QTextCodec *codec)
{
    QByteArray bytes;
    encode_in_slices(text, codec, [&bytes](const QByteArray &slice) {
        bytes += slice;
        return true;
    });
    return bytes;
}

bool is_valid_utf8(const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    QTextCodec::codecForMib(106)->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

QTextCodec *config_file_codec(const QByteArray &bytes, QTextCodec *localeCodec)
{
    if (QTextCodec *marked = QTextCodec::codecForUtfText(bytes, nullptr))
        return marked;
    return is_valid_utf8(bytes) ? QTextCodec::codecForMib(106) : localeCodec;
}

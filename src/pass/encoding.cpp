// SPDX-License-Identifier: MIT
#include "encoding.h"

#include <QHash>
#include <QMutex>
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
    // With ICU, Qt looks every name up in ICU's alias tables again (a
    // sixth of a pass's time at each call); codecs live as long as the
    // process, so a name once found stays found.
    static QMutex guard;
    static QHash<QString, QTextCodec *> found;
    const QMutexLocker lock(&guard);
    const auto known = found.constFind(name);
    if (known != found.constEnd())
        return *known;
    QTextCodec *const codec = QTextCodec::codecForName(name.toLocal8Bit());
    if (found.size() < 64)
        found.insert(name, codec);
    return codec;
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

int utf8_sequence_length(const uchar *p, const uchar *end)
{
    const uchar lead = *p;
    if (lead < 0x80)
        return 1;
    if (lead < 0xC2 || lead > 0xF4)
        return 0;
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    // The second byte's range rules out overlong forms, surrogates and
    // what lies past U+10FFFF.
    const uchar low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const uchar high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (end - p < length || p[1] < low || p[1] > high)
        return 0;
    for (int i = 2; i < length; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    return length;
}

// Walked byte by byte rather than decoded: a settings or spellings file is
// asked this on every pass, and a decode costs a QString the size of the
// file.
bool is_valid_utf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const uchar *const end = p + bytes.size();
    while (p < end) {
        // ASCII, and the two bytes of Cyrillic, Greek and accented Latin,
        // without the general rule's range checks: they make most of a file.
        if (*p < 0x80) {
            ++p;
            continue;
        }
        if (*p >= 0xC2 && *p <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            p += 2;
            continue;
        }
        const int length = utf8_sequence_length(p, end);
        if (length == 0)
            return false;
        p += length;
    }
    return true;
}

QTextCodec *config_file_codec(const QByteArray &bytes, QTextCodec *localeCodec)
{
    if (QTextCodec *marked = QTextCodec::codecForUtfText(bytes, nullptr))
        return marked;
    return is_valid_utf8(bytes) ? QTextCodec::codecForMib(106) : localeCodec;
}

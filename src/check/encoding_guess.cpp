// SPDX-License-Identifier: MIT
#include "encoding_guess.h"

#include "encoding.h"

#include <QTextCodec>

namespace {

// The length of the UTF-8 sequence at `at`, or 0 when it is not valid there
// (overlong forms, surrogates and code points beyond U+10FFFF are not).
int utf8_sequence(const QByteArray &bytes, int at)
{
    const auto byte = [&bytes](int i) { return uchar(bytes.at(i)); };
    const uchar lead = byte(at);
    if (lead < 0x80)
        return 1;
    int length = 0;
    uint low = 0x80, high = 0xBF; // the bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > bytes.size() || byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (int i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    return length;
}

// The letters Russian text uses most: a wrong encoding gives mostly others.
const QString commonLetters = QStringLiteral("оеаинтсрвлкмдпуяыь");

bool is_cyrillic_letter(QChar c)
{
    return c.isLetter() && c.script() == QChar::Script_Cyrillic;
}

// The common letters in words whose capitals stand as in written text.
int word_letters(const QString &text)
{
    int score = 0;
    for (int at = 0; at < text.size();) {
        if (!text.at(at).isLetter()) {
            ++at;
            continue;
        }
        int end = at;
        bool cyrillic = true;
        int capitals = 0;
        bool laterCapital = false;
        for (; end < text.size() && text.at(end).isLetter(); ++end) {
            cyrillic = cyrillic && is_cyrillic_letter(text.at(end));
            if (text.at(end).isUpper()) {
                ++capitals;
                laterCapital = laterCapital || end > at;
            }
        }
        const int length = end - at;
        const bool written = capitals == 0 || capitals == length || !laterCapital;
        if (cyrillic && written)
            for (int i = at; i < end; ++i)
                score += commonLetters.contains(text.at(i).toLower());
        at = end;
    }
    return score;
}

} // namespace

bool is_single_byte(QTextCodec *codec)
{
    // UTF-8 reads a stray byte as one replacement character, so it would
    // pass the probe below.
    const int mib = codec ? codec->mibEnum() : 0;
    if (!codec || mib == 106 || (mib >= 1013 && mib <= 1019))
        return false;
    // Every byte alone, and all of them in a row, one character each.
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i) {
        all[i] = char(i);
        if (codec->toUnicode(all.constData() + i, 1).size() != 1)
            return false;
    }
    return codec->toUnicode(all).size() == 256;
}

bool looks_like_utf8(const QByteArray &bytes)
{
    bool letter = false;
    for (int at = 0; at < bytes.size();) {
        const int length = utf8_sequence(bytes, at);
        if (length == 0)
            return false;
        if (length > 1 && !letter)
            letter = QString::fromUtf8(bytes.constData() + at, length).at(0).isLetter();
        at += length;
    }
    return letter;
}

int invalid_utf8_bytes(const QByteArray &bytes)
{
    int invalid = 0;
    for (int at = 0; at < bytes.size();) {
        const int length = utf8_sequence(bytes, at);
        invalid += length == 0;
        at += length ? length : 1;
    }
    return invalid;
}

QString likely_cyrillic_encoding(const QByteArray &bytes)
{
    QString best;
    int bestScore = 0;
    for (const char *name : {"windows-1251", "KOI8-R", "IBM866", "ISO-8859-5"}) {
        QTextCodec *const codec = QTextCodec::codecForName(name);
        const int score = codec ? word_letters(codec->toUnicode(bytes)) : 0;
        if (score > bestScore) {
            best = QString::fromLatin1(codec->name());
            bestScore = score;
        }
    }
    return best;
}

QString config_not_utf8(const QString &name, const QByteArray &bytes, QTextCodec *locale)
{
    // Without a mark, a file that is not UTF-8 is read in the locale
    // encoding; where that is UTF-8 too, every byte beyond ASCII is lost.
    QTextCodec *const readIn = config_file_codec(bytes, locale);
    const int invalid = readIn->mibEnum() == 106 ? invalid_utf8_bytes(bytes) : 0;
    if (invalid == 0)
        return QString();
    const QString likely = likely_cyrillic_encoding(bytes);
    return QStringLiteral("%1 is read as UTF-8 (the locale encoding) but is not UTF-8: %2 bytes "
                          "are read as \"\uFFFD\"%3; save it as UTF-8")
        .arg(name, QString::number(invalid),
             likely.isEmpty() ? QString() : QStringLiteral(" (it looks like %1)").arg(likely));
}

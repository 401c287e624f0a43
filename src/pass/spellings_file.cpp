// SPDX-License-Identifier: MIT
#include "spellings_file.h"

#include "encoding.h"
#include "text_file.h"

#include <QSet>
#include <QTextCodec>

#include <array>
#include <cstring>
#include <optional>

namespace {

// A word's key as a number: FNV-1a over its case-folded UTF-16 units, the
// units spelling_key gives. Two words alike have one number; two numbers
// alike only let a line through to be read in full.
struct WordHash {
    quint64 value = 14695981039346656037ULL;
    void add(char16_t unit)
    {
        value = (value ^ unit) * 1099511628211ULL;
    }
};

// What reading a line's words needs to know of a character, looked up
// for the characters most names are written in and asked of Qt for the
// rest. Characters beyond 16 bits stand as two units in a QString, neither
// a letter: here they end a word too.
struct CharClass {
    bool word = false;
    char16_t folded = 0;
};

CharClass class_of(char32_t c)
{
    if (c > 0xFFFF)
        return {false, 0};
    const QChar ch{char16_t(c)};
    return {ch.isLetterOrNumber(), char16_t(QChar::toCaseFolded(uint(c)))};
}

using ClassTable = std::array<CharClass, 0x530>; // Latin, Greek and Cyrillic

const ClassTable &class_table()
{
    static const ClassTable table = [] {
        ClassTable t{};
        for (char32_t i = 0; i < t.size(); ++i)
            t[i] = class_of(i);
        return t;
    }();
    return table;
}

// Taken once for a whole file, so that each character costs an index.
inline CharClass lookup(const ClassTable &table, char32_t c)
{
    return c < table.size() ? table[c] : class_of(c);
}

QSet<quint64> word_hashes(const QString &text)
{
    QSet<quint64> hashes;
    const ClassTable &table = class_table();
    WordHash hash;
    bool inWord = false;
    for (int at = 0; at <= text.size(); ++at) {
        const CharClass c =
            at < text.size() ? lookup(table, text.at(at).unicode()) : CharClass{false, 0};
        if (c.word) {
            hash.add(c.folded);
            inWord = true;
        } else if (inWord) {
            hashes.insert(hash.value);
            hash = {};
            inWord = false;
        }
    }
    return hashes;
}

// One character of UTF-8 at `p` before `end`, and where the next starts.
// A file marked as UTF-8 may still hold bytes that are not: those stand as
// U+FFFD, as the decoder has them, one byte each, never read past `end`.
char32_t next_utf8(const uchar *&p, const uchar *end)
{
    if (*p < 0x80)
        return *p++;
    if (*p >= 0xC2 && *p <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
        const char32_t c = char32_t(*p & 0x1F) << 6 | (p[1] & 0x3F);
        p += 2;
        return c;
    }
    const int length = utf8_sequence_length(p, end);
    if (length == 0) {
        ++p;
        return 0xFFFD;
    }
    char32_t c = length == 1 ? *p : *p & (0x7F >> length);
    for (int i = 1; i < length; ++i)
        c = (c << 6) | (p[i] & 0x3F);
    p += length;
    return c;
}

// The characters of a charset with one byte for each, ASCII in its lower
// half; empty for any other.
std::optional<std::array<char16_t, 256>> byte_table(QTextCodec *codec)
{
    char all[256];
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    const QString text = codec->toUnicode(all, 256);
    if (text.size() != 256)
        return std::nullopt;
    std::array<char16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        table[size_t(i)] = text.at(i).unicode();
        if (i < 0x80 && table[size_t(i)] != i)
            return std::nullopt;
    }
    return table;
}

} // namespace

Spellings read_spellings_file(const QByteArray &bytes, QTextCodec *localeCodec,
                              const QString *onlyIn)
{
    QTextCodec *codec = config_file_codec(bytes, localeCodec);
    const bool utf8 = codec->mibEnum() == 106;
    const std::optional<std::array<char16_t, 256>> bytesTable =
        utf8 ? std::nullopt : byte_table(codec);
    if (!onlyIn || (!utf8 && !bytesTable))
        return read_spellings(config_text(bytes, localeCodec), onlyIn);

    const QSet<quint64> wanted = word_hashes(*onlyIn);
    const ClassTable &classes = class_table();
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const uchar *const end = p + bytes.size();
    // The lines that may match, each in its place; the others as empty
    // lines, so that every line keeps its number. The mark and a sequence
    // cut short at the end stay for the decoder to judge as it judges them
    // in the whole file.
    QByteArray kept;
    if (utf8 && bytes.startsWith("\xEF\xBB\xBF")) {
        kept = bytes.left(3);
        p += 3;
    }
    const auto next = [&](const uchar *&at, const uchar *stop) -> char32_t {
        return utf8 ? next_utf8(at, stop) : (*bytesTable)[*at++];
    };
    while (p < end) {
        const auto *newline = static_cast<const uchar *>(std::memchr(p, '\n', size_t(end - p)));
        const uchar *const lineEnd = newline ? newline : end;
        // The words before the first "=" are the text's (or some of them,
        // when the text holds a "=" itself): one that is no word of
        // `onlyIn` rules the line out.
        bool possible = true;
        WordHash hash;
        bool inWord = false;
        for (const uchar *at = p; possible;) {
            const char32_t character = at < lineEnd ? next(at, lineEnd) : U'=';
            if (character == '\r') // gone from the text before it is read
                continue;
            const CharClass c = lookup(classes, character);
            if (c.word) {
                hash.add(c.folded);
                inWord = true;
                continue;
            }
            if (inWord)
                possible = wanted.contains(hash.value);
            hash = {};
            inWord = false;
            if (character == '=')
                break;
        }
        if (possible)
            kept.append(reinterpret_cast<const char *>(p), int(lineEnd - p));
        if (newline)
            kept.append('\n');
        p = lineEnd + 1;
    }
    QTextCodec::ConverterState state;
    QString text = codec->toUnicode(kept.constData(), kept.size(), &state);
    return read_spellings(text.remove(QLatin1Char('\r')), onlyIn);
}

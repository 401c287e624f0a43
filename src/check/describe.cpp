// SPDX-License-Identifier: MIT
#include "describe.h"

#include "findings.h"
#include "on_air_text.h"
#include "program_setup.h"
#include "tag_extract.h"

#include <QTextCodec>

#include <vector>

const QString settingsSection = QLatin1String(settingsFileName);
const QString encodingsSection = QStringLiteral("encodings");
const QString hoursSection = QStringLiteral("bad hours");
const QString lettersSection = QLatin1String(lettersFileName);
const QString outputsSection = QStringLiteral("outputs");
const QString watchingSection = QStringLiteral("watching");
const QString previewSection = QStringLiteral("preview");
const QString sendingSection = QStringLiteral("sending");
const QString sendTestSection = QStringLiteral("send test");

namespace {

// UTF-16 with or without a stated byte order is one encoding to a reader:
// the byte-order mark or the order tells which.
int encoding_family(QTextCodec *codec)
{
    const int mib = codec ? codec->mibEnum() : 0;
    if (mib == 1013 || mib == 1014 || mib == 1015)
        return 1015;
    if (mib == 1017 || mib == 1018 || mib == 1019)
        return 1017;
    return mib;
}

} // namespace

QString visible(const QString &value)
{
    QString out = QStringLiteral("\"");
    const int count = character_count(value);
    const int shown = count > longestVisible ? longestVisible - 24 : count;
    for (int i = 0, characters = 0; i < value.size() && characters < shown; ++i, ++characters) {
        const QChar c = value.at(i);
        const bool pair =
            c.isHighSurrogate() && i + 1 < value.size() && value.at(i + 1).isLowSurrogate();
        if (pair) {
            out += c;
            out += value.at(++i);
        } else if (c == QLatin1Char('\n')) {
            out += QLatin1String("\\n");
        } else if (c == QLatin1Char('\t')) {
            out += QLatin1String("\\t");
        } else if (c == QLatin1Char('\r')) {
            out += QLatin1String("\\r");
        } else if (c == QLatin1Char('"')) {
            out += QLatin1String("\\\"");
        } else if (is_control(c)) {
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else if (c.category() == QChar::Other_Format || c.isSurrogate() ||
                   c.category() == QChar::Separator_Line ||
                   c.category() == QChar::Separator_Paragraph) {
            // Invisible, or (a lone half of a pair) not a character at all.
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    if (shown < count)
        return out + QStringLiteral("...\" (%1 characters)").arg(count);
    return out + QLatin1Char('"');
}

QString listed(QStringList items)
{
    const int more = items.size() - maxListed;
    if (more > 0) {
        items = items.mid(0, maxListed);
        items << QStringLiteral("and %1 more").arg(more);
    }
    return items.join(QStringLiteral(", "));
}

QString stops_with(PassOutcome outcome)
{
    return QStringLiteral("the pass stops with \"%1\"").arg(pass_message(outcome));
}

QString codec_name(QTextCodec *codec)
{
    return codec ? QString::fromLatin1(codec->name()) : locale_encoding_name();
}

bool same_encoding(QTextCodec *a, QTextCodec *b)
{
    return a && b && (a == b || encoding_family(a) == encoding_family(b));
}

// The distinct characters (surrogate pairs kept whole) of `text`.
QStringList characters_of(const QString &text)
{
    QStringList characters;
    std::vector<bool> seen(0x110000); // one bit per code point: a large copy is read fast
    for (int i = 0; i < text.size(); ++i) {
        const bool pair =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                                : char32_t(text.at(i).unicode());
        if (!seen[c]) {
            seen[c] = true;
            characters << text.mid(i, pair ? 2 : 1);
        }
        i += pair ? 1 : 0;
    }
    return characters;
}

QString repeated_tag(const QString &tag, int opens)
{
    return QStringLiteral("%1 appears %2 times: only the first one counts")
        .arg(tag, QString::number(opens));
}

TagState tag_state(const QString &text, const QString &tag)
{
    TagState state;
    const QString openTag = opening_tag(tag);
    state.opens = positions_outside_comments(text, openTag).size();
    state.inCommentOnly = state.opens == 0 && text.contains(openTag);
    state.closed =
        state.opens > 0 &&
        index_outside_comments(text, closing_tag(tag), index_outside_comments(text, openTag)) >= 0;
    state.value = extract(text, tag);
    return state;
}

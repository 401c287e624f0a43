// SPDX-License-Identifier: MIT
#include "sent_text.h"

#include "document_fields.h"
#include "transliteration.h"

#include <QVector>

namespace {

// The first `count` characters of `text`, pairs kept whole.
QString first_characters(const QString &text, int count)
{
    const QVector<uint> ucs4 = text.toUcs4();
    return QString::fromUcs4(ucs4.constData(), qMin(count, int(ucs4.size())));
}

// Today's text: artist, splitter and title, the splitter only between two.
FilledText usual_text(const QString &artist, const QString &splitter, const QString &title)
{
    FilledText filled;
    const QString between = artist.isEmpty() || title.isEmpty() ? QString() : splitter;
    filled.text = artist + between + title;
    if (!artist.isEmpty())
        filled.artist = {0, int(artist.size())};
    if (!title.isEmpty())
        filled.title = {int(artist.size() + between.size()), int(title.size())};
    filled.anyValue = !filled.text.isEmpty();
    return filled;
}

// The literal text between {ARTIST} and {NAME} when they stand one after the
// other: what a cut must not leave at the end.
QString template_splitter(const TextTemplate &parsed)
{
    for (int i = 0; i + 2 < parsed.parts.size(); ++i)
        if (parsed.parts[i].field && parsed.parts[i].text == QLatin1String("ARTIST") &&
            !parsed.parts[i + 1].field && parsed.parts[i + 2].field &&
            parsed.parts[i + 2].text == QLatin1String("NAME"))
            return parsed.parts[i + 1].text;
    return QString();
}

} // namespace

QString sent_latin_title(const OnAirText &onAir)
{
    return onAir.latinTitle.simplified();
}

QString cut_to(const QString &text, int limit, const QString &splitter)
{
    if (character_count(text) <= limit)
        return text;
    const QString head = first_characters(text, limit + 1);
    const int blank = int(head.lastIndexOf(QLatin1Char(' ')));
    if (blank > 0) {
        const QString kept = head.left(blank).trimmed();
        const QString mark = splitter.trimmed();
        if (!kept.isEmpty() && (mark.isEmpty() || !kept.endsWith(mark)))
            return kept;
    }
    return first_characters(text, limit);
}

SentText sent_text(const Destination &d, const OnAirText &onAir)
{
    const bool latin = d.text == DestinationText::Rds;
    const TagValue value = [&](const QString &tag) {
        if (!latin)
            return field_of(onAir, tag);
        if (tag == QLatin1String("ARTIST"))
            return onAir.latinArtist;
        if (tag == QLatin1String("NAME"))
            return sent_latin_title(onAir);
        return transliterate(field_of(onAir, tag), onAir.letters);
    };
    const LiteralForm form = [&](const QString &literal) {
        return latin ? transliterate(literal, onAir.letters) : literal;
    };
    FilledText filled;
    QString splitter = latin ? onAir.rdsSplitter : onAir.metaSplitter;
    if (d.textTemplate.parts.isEmpty()) {
        filled = usual_text(latin ? onAir.latinArtist : onAir.artist, splitter,
                            latin ? sent_latin_title(onAir) : onAir.title);
    } else {
        filled = fill_template(d.textTemplate, value, form);
        splitter = form(template_splitter(d.textTemplate));
    }
    SentText sent;
    if (is_empty_text(filled)) {
        if (d.idleTemplate.parts.isEmpty())
            return sent;
        filled = fill_template(d.idleTemplate, value, form);
        sent.idle = true;
        if (is_empty_text(filled))
            return sent;
    }
    sent.text = filled.text;
    sent.artist = filled.artist;
    sent.title = filled.title;
    if (d.maxCharacters > 0)
        sent.text = cut_to(sent.text, d.maxCharacters, splitter);
    return sent;
}

QList<RtPlusTag> rt_plus_tags(const SentText &sent)
{
    QList<RtPlusTag> tags;
    const int length = character_count(sent.text);
    const auto add = [&](int type, const TextSpan &span) {
        if (span.start < 0 || span.length <= 0 || span.start >= sent.text.size())
            return;
        const int start = character_count(sent.text.left(span.start));
        const int size = character_count(sent.text.mid(span.start, span.length));
        const int kept = qMin(size, length - start);
        if (kept > 0)
            tags.append({type, start, kept});
    };
    add(4, sent.artist);
    add(1, sent.title);
    return tags;
}

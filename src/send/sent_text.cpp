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

// What stands between the artist and the title when the title follows it.
TextSpan between_of(const FilledText &filled)
{
    const int artistEnd = filled.artist.start + filled.artist.length;
    if (filled.artist.start < 0 || filled.title.start < artistEnd)
        return {};
    return {artistEnd, filled.title.start - artistEnd};
}

} // namespace

QString sent_latin_title(const OnAirText &onAir)
{
    return onAir.latinTitle.simplified();
}

QString cut_to(const QString &text, int limit, const TextSpan &between)
{
    if (character_count(text) <= limit)
        return text;
    const QString hard = first_characters(text, limit);
    const QString head = first_characters(text, limit + 1);
    const int blank = int(head.lastIndexOf(QLatin1Char(' ')));
    const QString atBlank = blank > 0 ? head.left(blank).trimmed() : QString();
    // Whether a cut of `size` code units ends at or inside the splitter.
    const auto on_splitter = [&between](int size) {
        return between.start >= 0 && size > between.start && size <= between.start + between.length;
    };
    if (!atBlank.isEmpty() && !on_splitter(int(atBlank.size())))
        return atBlank;
    // The title cut inside its word, when any of it fits; else the artist
    // alone.
    if (!on_splitter(int(hard.size())))
        return hard;
    const QString before = text.left(between.start).trimmed();
    return before.isEmpty() ? hard : before;
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
    if (d.textTemplate.parts.isEmpty())
        filled = usual_text(latin ? onAir.latinArtist : onAir.artist,
                            latin ? onAir.rdsSplitter : onAir.metaSplitter,
                            latin ? sent_latin_title(onAir) : onAir.title);
    else
        filled = fill_template(d.textTemplate, value, form);
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
        sent.text = cut_to(sent.text, d.maxCharacters, between_of(filled));
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

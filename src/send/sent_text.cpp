// SPDX-License-Identifier: MIT
#include "sent_text.h"

#include "document_fields.h"
#include "romanization.h"

#include <QVector>

namespace {

// The first `count` characters of `text`, pairs kept whole; none for a
// count below one (a negative size would have fromUcs4 read on to a zero).
QString first_characters(const QString &text, int count)
{
    const QVector<uint> ucs4 = text.toUcs4();
    return QString::fromUcs4(ucs4.constData(), qBound(0, count, int(ucs4.size())));
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

namespace {

// An artist cut to at most `room` characters at a blank where one fits,
// without what a cut leaves dangling at its end ("&", ","); hard at the
// room when no blank fits.
QString cut_artist(const QString &artist, int room)
{
    const QString head = first_characters(artist, room + 1);
    int end = int(head.lastIndexOf(QLatin1Char(' ')));
    if (end <= 0)
        return first_characters(artist, room);
    while (end > 0 && !head.at(end - 1).isLetterOrNumber() && head.at(end - 1) != QLatin1Char(')'))
        --end;
    return end > 0 ? head.left(end) : first_characters(artist, room);
}

} // namespace

SentText cut_sent(const SentText &sent, int limit)
{
    if (limit <= 0 || character_count(sent.text) <= limit)
        return sent;
    const TextSpan &a = sent.artist, &t = sent.title;
    const int artistEnd = a.start + a.length;
    // Without an artist before the title, or with a template's text before
    // the artist that leaves no room for a title, the text is cut as any
    // text is.
    if (a.start < 0 || t.start < 0 || t.start < artistEnd ||
        character_count(sent.text.left(a.start)) >= limit) {
        SentText cut = sent;
        cut.text = cut_to(sent.text, limit);
        return cut;
    }
    // Artist, what stands between, and the title with what follows it: the
    // title keeps at least half the room, or all of it when shorter, and
    // the artist gives way first.
    const QString prefix = sent.text.left(a.start);
    const QString artist = sent.text.mid(a.start, a.length);
    const QString between = sent.text.mid(artistEnd, t.start - artistEnd);
    const QString tail = sent.text.mid(t.start);
    const int titleNeeds = qMin(character_count(sent.text.mid(t.start, t.length)), limit / 2);
    const int room = limit - character_count(prefix) - character_count(between) - titleNeeds;
    SentText cut;
    cut.idle = sent.idle;
    QString head = prefix;
    if (room >= 1) {
        const QString kept = character_count(artist) <= room ? artist : cut_artist(artist, room);
        cut.artist = {int(head.size()), int(kept.size())};
        head += kept + between;
    }
    const QString keptTail = cut_to(tail, limit - character_count(head));
    cut.text = head + keptTail;
    cut.title = {int(head.size()), int(qMin(t.length, int(keptTail.size())))};
    return cut;
}

SentText sent_text(const Destination &d, const OnAirText &onAir)
{
    const bool latin = d.text == DestinationText::Rds;
    // RadioText, a DAB+ label and a feeder's file show a Latin character set,
    // where a pictograph would be "?".
    const bool plain = d.kind == DestinationKind::RdsTcp || d.kind == DestinationKind::RdsUdp ||
                       d.kind == DestinationKind::RdsSerial || d.kind == DestinationKind::Dls ||
                       d.kind == DestinationKind::File;
    const auto shown = [plain](const QString &text) {
        return plain ? without_pictographs(text) : text;
    };
    const TagValue value = [&](const QString &tag) {
        if (!latin)
            return shown(field_of(onAir, tag)).trimmed();
        if (tag == QLatin1String("ARTIST"))
            return shown(onAir.latinArtist).trimmed();
        if (tag == QLatin1String("NAME"))
            return shown(sent_latin_title(onAir)).trimmed();
        return shown(to_latin(onAir.latin, field_of(onAir, tag))).trimmed();
    };
    const LiteralForm form = [&](const QString &literal) {
        return shown(latin ? to_latin(onAir.latin, literal) : literal);
    };
    SentText sent;
    sent.psName = form(d.ps.name);
    FilledText filled;
    if (d.textTemplate.parts.isEmpty())
        filled = usual_text(value(QStringLiteral("ARTIST")),
                            latin ? onAir.rdsSplitter : onAir.metaSplitter,
                            value(QStringLiteral("NAME")));
    else
        filled = fill_template(d.textTemplate, value, form);
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
    SentText cut = cut_sent(sent, d.maxCharacters);
    cut.psName = sent.psName;
    return cut;
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

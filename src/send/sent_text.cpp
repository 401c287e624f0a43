// SPDX-License-Identifier: MIT
#include "sent_text.h"

#include <QVector>

namespace {

// The first `count` characters of `text`, pairs kept whole.
QString first_characters(const QString &text, int count)
{
    const QVector<uint> ucs4 = text.toUcs4();
    return QString::fromUcs4(ucs4.constData(), qMin(count, int(ucs4.size())));
}

} // namespace

QString cut_to(const QString &text, int limit)
{
    if (character_count(text) <= limit)
        return text;
    const QString head = first_characters(text, limit + 1);
    const int blank = int(head.lastIndexOf(QLatin1Char(' ')));
    if (blank > 0)
        return head.left(blank).trimmed();
    return first_characters(text, limit);
}

SentText sent_text(const Destination &destination, const OnAirText &onAir)
{
    const bool rds = destination.text == DestinationText::Rds;
    SentText sent{rds ? onAir.latinArtist : onAir.artist,
                  rds ? onAir.rdsSplitter : onAir.metaSplitter,
                  rds ? onAir.latinTitle : onAir.title, QString()};
    if (sent.artist.isEmpty() || sent.title.isEmpty())
        sent.splitter.clear();
    sent.text = sent.artist + sent.splitter + sent.title;
    if (destination.kind == DestinationKind::RdsTcp || destination.kind == DestinationKind::RdsUdp)
        sent.text = cut_to(sent.text, radioTextLength);
    return sent;
}

QList<RtPlusTag> rt_plus_tags(const SentText &sent)
{
    QList<RtPlusTag> tags;
    const int length = character_count(sent.text);
    const int artist = character_count(sent.artist);
    const int titleStart = artist + character_count(sent.splitter);
    const auto add = [&](int type, int start, int size) {
        const int kept = qMin(size, length - start);
        if (size > 0 && kept > 0)
            tags.append({type, start, kept});
    };
    add(4, 0, artist);
    add(1, titleStart, character_count(sent.title));
    return tags;
}

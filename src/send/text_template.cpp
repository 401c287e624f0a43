// SPDX-License-Identifier: MIT
#include "text_template.h"

#include "on_air_text.h"

#include <algorithm>

namespace {

bool has_letter_or_digit(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

// Line breaks (of any kind) and tabs as blanks, other control characters
// dropped: what
// a station writes goes out as one clean line, as the document's values do.
QString as_one_line(const QString &text)
{
    QString line;
    line.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t') ||
            c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            line += QLatin1Char(' ');
        else if (!is_control(c))
            line += c;
    }
    return line;
}

// The closing bracket or quote that ends what `opening` starts, or a null
// character when it starts nothing.
QChar closing_of(QChar opening)
{
    static const QString openings = QStringLiteral("([{<\u00AB\u201C\u201E\"'");
    static const QString closings = QStringLiteral(")]}>\u00BB\u201D\u201C\"'");
    const int at = int(openings.indexOf(opening));
    return at < 0 ? QChar() : closings.at(at);
}

// An empty field takes the brackets around it along ("{NAME} ({ALBUM})"
// with no album is the title alone, not "Кукушка)"): the opening bracket
// that ends the text before it and the matching one that starts the text
// after it.
void drop_brackets_around(QString &before, QString &after)
{
    int open = int(before.size()) - 1, close = 0;
    while (open >= 0 && before.at(open) == QLatin1Char(' '))
        --open;
    while (close < after.size() && after.at(close) == QLatin1Char(' '))
        ++close;
    if (open < 0 || close >= after.size() || closing_of(before.at(open)).isNull() ||
        after.at(close) != closing_of(before.at(open)))
        return;
    before.remove(open, 1);
    after.remove(close, 1);
}

// One bracket or quote of the template's own text: the literal part it
// stands in (an index into the kept parts) and where in that part.
struct Mark {
    int part;
    int at;
};

// A literal that does not stand takes along the other half of every
// bracket or quote it opened or closed: "{ARTIST} ({NAME})" with no artist
// is the title alone, not "Кукушка)". The halves are paired over the
// template's literals in order, whether they stand or not, so a bracket
// is never paired with one from a document's value. A straight quote
// followed by a letter after a letter or a field is an apostrophe
// ("Rock'n'Roll", "{ARTIST}'s").
void drop_lone_halves(const QVector<int> &literals, const QVector<bool> &standing,
                      const QVector<bool> &afterField, QStringList &texts)
{
    QVector<Mark> open;
    QVector<Mark> orphans;
    for (int n = 0; n < literals.size(); ++n) {
        const QString &text = texts.at(literals[n]);
        for (int at = 0; at < text.size(); ++at) {
            const QChar c = text.at(at);
            if (!open.isEmpty() &&
                c == closing_of(texts.at(literals[open.back().part]).at(open.back().at))) {
                const Mark opening = open.takeLast();
                if (standing[opening.part] != standing[n])
                    orphans << (standing[n] ? Mark{n, at} : opening);
            } else if (!closing_of(c).isNull() &&
                       !(c == QLatin1Char('\'') && at + 1 < text.size() &&
                         text.at(at + 1).isLetter() &&
                         (at > 0 ? text.at(at - 1).isLetter() : afterField[n]))) {
                open << Mark{n, at};
            }
        }
    }
    // From the last, so that the places of the others stay right.
    std::sort(orphans.begin(), orphans.end(), [](const Mark &a, const Mark &b) {
        return a.part != b.part ? a.part > b.part : a.at > b.at;
    });
    for (const Mark &orphan : orphans)
        texts[literals[orphan.part]].remove(orphan.at, 1);
}

} // namespace

TextTemplate parse_template(const QString &written, bool optionalParts)
{
    TextTemplate parsed;
    parsed.written = written;
    parsed.query = !optionalParts;
    QString literal;
    int optional = -1, optionals = 0;
    const auto flush = [&]() {
        if (!literal.isEmpty())
            parsed.parts.append({false, as_one_line(literal), optional});
        literal.clear();
    };
    for (int at = 0; at < written.size(); ++at) {
        const QChar c = written.at(at);
        const QChar next = at + 1 < written.size() ? written.at(at + 1) : QChar();
        if ((c == QLatin1Char('{') || c == QLatin1Char('}')) && next == c) {
            literal += c;
            ++at;
        } else if (c == QLatin1Char('{')) {
            const int close = int(written.indexOf(QLatin1Char('}'), at + 1));
            const QString tag =
                close < 0 ? QString() : written.mid(at + 1, close - at - 1).trimmed();
            if (close < 0 || tag.isEmpty() || tag.contains(QLatin1Char('{'))) {
                parsed.error = QStringLiteral("has a \"{\" at character %1 that names no tag "
                                              "(write \"{{\" for the brace itself)")
                                   .arg(at + 1);
                return parsed;
            }
            flush();
            parsed.parts.append({true, tag, optional});
            at = close;
        } else if (c == QLatin1Char('[') && optionalParts) {
            if (optional >= 0) {
                parsed.error = QStringLiteral("has a \"[\" at character %1 inside an optional "
                                              "part, and optional parts do not nest")
                                   .arg(at + 1);
                return parsed;
            }
            flush();
            optional = optionals++;
        } else if (c == QLatin1Char(']') && optionalParts && optional >= 0) {
            flush();
            optional = -1;
        } else {
            literal += c;
        }
    }
    if (optional >= 0) {
        parsed.error = QStringLiteral("has a \"[\" that is never closed with \"]\"");
        return parsed;
    }
    flush();
    return parsed;
}

QStringList template_tags(const TextTemplate &parsed)
{
    QStringList tags;
    for (const TemplatePart &part : parsed.parts)
        if (part.field && !tags.contains(part.text))
            tags << part.text;
    return tags;
}

bool can_be_nonempty(const TextTemplate &parsed)
{
    return std::any_of(parsed.parts.begin(), parsed.parts.end(), [](const TemplatePart &part) {
        return part.field || (part.optional < 0 && has_letter_or_digit(part.text));
    });
}

FilledText fill_template(const TextTemplate &parsed, const TagValue &value, const LiteralForm &form)
{
    // Each part's text first, so that an optional part can be judged whole.
    QStringList texts;
    QVector<int> emptyOptionals;
    for (const TemplatePart &part : parsed.parts) {
        const QString text = part.field ? value(part.text) : form ? form(part.text) : part.text;
        if (part.field && text.isEmpty() && part.optional >= 0)
            emptyOptionals << part.optional;
        texts << text;
    }
    if (parsed.query) {
        FilledText filled;
        filled.text = texts.join(QString());
        for (int i = 0; i < parsed.parts.size(); ++i)
            filled.anyValue =
                filled.anyValue || (parsed.parts.at(i).field && !texts.at(i).isEmpty());
        return filled;
    }
    // What is left once the empty optional parts are gone, and for each
    // literal part whether it stands: between two fields, only when both
    // have a value ("{ARTIST} - {NAME}" with no artist is the title alone);
    // before the first field or after the last, when any field has one.
    QVector<int> kept;
    for (int i = 0; i < parsed.parts.size(); ++i)
        if (parsed.parts.at(i).optional < 0 ||
            !emptyOptionals.contains(parsed.parts.at(i).optional))
            kept << i;
    bool anyValue = false;
    for (const int i : kept)
        anyValue = anyValue || (parsed.parts.at(i).field && !texts.at(i).isEmpty());
    const auto isField = [&](int k) { return parsed.parts.at(kept[k]).field; };
    const auto valued = [&](int k) { return isField(k) && !texts.at(kept[k]).isEmpty(); };
    for (int k = 1; k + 1 < kept.size(); ++k)
        if (isField(k) && !valued(k) && !isField(k - 1) && !isField(k + 1))
            drop_brackets_around(texts[kept[k - 1]], texts[kept[k + 1]]);
    const auto stands = [&](int k) {
        int before = k - 1, after = k + 1;
        while (before >= 0 && !isField(before))
            --before;
        while (after < kept.size() && !isField(after))
            ++after;
        const bool fieldBefore = before >= 0, fieldAfter = after < kept.size();
        if (!fieldBefore || !fieldAfter)
            return fieldBefore || fieldAfter ? anyValue : true;
        if (valued(before) && valued(after))
            return true;
        // Between two values with only empty fields between them ("{ARTIST}
        // - {ALBUM} - {NAME}" with no album), the first text after the
        // left value stands for all, so that the two never run together.
        while (before >= 0 && !valued(before))
            --before;
        while (after < kept.size() && !valued(after))
            ++after;
        if (before < 0 || after >= kept.size())
            return false;
        int first = before + 1;
        while (first < after && (isField(first) || texts.at(kept[first]).isEmpty()))
            ++first;
        return first == k;
    };
    QVector<int> literals;
    QVector<bool> standing, afterField;
    for (int k = 0; k < kept.size(); ++k) {
        if (!isField(k)) {
            literals << kept[k];
            standing << stands(k);
            afterField << (k > 0 && isField(k - 1));
        }
    }
    drop_lone_halves(literals, standing, afterField, texts);
    FilledText filled;
    // Blanks at the ends dropped and runs of blanks made one as the text is
    // put together, so that the spans stay right.
    QString &out = filled.text;
    const auto append = [&out](const QString &text) {
        for (const QChar c : text) {
            if (c == QLatin1Char(' ') && (out.isEmpty() || out.endsWith(QLatin1Char(' '))))
                continue;
            out += c;
        }
    };
    for (int k = 0, n = 0; k < kept.size(); ++k) {
        const int i = kept[k];
        const TemplatePart &part = parsed.parts.at(i);
        if (!part.field && !standing[n++])
            continue;
        const int before = int(out.size());
        append(texts.at(i));
        if (!part.field)
            continue;
        filled.anyValue = filled.anyValue || !texts.at(i).isEmpty();
        TextSpan *span = part.text == QLatin1String("ARTIST") ? &filled.artist
                         : part.text == QLatin1String("NAME") ? &filled.title
                                                              : nullptr;
        if (span && span->start < 0 && out.size() > before) {
            // A blank the value started with may have been dropped.
            const int start = out.at(before) == QLatin1Char(' ') ? before + 1 : before;
            *span = {start, int(out.size()) - start};
        }
    }
    if (out.endsWith(QLatin1Char(' ')))
        out.chop(1);
    for (TextSpan *span : {&filled.artist, &filled.title})
        if (span->start >= 0)
            span->length = qMin(span->length, int(out.size()) - span->start);
    return filled;
}

bool is_empty_text(const FilledText &filled)
{
    return !filled.anyValue && !has_letter_or_digit(filled.text);
}

// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// A destination's text as a station writes it (SEND1TEXT, SEND1IDLE,
// IDLETEXT, a web hook's query): "{TAG}" stands for the value of the
// document's element TAG, "{{" and "}}" for the braces themselves, and
// "[ ... ]" for an optional part, dropped whole when any {TAG} in it is
// empty. Optional parts do not nest. Line breaks and tabs in the written
// text are blanks; other control characters are dropped.

struct TemplatePart {
    bool field = false; // {TAG}: `text` is the tag; otherwise literal text
    QString text;
    int optional = -1; // the optional part it belongs to, or -1
};

struct TextTemplate {
    QString written; // as the station wrote it
    QVector<TemplatePart> parts;
    QString error;      // why it cannot be used (an unclosed "{" or "["): empty when it can
    bool query = false; // a URL's query: its text stands as written, empty fields or not
};

// `written` read as a template; with `optionalParts` false, "[" and "]"
// are text and so is every other character (a URL's query, where
// "&title=" must stay even when the artist before it is empty).
TextTemplate parse_template(const QString &written, bool optionalParts = true);

// The tags it names, each once, in order.
QStringList template_tags(const TextTemplate &parsed);

// Whether it can ever give a text that is not empty (with no letter or
// digit): it names a tag, or has a letter or digit outside optional parts.
bool can_be_nonempty(const TextTemplate &parsed);

// A part of a text, in UTF-16 code units; a start of -1 is none.
struct TextSpan {
    int start = -1;
    int length = 0;
};

// A template filled in: the text, one clean line (blanks at the ends
// dropped, runs of blanks one blank), where the first {ARTIST} and {NAME}
// stand in it, and whether any tag had a value. Literal text between two
// fields stands only when both have a value ("{ARTIST} - {NAME}" with no
// artist is the title alone, with no title the artist alone); literal text
// before the first field or after the last stands when any field has a
// value ("Now: {NAME}"). Where only empty fields stand between two values,
// the first text after the left value stands for all ("{ARTIST} -
// {ALBUM} - {NAME}" with no album is "Кино - Кукушка"), an empty field
// takes the brackets or quotes right around it along ("{NAME}
// ({ALBUM})" with no album is the title alone), and a bracket or quote
// whose partner went with a literal that does not stand goes too
// ("{ARTIST} ({NAME})" with no artist is the title alone).
struct FilledText {
    QString text;
    TextSpan artist;
    TextSpan title;
    bool anyValue = false;
};

// Fills `parsed` with each tag's `value` and each literal part's `form`
// (the literal itself by default, its Latin form for RadioText).
using TagValue = std::function<QString(const QString &tag)>;
using LiteralForm = std::function<QString(const QString &literal)>;
FilledText fill_template(const TextTemplate &parsed, const TagValue &value,
                         const LiteralForm &form = nullptr);

// Whether a filled text stands for nothing: no tag had a value and it holds
// no letter or digit (blanks and the template's punctuation only).
bool is_empty_text(const FilledText &filled);

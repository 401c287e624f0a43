// SPDX-License-Identifier: MIT
#include "check_parts.h"

#include "declaration.h"
#include "encoding.h"
#include "file_judgement.h"
#include "preview.h"
#include "sent_text.h"

#include <QDateTime>
#include <QTextCodec>

namespace {

// Characters an output's encoding cannot hold, which the pass writes as "?".
void check_encodable(Findings &f, const PlannedOutput &output, const QString &what)
{
    QTextCodec *const codec = codec_or_locale(output.codec);
    QStringList lost;
    for (const QString &c : characters_of(output.text))
        if (!codec->canEncode(c))
            lost << c;
    if (!lost.isEmpty())
        f.add(previewSection, Level::Warning,
              QStringLiteral("%1 is written in %2, which cannot hold %3: the pass writes \"?\" "
                             "instead")
                  .arg(what, codec_name(codec), listed(lost)));
}

bool is_latin(const QString &c)
{
    const QChar first = c.at(0);
    return (first.unicode() >= 0x20 && first.unicode() < 0x7F) || first == QLatin1Char('\n') ||
           (c.size() == 1 && first.script() == QChar::Script_Latin);
}

} // namespace

void check_preview(Findings &f, const PassPlan &plan)
{
    const PlannedOutput &meta = plan.output(Output::Meta), &rds = plan.output(Output::Rds);
    for (const PlannedOutput *output : {&meta, &rds}) {
        QTextCodec *const codec = codec_or_locale(output->codec);
        // What a reader of the file sees, "?" for what the encoding lost.
        const QString shown = codec->toUnicode(encode_text(output->text, output->codec));
        f.add(previewSection, Level::Ok,
              (output == &meta ? QStringLiteral("META file: ") : QStringLiteral("RDS file: ")) +
                  visible(shown));
    }
    for (const PlannedOutput &output : plan.outputs)
        check_encodable(f, output, output_name(output.which));
    QStringList foreign;
    for (const QString &c : characters_of(rds.text))
        if (!is_latin(c))
            foreign << c;
    if (!foreign.isEmpty())
        f.add(previewSection, Level::Warning,
              QStringLiteral("the RDS text keeps characters that are not Latin, which RadioText "
                             "receivers cannot show: ") +
                  listed(foreign));
    if (character_count(rds.text) > radioTextLength)
        f.add(
            previewSection, Level::Warning,
            QStringLiteral("the RDS text has %1 characters; RadioText shows %2 (the pass still "
                           "writes them all)")
                .arg(QString::number(character_count(rds.text)), QString::number(radioTextLength)));
}

const PreviewOutput *previewed(const Preview &preview, Output which)
{
    for (const PreviewOutput &output : preview)
        if (output.which == which)
            return &output;
    return nullptr;
}

Preview preview_of(const PassPlan &plan)
{
    Preview preview;
    if (plan.stop != PassOutcome::Written)
        return preview;
    for (const PlannedOutput &output : plan.outputs) {
        if (!overwritten_input(output).isEmpty() || !output_problem(output.path).isEmpty())
            break;
        PreviewOutput entry{output.which, output.path, codec_name(output.codec),
                            encode_text(output.text, output.codec), std::nullopt};
        if (output.which == Output::Copy) {
            const NameSpan declaration = xml_declaration(output.text);
            if (declaration.start >= 0)
                entry.declaration = output.text.mid(declaration.start, declaration.length);
        }
        preview.push_back(entry);
    }
    return preview;
}

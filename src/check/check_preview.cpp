// SPDX-License-Identifier: MIT
#include "check_parts.h"

#include "conversion.h"
#include "file_identity.h"
#include "output_file.h"
#include "text_file.h"

#include <QDateTime>
#include <QTextCodec>

namespace {

const char *const outputNames[] = {"the copy", "the META file", "the RDS file"};

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
    const PlannedOutput &meta = plan.outputs[1], &rds = plan.outputs[2];
    for (const PlannedOutput *output : {&meta, &rds}) {
        QTextCodec *const codec = codec_or_locale(output->codec);
        // What a reader of the file sees, "?" for what the encoding lost.
        const QString shown = codec->toUnicode(encode_text(output->text, output->codec));
        f.add(previewSection, Level::Ok,
              (output == &meta ? QStringLiteral("META file: ") : QStringLiteral("RDS file: ")) +
                  visible(shown));
    }
    for (size_t i = 0; i < plan.outputs.size(); ++i)
        check_encodable(f, plan.outputs[i], QLatin1String(outputNames[i]));
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
        f.add(previewSection, Level::Warning,
              QStringLiteral("the RDS text has %1 characters; RadioText shows %2 (the pass still "
                             "writes them all)")
                  .arg(character_count(rds.text))
                  .arg(radioTextLength));
}

// The outputs a pass at `now` writes, in order, until the first it would
// not (an input in its place, or a path it cannot create).
std::array<std::optional<PreviewOutput>, 3> preview_of(const PassPlan &plan)
{
    std::array<std::optional<PreviewOutput>, 3> preview;
    if (plan.stop != PassOutcome::Written)
        return preview;
    for (size_t i = 0; i < plan.outputs.size(); ++i) {
        const PlannedOutput &output = plan.outputs[i];
        if (!overwritten_input(output).isEmpty() || !output_problem(output.path).isEmpty())
            break;
        PreviewOutput entry{output.path, codec_name(output.codec),
                            encode_text(output.text, output.codec), std::nullopt};
        if (i == 0) {
            const NameSpan declaration = xml_declaration(output.text);
            if (declaration.start >= 0)
                entry.declaration = output.text.mid(declaration.start, declaration.length);
        }
        preview[i] = entry;
    }
    return preview;
}

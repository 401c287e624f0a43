// One pass over the now-playing document: settings, bad-hours gate, letters,
// codecs, document, then the copy, the META file and the RDS file.
// Every path ends with exit status 0: the playout program that starts us on
// each track change takes anything else as its own failure.

#include "conversion.h"
#include "settings_file.h"
#include "tag_extract.h"
#include "text_file.h"

#include <QDateTime>

#include <clocale>
#include <cstdio>

namespace {

// Standard error carries only our own messages; Qt's diagnostics would be
// taken for them by whoever watches the log.
void drop_qt_message(QtMsgType, const QMessageLogContext &, const QString &)
{
}

int end_pass(const char *message)
{
    std::fputs(message, stderr);
    std::fputs("\n", stderr);
    std::fflush(stderr);
    return 0;
}

// Null when the file was written, otherwise the message for the failure.
const char *write_failure(WriteResult result, const char *cantCreate, const char *cantWrite)
{
    switch (result) {
    case WriteResult::Written:
        return nullptr;
    case WriteResult::NotCreated:
        return cantCreate;
    case WriteResult::NotWritten:
        return cantWrite;
    }
    return cantWrite;
}

} // namespace

int main()
{
    qInstallMessageHandler(drop_qt_message);
    // The process locale decides the encoding of the RDS file. (An
    // application object would set it too, at the cost of an event loop we
    // never run.)
    std::setlocale(LC_CTYPE, "");

    const std::optional<RunSettings> settings = load_settings(QStringLiteral("settings.txt"));
    if (!settings)
        return end_pass("cant read settings");

    // Day and hour from one reading of the clock: read apart, they could
    // straddle midnight and pair Monday's date with Tuesday's hour 0.
    const QDateTime now = QDateTime::currentDateTime();
    if (in_bad_hours(*settings, now.date().dayOfWeek(), now.time().hour()))
        return 0;

    const std::optional<QString> rusLetters =
        read_text_file(QStringLiteral("rusletters.txt"), nullptr);
    if (!rusLetters)
        return end_pass("cant read russian letters");

    QTextCodec *const metaCod = codec_for_name(settings->metaEnc);
    QTextCodec *const inXmlCod = codec_for_name(settings->inXmlEnc);
    QTextCodec *const outXmlCod = codec_for_name(settings->outXmlEnc);

    std::optional<QString> stringFromFile = read_text_file(settings->xmlName, inXmlCod);
    if (!stringFromFile)
        return end_pass("cant open XML");
    const QString rusName = extract(*stringFromFile, QStringLiteral("NAME"));
    const QString rusArtist = extract(*stringFromFile, QStringLiteral("ARTIST"));

    const LatinForms eng = latin_forms(rusArtist, rusName, *rusLetters);
    // The document is not needed past this point: moving it lets the rewrite
    // work in place instead of on a copy.
    const QString encoded =
        rewrite_encoding(std::move(*stringFromFile), settings->inXmlEnc, settings->outXmlEnc);

    if (const char *failure =
            write_failure(write_text_file(settings->newXmlName, encoded, outXmlCod),
                          "cant create XML", "cant write XML"))
        return end_pass(failure);
    if (const char *failure = write_failure(
            write_text_file(settings->metaName,
                            meta_text(rusArtist, settings->metaSplitter, rusName), metaCod),
            "cant create META file", "cant write META file"))
        return end_pass(failure);
    if (const char *failure = write_failure(
            write_text_file(settings->rdsName, rds_text(eng, settings->rdsSplitter), nullptr),
            "cant create RDS", "cant write RDS"))
        return end_pass(failure);
    return 0;
}

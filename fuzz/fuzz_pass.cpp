// SPDX-License-Identifier: MIT
// One whole pass, in process, on arbitrary settings, letters and document in
// a temporary folder, at an hour of the week the input picks. Checked: the
// pass creates or changes no file but its three outputs, never overwrites
// the settings or the letters (nor the document, but with the copy), and its
// outcome has a message exactly when it is a failure.
#include "fuzz_input.h"
#include "pass.h"
#include "settings.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTextCodec>

#include <cstdlib>

namespace {

// Devices a path may name. An endless input (/dev/zero) is left to the
// end-to-end tests: refusing it takes seconds here, and the fuzzer would keep
// coming back to it.
const QStringList outputDevices = {"/dev/full", "/dev/zero", "/dev/null"};
const QStringList inputDevices = {"/dev/null"};

void check(bool property)
{
    if (!property)
        std::abort();
}

// Only paths that stay inside the folder (or harmless devices) are run, so
// that the fuzzer can never write elsewhere on the machine.
bool confined(QString path, const QStringList &devices)
{
    path.truncate(path.indexOf(QChar(0)) < 0 ? path.size() : path.indexOf(QChar(0)));
    return devices.contains(path) ||
           (QDir::isRelativePath(path) && !path.startsWith(':') && !path.split('/').contains(".."));
}

void put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    check(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A Monday midnight plus as many hours as the input's size picks, so that
// inputs with bad hours reach both sides of the gate.
QDateTime hour_of_week(size_t size)
{
    return QDateTime(QDate(2026, 12, 7), QTime(0, 0)).addSecs(qint64(size % (7 * 24)) * 3600);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QTemporaryDir root;
    const QList<QByteArray> parts = split_parts(data, size, 3);
    QDir dir(root.path());
    check(dir.removeRecursively() && dir.mkpath("."));
    const QStringList inputs = {"settings.txt", "rusletters.txt", "doc.xml"};
    for (int i = 0; i < inputs.size(); ++i)
        put(dir.filePath(inputs[i]), parts[i]);

    const std::optional<RunSettings> settings =
        load_settings(dir.filePath("settings.txt"), QTextCodec::codecForLocale());
    const QStringList outputs =
        settings ? QStringList{settings->copyPath, settings->metaPath, settings->rdsPath}
                 : QStringList();
    for (const QString &path : outputs)
        if (!confined(path, outputDevices))
            return -1;
    if (settings && !confined(settings->documentPath, inputDevices))
        return -1;

    const PassOutcome outcome = run_pass(hour_of_week(size), root.path());
    const bool failed = outcome != PassOutcome::Written && outcome != PassOutcome::BlockedHour;
    check(pass_message(outcome).isEmpty() != failed);

    // The settings and the letters never change; the document only when the
    // copy is written over it.
    QSet<QString> allowed;
    for (const QString &path : outputs)
        allowed << QDir::cleanPath(dir.absoluteFilePath(path));
    const QString copy =
        outputs.isEmpty() ? QString() : QDir::cleanPath(dir.absoluteFilePath(outputs[0]));
    for (int i = 0; i < inputs.size(); ++i) {
        const QString path = dir.filePath(inputs[i]);
        check(contents(path) == parts[i] || (i == 2 && path == copy));
        allowed << path;
    }
    QDirIterator it(dir.path(),
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        check(allowed.contains(QDir::cleanPath(it.next())));
    return 0;
}

// One whole pass, in process, on arbitrary settings, letters and document in
// a temporary folder. The run sequence is the program's own main, compiled
// into this target under another name. Checked: the pass prints at most one
// of its messages and creates or changes no file but its three outputs.
#include "fuzz_input.h"
#include "settings_file.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int nowplaying_main();

namespace {

const QStringList messages = {"",
                              "cant read settings\n",
                              "cant read russian letters\n",
                              "cant open XML\n",
                              "cant create XML\n",
                              "cant write XML\n",
                              "cant create META file\n",
                              "cant write META file\n",
                              "cant create RDS\n",
                              "cant write RDS\n"};
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

// Runs the pass with its standard error caught in a temporary file.
QString run_pass()
{
    std::FILE *caught = std::tmpfile();
    check(caught != nullptr);
    std::fflush(stderr);
    const int saved = dup(2);
    dup2(fileno(caught), 2);
    check(nowplaying_main() == 0);
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    QFile file;
    std::rewind(caught);
    check(file.open(caught, QIODevice::ReadOnly));
    const QString message = QString::fromUtf8(file.readAll());
    file.close();
    std::fclose(caught);
    return message;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QTemporaryDir root;
    static const QString home = QDir::currentPath();
    const QList<QByteArray> parts = split_parts(data, size, 3);
    QDir dir(root.path());
    check(dir.removeRecursively() && dir.mkpath("."));
    const QStringList inputs = {"settings.txt", "rusletters.txt", "doc.xml"};
    for (int i = 0; i < inputs.size(); ++i)
        put(dir.filePath(inputs[i]), parts[i]);

    const std::optional<RunSettings> settings = load_settings(dir.filePath("settings.txt"));
    const QStringList outputs =
        settings ? QStringList{settings->newXmlName, settings->metaName, settings->rdsName}
                 : QStringList();
    for (const QString &path : outputs)
        if (!confined(path, outputDevices))
            return -1;
    if (settings && !confined(settings->xmlName, inputDevices))
        return -1;

    check(QDir::setCurrent(root.path()));
    const QString message = run_pass();
    check(QDir::setCurrent(home));
    check(messages.contains(message));

    QSet<QString> allowed;
    for (const QString &path : outputs)
        allowed << QDir::cleanPath(dir.absoluteFilePath(path));
    for (int i = 0; i < inputs.size(); ++i) {
        const QString path = dir.filePath(inputs[i]);
        check(allowed.contains(path) || contents(path) == parts[i]);
        allowed << path;
    }
    QDirIterator it(dir.path(),
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        check(allowed.contains(QDir::cleanPath(it.next())));
    return 0;
}

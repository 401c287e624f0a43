// SPDX-License-Identifier: MIT
#include "scheduled_task.h"

#include "outside_text.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QXmlStreamWriter>

namespace {

// One argument as CommandLineToArgvW reads it back: backslashes doubled
// before a quote and before the closing quote.
QString quoted(const QString &argument)
{
    static const QRegularExpression needsQuotes(QStringLiteral("[ \\t\"]"));
    if (!argument.isEmpty() && !argument.contains(needsQuotes))
        return argument;
    QString out = QStringLiteral("\"");
    int backslashes = 0;
    for (const QChar c : argument) {
        if (c == QLatin1Char('\\')) {
            ++backslashes;
            continue;
        }
        out +=
            QString(c == QLatin1Char('"') ? 2 * backslashes + 1 : backslashes, QLatin1Char('\\'));
        backslashes = 0;
        out += c;
    }
    return out + QString(2 * backslashes, QLatin1Char('\\')) + QLatin1Char('"');
}

TaskCall schtasks(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("schtasks"), arguments);
    if (!process.waitForStarted(10000))
        return {false, QStringLiteral("schtasks could not be started: ") + process.errorString()};
    const bool ended = process.waitForFinished(60000);
    const QString said = quoted_reply(QString::fromLocal8Bit(process.readAll()), 500);
    if (!ended)
        return {false, QStringLiteral("schtasks gave no answer within a minute")};
    return {process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
            said.isEmpty() ? QStringLiteral("exit status %1").arg(process.exitCode()) : said};
}

} // namespace

QString task_name(const QStringList &folders)
{
    QString name = QStringLiteral("nowplaying-watch");
    if (!folders.isEmpty()) {
        name += QLatin1Char(' ') + QDir(folders.first()).dirName();
        if (folders.size() > 1)
            name += QStringLiteral(" and %1 more").arg(folders.size() - 1);
    }
    return name.remove(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|]")));
}

QString windows_command_line(const QStringList &arguments)
{
    QStringList quotedArguments;
    for (const QString &argument : arguments)
        quotedArguments << quoted(argument);
    return quotedArguments.join(QLatin1Char(' '));
}

QString task_xml(const QString &program, const QStringList &arguments, const QString &workingFolder,
                 const QString &user)
{
    QString xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement(QStringLiteral("Task"));
    w.writeAttribute(QStringLiteral("version"), QStringLiteral("1.2"));
    w.writeDefaultNamespace(
        QStringLiteral("http://schemas.microsoft.com/windows/2004/02/mit/task"));
    w.writeStartElement(QStringLiteral("RegistrationInfo"));
    w.writeTextElement(QStringLiteral("Description"),
                       QStringLiteral("nowplaying-watch %1").arg(windows_command_line(arguments)));
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("Triggers"));
    w.writeStartElement(QStringLiteral("BootTrigger"));
    w.writeTextElement(QStringLiteral("Enabled"), QStringLiteral("true"));
    w.writeEndElement();
    // Every minute, for ever: with one instance at a time, this starts a
    // watcher that died, and does nothing while one runs.
    w.writeStartElement(QStringLiteral("TimeTrigger"));
    w.writeStartElement(QStringLiteral("Repetition"));
    w.writeTextElement(QStringLiteral("Interval"), QStringLiteral("PT1M"));
    w.writeTextElement(QStringLiteral("StopAtDurationEnd"), QStringLiteral("false"));
    w.writeEndElement();
    w.writeTextElement(QStringLiteral("StartBoundary"), QStringLiteral("2000-01-01T00:00:00"));
    w.writeTextElement(QStringLiteral("Enabled"), QStringLiteral("true"));
    w.writeEndElement();
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("Principals"));
    w.writeStartElement(QStringLiteral("Principal"));
    w.writeAttribute(QStringLiteral("id"), QStringLiteral("Author"));
    w.writeTextElement(QStringLiteral("UserId"), user);
    // Whether the user is logged on or not, without a stored password.
    w.writeTextElement(QStringLiteral("LogonType"), QStringLiteral("S4U"));
    w.writeTextElement(QStringLiteral("RunLevel"), QStringLiteral("LeastPrivilege"));
    w.writeEndElement();
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("Settings"));
    w.writeTextElement(QStringLiteral("MultipleInstancesPolicy"), QStringLiteral("IgnoreNew"));
    w.writeTextElement(QStringLiteral("DisallowStartIfOnBatteries"), QStringLiteral("false"));
    w.writeTextElement(QStringLiteral("StopIfGoingOnBatteries"), QStringLiteral("false"));
    w.writeTextElement(QStringLiteral("StartWhenAvailable"), QStringLiteral("true"));
    w.writeTextElement(QStringLiteral("ExecutionTimeLimit"), QStringLiteral("PT0S"));
    w.writeStartElement(QStringLiteral("RestartOnFailure"));
    w.writeTextElement(QStringLiteral("Interval"), QStringLiteral("PT1M"));
    w.writeTextElement(QStringLiteral("Count"), QStringLiteral("999"));
    w.writeEndElement();
    w.writeTextElement(QStringLiteral("Enabled"), QStringLiteral("true"));
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("Actions"));
    w.writeAttribute(QStringLiteral("Context"), QStringLiteral("Author"));
    w.writeStartElement(QStringLiteral("Exec"));
    w.writeTextElement(QStringLiteral("Command"), QDir::toNativeSeparators(program));
    w.writeTextElement(QStringLiteral("Arguments"), windows_command_line(arguments));
    w.writeTextElement(QStringLiteral("WorkingDirectory"), QDir::toNativeSeparators(workingFolder));
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}

TaskCall register_task(const QString &name, const QString &xml)
{
    QTemporaryFile file(QDir::temp().filePath(QStringLiteral("nowplaying-task-XXXXXX.xml")));
    // As Task Scheduler writes its own: UTF-16 with a byte-order mark.
    QString text = xml;
    text.replace(QStringLiteral("<?xml version=\"1.0\"?>"),
                 QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>"));
    QByteArray bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char *>(text.utf16()), int(text.size()) * 2);
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
        return {false,
                QStringLiteral("the task's XML could not be written: ") + file.errorString()};
    // Closed, but kept: schtasks must be able to open it.
    file.close();
    return schtasks({QStringLiteral("/Create"), QStringLiteral("/XML"),
                     QDir::toNativeSeparators(file.fileName()), QStringLiteral("/TN"), name,
                     QStringLiteral("/F")});
}

TaskCall remove_task(const QString &name)
{
    return schtasks({QStringLiteral("/Delete"), QStringLiteral("/TN"), name, QStringLiteral("/F")});
}

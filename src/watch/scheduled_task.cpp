// SPDX-License-Identifier: MIT
#include "scheduled_task.h"

#include <QDir>
#include <QRegularExpression>
#include <QXmlStreamWriter>

namespace {

// A path in double quotes that CommandLineToArgvW gives back as it is: the
// backslashes before the closing quote doubled ("C:\\").
QString quoted(const QString &path)
{
    QString native = QDir::toNativeSeparators(path);
    int backslashes = 0;
    while (backslashes < native.size() &&
           native.at(native.size() - 1 - backslashes) == QLatin1Char('\\'))
        ++backslashes;
    native += QString(backslashes, QLatin1Char('\\'));
    return QLatin1Char('"') + native + QLatin1Char('"');
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

QString task_xml(const QString &program, const QStringList &folders, const QString &user)
{
    QStringList arguments;
    const QString log = QDir(folders.value(0)).filePath(QStringLiteral("nowplaying-watch.log"));
    arguments << QStringLiteral("--log") << quoted(log);
    for (const QString &folder : folders)
        arguments << quoted(folder);

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
                       QStringLiteral("nowplaying-watch for %1")
                           .arg(QDir::toNativeSeparators(folders.join(QStringLiteral(", ")))));
    w.writeEndElement();
    w.writeStartElement(QStringLiteral("Triggers"));
    w.writeStartElement(QStringLiteral("BootTrigger"));
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
    w.writeTextElement(QStringLiteral("Arguments"), arguments.join(QLatin1Char(' ')));
    w.writeTextElement(QStringLiteral("WorkingDirectory"),
                       QDir::toNativeSeparators(folders.value(0)));
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return xml;
}

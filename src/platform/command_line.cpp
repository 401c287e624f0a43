// SPDX-License-Identifier: MIT
#include "command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

// The argument that gave option `name`, as typed ("-x", "--name=...").
QString as_typed(const QStringList &arguments, const QString &name)
{
    for (const QString &argument : arguments.mid(1)) {
        QString bare = argument;
        while (bare.startsWith(QLatin1Char('-')))
            bare.remove(0, 1);
        if (bare == name || bare.startsWith(name + QLatin1Char('=')))
            return argument;
    }
    return QStringLiteral("--") + name;
}

QString argument_error(QCommandLineParser &parser, const QStringList &arguments)
{
    if (parser.parse(arguments))
        return QString();
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return QStringLiteral("unknown option ") + as_typed(arguments, unknown.first());
    // An option that takes a value given last, without one, or one that
    // takes none given one.
    if (parser.errorText().startsWith(QLatin1String("Missing value")))
        return arguments.last() + QStringLiteral(" needs a value");
    return parser.errorText();
}

} // namespace

ArgumentsRead read_arguments(QCommandLineParser &parser, const ProgramAbout &about, bool aloneOnly)
{
    const QCommandLineOption help(QStringLiteral("help")), version(QStringLiteral("version"));
    parser.addOptions({help, version});
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QStringList arguments = QCoreApplication::arguments();
    ArgumentsRead read{false, argument_error(parser, arguments)};
    if (!read.error.isEmpty() || (aloneOnly && arguments.size() != 2))
        return read;
    if (parser.isSet(help)) {
        std::fputs(about.usage, stdout);
        read.answered = true;
    } else if (parser.isSet(version)) {
        std::printf("%s %s\n", about.name, about.version);
        read.answered = true;
    }
    return read;
}

#include "app/cli/cliargs.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

TCliParse ParseCliArgs(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Reads the memory of a server attached through USB and writes it to "
                       "OUTPUT.\n\nExit status: 0 success, 1 output-file error, 2 server not "
                       "found, 3 communication error, 130 interrupted (Ctrl+C), 64 bad "
                       "arguments."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption shutdown(QStringLiteral("shutdown"),
                                      QStringLiteral("Shut the server down before reading."));
    const QCommandLineOption lang(QStringLiteral("lang"),
                                  QStringLiteral("Language of the texts: en or nl (default en)."),
                                  QStringLiteral("en|nl"), QStringLiteral("en"));
    parser.addOption(shutdown);
    parser.addOption(lang);
    parser.addPositionalArgument(QStringLiteral("OUTPUT"),
                                 QStringLiteral("The dump file to write (1536 bytes)."));

    TCliParse result;
    if (!parser.parse(arguments)) {
        result.Action = TCliParse::caError;
        result.Text = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) {
        result.Action = TCliParse::caHelp;
        result.Text = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.Action = TCliParse::caVersion;
        result.Text = QCoreApplication::applicationName() + QLatin1Char(' ') +
                      QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return result;
    }
    const QStringList positional = parser.positionalArguments();
    const QString language = parser.value(lang);
    result.Action = TCliParse::caError;
    if (positional.size() != 1)
        result.Text = positional.isEmpty() ? QStringLiteral("Missing OUTPUT.")
                                           : QStringLiteral("Only one OUTPUT may be given.");
    else if (positional[0].isEmpty())
        result.Text = QStringLiteral("OUTPUT must not be empty.");
    else if (language != QLatin1String("en") && language != QLatin1String("nl"))
        result.Text = QStringLiteral("Unknown language '%1': use en or nl.").arg(language);
    else
        result.Action = TCliParse::caRun;
    if (result.Action == TCliParse::caRun) {
        result.Args.Output = QFile::encodeName(positional[0]).toStdString();
        result.Args.Shutdown = parser.isSet(shutdown);
        result.Args.LangIndex = language == QLatin1String("nl") ? 1 : 0;
    }
    return result;
}

#include "app/start/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace Kakiva {

std::optional<int> answerCommandLine(int &argc, char **argv)
{
    // A core application reads the arguments in the system's encoding and names the
    // program in the usage line, and it needs no display. It is gone before the real
    // application is built.
    const QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A diary that publishes itself as a small web site."));
    // Qt's own options are single-dash words; read compacted, "-reverse" would hold a "v".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // Not addHelpOption(): its --help-all lists Qt's options, which only a GUI application
    // knows.
    const QCommandLineOption help(
        {QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")},
        QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    // Options it does not know are Qt's, so a parse error is no reason to stop here.
    parser.parse(QCoreApplication::arguments());

    QString answer;
    if (parser.isSet(help))
        answer = parser.helpText();
    else if (parser.isSet(version))
        answer = QCoreApplication::applicationName() + QLatin1Char(' ') +
                 QCoreApplication::applicationVersion() + QLatin1Char('\n');
    else
        return std::nullopt;
    std::fputs(answer.toLocal8Bit().constData(), stdout);
    return 0;
}

} // namespace Kakiva

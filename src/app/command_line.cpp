#include "app/command_line.h"

#include <QCommandLineParser>
#include <QHash>
#include <QStringList>

#include <cstdio>
#include <utility>

namespace {

constexpr int kUsageError = 2;

// Options of QGuiApplication and QApplication that take a value. A session
// manager restarts programs with -session, so that one must never fail.
const char* const kQtValueOptions[] = {
    "platform",     "platformpluginpath", "platformtheme", "plugin",          "display",
    "style",        "stylesheet",         "session",       "qwindowgeometry", "qwindowicon",
    "qwindowtitle",
};

const char* const kQtFlagOptions[] = {"reverse"};

const char kUsage[] =
    "Usage: ferry [OPTION]...\n"
    "A TFTP server for the desktop. It serves files to any host that asks for\n"
    "them over UDP port 69 (the tftp port of /etc/services), accepts the files\n"
    "such hosts send when allowed to, and shows every request and transfer in a\n"
    "window with a live activity log. ferry needs no arguments.\n"
    "\n"
    "Options:\n"
    "  -h, --help       print this text and exit\n"
    "  -v, --version    print the version and exit\n"
    "Qt's own options -platform, -platformpluginpath, -platformtheme, -plugin,\n"
    "-display, -style, -stylesheet, -session, -qwindowgeometry, -qwindowicon,\n"
    "-qwindowtitle (each with a value) and -reverse are passed on to Qt.\n"
    "\n"
    "Settings are read at start-up from ferry.ini in the working directory, or,\n"
    "when there is none, from $XDG_CONFIG_HOME/ferry/ferry.ini\n"
    "(~/.config/ferry/ferry.ini when XDG_CONFIG_HOME is not set). Without\n"
    "settings, files are served read-only from the working directory.\n"
    "\n"
    "Without a display (neither DISPLAY nor WAYLAND_DISPLAY set, and no\n"
    "QT_QPA_PLATFORM given), ferry runs headless on Qt's offscreen platform: the\n"
    "log goes to standard output, messages go to standard error, and SIGINT or\n"
    "SIGTERM end it.\n"
    "\n"
    "Exit status:\n"
    "  0    normal end, also after SIGINT or SIGTERM\n"
    "  1    the server could not start (port 69 needs a privilege, or is in use)\n"
    "  2    the command line was not understood\n"
    "  255  the operator ended ferry after an unexpected error\n"
    "\n"
    "See ferry(1) for the settings, running as a service and port 69.\n";

bool IsQtOption(const QString& name)
{
    for (const char* option : kQtValueOptions)
        if (name == QLatin1String(option))
            return true;
    for (const char* option : kQtFlagOptions)
        if (name == QLatin1String(option))
            return true;
    return false;
}

// The argument that carried an unknown option, as the user typed it.
QString AsWritten(const QStringList& arguments, const QString& name)
{
    for (const QString& argument : arguments.mid(1)) {
        QString bare = argument;
        while (bare.startsWith(QLatin1Char('-')))
            bare.remove(0, 1);
        if (bare.section(QLatin1Char('='), 0, 0) == name)
            return argument.section(QLatin1Char('='), 0, 0);
    }
    return name;
}

// Qt's parser writes "Missing value after '-platform'."; the other
// complaints read "ferry: unexpected argument 'x'".
QString InOurWords(QString text)
{
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

int UsageError(const QString& what)
{
    std::fprintf(stderr, "ferry: %s\nTry 'ferry --help' for more information.\n", qPrintable(what));
    return kUsageError;
}

} // namespace

CommandLine::CommandLine(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    // Qt spells its options with one dash (-platform), so a single dash
    // starts a long option here too rather than a cluster of letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(help);
    parser.addOption(version);
    for (const char* name : kQtValueOptions)
        parser.addOption(
            QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    for (const char* name : kQtFlagOptions)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));

    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        code = unknown.isEmpty() ? UsageError(InOurWords(parser.errorText()))
                                 : UsageError(QStringLiteral("unrecognised option '%1'")
                                                  .arg(AsWritten(arguments, unknown.first())));
        return;
    }
    if (!parser.positionalArguments().isEmpty()) {
        code = UsageError(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
        return;
    }
    if (parser.isSet(help)) {
        std::fputs(kUsage, stdout);
        code = 0;
        return;
    }
    if (parser.isSet(version)) {
        std::fputs("ferry " FERRY_VERSION "\n", stdout);
        code = 0;
        return;
    }

    keepQtOptions(parser, argc > 0 ? argv[0] : "ferry");
}

// Rebuilt in Qt's own spelling: Qt reads "-platform offscreen" but not
// "--platform=offscreen", which the parser accepts as well.
void CommandLine::keepQtOptions(const QCommandLineParser& parser, const char* program)
{
    qtArguments.emplace_back(program);
    QHash<QString, qsizetype> valuesUsed;
    for (const QString& name : parser.optionNames()) {
        if (!IsQtOption(name))
            continue;
        // Built in place: GCC 12 at -O3 warns falsely about "-" + std::string.
        std::string option(1, '-');
        option += name.toStdString();
        qtArguments.push_back(std::move(option));
        const QStringList values = parser.values(name);
        if (!values.isEmpty())
            qtArguments.push_back(values.at(valuesUsed[name]++).toLocal8Bit().toStdString());
    }
    for (std::string& argument : qtArguments)
        qtPointers.push_back(argument.data());
    qtPointers.push_back(nullptr);
    qtCount = static_cast<int>(qtArguments.size());
}

#pragma once

// The program's own command line. It is read before anything else starts, so
// that --help and --version work without a display and touch neither the
// settings nor the network. Qt's own options (-platform, -style ...) are
// accepted and handed on to the application object.

#include <string>
#include <vector>

class QCommandLineParser;

class CommandLine
{
public:
    CommandLine(int argc, char** argv);

    // Whether the command line was answered here (help, version, an error).
    bool answered() const { return code >= 0; }

    int exitCode() const { return code; }

    // The arguments for QApplication: the program name and Qt's options,
    // each in the spelling Qt itself reads ("-platform" "offscreen").
    int& qtArgc() { return qtCount; }

    char** qtArgv() { return qtPointers.data(); }

private:
    void keepQtOptions(const QCommandLineParser& parser, const char* program);

    int code = -1;
    std::vector<std::string> qtArguments;
    std::vector<char*> qtPointers;
    int qtCount = 0;
};

// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>

// Where the key comes from. Never from the arguments: every user of the machine can read them.
enum class KeySource
{
    Terminal, // asked for on the terminal, without echo
    File, // --key-file
    Environment, // --key-env
    Descriptor, // --key-fd
    Generated, // --auto-key
};

// What becomes of a file whose output name is taken already.
enum class OnExisting
{
    Refuse, // the file fails and the old one stays: a command line runs over names nobody looked at
    Skip, // --no-clobber: the file is passed over quietly
    Replace, // --force: as the window does
};

// "-" as a PATH is standard input, as the value of -o standard output; a file of that name is given as ./-.
inline const QString StandardStream = QStringLiteral("-");

struct Options
{
    bool encrypt = true;
    QStringList paths;
    QString output; // -o, the one input's output; standard output for "-". Empty: each output beside its input
    bool recursive = false;
    OnExisting existing = OnExisting::Refuse;
    bool quiet = false;
    bool verbose = false;
    int jobs = 1;
    KeySource keySource = KeySource::Terminal;
    QString keyArgument; // the file, the variable's name or the descriptor's number

    // The data comes on standard input: the one PATH is "-".
    [[nodiscard]] bool readsStandardInput() const { return paths.size() == 1 && paths.constFirst() == StandardStream; }
    // The data goes to standard output: -o -, or "-" as the PATH without -o.
    [[nodiscard]] bool writesStandardOutput() const { return output == StandardStream; }
};

struct Command
{
    enum Kind
    {
        Run,
        Help,
        Version,
        Usage, // `problem` says what is wrong; nothing may be touched
    };
    Kind kind = Usage;
    Options options;
    QString problem;
};

// Reads the arguments (the program's name first).
[[nodiscard]] Command parseCommandLine(const QStringList& arguments);

[[nodiscard]] QString helpText();
[[nodiscard]] QString versionText();

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

    // Reads the arguments (the program's name first).
    [[nodiscard]] static Command parse(const QStringList& arguments);
    [[nodiscard]] static QString helpText();
};

// One option of the command line, declared once: the parser takes its names and its value's name, the help text all
// three.
struct OptionDeclaration
{
    QStringList names; // a one-letter name first, if it has one
    QString valueName; // empty for an option that takes no value
    QString help; // its lines in the help text; empty for names that are known only to be refused
};

// Every option the command line knows, in the order of the help text.
[[nodiscard]] const QList<OptionDeclaration>& declaredOptions();

// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/Options.h"

#include "cli/Console.h"

#include <QCommandLineParser>
#include <QThread>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Far beyond what any disk gains from, and each file in work holds a buffer of its own.
constexpr int MaxJobs = 256;

Command usage(const QString& problem)
{
    return {Command::Usage, {}, problem};
}

// Every option the command line knows.
struct Declared
{
    QCommandLineOption recursive {{u"r"_s, u"recursive"_s}, {}};
    QCommandLineOption noClobber {{u"n"_s, u"no-clobber"_s}, {}};
    QCommandLineOption force {{u"f"_s, u"force"_s}, {}};
    QCommandLineOption jobs {{u"j"_s, u"jobs"_s}, {}, u"N"_s};
    QCommandLineOption quiet {{u"q"_s, u"quiet"_s}, {}};
    QCommandLineOption verbose {{u"v"_s, u"verbose"_s}, {}};
    QCommandLineOption output {{u"o"_s, u"output"_s}, {}, u"FILE"_s};
    QCommandLineOption keyFile {u"key-file"_s, {}, u"FILE"_s};
    QCommandLineOption keyEnv {u"key-env"_s, {}, u"NAME"_s};
    QCommandLineOption keyFd {u"key-fd"_s, {}, u"N"_s};
    QCommandLineOption autoKey {u"auto-key"_s, {}};
    QCommandLineOption help {{u"h"_s, u"help"_s}, {}};
    QCommandLineOption version {u"version"_s, {}};
    // The names other tools take a key or password by: known only to be refused.
    QCommandLineOption keyInArguments {{u"k"_s, u"key"_s, u"p"_s, u"password"_s, u"passphrase"_s}, {}, u"KEY"_s};

    [[nodiscard]] QList<QCommandLineOption> all() const
    {
        return {recursive, noClobber, force, jobs,    quiet, verbose, output,
                keyFile,   keyEnv,    keyFd, autoKey, help,  version, keyInArguments};
    }
};

// The argument that holds the option `unknown` (a name as the parser gives it: "d" of "-dash.txt"), so that the
// message shows what was typed. Values of options that take one are passed over, as the parser passes them.
QString argumentHolding(const QString& unknown, const QStringList& arguments, const QList<QCommandLineOption>& known)
{
    const auto takesValue = [&known](const QString& name) {
        return std::any_of(known.begin(), known.end(), [&name](const QCommandLineOption& option) {
            return !option.valueName().isEmpty() && option.names().contains(name);
        });
    };
    for (qsizetype a = 1; a < arguments.size(); ++a) {
        const QString& argument = arguments.at(a);
        if (argument == u"--"_s)
            break;
        if (argument.size() < 2 || !argument.startsWith(u'-'))
            continue;
        if (argument.startsWith(u"--"_s)) {
            const QString name = argument.sliced(2).section(u'=', 0, 0);
            if (name == unknown)
                return argument;
            a += takesValue(name) && !argument.contains(u'=') ? 1 : 0;
            continue;
        }
        for (qsizetype c = 1; c < argument.size(); ++c) {
            if (argument.at(c) == unknown)
                return argument;
            if (takesValue(argument.at(c))) { // the rest of the argument, or the next one, is its value
                a += c + 1 == argument.size() ? 1 : 0;
                break;
            }
        }
    }
    return unknown;
}

// What the parser refused. A name that begins with '-' may be a file's: the message says how to give one.
QString parseProblem(const QCommandLineParser& parser, const QStringList& arguments, const Declared& declared)
{
    if (parser.unknownOptionNames().isEmpty())
        return parser.errorText();
    const QString argument
        = Console::shown(argumentHolding(parser.unknownOptionNames().constFirst(), arguments, declared.all()));
    return u"unknown option '%1'; a file whose name begins with '-' is given after -- or as ./%1"_s.arg(argument);
}

QString readExisting(const QCommandLineParser& parser, const Declared& declared, Options& options)
{
    if (parser.isSet(declared.noClobber) && parser.isSet(declared.force))
        return u"give --no-clobber to keep existing outputs or --force to replace them, not both"_s;
    if (parser.isSet(declared.noClobber))
        options.existing = OnExisting::Skip;
    else if (parser.isSet(declared.force))
        options.existing = OnExisting::Replace;
    return {};
}

QString readJobs(const QCommandLineParser& parser, const Declared& declared, Options& options)
{
    options.jobs = std::clamp(QThread::idealThreadCount(), 1, MaxJobs);
    if (!parser.isSet(declared.jobs))
        return {};
    bool number = false;
    options.jobs = parser.value(declared.jobs).toInt(&number);
    if (!number || options.jobs < 1 || options.jobs > MaxJobs)
        return u"--jobs takes a whole number from 1 to %1"_s.arg(MaxJobs);
    return {};
}

QString readKeySource(const QCommandLineParser& parser, const Declared& declared, Options& options)
{
    int sources = 0;
    for (const auto& [option, source] : {std::pair {&declared.keyFile, KeySource::File},
                                         {&declared.keyEnv, KeySource::Environment},
                                         {&declared.keyFd, KeySource::Descriptor},
                                         {&declared.autoKey, KeySource::Generated}}) {
        // A source given twice counts twice: which of the two was meant is not ours to guess.
        const qsizetype given = option->valueName().isEmpty() ? parser.isSet(*option) : parser.values(*option).size();
        if (given == 0)
            continue;
        sources += static_cast<int>(given);
        options.keySource = source;
        options.keyArgument = parser.value(*option);
    }
    if (sources > 1)
        return u"give one key: --key-file, --key-env, --key-fd or --auto-key"_s;
    if (options.keySource == KeySource::Generated && !options.encrypt)
        return u"--auto-key makes a new key, so it only encrypts"_s;
    bool number = false;
    if (options.keySource == KeySource::Descriptor && (options.keyArgument.toInt(&number) < 0 || !number))
        return u"--key-fd takes the number of an open file descriptor"_s;
    return {};
}

// Standard input, and -o: each stands for the one input, or its one output.
QString readOutput(const QCommandLineParser& parser, const Declared& declared, Options& options)
{
    const QStringList outputs = parser.values(declared.output);
    const bool fromStandardInput = options.paths.contains(StandardStream);
    if (outputs.size() > 1)
        return u"give one output: -o FILE"_s;
    if (!outputs.isEmpty() && outputs.constFirst().isEmpty())
        return u"-o takes the name of a file, or - for standard output"_s;
    if (fromStandardInput && (options.paths.size() > 1 || options.recursive))
        return u"- reads standard input and goes alone: no other PATH, no -r"_s;
    if (!outputs.isEmpty() && (options.paths.size() > 1 || options.recursive))
        return u"-o names the output of one PATH: give one, without -r"_s;
    options.output = fromStandardInput && outputs.isEmpty() ? StandardStream : outputs.value(0);
    if (options.writesStandardOutput() && options.verbose)
        return u"-v lists on standard output, which carries the data here: give -o FILE to list"_s;
    if (options.writesStandardOutput() && options.keySource == KeySource::Generated)
        return u"--auto-key prints the new key on standard output, which carries the data here: give -o FILE"_s;
    return {};
}

// The command, its paths and its options, once the parser took the arguments.
QString readRun(const QCommandLineParser& parser, const Declared& declared, Options& options)
{
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return u"no command given: encrypt or decrypt"_s;
    const QString command = positional.takeFirst();
    if (command != u"encrypt"_s && command != u"decrypt"_s)
        return u"unknown command '%1': encrypt or decrypt"_s.arg(Console::shown(command));
    options.encrypt = command == u"encrypt"_s;
    if (positional.isEmpty())
        return u"no PATH given"_s;
    options.paths = positional;
    options.recursive = parser.isSet(declared.recursive);
    options.quiet = parser.isSet(declared.quiet);
    options.verbose = parser.isSet(declared.verbose);
    for (const auto read : {readExisting, readJobs, readKeySource, readOutput})
        if (const QString problem = read(parser, declared, options); !problem.isEmpty())
            return problem;
    return {};
}

} // namespace

Command parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    const Declared declared;
    parser.addOptions(declared.all());
    const bool parsed = parser.parse(arguments);
    // Looked at even when parsing failed: "--key" at the end of the line lacks its value, but is still a key option.
    if (parser.isSet(declared.keyInArguments))
        return usage(u"a key in the arguments can be read by every user of this machine; give it with --key-file, "
                     "--key-env or --key-fd, let --auto-key make one, or type it when asked"_s);
    if (!parsed)
        return usage(parseProblem(parser, arguments, declared));
    if (parser.isSet(declared.help))
        return {Command::Help, {}, {}};
    if (parser.isSet(declared.version))
        return {Command::Version, {}, {}};
    Options options;
    if (const QString problem = readRun(parser, declared, options); !problem.isEmpty())
        return usage(problem);
    return {Command::Run, options, {}};
}

QString helpText()
{
    return uR"(Usage: zafrel-cli encrypt [OPTION]... PATH...
  or:  zafrel-cli decrypt [OPTION]... PATH...
Encrypt or decrypt each file with a key, exactly as the Zafrel window does:
encrypting NAME writes NAME.enc beside it, decrypting NAME.enc writes NAME
(a name that does not end in .enc is left alone). The file itself is never
changed, and a file that has the output's name already is not replaced
unless --force says so. A PATH of - reads standard input and writes standard
output, which must not be a terminal:
  tar c DIR | zafrel-cli encrypt --key-file=KEY - > DIR.tar.enc
  zafrel-cli decrypt --key-file=KEY - < DIR.tar.enc | tar x

The key is never given in the arguments, where other users could read it:
      --key-file=FILE  read the key from FILE (UTF-8; a byte-order mark at its
                         start and one line end at its end are not part of
                         the key)
      --key-env=NAME   take the key from the environment variable NAME
      --key-fd=N       read the key from file descriptor N, as --key-file
      --auto-key       encrypt with a new random key, printed on standard
                         output before any file is written
Without one of them the key is asked for on the terminal (never on standard
input), twice to encrypt.

Options:
  -o, --output=FILE    write the output of the one PATH to FILE instead of
                         beside it (decrypting then takes any name); -o -
                         writes standard output
  -r, --recursive      encrypt every file in each folder and its subfolders,
                         or decrypt every file whose name ends in .enc;
                         symbolic links met on the way are not followed
  -n, --no-clobber     skip a file whose output exists already, quietly
  -f, --force          replace an output that exists already, as the window
                         does
  -j, --jobs=N         work on N files at a time (default: the number of
                         processors)
  -q, --quiet          show no status line on the terminal
  -v, --verbose        list every file written (and skipped) on standard output
  -h, --help           show this help and exit
      --version        show the version and exit
A name that begins with '-' is given after -- or as ./NAME.

Exit status:
  0    every file was written, or skipped by --no-clobber
  1    a file failed, was too small or had an output that exists (the others
         were still done), or the list of -v could not be written
  2    the command line or the key was refused; no file was touched
  130  interrupted: the files in work left nothing behind

Full documentation: man zafrel-cli
)"_s;
}

QString versionText()
{
    return u"zafrel-cli (Zafrel) " ZAFREL_VERSION uR"(
Copyright 2026 Kelmot.
License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.
This is free software: you are free to change and redistribute it.
There is NO WARRANTY, to the extent permitted by law.
)"_s;
}

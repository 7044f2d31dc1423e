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

// The options by their place in declaredOptions().
enum Option : int
{
    KeyFile,
    KeyEnv,
    KeyFd,
    AutoKey,
    Output,
    Recursive,
    NoClobber,
    Force,
    Jobs,
    Quiet,
    Verbose,
    Help,
    Version,
    KeyInArguments,
    OptionCount,
};

// The parser's form of every declared option.
class Declared
{
public:
    Declared()
    {
        for (const OptionDeclaration& option : declaredOptions())
            m_all.append(QCommandLineOption(option.names, option.help, option.valueName));
        Q_ASSERT(m_all.size() == OptionCount);
    }

    [[nodiscard]] const QCommandLineOption& operator[](Option option) const { return m_all.at(option); }
    [[nodiscard]] const QList<QCommandLineOption>& all() const { return m_all; }

private:
    QList<QCommandLineOption> m_all;
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
    if (parser.isSet(declared[NoClobber]) && parser.isSet(declared[Force]))
        return u"give --no-clobber to keep existing outputs or --force to replace them, not both"_s;
    if (parser.isSet(declared[NoClobber]))
        options.existing = OnExisting::Skip;
    else if (parser.isSet(declared[Force]))
        options.existing = OnExisting::Replace;
    return {};
}

QString readJobs(const QCommandLineParser& parser, const Declared& declared, Options& options)
{
    options.jobs = std::clamp(QThread::idealThreadCount(), 1, MaxJobs);
    if (!parser.isSet(declared[Jobs]))
        return {};
    bool number = false;
    options.jobs = parser.value(declared[Jobs]).toInt(&number);
    if (!number || options.jobs < 1 || options.jobs > MaxJobs)
        return u"--jobs takes a whole number from 1 to %1"_s.arg(MaxJobs);
    return {};
}

QString readKeySource(const QCommandLineParser& parser, const Declared& declared, Options& options)
{
    int sources = 0;
    for (const auto& [option, source] : {std::pair {&declared[KeyFile], KeySource::File},
                                         {&declared[KeyEnv], KeySource::Environment},
                                         {&declared[KeyFd], KeySource::Descriptor},
                                         {&declared[AutoKey], KeySource::Generated}}) {
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
    const QStringList outputs = parser.values(declared[Output]);
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
    options.recursive = parser.isSet(declared[Recursive]);
    options.quiet = parser.isSet(declared[Quiet]);
    options.verbose = parser.isSet(declared[Verbose]);
    for (const auto read : {readExisting, readJobs, readKeySource, readOutput})
        if (const QString problem = read(parser, declared, options); !problem.isEmpty())
            return problem;
    return {};
}

} // namespace

Command Command::parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    const Declared declared;
    parser.addOptions(declared.all());
    const bool parsed = parser.parse(arguments);
    // Looked at even when parsing failed: "--key" at the end of the line lacks its value, but is still a key option.
    if (parser.isSet(declared[KeyInArguments]))
        return usage(u"a key in the arguments can be read by every user of this machine; give it with --key-file, "
                     "--key-env or --key-fd, let --auto-key make one, or type it when asked"_s);
    if (!parsed)
        return usage(parseProblem(parser, arguments, declared));
    if (parser.isSet(declared[Option::Help]))
        return {Command::Help, {}, {}};
    if (parser.isSet(declared[Option::Version]))
        return {Command::Version, {}, {}};
    Options options;
    if (const QString problem = readRun(parser, declared, options); !problem.isEmpty())
        return usage(problem);
    return {Command::Run, options, {}};
}

const QList<OptionDeclaration>& declaredOptions()
{
    // Each help line after the first begins under the first's text, two places further in.
    static const QList<OptionDeclaration> options {
        {{u"key-file"_s},
         u"FILE"_s,
         u"read the key from FILE (UTF-8; a byte-order mark at its\n"
         "start and one line end at its end are not part of\nthe key)"_s},
        {{u"key-env"_s}, u"NAME"_s, u"take the key from the environment variable NAME"_s},
        {{u"key-fd"_s}, u"N"_s, u"read the key from file descriptor N, as --key-file"_s},
        {{u"auto-key"_s},
         {},
         u"encrypt with a new random key, printed on standard\noutput before any file is written"_s},
        {{u"o"_s, u"output"_s},
         u"FILE"_s,
         u"write the output of the one PATH to FILE instead of\n"
         "beside it (decrypting then takes any name); -o -\nwrites standard output"_s},
        {{u"r"_s, u"recursive"_s},
         {},
         u"encrypt every file in each folder and its subfolders,\n"
         "or decrypt every file whose name ends in .enc;\nsymbolic links met on the way are not followed"_s},
        {{u"n"_s, u"no-clobber"_s}, {}, u"skip a file whose output exists already, quietly"_s},
        {{u"f"_s, u"force"_s}, {}, u"replace an output that exists already, as the window\ndoes"_s},
        {{u"j"_s, u"jobs"_s}, u"N"_s, u"work on N files at a time (default: the number of\nprocessors)"_s},
        {{u"q"_s, u"quiet"_s}, {}, u"show no status line on the terminal"_s},
        {{u"v"_s, u"verbose"_s}, {}, u"list every file written (and skipped) on standard output"_s},
        {{u"h"_s, u"help"_s}, {}, u"show this help and exit"_s},
        {{u"version"_s}, {}, u"show the version and exit"_s},
        // The names other tools take a key or password by: known only to be refused.
        {{u"k"_s, u"key"_s, u"p"_s, u"password"_s, u"passphrase"_s}, u"KEY"_s, {}},
    };
    return options;
}

namespace {

// The help's lines of the options from `first` to `last`: "  -o, --output=FILE", its help from the 24th place on.
QString optionLines(Option first, Option last)
{
    constexpr qsizetype HelpColumn = 23;
    QString lines;
    for (int o = first; o <= last; ++o) {
        const OptionDeclaration& option = declaredOptions().at(o);
        const bool letter = option.names.constFirst().size() == 1;
        QString names = letter ? u"  -"_s + option.names.constFirst() + u", "_s : u"      "_s;
        names += u"--"_s + option.names.constLast();
        if (!option.valueName.isEmpty())
            names += u'=' + option.valueName;
        const QString indent = u'\n' + QString(HelpColumn + 2, u' ');
        lines += names.leftJustified(HelpColumn - 1) + u' ' + QString(option.help).replace(u'\n', indent) + u'\n';
    }
    return lines;
}

} // namespace

QString Command::helpText()
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
)"_s + optionLines(Option::KeyFile, Option::AutoKey)
        + uR"(Without one of them the key is asked for on the terminal (never on standard
input), twice to encrypt.

Options:
)"_s + optionLines(Option::Output, Option::Version)
        + uR"(A name that begins with '-' is given after -- or as ./NAME.

Exit status:
  0    every file was written, or skipped by --no-clobber
  1    a file failed, was too small or had an output that exists (the others
         were still done), or the list of -v could not be written
  2    the command line or the key was refused; no file was touched
  130  interrupted: the files in work left nothing behind

Full documentation: man zafrel-cli
)"_s;
}

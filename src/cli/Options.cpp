// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/Options.h"

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

} // namespace

Command parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption recursive({u"r"_s, u"recursive"_s}, {});
    const QCommandLineOption noClobber({u"n"_s, u"no-clobber"_s}, {});
    const QCommandLineOption jobs({u"j"_s, u"jobs"_s}, {}, u"N"_s);
    const QCommandLineOption quiet({u"q"_s, u"quiet"_s}, {});
    const QCommandLineOption verbose({u"v"_s, u"verbose"_s}, {});
    const QCommandLineOption keyFile(u"key-file"_s, {}, u"FILE"_s);
    const QCommandLineOption keyEnv(u"key-env"_s, {}, u"NAME"_s);
    const QCommandLineOption keyFd(u"key-fd"_s, {}, u"N"_s);
    const QCommandLineOption autoKey(u"auto-key"_s, {});
    const QCommandLineOption help({u"h"_s, u"help"_s}, {});
    const QCommandLineOption version(u"version"_s, {});
    // The names other tools take a key or password by: known only to be refused.
    const QCommandLineOption keyInArguments({u"k"_s, u"key"_s, u"p"_s, u"password"_s, u"passphrase"_s}, {}, u"KEY"_s);
    parser.addOptions(
        {recursive, noClobber, jobs, quiet, verbose, keyFile, keyEnv, keyFd, autoKey, help, version, keyInArguments});

    const bool parsed = parser.parse(arguments);
    // Looked at even when parsing failed: "--key" at the end of the line lacks its value, but is still a key option.
    if (parser.isSet(keyInArguments))
        return usage(u"a key in the arguments can be read by every user of this machine; give it with --key-file, "
                     "--key-env or --key-fd, let --auto-key make one, or type it when asked"_s);
    if (!parsed)
        return usage(parser.errorText());
    if (parser.isSet(help))
        return {Command::Help, {}, {}};
    if (parser.isSet(version))
        return {Command::Version, {}, {}};

    Options options;
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usage(u"no command given: encrypt or decrypt"_s);
    const QString command = positional.takeFirst();
    if (command != u"encrypt"_s && command != u"decrypt"_s)
        return usage(u"unknown command '%1': encrypt or decrypt"_s.arg(command));
    options.encrypt = command == u"encrypt"_s;
    if (positional.isEmpty())
        return usage(u"no PATH given"_s);
    options.paths = positional;
    options.recursive = parser.isSet(recursive);
    options.keepExisting = parser.isSet(noClobber);
    options.quiet = parser.isSet(quiet);
    options.verbose = parser.isSet(verbose);

    options.jobs = std::clamp(QThread::idealThreadCount(), 1, MaxJobs);
    if (parser.isSet(jobs)) {
        bool number = false;
        options.jobs = parser.value(jobs).toInt(&number);
        if (!number || options.jobs < 1 || options.jobs > MaxJobs)
            return usage(u"--jobs takes a whole number from 1 to %1"_s.arg(MaxJobs));
    }

    int sources = 0;
    for (const auto& [option, source] : {std::pair {&keyFile, KeySource::File},
                                         {&keyEnv, KeySource::Environment},
                                         {&keyFd, KeySource::Descriptor},
                                         {&autoKey, KeySource::Generated}}) {
        // A source given twice counts twice: which of the two was meant is not ours to guess.
        const qsizetype given = option->valueName().isEmpty() ? parser.isSet(*option) : parser.values(*option).size();
        if (given == 0)
            continue;
        sources += static_cast<int>(given);
        options.keySource = source;
        options.keyArgument = parser.value(*option);
    }
    if (sources > 1)
        return usage(u"give one key: --key-file, --key-env, --key-fd or --auto-key"_s);
    if (options.keySource == KeySource::Generated && !options.encrypt)
        return usage(u"--auto-key makes a new key, so it only encrypts"_s);
    if (options.keySource == KeySource::Descriptor) {
        bool number = false;
        if (options.keyArgument.toInt(&number) < 0 || !number)
            return usage(u"--key-fd takes the number of an open file descriptor"_s);
    }
    return {Command::Run, options, {}};
}

QString helpText()
{
    return uR"(Usage: zafrel-cli encrypt [OPTION]... PATH...
  or:  zafrel-cli decrypt [OPTION]... PATH...
Encrypt or decrypt each file with a key, exactly as the Zafrel window does:
encrypting NAME writes NAME.enc beside it, decrypting removes the last four
characters of the name. The file itself is never changed.

The key is never given in the arguments, where other users could read it:
      --key-file=FILE  read the key from FILE (UTF-8; one line end at its end
                         is not part of the key)
      --key-env=NAME   take the key from the environment variable NAME
      --key-fd=N       read the key from file descriptor N, as --key-file
      --auto-key       encrypt with a new random key, printed on standard
                         output before any file is written
Without one of them the key is asked for on the terminal, twice to encrypt.

Options:
  -r, --recursive      encrypt every file in each folder and its subfolders,
                         or decrypt every file whose name ends in .enc;
                         symbolic links met on the way are not followed
  -n, --no-clobber     keep an output that exists already, and skip its file
  -j, --jobs=N         work on N files at a time (default: the number of
                         processors)
  -q, --quiet          show no status line on the terminal
  -v, --verbose        list every file written (and skipped) on standard output
  -h, --help           show this help and exit
      --version        show the version and exit

Exit status:
  0    every file was written, or skipped by --no-clobber
  1    a file failed or was too small (the others were still done)
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

// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/Program.h"

#include "cipher/Hardening.h"
#include "cipher/KeyStream.h"
#include "cipher/Program.h"
#include "cli/Batch.h"
#include "cli/Conflicts.h"
#include "cli/Console.h"
#include "cli/Inputs.h"
#include "cli/Interrupt.h"
#include "cli/Key.h"
#include "cli/Options.h"

#include <QSet>
#include <QStringList>
#include <clocale>

using namespace Qt::StringLiterals;

namespace {

enum ExitStatus
{
    Success = 0,
    SomeFailed = 1,
    Refused = 2,
    Interrupted = 130,
};

// The key, then every file the paths name.
int transformAll(const Options& options, const QSet<QString>& undecodable)
{
    // Refused before the key is asked for: the bytes would drive the terminal, and nobody could get them back.
    if (options.writesStandardOutput() && ::isatty(STDOUT_FILENO)) {
        Console::complain(u"standard output is a terminal: redirect it to a file or a pipe, or give -o FILE"_s);
        return Refused;
    }
    const KeyOutcome key = obtainKey(options);
    if (key.interrupted)
        return Interrupted;
    if (!key.problem.isEmpty()) {
        Console::complain(key.problem);
        return Refused;
    }
    // Shown before any file is written: a file encrypted with a key nobody saw could never be decrypted.
    if (options.keySource == KeySource::Generated && !Console::write(STDOUT_FILENO, key.key + u'\n')) {
        Console::complain(u"the new key could not be written to standard output; no file was touched"_s);
        return Refused;
    }

    QList<Input> inputs = collectInputs(options, undecodable);
    if (Interrupt::requested())
        return Interrupted;
    refuseConflicts(inputs, options);
    // A stream's length is unknown until its end: there is nothing to show of how far it is.
    const bool progress = !options.quiet && ::isatty(STDERR_FILENO) && !options.readsStandardInput();
    return runBatch(inputs, keyBytes(key.key), options, progress) ? Success : SomeFailed;
}

int run(int argc, char** argv)
{
    // Names that are no UTF-8 cannot be given to the core as text: such paths fail instead of naming another file.
    const Arguments arguments = decodeArguments(argc, argv);
    const Command command = Command::parse(arguments.list);
    switch (command.kind) {
    case Command::Help:
        return Console::write(STDOUT_FILENO, Command::helpText()) ? Success : SomeFailed;
    case Command::Version:
        return Console::write(STDOUT_FILENO, versionText(Console::ProgramName)) ? Success : SomeFailed;
    case Command::Usage:
        Console::complain(command.problem + u"\nTry 'zafrel-cli --help' for more information."_s);
        return Refused;
    case Command::Run:
        break;
    }
    return transformAll(command.options, arguments.undecodable);
}

} // namespace

int runCommandLine(int argc, char** argv)
{
    // First of all: no dump of this process can show the key, and no file takes a standard descriptor's number.
    hardenProcess();
    Interrupt::install();
    // The platform's descriptions of errors in the user's language, as the window gives them.
    std::setlocale(LC_ALL, "");
    const int status = run(argc, argv);
    // A signal at any point ends the program as interrupted, whatever was done before it.
    return Interrupt::requested() ? Interrupted : status;
}

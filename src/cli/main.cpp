// SPDX-License-Identifier: GPL-3.0-or-later

// zafrel-cli: the cipher core on the command line, for scripts, servers and whole folders.

#include "cli/Program.h"

int main(int argc, char** argv)
{
    return runCommandLine(argc, argv);
}

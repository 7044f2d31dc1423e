// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What both programs do first thing in main, before any key is in memory:
// - No core dump. A dump of a process that holds a key keeps the key on disk: the process is made non-dumpable
//   (which also keeps the user's other processes from reading its memory), and its core size limit is 0 for the
//   dump handlers that look only at that.
// - Descriptors 0, 1 and 2 are open. One that was closed when the program started would be given to the next file
//   opened, an output among them, and a line meant for standard output or error would be written into that file.
//   A closed one is opened on /dev/null the other way round (standard input write-only, the others read-only), so
//   reading or writing it still fails as it would have, and a closed standard input is never taken for an empty one.
void hardenProcess();

// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "cipher/FileError.h"

#include <sys/stat.h>

struct ReplacedFile;

// Gives the output (open as `output`, owned by this user) the access of the input (open as `input`): the owner
// may always read and write it; its group is the input's where this user may set it, else its group gets
// nothing; the input's access list (ACL) comes with it and replaces whatever the folder's default list gave.
// All of it narrowed so that nobody may read or write the output who could not do so with the input, nor with
// the file it replaces. Where the file system keeps no access lists, the mode bits say the same.
[[nodiscard]] FileError grantAccess(int output, int input, const struct stat& inputInfo, const ReplacedFile& replaced);

// Gives the output (open as `output`, owned by this user) to its owner alone: read and write for the owner, nothing
// for anybody else, no access list. For an output whose input has no access of its own to pass on (a stream).
[[nodiscard]] FileError restrictToOwner(int output);

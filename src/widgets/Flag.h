// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QtGlobal>

// Flags keep their 16-bit form: True is -1, False is 0; any non-zero value counts as set.
using Flag = qint16;
inline constexpr Flag True = -1;
inline constexpr Flag False = 0;

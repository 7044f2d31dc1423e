// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// The address of the help page that lies beside the executable in `executableFolder`, as the shell opens it.
[[nodiscard]] QString helpAddress(const QString& executableFolder);

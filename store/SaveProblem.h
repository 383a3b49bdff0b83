// SPDX-License-Identifier: MIT
#pragma once

#include "store/FileAccess.h"

#include <QString>

// Why the settings file cannot be read or saved, in the words the user is
// shown: short Japanese phrases, the system's reason where it says more.
QString ProblemText(const FileAccess::Problem &problem);

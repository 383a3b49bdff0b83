// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstdio>
#include <cstring>
#include <optional>

// What the benchmarks of the program's windows share: their one option, and
// Qt drawing offscreen, without a display.

// True for "--quick", false for no option; the usage and nothing otherwise.
inline std::optional<bool> quickRun(int argc, char *argv[])
{
    if (argc == 1)
        return false;
    if (argc == 2 && std::strcmp(argv[1], "--quick") == 0)
        return true;
    std::fprintf(stderr, "usage: %s [--quick]\n", argv[0]);
    return std::nullopt;
}

// Before the QApplication: offscreen unless the caller chose a platform.
inline void drawOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.multimedia*=false");
}

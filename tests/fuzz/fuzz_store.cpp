// SPDX-License-Identifier: MIT
// libFuzzer target: any bytes as nopi.ini must survive the load-save-load
// round trip of every section. Built by scripts/fuzz with clang and the
// address and undefined-behaviour sanitizers.

#include "StoreRoundTrip.h"

#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace {

QTemporaryDir *scratch = nullptr;
QString settingsPath;

}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Deliberately leaked: libFuzzer ends the process with exit(), and the
    // directory is removed below by an atexit handler instead.
    scratch = new QTemporaryDir(StoreRoundTrip::scratchBase() + QStringLiteral("/nopi-fuzz-XXXXXX"));
    if (!scratch->isValid()) {
        std::fprintf(stderr, "fuzz_store: cannot create a scratch directory under %s\n",
                     qPrintable(StoreRoundTrip::scratchBase()));
        std::abort();
    }
    settingsPath = scratch->filePath(QStringLiteral("nopi.ini"));
    std::atexit([] { delete scratch; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString failure = StoreRoundTrip::check(
            std::string_view(reinterpret_cast<const char *>(data), size), settingsPath);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "\nfuzz_store: the round trip broke:\n%s\n", failure.toUtf8().constData());
        std::fflush(stderr);
        __builtin_trap();
    }
    return 0;
}

// SPDX-License-Identifier: MIT
#include "store/Forms.h"

#include "store/Module1.h"

namespace {
Forms *installed = nullptr;
}

Forms::~Forms()
{
    if (installed == this)
        installed = nullptr;
}

Forms *Forms::instance()
{
    return installed;
}

void Forms::install(Forms *forms)
{
    installed = forms;
}

void Forms::startLauncherRefresh()
{
    LauncherRefresh = 2;
    if (installed)
        installed->launcherRefreshStarted();
}

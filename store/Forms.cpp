#include "store/Forms.h"

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

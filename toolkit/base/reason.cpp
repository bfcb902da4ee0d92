#include "base/reason.h"

#include <cerrno>

namespace {
kxreasonwording wording = nullptr;
}

void kxreason_setwording(kxreasonwording w) { wording = w; }

std::string kxreason_text(int err)
{
    if (err == 0)
        err = EIO;
    return wording ? wording(err) : std::generic_category().message(err);
}

std::string kxreason_text(const std::error_code &ec)
{
    const std::error_condition c = ec.default_error_condition();
    if (c.category() == std::generic_category())
        return kxreason_text(c.value());
    return ec.message();
}

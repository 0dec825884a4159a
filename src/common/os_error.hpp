// Operating-system error text: "<system message> (os error <n>)".
#pragma once

#include <string>

namespace solvarinth {

std::string os_error_text(int errnum);

}  // namespace solvarinth

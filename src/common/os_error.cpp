// Operating-system error text, from the XSI strerror_r.
#include "common/os_error.hpp"

#include <cstring>

#include "common/utf8.hpp"

// g++ defines _GNU_SOURCE, which makes <string.h> declare the GNU strerror_r (returns char*).
// glibc exports the XSI one under this name; we want its fixed-buffer contract.
extern "C" int __xpg_strerror_r(int errnum, char* buf, size_t buflen);

namespace solvarinth {

std::string os_error_text(int errnum) {
    char buf[128] = {};
    if (__xpg_strerror_r(errnum, buf, sizeof buf) != 0 && buf[0] == '\0') {
        // Unknown numbers still get glibc's "Unknown error n"; this is only the last resort.
        std::snprintf(buf, sizeof buf, "Unknown error %d", errnum);
    }
    std::string text = utf8_lossy(std::string_view(buf, strnlen(buf, sizeof buf)));
    text += " (os error ";
    text += std::to_string(errnum);
    text += ')';
    return text;
}

}  // namespace solvarinth

#include "platform/error_text.h"

#include <cstring>
#include <string_view>

#include "platform/text.h"
#include "platform/wsa_errors.h"

namespace kolu {
namespace {

constexpr std::u16string_view kLineEnd = u"\r\n";

// Name lookups fail with numbers that have no errno counterpart.
struct LookupText {
    int code;
    std::u16string_view text;
};
constexpr LookupText kLookupTexts[] = {
    {kWsaHostNotFound, u"Host not found"},
    {kWsaTryAgain, u"Nonauthoritative host not found"},
    {kWsaNoRecovery, u"This is a nonrecoverable error"},
    {kWsaNoData, u"Valid name, no data record of requested type"},
};

// strerror_r comes in two flavours: GNU returns the text, XSI fills the buffer and
// returns 0. Overloading on the result type accepts either.
[[maybe_unused]] const char* pickText(const char* result, const char*) {
    return result;
}
[[maybe_unused]] const char* pickText(int result, const char* buffer) {
    return result == 0 ? buffer : nullptr;
}

// Whether the C library knows the code. glibc can tell without looking at the
// (possibly translated) text; elsewhere the "Unknown error" text below decides.
bool knownErrno(int code) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
    return strerrordesc_np(code) != nullptr;
#else
    (void)code;
    return true;
#endif
}

std::u16string errnoText(int code) {
    if (code <= 0 || !knownErrno(code)) {
        return {};
    }
    char buffer[256] = {};
    const char* text = pickText(strerror_r(code, buffer, sizeof buffer), buffer);
    if (!text || *text == '\0' || std::strncmp(text, "Unknown error", 13) == 0) {
        return {};
    }
    std::u16string out = fromUtf8(text);  // the locale's text, UTF-8 on this platform
    out += kLineEnd;
    return out;
}

}  // namespace

std::u16string errorText(int code) {
    if (code == 0) {
        return u"The operation completed successfully.\r\n";
    }
    for (const LookupText& entry : kLookupTexts) {
        if (entry.code == code) {
            std::u16string out(entry.text);
            out += kLineEnd;
            return out;
        }
    }
    if (code >= 10000) {
        return errnoText(errnoFromWsa(code));
    }
    return errnoText(code);
}

std::u16string errorPhrase(int code) {
    std::u16string text = errorText(code);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) {
        text.pop_back();
    }
    return text;
}

}  // namespace kolu

#include "platform/error_text.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "platform/wsa_errors.h"

namespace kolu {
namespace {

// The error log prints these texts as whole lines: each is one line ending in CR LF.
// Socket numbers share the errno texts; name lookups have texts of their own.
TEST(ErrorText, EachDescribedCodeIsOneLineAndSocketNumbersShareTheErrnoTexts) {
    int described = 0;
    for (int code = 0; code < 11100; ++code) {
        const std::u16string text = errorText(code);
        if (!text.empty()) {
            ++described;
            EXPECT_TRUE(text.size() > 2 && text.find_first_of(u"\r\n") == text.size() - 2 &&
                        text.ends_with(u"\r\n"))
                << code;
        }
        if (code >= 10000 && errnoFromWsa(code) != 0) {
            EXPECT_EQ(text, errorText(errnoFromWsa(code))) << code;
            EXPECT_FALSE(text.empty()) << code;
        }
    }
    EXPECT_GT(described, 100);
    for (int code : {-1, 4000, 10000, int{kWsaNotinitialised}, 10999, 11005}) {
        EXPECT_EQ(toUtf8(errorText(code)), "") << code;
    }
    for (int lookup : {kWsaHostNotFound, kWsaTryAgain, kWsaNoRecovery, kWsaNoData}) {
        EXPECT_FALSE(errorText(lookup).empty()) << lookup;
    }
}

}  // namespace
}  // namespace kolu

#include "platform/error_text.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/text.h"
#include "platform/wsa_errors.h"

namespace kolu {
namespace {

// The error log prints these texts as whole lines: each is one line ending in CR LF.
TEST(ErrorText, EachDescribedCodeIsOneLineAndOthersGiveNothing) {
    int described = 0;
    for (int code = 0; code < 200; ++code) {
        const std::u16string text = errorText(code);
        if (!text.empty()) {
            ++described;
            ASSERT_GE(text.size(), 3u) << code;
            EXPECT_EQ(text.find_first_of(u"\r\n"), text.size() - 2) << code;
            EXPECT_EQ(text.substr(text.size() - 2), u"\r\n") << code;
        }
    }
    EXPECT_GT(described, 100);
    for (int code : {-1, 4000, 10000, int{kWsaNotinitialised}, 10999, 11005}) {
        EXPECT_EQ(toUtf8(errorText(code)), "") << code;
    }
}

// Socket numbers share the errno texts; name lookups have texts of their own.
TEST(ErrorText, SocketNumbersAreDescribed) {
    for (int wsa = 10000; wsa < 11100; ++wsa) {
        if (errnoFromWsa(wsa) != 0) {
            EXPECT_EQ(errorText(wsa), errorText(errnoFromWsa(wsa))) << wsa;
            EXPECT_FALSE(errorText(wsa).empty()) << wsa;
        }
    }
    EXPECT_EQ(errorText(kWsaEconnrefused), errorText(ECONNREFUSED));
    for (int lookup : {kWsaHostNotFound, kWsaTryAgain, kWsaNoRecovery, kWsaNoData}) {
        const std::u16string text = errorText(lookup);
        EXPECT_TRUE(text.size() > 2 && text.ends_with(u"\r\n")) << lookup;
    }
}

}  // namespace
}  // namespace kolu

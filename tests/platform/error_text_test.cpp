#include "platform/error_text.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/text.h"
#include "platform/wsa_errors.h"

namespace kolu {
namespace {

TEST(ErrorText, KnownCodesHaveTextsEndingInALineEnd) {
    struct Case {
        int code;
        std::u16string_view expected;
    } cases[] = {
        {0, u"The operation completed successfully.\r\n"},
        {ENOENT, u"No such file or directory\r\n"},
        {EACCES, u"Permission denied\r\n"},
        {ENOSPC, u"No space left on device\r\n"},
        {kWsaEconnrefused, u"Connection refused\r\n"},
        {kWsaEconnreset, u"Connection reset by peer\r\n"},
        {kWsaEtimedout, u"Connection timed out\r\n"},
        {kWsaEwouldblock, u"Resource temporarily unavailable\r\n"},
        {kWsaHostNotFound, u"Host not found\r\n"},
        {kWsaTryAgain, u"Nonauthoritative host not found\r\n"},
        {kWsaNoRecovery, u"This is a nonrecoverable error\r\n"},
        {kWsaNoData, u"Valid name, no data record of requested type\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toUtf8(errorText(c.code)), toUtf8(c.expected)) << c.code;
    }
}

TEST(ErrorText, CodesWithoutTextGiveNothing) {
    for (int code :
         {-1, -10061, 4000, 9999, 10000, int{kWsaNotinitialised}, 10999, 11000, 11005, 123456}) {
        EXPECT_EQ(toUtf8(errorText(code)), "") << code;
    }
}

// Every errno value and every Windows Sockets number the socket layer maps has a
// text, and every text is one line ending in CR LF.
TEST(ErrorText, EveryMappedCodeHasOneLineOfText) {
    int described = 0;
    for (int code = 1; code < 200; ++code) {
        const std::u16string text = errorText(code);
        if (text.empty()) {
            continue;
        }
        ++described;
        ASSERT_GE(text.size(), 3u) << code;
        EXPECT_EQ(text.substr(text.size() - 2), u"\r\n") << code;
        EXPECT_EQ(text.find_first_of(u"\r\n"), text.size() - 2) << code;
    }
    EXPECT_GT(described, 100);
    for (int wsa = 10000; wsa < 11100; ++wsa) {
        if (errnoFromWsa(wsa) != 0) {
            const std::u16string text = errorText(wsa);
            EXPECT_EQ(text, errorText(errnoFromWsa(wsa))) << wsa;
            EXPECT_FALSE(text.empty()) << wsa;
        }
    }
}

}  // namespace
}  // namespace kolu

// The fallback text "Errorcode %d": every code, cut to the buffer, never past it.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "error_text.h"

TEST(ErrorCodeText, SignedDecimalCutToTheBuffer) {
    const struct {
        int32_t code;
        uint8_t size;
        const char *expected;
    } cases[] = {
        {5, 22, "Errorcode 5"},
        {0, 22, "Errorcode 0"},
        {-5, 22, "Errorcode -5"},
        {INT32_MIN, 22, "Errorcode -2147483648"},  // the longest: 21 characters and the zero
        {INT32_MAX, 22, "Errorcode 2147483647"},
        {INT32_MIN, 21, "Errorcode -214748364"},
        {1234, 12, "Errorcode 1"},
        {1234, 4, "Err"},
        {7, 1, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << " in " << int{c.size});
        char buffer[40];
        std::memset(buffer, 0x5A, sizeof buffer);
        maillink::WriteErrorCode(buffer, c.size, c.code);
        EXPECT_STREQ(buffer, c.expected);
        for (unsigned i = c.size; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0x5A) << "byte " << i;
    }
    char untouched = 0x5A;
    maillink::WriteErrorCode(&untouched, 0, 5);
    EXPECT_EQ(untouched, 0x5A);
}

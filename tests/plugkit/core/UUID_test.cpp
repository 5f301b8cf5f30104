#include "plugkit/core/UUID.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace plugkit::core;

TEST(UUID, VersionVariantAndText) {
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        const UUID u = generateRandomUUID();
        EXPECT_EQ(u.bytes[6] >> 4, 4);
        EXPECT_EQ(u.bytes[8] >> 6, 2);
        char text[kUUIDTextLength + 1];
        formatUUID(u, text);
        ASSERT_EQ(std::strlen(text), 36u);
        for (int k = 0; k < 36; ++k) {
            if (k == 8 || k == 13 || k == 18 || k == 23)
                EXPECT_EQ(text[k], '-');
            else
                EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(text[k])) &&
                            !std::isupper(static_cast<unsigned char>(text[k])));
        }
        EXPECT_EQ(text[14], '4');
        EXPECT_TRUE(std::strchr("89ab", text[19]));
        EXPECT_TRUE(seen.insert(text).second) << "repeated UUID " << text;
    }
}

TEST(UUID, NullTerminatedWithPrefix) {
    char a[64], b[64];
    std::memset(a, 'x', sizeof a);
    generateNullTerminatedRandomUUID("com.pel.", a);
    generateNullTerminatedRandomUUID(nullptr, b);
    EXPECT_EQ(std::strncmp(a, "com.pel.", 8), 0);
    EXPECT_EQ(std::strlen(a), 8u + 36u);
    EXPECT_EQ(std::strlen(b), 36u);
    EXPECT_NE(std::string(a + 8), std::string(b));
}

// The Modify action's address checks, case by case.
#include <gtest/gtest.h>

#include "modify/address_validation.h"

namespace {

TEST(AddressValidation, DottedQuadsWithPartsUpTo255) {
    struct Case {
        const char* text;
        int dottedQuad;
        int valid;
    };
    const Case cases[] = {
        {"192.168.1.10", 1, 1},
        {"...", 1, 1},  // empty parts count as 0
        {".1.2.3", 1, 1},
        {"1..2.3", 1, 1},
        {"1.2.3.", 1, 1},
        {"001.002.003.004", 1, 1},  // leading zeros, 15 characters
        {"255.255.255.255", 1, 1},
        {"192.168.1.256", 1, 0},  // the last part is checked after the loop
        {"1.256.3.4", 1, 0},
        {"999999999.1.1.1", 1, 0},
        {"99999999999999999999.1.1.1", 1, 0},  // far beyond 32 bits, simply invalid
        {"1.2.3.4.", 0, 0},  // four dots
        {"1.2.3", 0, 0},     // two dots
        {"", 0, 0},
        {"1.2.3.4 ", 0, 0},
        {"+1.2.3.4", 0, 0},
        {"1.2.3.a", 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsDottedQuad(c.text), c.dottedQuad) << '"' << c.text << '"';
        EXPECT_EQ(IsValidIPv4(c.text), c.valid) << '"' << c.text << '"';
    }
}

}  // namespace

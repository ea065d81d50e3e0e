#include "playback/smf_bytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace tez {
namespace {

struct VarLenCase {
    std::vector<std::uint8_t> bytes;
    std::uint32_t value;
    std::size_t advance;
};

class VarLenTest : public testing::TestWithParam<VarLenCase> {};

TEST_P(VarLenTest, TrustingAndCheckedReadsAgree) {
    const VarLenCase& c = GetParam();
    const std::uint8_t* pos = c.bytes.data();
    EXPECT_EQ(static_cast<std::uint32_t>(ReadVarLen(pos)), c.value);
    EXPECT_EQ(pos - c.bytes.data(), static_cast<std::ptrdiff_t>(c.advance));

    const std::uint8_t* checked = c.bytes.data();
    std::uint32_t value = 0;
    EXPECT_TRUE(ReadVarLen(checked, c.bytes.data() + c.bytes.size(), value));
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(checked, pos);
}

INSTANTIATE_TEST_SUITE_P(Quantities, VarLenTest,
                         testing::Values(VarLenCase{{0x00}, 0, 1}, VarLenCase{{0x7F}, 127, 1},
                                         VarLenCase{{0x81, 0x00}, 128, 2},
                                         VarLenCase{{0xFF, 0x7F}, 16383, 2},
                                         VarLenCase{{0x81, 0x80, 0x80, 0x00}, 2097152, 4},
                                         VarLenCase{{0xFF, 0xFF, 0xFF, 0x7F}, 0x0FFFFFFF, 4},
                                         // Five bytes: the bits beyond 32 are lost.
                                         VarLenCase{{0x9F, 0xFF, 0xFF, 0xFF, 0x7F}, 0xFFFFFFFF, 5},
                                         VarLenCase{{0x00, 0x55}, 0, 1}));

TEST(VarLenChecked, StopsAtTheEndOfItsData) {
    for (const std::vector<std::uint8_t>& cut :
         {std::vector<std::uint8_t>{}, {0x81}, {0xFF, 0xFF, 0xFF}}) {
        const std::uint8_t* pos = cut.data();
        std::uint32_t value = 0;
        EXPECT_FALSE(ReadVarLen(pos, cut.data() + cut.size(), value));
        EXPECT_EQ(pos, cut.data() + cut.size());
    }
}

TEST(SwapBytes16, ExchangesTheBytes) {
    EXPECT_EQ(SwapBytes16(0x7800), 0x0078);
    EXPECT_EQ(SwapBytes16(0x1234), 0x3412);
    EXPECT_EQ(SwapBytes16(0xFF00), 0x00FF);
}

}  // namespace
}  // namespace tez

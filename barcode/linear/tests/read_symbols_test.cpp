// Every symbology drawn by libzint and read back from a ticket-sized page.

#include <gtest/gtest.h>
#include <zint.h>

#include "barcode/linear/tests/symbol_page.h"

namespace stripescan::testing {
namespace {

TEST(ReadSymbols, Code128Upright) {
    ModuleImage symbol;
    ASSERT_TRUE(encode(BARCODE_CODE128, "TICKET-0042", symbol));
    Page page;
    page.paint(symbol, Placement{864, 600, 2, 0});
    const auto reads = decode(page, {setting(1)});
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].symbology, 1);
    EXPECT_EQ(reads[0].text, "TICKET-0042");
}

}  // namespace
}  // namespace stripescan::testing

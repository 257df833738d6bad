// The field reader: ten-column number fields with one implied decimal.
#include "session/format/reader.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

constexpr float inf = std::numeric_limits<float>::infinity();

// The text in a heap block of exactly its length, so that a read past its
// end shows under the address sanitizer.
std::unique_ptr<char[]> exact_copy(const std::string& s) {
    auto p = std::make_unique<char[]>(s.size());
    std::memcpy(p.get(), s.data(), s.size());
    return p;
}

// Two floats are the same value when their bits agree (sign of zero included).
std::uint32_t bits(float x) {
    return std::bit_cast<std::uint32_t>(x);
}

struct FieldRow {
    std::string text;
    float expected;
};

TEST(ReaderField, ReadsNumbers) {
    const FieldRow rows[] = {
        // No typed point: the last digit is the first decimal.
        {"29", 2.9f},
        {"5", 0.5f},
        {"100", 10.0f},
        {"0000000001", 0.1f},
        {"1234567890", 123456789.0f},
        // A typed point stands where it is typed.
        {"29.", 29.0f},
        {"0.938", 0.938f},
        {".5", 0.5f},
        {"0.00000001", 1.0e-8f},
        // Blanks are ignored wherever they stand.
        {"1 5.", 15.0f},
        {"   1 5 .  ", 15.0f},
        {"0.01 29 1", 0.01291f},
        {" - 2 9 . ", -29.0f},
        // Signs.
        {"+5", 0.5f},
        {"-5", -0.5f},
        {"-29.", -29.0f},
        // Exponents after rule 4: with a letter of any case, or a bare sign.
        {"15E2", 150.0f},
        {"1.5E2", 150.0f},
        {"1.5e2", 150.0f},
        {"1.5D2", 150.0f},
        {"1.5d2", 150.0f},
        {"1.5E+2", 150.0f},
        {"1.5E 2", 150.0f},
        {"1.5E-2", 0.015f},
        {"1.5D -2", 0.015f},
        {"1.5-3", 0.0015f},
        {"15-3", 0.0015f},
        {"1.5+3", 1500.0f},
        {"12345E-30", 1.2345e-27f},
        // No digit at all reads 0.
        {"", 0.0f},
        {"          ", 0.0f},
        {"+", 0.0f},
        {"-", 0.0f},
        {".", 0.0f},
        {" - . ", 0.0f},
        // Typed zeros, with their sign.
        {"0", 0.0f},
        {"-0.", -0.0f},
        // Rounded to single precision: below half the smallest subnormal is
        // zero, above it the subnormal; past the largest float, infinity.
        {"1E-50", 0.0f},
        {"-1E-50", -0.0f},
        {"7.0E-46", 0.0f},
        {"7.1E-46", std::numeric_limits<float>::denorm_min()},
        {"1.4E-45", std::numeric_limits<float>::denorm_min()},
        {"1E-9999999", 0.0f},
        {"3.40282E38", 3.40282e38f},
        {"3.40283E38", inf},
        {"1E99", inf},
        {"-1E99", -inf},
        {"1E99999999", inf},
        // Without a typed point the last digit is the first decimal, so "E33"
        // after seven digits scales 340282.3 to 3.402823e38. Halfway between
        // the largest float and 2^128 is 3.40282357e38: beyond it, inf.
        {"3402823E33", 0x1.fffffap127f},   // 3.402823e38, below the largest float
        {"3402824E33", inf},               // 3.402824e38, past the halfway point
        {"7.006E-46", 0.0f},               // below half the smallest subnormal
        {"7.007E-46", 0x1p-149f},          // above it: the smallest subnormal
        {"1.1755E-38", 0x1.00005p-126f},   // just above the smallest normal
        {"1.1754E-38", 0x1.fff57cp-127f},  // just below it: subnormal
        {"1E-99", 0.0f},                   // 0.1e-99
        {"-1E-99", -0.0f},
        {"1E38", 0x1.e17b84p122f},       // 0.1e38 = 1e37
        {"1.E38", 0x1.2ced32p126f},      // 1e38
        {"99999999E9", 0x1.1c3794p53f},  // 9999999.9e9
        {"1D5", 10000.0f},               // 0.1e5
        // Ties between floats go to the even one; decimals to the nearest.
        {"16777217.", 16777216.0f},
        {"16777219.", 16777220.0f},
        {"1.206", 1.206f},
        {"8.96", 8.96f},
        {"0.9382796", 0.9382796f},
    };
    for (const FieldRow& r : rows) {
        SCOPED_TRACE("field \"" + r.text + "\"");
        const auto text = exact_copy(r.text);
        float v = 12345.0f;
        ASSERT_TRUE(zefrin::reader::field(text.get(), r.text.size(), v));
        EXPECT_EQ(bits(v), bits(r.expected)) << "read " << v << ", want " << r.expected;
    }
}

TEST(ReaderField, BadEntries) {
    // clang-format off
    const std::string rows[] = {
        // Characters that are never part of a number.
        "q", "N", "1\t", "\t", "1x", "1_000", "\r", "1\0"s, "\xff",
        // Allowed characters that do not form a number.
        "1.2.3", "1..", "1E", "1E+", "1E-", "15-", "1.5+", "E5", "-E5", ".E5", "E", "--5", "+-5",
        "1E5.0", "1E2E3", "1.5E2-", "1-2-3", "1E5 E",
        // More than ten characters: not a field.
        "-3402824E33", "1E-99999999",
    };
    // clang-format on
    for (const std::string& r : rows) {
        SCOPED_TRACE("field \"" + r + "\"");
        const auto text = exact_copy(r);
        float v = 0.0f;
        EXPECT_FALSE(zefrin::reader::field(text.get(), r.size(), v));
    }
}

struct LineRow {
    std::string line;
    int n;
    bool ok;
    std::vector<float> expected;
};

TEST(ReaderFields, CutsTheLineIntoFieldsOfTen) {
    const LineRow rows[] = {
        {"", 7, true, {0, 0, 0, 0, 0, 0, 0}},
        {"1.", 3, true, {1, 0, 0}},
        {"          29", 7, true, {0, 2.9f, 0, 0, 0, 0, 0}},
        {"          29.", 7, true, {0, 29, 0, 0, 0, 0, 0}},
        {"  0.000511      31.0      -1.0", 3, true, {0.000511f, 31, -1}},
        // Numbers with blanks between them run together inside one field.
        {"0.01 29 1", 7, true, {0.01291f, 0, 0, 0, 0, 0, 0}},
        // A comma ends a field early.
        {"0.938,31.,-1.", 3, true, {0.938f, 31, -1}},
        {"0.01,29.,1.", 7, true, {0.01f, 29, 1, 0, 0, 0, 0}},
        {",5.", 3, true, {0, 5, 0}},
        {",,5.", 3, true, {0, 0, 5}},
        {" 1.5 , 2.5", 3, true, {1.5f, 2.5f, 0}},
        // A comma as the tenth character ends the first field; as the
        // eleventh it begins the second field and ends it empty.
        {"123456789,5.", 3, true, {12345678.9f, 5, 0}},
        {"1234567890,5.", 3, true, {123456789.0f, 0, 5}},
        // Characters after the last field are discarded, whatever they are.
        {"1.        2.        3.        q\t", 3, true, {1, 2, 3}},
        {std::string(70, ' ') + "\x01\xff\0"s + std::string(500, 'x'),
         7,
         true,
         {0, 0, 0, 0, 0, 0, 0}},
        // A bad character in the last column of the last field is read.
        {"1.        2.        3.       q", 3, false, {}},
        {std::string(69, ' ') + "x", 7, false, {}},
        {"1.\t", 3, false, {}},
        {"1.2.3", 3, false, {}},
        {"          1E", 3, false, {}},
    };
    for (const LineRow& r : rows) {
        SCOPED_TRACE(testing::Message() << '"' << r.line << "\" in " << r.n << " fields");
        const auto line = exact_copy(r.line);
        float v[7] = {9, 9, 9, 9, 9, 9, 9};
        const bool ok = zefrin::reader::fields(line.get(), r.line.size(), r.n, v);
        ASSERT_EQ(ok, r.ok);
        for (std::size_t k = 0; k < r.expected.size(); ++k) {
            SCOPED_TRACE(testing::Message() << "field " << k + 1);
            EXPECT_EQ(bits(v[k]), bits(r.expected[k])) << "read " << v[k];
        }
    }
}

}  // namespace

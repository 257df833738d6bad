// zefrin-table with stacks and ranges, on the executable: a one-layer stack
// against the single-layer table, a stack file against --layer, where a
// particle stops, and a range against PSTAR. Their bad inputs are rows of
// the bad inputs in tests/table/table_test.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "run.hpp"
#include "table_run.hpp"

namespace {

using namespace zefrin;
using test::joined;
using test::table_run;

// The number after "key": in a JSON text, from position from on; NaN if
// the key is missing or null.
double json_number(const std::string& json, const std::string& key, std::size_t from = 0) {
    const std::size_t at = json.find("\"" + key + "\":", from);
    if (at == std::string::npos)
        return std::nan("");
    const char* p = json.c_str() + at + key.size() + 3;
    char* end = nullptr;
    const double v = std::strtod(p, &end);
    return end == p ? std::nan("") : v;
}

// The CSV rows (header excluded) cut into cells; quotes are not needed here.
std::vector<std::vector<std::string>> csv_rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::size_t pos = text.find('\n') + 1;
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        const std::string line = text.substr(pos, end - pos);
        std::vector<std::string> cells(1);
        for (const char c : line) {
            if (c == ',')
                cells.emplace_back();
            else
                cells.back().push_back(c);
        }
        rows.push_back(cells);
        pos = end + 1;
    }
    return rows;
}

std::size_t column(const std::string& text, const std::string& key) {
    const auto header = csv_rows("\n" + text.substr(0, text.find('\n') + 1));
    for (std::size_t i = 0; i < header[0].size(); ++i)
        if (header[0][i] == key)
            return i;
    return header[0].size();
}

const std::vector<std::string> proton = {"--particle", "p", "--kinetic-energy", "200MeV"};

// A one-layer stack without slowing gives the single-layer table's 1/e
// angle, displacement (sqrt 3 against 1.7321), mean loss and interaction
// length within 1e-4.
TEST(StackExecutable, OneLayerWithoutSlowingIsTheSingleLayerTable) {
    const struct {
        const char *particle, *momentum, *material, *thickness;
    } rows[] = {
        {"p", "1.206", "copper", "1cm"},
        {"pi+", "5", "air", "1m"},
        {"p", "0.6444", "kapton", "50um"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.material);
        const std::vector<std::string> common = {"--particle", row.particle, "--momentum",
                                                 row.momentum, "--format",   "json"};
        const test::Result one =
            table_run(joined(common, {"--material", row.material, "--thickness", row.thickness}));
        const test::Result st = table_run(joined(
            common, {"--layer", std::string(row.material) + "@" + row.thickness, "--no-slowing"}));
        ASSERT_EQ(one.status, 0) << one.err;
        ASSERT_EQ(st.status, 0) << st.err;
        for (const char* key :
             {"theta_1e_mrad", "displacement_1e_mm", "mean_loss_mev", "interaction_length_cm"}) {
            const double want = json_number(one.out, key);
            EXPECT_NEAR(json_number(st.out, key, st.out.find("\"layers\"")), want,
                        1e-4 * std::fabs(want))
                << key;
        }
    }
}

// A stack file with comments and blank lines is the stack of --layer
// options, byte for byte; its CSV has a layer column 1, 2, 3, total.
TEST(StackExecutable, StackFileIsTheLayers) {
    test::Scratch dir;
    dir.write("beam.txt", "# window\nkapton 50 um\n\n  air\t1   # gap\nSi 300um 2.329 g/cm3\n");
    const auto csv = joined(proton, {"--format", "csv"});
    const test::Result a = table_run(
        joined(csv, {"--layer", "kapton@50um", "--layer", "air@1", "--layer", "Si@300um@2.329"}),
        "", &dir);
    const test::Result b = table_run(joined(csv, {"--stack", "beam.txt"}), "", &dir);
    const test::Result c =
        table_run(joined(csv, {"--stack", "-"}), "kapton 50um\nair 1\nSi 300um 2.329\n", &dir);
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(b.out, a.out);
    EXPECT_EQ(c.out, a.out);
    const auto rows = csv_rows(a.out);
    ASSERT_EQ(rows.size(), 4u);
    const std::size_t layer = column(a.out, "layer");
    const char* want[] = {"1", "2", "3", "total"};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(rows[i][layer], want[i]);
}

// A proton of 10 MeV through 1 mm of water stops in the aluminium behind
// it, 104 um in (tests/model/stack_checks.py: 104.063 um): rows for the
// water, the aluminium and the total only, no exit energy where it stops.
TEST(StackExecutable, AStoppingStackReportsWhereAndNothingAfter) {
    const test::Result r =
        table_run({"--particle", "p", "--kinetic-energy", "10MeV", "--layer", "water@1mm",
                   "--layer", "Al@1mm", "--layer", "air@10cm", "--format", "csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = csv_rows(r.out);
    ASSERT_EQ(rows.size(), 3u);
    const std::size_t stop = column(r.out, "stop_depth_cm");
    const std::size_t out = column(r.out, "kinetic_energy_out_mev");
    EXPECT_EQ(rows[0][stop], "");
    EXPECT_NE(rows[0][out], "");
    EXPECT_NEAR(std::stod(rows[1][stop]), 104.063e-4, 0.005 * 104.063e-4);
    EXPECT_EQ(rows[1][out], "");
    EXPECT_EQ(rows[2][0], "1");
    EXPECT_NEAR(std::stod(rows[2][stop]), 0.1 + 104.063e-4, 0.005 * 104.063e-4);
    EXPECT_NE(r.out.find("stops in layer 2"), std::string::npos);
}

// --range: the CSDA range of a 200 MeV proton in water within 2 % of
// PSTAR's 25.96 g/cm2; in cm at density 1 the same number.
TEST(StackExecutable, RangeInWater) {
    const test::Result r =
        table_run(joined(proton, {"--material", "water", "--range", "--format", "json"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(json_number(r.out, "range_g_cm2"), 25.96, 0.02 * 25.96);
    EXPECT_EQ(json_number(r.out, "range_cm"), json_number(r.out, "range_g_cm2"));
}

}  // namespace

// zefrin-table: units, catalogue and formulas in-process; bad inputs, and
// the same bits for a catalogue name and its formula, on the executable.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "expect.hpp"
#include "run.hpp"
#include "table/cases.hpp"
#include "table/catalogue.hpp"
#include "table/evaluate.hpp"
#include "table/input.hpp"
#include "table_run.hpp"

namespace {

using namespace zefrin;
using namespace zefrin::table;

using test::table_run;

// Values with units; the expected floats worked out by hand. A length in
// metres goes the dialogue's way: 0.3 m is float(0.3) x 100 in single
// precision, 30.000002 (0x1.e00002p4), not the float nearest 30.
TEST(Input, UnitsConvertToTheCalculationsUnits) {
    const struct {
        const char* text;
        Kind kind;
        float value;
        bool areal;
    } rows[] = {
        // clang-format off
        {"12",          Kind::momentum,      12.0f,           false},
        {"1.5 GeV/c",   Kind::momentum,      1.5f,            false},
        {"250MeV/c",    Kind::momentum,      0.25f,           false},
        {"2TeV/c",      Kind::momentum,      2000.0f,         false},
        {"3e5 keV",     Kind::energy,        0.3f,            false},
        {"5e8eV",       Kind::energy,        0.5f,            false},
        {"938.272 MeV/c2", Kind::mass,       0.938272f,       false},
        {"2 u",         Kind::mass,          1.86298820484f,  false},
        {"0.3",         Kind::length,        0x1.e00002p4f,   false},
        {"1 m",         Kind::length,        100.0f,          false},
        {"2.5cm",       Kind::length,        2.5f,            false},
        {"25 mm",       Kind::length,        2.5f,            false},
        {"10000um",     Kind::length,        1.0f,            false},
        {"5 \u00b5m",   Kind::length,        5e-4f,           false},
        {"5\u03bcm",    Kind::length,        5e-4f,           false},
        {"8.96 g/cm2",  Kind::length,        8.96f,           true},
        {"8960 kg/m3",  Kind::density,       8.96f,           false},
        {"1.2e-3",      Kind::density,       1.2e-3f,         false},
        {"0.5 b",       Kind::cross_section, 500.0f,          false},
        {"-1",          Kind::cross_section, -1.0f,           false},
        // clang-format on
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        const Quantity q = quantity("--x", r.text, r.kind);
        EXPECT_EQ(q.value, r.value);
        EXPECT_EQ(q.areal, r.areal);
    }
    EXPECT_EQ(length_of(8.96f, 8.96f), 1.0f);
}

// Weight fractions from the element table's atomic weights, worked by hand:
// water 2 x 1.008 / 18.016 = 0.1119005; Ca(OH)2 40.08, 32, 2.016 of 74.096;
// PbWO4 207.2, 183.9, 64 of 455.1 (and a name of the catalogue, with its
// density). The mixtures and elements of the reference tables, copied here
// by hand, hold their fractions and densities exactly.
TEST(Catalogue, FormulasAndMixtures) {
    const struct {
        const char* text;
        std::vector<float> z;
        std::vector<double> frac;
        float rho;
        double tol = 2e-7;  // of the fractions
    } rows[] = {
        // clang-format off
        {"water",        {1, 8},     {0.1119005, 0.8880995},                 1.0f},
        {"H2O",          {1, 8},     {0.1119005, 0.8880995},                 0.0f},
        {"Ca(OH)2",      {20, 8, 1}, {0.5409199, 0.4318722, 0.0272079},      0.0f},
        {"PbWO4",        {82, 74, 8}, {0.4552846, 0.4040870, 0.1406284},     8.3f},
        {"copper",       {29},       {1.0},                                  8.96f},
        {"Cu",           {29},       {1.0},                                  8.96f},
        {"Tc",           {43},       {1.0},                                  0.0f},
        {"H:0.1119,O:0.8881",   {1, 8}, {0.1119, 0.8881},                    0.0f},
        {"Cu:1.001",            {29},   {1.001},                             0.0f},
        {"1:0.1119,8:0.8881",   {1, 8}, {0.1119, 0.8881},                    0.0f},
        {"AIR",          {6, 7, 8, 18}, {0.000124, 0.755267, 0.231781, 0.012827}, 1.20479e-3f},
        {"concrete",     {1, 6, 8, 11, 12, 13, 14, 19, 20, 26},
         {0.01f, 0.001f, 0.529107f, 0.016f, 0.002f, 0.033872f, 0.337021f, 0.013f, 0.044f, 0.014f},
                                                                             2.30f, 0},
        {"stainless-steel", {26, 24, 28, 25}, {0.695f, 0.190f, 0.095f, 0.020f}, 8.00f, 0},
        {"hydrogen",     {1},        {1.0},                                  0.0708f},
        {"Be",           {4},        {1.0},                                  1.848f},
        {"aluminium",    {13},       {1.0},                                  2.699f},
        {"Si",           {14},       {1.0},                                  2.329f},
        {"argon",        {18},       {1.0},                                  1.396f},
        {"Fe",           {26},       {1.0},                                  7.874f},
        {"tungsten",     {74},       {1.0},                                  19.3f},
        {"Pb",           {82},       {1.0},                                  11.35f},
        {"U",            {92},       {1.0},                                  18.95f},
        // clang-format on
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        const Material m = material("--material", r.text);
        ASSERT_EQ(m.elements.size(), r.z.size());
        for (std::size_t i = 0; i < r.z.size(); ++i) {
            EXPECT_EQ(m.elements[i].Z, r.z[i]);
            EXPECT_NEAR(m.elements[i].prop, r.frac[i], r.tol);
        }
        EXPECT_EQ(m.rho, r.rho);
    }
}

// Every compound of the reference tables, copied here by hand: density and
// composition, the atom counts coming back from the fractions (n
// proportional to w / A) up to rounding.
TEST(Catalogue, EntriesHoldTheReferenceValues) {
    const struct {
        const char* name;
        float rho;
        std::vector<std::pair<int, double>> atoms;  // Z and count
    } compounds[] = {
        // clang-format off
        {"water", 1.000f, {{1, 2}, {8, 1}}},          {"ice", 0.918f, {{1, 2}, {8, 1}}},
        {"polyethylene", 0.94f, {{6, 2}, {1, 4}}},    {"polystyrene", 1.06f, {{6, 8}, {1, 8}}},
        {"scintillator", 1.032f, {{6, 9}, {1, 10}}},
        {"kapton", 1.42f, {{6, 22}, {1, 10}, {7, 2}, {8, 5}}},
        {"mylar", 1.40f, {{6, 10}, {1, 8}, {8, 4}}},  {"pmma", 1.19f, {{6, 5}, {1, 8}, {8, 2}}},
        {"polycarbonate", 1.20f, {{6, 16}, {1, 14}, {8, 3}}},
        {"nylon-6", 1.14f, {{6, 6}, {1, 11}, {7, 1}, {8, 1}}},
        {"teflon", 2.20f, {{6, 2}, {9, 4}}},          {"quartz", 2.32f, {{14, 1}, {8, 2}}},
        {"sapphire", 3.97f, {{13, 2}, {8, 3}}},       {"bgo", 7.13f, {{83, 4}, {32, 3}, {8, 12}}},
        {"pbwo4", 8.30f, {{82, 1}, {74, 1}, {8, 4}}}, {"csi", 4.51f, {{55, 1}, {53, 1}}},
        {"nai", 3.667f, {{11, 1}, {53, 1}}},          {"baf2", 4.89f, {{56, 1}, {9, 2}}},
        {"caf2", 3.18f, {{20, 1}, {9, 2}}},           {"lif", 2.635f, {{3, 1}, {9, 1}}},
        {"gaas", 5.32f, {{31, 1}, {33, 1}}},          {"cdte", 5.85f, {{48, 1}, {52, 1}}},
        {"methane", 6.672e-4f, {{6, 1}, {1, 4}}},     {"co2", 1.842e-3f, {{6, 1}, {8, 2}}},
        {"isobutane", 2.49e-3f, {{6, 4}, {1, 10}}},
        // clang-format on
    };
    for (const auto& c : compounds) {
        SCOPED_TRACE(c.name);
        const Material m = material("--material", c.name);
        EXPECT_EQ(m.rho, c.rho);
        ASSERT_EQ(m.elements.size(), c.atoms.size());
        const double unit =
            static_cast<double>(m.elements[0].prop / m.elements[0].A) / c.atoms[0].second;
        for (std::size_t i = 0; i < c.atoms.size(); ++i) {
            EXPECT_EQ(m.elements[i].Z, static_cast<float>(c.atoms[i].first));
            EXPECT_NEAR(static_cast<double>(m.elements[i].prop / m.elements[i].A) / unit,
                        c.atoms[i].second, 2e-6 * c.atoms[i].second);
        }
    }
    // --list: the masses as the reference writes them, the density column in line.
    std::string list;
    list_particles(list);
    EXPECT_NE(list.find("\np        938.27208816   31            proton\n"), std::string::npos);
    list.clear();
    list_materials(list);
    EXPECT_NE(list.find("\ntechnetium             (give --density) Tc (Z 43)\n"),
              std::string::npos);
    EXPECT_NE(list.find("\nzirconium              6.506            Zr (Z 40)\n"),
              std::string::npos);
}

// Scans and lists: the ends of a scan are the values as given, the points
// between equally spaced (in the logarithm with log); a kinetic energy T
// gives p = sqrt(T (T + 2m)), by hand 0.4445834 GeV/c for a 100 MeV proton.
TEST(Cases, ScansListsAndKineticEnergy) {
    const struct {
        const char* scan;
        const char* list;
        std::vector<float> p0;
    } rows[] = {
        // clang-format off
        {"momentum=0.1:1000:5log",   nullptr,         {0.1f, 1.0f, 10.0f, 100.0f, 1000.0f}},
        {"momentum=1:3:5",           nullptr,         {1.0f, 1.5f, 2.0f, 2.5f, 3.0f}},
        {"momentum=100MeV/c:1000MeV/c:2", nullptr,  {0.1f, 1.0f}},
        {nullptr,                    "0.5GeV/c,1 GeV/c,2GeV/c", {0.5f, 1.0f, 2.0f}},
        // clang-format on
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.scan ? r.scan : r.list);
        Options o;
        o.particle = "p";
        o.material = "Cu";
        o.thickness = "1cm";
        if (r.scan)
            o.scan = r.scan;
        if (r.list)
            o.momentum = r.list;
        const table::Setup s = resolve(o);
        ASSERT_EQ(s.size(), r.p0.size());
        for (std::size_t k = 0; k < r.p0.size(); ++k)
            EXPECT_NEAR(s.at(k).p0, r.p0[k], 2e-7f * r.p0[k]);
        EXPECT_EQ(s.at(0).p0, r.p0.front());
        EXPECT_EQ(s.at(s.size() - 1).p0, r.p0.back());
    }
    Options o;
    o.particle = "p";
    o.material = "water";
    o.kinetic_energy = "100 MeV";
    o.thickness = "2g/cm2";
    const Case c = resolve(o).at(0);
    EXPECT_NEAR(c.p0, 0.4445834f, 1e-7f);
    EXPECT_EQ(c.length, 2.0f);
}

// The formulas take any number of elements: copper cut into 1, 2 and 7 equal
// parts is the same material, up to the rounding of the sums.
TEST(Evaluate, AnElementCutIntoPartsIsTheSameMaterial) {
    std::vector<Values> got;
    for (const int parts : {1, 2, 7}) {
        std::vector<physics::Element> el(static_cast<std::size_t>(parts),
                                         physics::element(29.0f, 1.0f / static_cast<float>(parts)));
        Case c{"p", 0.938272f, 31.0f, -1.0f, 1.206f, "Cu", el, 8.96f, 1.0f, 1.0f};
        got.emplace_back();
        evaluate(c, got.back());
    }
    for (const Values& v : got) {
        EXPECT_NEAR(v.mol.se, got[0].mol.se, 1e-5f * got[0].mol.se);
        EXPECT_NEAR(v.loss.dedx, got[0].loss.dedx, 1e-5f * got[0].loss.dedx);
        EXPECT_NEAR(v.loss.r, got[0].loss.r, 1e-5f * got[0].loss.r);
        EXPECT_NEAR(v.t, got[0].t, 1e-5f * got[0].t);
        EXPECT_NEAR(v.x.tlam, got[0].x.tlam, 1e-5f * got[0].x.tlam);
        EXPECT_NEAR(v.x.al, got[0].x.al, 1e-5);
        float sum = 0;
        for (const Atom& a : v.atoms) sum += a.pdi;
        EXPECT_NEAR(sum, 1.0f, 1e-5);
    }
    // The built-in proton of the dialogue in 1 cm of copper: 7.881 cm and
    // 0.507 in its report (tests/sessions/data/two-reports.out).
    EXPECT_EQ(std::round(got[0].x.tlam * 1000.0f), 7881.0f);
    EXPECT_EQ(std::round(got[0].x.al * 1000.0f), 507.0f);
}

// Bad input, of a single layer, a stack or a range: status 2, one line on
// standard error naming the option (or file, row and column) and the value,
// nothing on standard output.
TEST(Executable, BadInputGivesOneLineAndStatusTwo) {
    const std::vector<std::string> ok = {"--particle", "p",      "--momentum",  "1",
                                         "--material", "copper", "--thickness", "1cm"};
    const auto with = [&](std::vector<std::string> extra, std::vector<std::string> drop = {}) {
        std::vector<std::string> a;
        for (std::size_t i = 0; i < ok.size(); i += 2) {
            bool dropped = false;
            for (const auto& d : drop) dropped = dropped || ok[i] == d;
            for (std::size_t k = 0; k < extra.size(); k += 2)
                dropped = dropped || ok[i] == extra[k];
            if (!dropped)
                a.insert(a.end(), {ok[i], ok[i + 1]});
        }
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    };
    test::Scratch dir;
    dir.write("header.csv", "momentum,colour\n1,red\n");
    dir.write("row.csv", "momentum,thickness\n1,1cm\n2,1 cn\n");
    dir.write("quote.csv", "momentum,material\n1,\"H:0.5,O:0.5\n");
    dir.write("empty.csv", "");
    dir.write("mom.csv", "momentum\n1\n");
    dir.write("empty.txt", "# nothing here\n\n");
    dir.write("bad.txt", "water 1cm\n# fine\nwater 1cm 1 extra\n");
    dir.write("s.txt", "water 1cm\n");
    dir.write("nothick.csv", "momentum,thickness\n1,1cm\n2,\n");
    dir.write("cr.csv", "momentum\r1\r");
    dir.write("h2o.txt", "H2O 1cm\n");
    // A stack or a range in place of --material and --thickness.
    const auto stack = [&](std::vector<std::string> extra) {
        return with(std::move(extra), {"--material", "--thickness"});
    };
    const struct {
        std::vector<std::string> args;
        const char* names;  // what the message must name
    } rows[] = {
        // clang-format off
        {with({"--particle", "alpha"}),            "--particle \"alpha\": charge 2"},
        {with({"--particle", "he3"}),              "--particle \"he3\""},
        {with({"--particle", "kaon"}),             "unknown particle"},
        {with({}, {"--particle"}),                 "missing --particle"},
        {with({"--mass", "0"}, {"--particle"}),    "--mass \"0\": must be positive"},
        {with({"--mass", "1", "--particle", "p"}), "not both"},
        {with({"--material", "unobtainium"}),      "--material \"unobtainium\": unknown material"},
        {with({"--material", "Xx2"}),              "unknown element \"Xx\""},
        {with({"--material", "H2Q", "--density", "1"}), "unknown element \"Q\""},
        {with({"--material", "H2O"}),              "formula takes its density from --density, or use the catalogue's water"},
        {with({"--material", "H99999999999O", "--density", "1"}), "a count above 1e9"},
        {with({"--material", "H:0.5,O:0.4", "--density", "1"}), "add up to 0.9"},
        {with({"--material", "H:0.5,O:0.5011", "--density", "1"}), "add up to 1.0011"},
        {with({"--material", "93:1", "--density", "1"}), "outside Z 1 to 92"},
        {with({"--material", "0:1", "--density", "1"}),  "outside Z 1 to 92"},
        {with({"--material", "Zz:1", "--density", "1"}), "unknown element \"Zz\""},
        {with({"--material", "H:x", "--density", "1"}),  "is not a number"},
        {with({"--material", "H2(O", "--density", "1"}), "unbalanced"},
        {with({"--material", "H2O)", "--density", "1"}), "unbalanced"},
        {with({"--material", "()", "--density", "1"}),   "empty formula"},
        {with({"--thickness", "1 cn"}),            "unknown unit \"cn\" (use um, mm, cm, m or g/cm2)"},
        {with({"--thickness", "0"}),               "--thickness \"0\": must be positive"},
        {with({"--thickness", "-1cm"}),            "--thickness \"-1cm\": must be positive"},
        {with({"--momentum", "0"}),                "--momentum \"0\": must be positive"},
        {with({"--momentum", "1.2.3"}),            "--momentum \"1.2.3\": not a number"},
        {with({"--momentum", "abc"}),              "--momentum \"abc\": not a number"},
        {with({"--momentum", "1e39"}),             "too large"},
        {with({"--thickness", "1e37m"}),           "beyond single precision once in cm"},
        {with({"--thickness", "1e39cm"}),          "too large for single precision in cm"},
        {with({"--momentum", "1e-50"}),            "too small for single precision"},
        {with({"--momentum", "1e5000"}),           "beyond the range of single precision"},
        {with({"--thickness", "1,2,5cm"}),         "mixes \"no unit\" and \"cm\""},
        {with({"--scan", "thickness=1mm:1:3"}, {"--thickness"}), "mixes \"mm\" and \"no unit\""},
        {with({"--sige", "0"}),                    "--sige \"0\": must be positive"},
        {with({"--kinetic-energy", "1 GeV/c"}),    "not both"},
        {with({"--kinetic-energy", "1 GeV/c"}, {"--momentum"}), "unknown unit \"GeV/c\""},
        {with({"--density", "0"}),                 "--density \"0\": must be positive"},
        {with({"--density", "-2"}),                "--density \"-2\""},
        {with({"--fill", "0"}),                    "--fill \"0\": outside (0, 1]"},
        {with({"--fill", "1.5"}),                  "--fill \"1.5\": outside (0, 1]"},
        {with({"--siga", "-5"}),                   "--siga \"-5\": must be positive"},
        {with({"--bogus", "1"}),                   "unknown option --bogus (see zefrin-table --help)"},
        {with({"--fill", "1", "--fill", "0.5"}),   "--fill \"0.5\": given a second time"},
        {with({"--format"}),                       "--format: a value is missing (text, csv or json)"},
        {with({"stray"}),                          "unexpected argument \"stray\""},
        {with({"--y", "g"}),                       "--y: chooses the columns of a --plot"},
        {with({"--format", "csv", "--report", ""}), "--format: --report prints"},
        {{"--list", "particles", "--format", "csv"}, "--format: --list prints"},
        {with({"--y", ""}),                        "--y: the value is empty"},
        {with({"--plot="}),                        "--plot: the value is empty"},
        // A line break in the image's name would end gnuplot's string.
        {with({"--scan", "momentum=1:2:3", "--plot", "x\nsystem('touch a')\n#.svg"}, {"--momentum"}),
                                                   "a file name with a control character"},
        {with({"--thickness", std::string(300, '7') + "x"}), "\"777777777777"},
        {with({"--scan", "momentum=1:2:3", "--plot", "a.svg", "--y", "g,g,g"}, {"--momentum"}),
                                                   "one or two columns"},
        {with({"--scan", "momentum=1:2:3", "--plot", "a.svg", "--y", "int_prob_2"}, {"--momentum"}),
                                                   "\"int_prob_2\" is not a numeric column of this run"},
        {with({"--format", "xml"}),                "--format \"xml\": unknown format"},
        {{"--list", "ions"},                       "--list \"ions\""},
        {with({"--list", "particles"}),            "--list: goes alone"},
        {with({"--scan", "momentum=1:10"}, {"--momentum"}),     "--scan \"momentum=1:10\""},
        {with({"--scan", "energy=1:10:5"}, {"--momentum"}),     "--scan \"energy=1:10:5\""},
        {with({"--scan", "momentum=1:10:1"}, {"--momentum"}),   "whole number from 2"},
        {with({"--material", "concrete", "--report", ""}),     "at most three"},
        {with({"--report", "", "--report", ""}),   "--report: given a second time"},
        {with({"--particle", "mu-", "--report", ""}), "always has a nuclear section: give --siga for mu-"},
        {with({"--scan", "momentum=1:2:3", "--plot", "a.svg", "--y", "g,g"}, {"--momentum"}),
                                                   "the same column twice"},
        {with({"--cases", "nothick.csv"}, {"--momentum", "--thickness"}),
                                                   "nothick.csv: row 3: missing --thickness"},
        {with({"--cases", "cr.csv"}, {"--momentum"}), "cr.csv: lines end in CR alone"},
        {with({"--momentum", "1,,2"}),             "--momentum \"1,,2\": an empty value in the list"},
        {with({"--plot", "x.svg"}),                "plots need a --scan"},
        {with({"--cases", "header.csv"}),          "header.csv: row 1, column 2: \"colour\""},
        {with({"--cases", "row.csv"}, {"--momentum", "--thickness"}),
                                                   "row.csv: row 3, column thickness \"1 cn\": unknown unit"},
        {with({"--cases", "quote.csv"}),           "quote.csv: row 2: a quote is not closed"},
        {with({"--cases", "empty.csv"}),           "empty.csv: empty case file"},
        {with({"--cases", "mom.csv", "--scan", "momentum=1:2:3"}, {"--momentum"}),
                                                   "--scan \"momentum=1:2:3\": the scanned quantity"},
        {with({"--cases", "."}),                   "--cases \".\": is a directory"},
        {with({"--cases", "missing.csv"}),         "--cases \"missing.csv\": cannot be read"},
        {with({"--cases", "/dev/zero"}),           "--cases \"/dev/zero\": longer than 64 MiB"},
        {stack({"--layer", "water"}),              "--layer \"water\""},
        {stack({"--layer", "water@"}),             "--layer"},
        {stack({"--layer", "water@0cm"}),          "must be positive"},
        {stack({"--layer", "water@-1cm"}),         "must be positive"},
        {stack({"--layer", "water@1cn"}),          "unknown unit"},
        {stack({"--layer", "unobtainium@1cm"}),    "unknown material"},
        {stack({"--layer", "H2O@1cm"}),            "give it as MATERIAL@THICKNESS@DENSITY, or use the catalogue's water"},
        {stack({"--stack", "h2o.txt"}),            "give it as MATERIAL THICKNESS DENSITY, or use"},
        {stack({"--layer", "water@1cm@0"}),        "density must be positive"},
        {stack({"--layer", "water@1cm@x"}),        "--layer"},
        {stack({"--layer", "a@1cm@1@1"}),          "MATERIAL@THICKNESS"},
        {stack({"--layer", "P88@2@2e38"}),         "thickness times density is beyond single"},
        {stack({"--layer", "water@1g/cm2@1e-45"}), "give a length out of the range"},
        {stack({"--layer", "water@1cm", "--material", "Si"}), "--material \"Si\""},
        {stack({"--layer", "water@1cm", "--thickness", "1"}), "--thickness"},
        {stack({"--layer", "water@1cm", "--stack", "s.txt"}), "not both"},
        {stack({"--stack", "missing.txt"}),        "--stack \"missing.txt\": cannot be read"},
        {stack({"--stack", "empty.txt"}),          "empty.txt: no layer"},
        {stack({"--stack", "bad.txt"}),            "bad.txt: line 3"},
        {stack({"--layer", "water@1cm", "--step", "0"}),    "--step \"0\""},
        {stack({"--layer", "water@1cm", "--step", "0.03"}), "--step \"0.03\""},
        {stack({"--layer", "water@1cm", "--step", "x"}),    "--step \"x\""},
        {stack({"--step", "0.01"}),                "--step: goes with"},
        {stack({"--no-slowing"}),                  "--no-slowing: goes with"},
        {stack({"--range"}),                       "missing --material"},
        {stack({"--range", "--material", "water", "--thickness", "1"}), "--thickness"},
        {stack({"--range", "--material", "water", "--no-slowing"}),     "--no-slowing"},
        {stack({"--range", "--layer", "water@1cm"}),                    "--range"},
        {stack({"--layer", "water@1cm", "--scan", "thickness=1:2:3"}),  "--scan"},
        {stack({"--layer", "water@1cm", "--report"}),                   "--report"},
        {stack({"--layer", "water@1cm", "--plot", "a.svg", "--momentum", "1,2"}), "--plot"},
        {stack({"--range", "--material", "water", "--plot", "a.svg"}),  "--plot"},
        // clang-format on
    };
    ASSERT_GE(std::size(rows), 30u);
    for (const auto& r : rows) {
        std::vector<std::string> args = r.args;
        // --report is a flag: its placeholder value goes.
        for (std::size_t i = 0; i + 1 < args.size(); ++i)
            if (args[i] == "--report" && args[i + 1].empty())
                args.erase(args.begin() + static_cast<long>(i) + 1);
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        SCOPED_TRACE(shown);
        const test::Result res = table_run(args, "", &dir);
        EXPECT_TRUE(res.exited);
        EXPECT_EQ(res.status, 2);
        EXPECT_EQ(res.out, "");
        EXPECT_EQ(test::count(res.err, "\n"), 1u);
        EXPECT_EQ(res.err.rfind("zefrin-table: ", 0), 0u) << res.err;
        EXPECT_LT(res.err.size(), 400u);
        EXPECT_NE(res.err.find(r.names), std::string::npos) << res.err;
    }
}

// A signal while gnuplot draws ends the run by that signal, with gnuplot
// stopped and neither its half image nor the plot's data left behind.
TEST(Executable, PlotEndedBySignalLeavesNothing) {
    test::Scratch dir;
    ::mkdir(dir.file("bin").c_str(), 0755);
    ::mkdir(dir.file("tmp").c_str(), 0755);
    // Draws half an image, says its pid once the half is there, then waits.
    dir.write("bin/gnuplot",
              "#!/bin/sh\nsed -n \"s/^set output '\\(.*\\)'$/\\1/p\" | "
              "while read f; do echo half > \"$f\"; done\necho $$ > " +
                  dir.file("pid.tmp") + " && mv " + dir.file("pid.tmp") + " " + dir.file("pid") +
                  "\nexec sleep 60\n");
    ::chmod(dir.file("bin/gnuplot").c_str(), 0755);
    const std::string fake_path = dir.file("bin") + ":/usr/bin:/bin";
    const std::string tmp = dir.file("tmp");
    for (const int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(sig);
        ::unlink(dir.file("pid").c_str());
        test::Options o;
        o.argv = {TABLE_EXE, "--particle",  "p",   "--scan", "momentum=1:10:5", "--material",
                  "Cu",      "--thickness", "1cm", "--plot", dir.file("p.svg")};
        o.env = {{"PATH", fake_path.c_str()}, {"TMPDIR", tmp.c_str()}};
        o.steps = {test::call([&] {
                       // Polls with a deadline for gnuplot's pid.
                       for (int i = 0; i < 1000 && !std::ifstream(dir.file("pid")).good(); ++i)
                           ::usleep(10000);
                   }),
                   test::send(sig)};
        const test::Result r = test::run(dir, o);
        EXPECT_EQ(r.term_signal, sig);
        pid_t pid = 0;
        std::ifstream(dir.file("pid")) >> pid;
        ASSERT_GT(pid, 0);
        EXPECT_TRUE(::kill(pid, 0) != 0 && errno == ESRCH) << "gnuplot still runs";
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            EXPECT_FALSE(e.path().filename().string().starts_with(".zefrin-table-image-"));
        EXPECT_TRUE(std::filesystem::is_empty(tmp));
        EXPECT_FALSE(std::filesystem::exists(dir.file("p.svg")));
    }
}

// water and H2O at density 1 are the same material: every result has the
// same bits (the material's name column aside), for a scan too.
TEST(Executable, WaterAndItsFormulaGiveTheSameBits) {
    const auto run = [](const char* material, std::vector<std::string> density) {
        std::vector<std::string> a = {
            "--particle",  "p",    "--scan",     "momentum=0.01:1000:40log",
            "--thickness", "10cm", "--material", material,
            "--format",    "csv"};
        a.insert(a.end(), density.begin(), density.end());
        test::Result r = table_run(a);
        EXPECT_EQ(r.status, 0) << r.err;
        std::string out = r.out;
        // The name, quoted in CSV when it holds a comma.
        const std::string name = std::string(material).find(',') == std::string::npos
                                     ? std::string(material)
                                     : "\"" + std::string(material) + "\"";
        for (std::size_t at; (at = out.find("," + name + ",")) != std::string::npos;)
            out.replace(at, name.size() + 2, ",M,");
        return out;
    };
    const std::string water = run("water", {});
    EXPECT_EQ(test::count(water, "\n"), 41u);
    EXPECT_EQ(water, run("H2O", {"--density", "1"}));
    EXPECT_EQ(water, run("H:0.11190053,O:0.8880995", {"--density", "1"}));
}

// A case file read from standard input (behind a byte-order mark): a header of options, a quoted
// mixture, command-line options as defaults for empty cells; the CSV has
// element columns up to the largest mixture of the file.
TEST(Executable, CaseFileFromStandardInput) {
    const test::Result r = table_run(
        {"--cases", "-", "--format", "csv", "--particle", "p", "--thickness", "1cm"},
        "\xef\xbb\xbfmomentum,material,density\n1,copper,\n2,\"H:0.1119,O:0.8881\",1\n3,Pb,\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::count(r.out, "\n"), 4u);
    EXPECT_NE(r.out.find(",ab_cs_mb_2,warnings\n"), std::string::npos);
    EXPECT_EQ(r.out.find("_3,"), std::string::npos);
    EXPECT_NE(r.out.find("\np,0.93827206,2,"), std::string::npos);
}

// --report is the dialogue's own report: the built-in first report of a
// session (proton of 1.206 GeV/c, 1 cm of copper), worked out by hand in
// tests/sessions/data/two-reports.out and held by the end-to-end tests.
TEST(Executable, ReportIsTheDialoguesReport) {
    const test::Result r =
        table_run({"--mass", "0.9382796", "--siga", "31", "--momentum", "1.206", "--material",
                   "29:1", "--density", "8.96", "--thickness", "0.01", "--report"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, test::copper());
}

// Where the report gives no result the field is empty (CSV) or null (JSON)
// and a warning says why; status 0.
TEST(Executable, MissingResultsAreEmptyWithAWarning) {
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> shows;
    } rows[] = {
        // A muon has no absorption cross section: no nuclear section.
        {{"--particle", "mu-", "--momentum", "10", "--material", "Fe", "--thickness", "1cm",
          "--format", "json"},
         {"\"interaction_length_cm\":null,\"absorption_share\":null", "\"int_prob\":null",
          "\"warnings\":[\"no nuclear section: no absorption cross "
          "section for mu- (give --siga)\"]}\n"}},
        // 0.1 GeV/c protons stop in 1 m of lead: no loss values.
        {{"--particle", "p", "--momentum", "0.1", "--material", "lead", "--thickness", "1",
          "--format", "csv"},
         {",gauss,", ",,,", "energy loss >= kinetic energy: divide into"}},
        // 1 um of hydrogen gas: far fewer than 5 scatters.
        {{"--particle", "p", "--momentum", "10", "--material", "hydrogen-gas", "--thickness", "1um",
          "--format", "json"},
         {"\"moliere_b\":null,\"theta_1e_mrad\":null,\"displacement_1e_mm\":null",
          "Moliere theory is not applicable: only "}},
        // siga 5 mb: the absorption fit has no cross section for hydrogen.
        {{"--particle", "p", "--siga", "5", "--momentum", "10", "--material", "polyethylene",
          "--thickness", "1cm", "--format", "json"},
         {"element 2 (H): siga 5 mb gives no absorption cross section"}},
        // siga 100 mb: none for hydrogen, the only element: no interaction length.
        {{"--particle", "p", "--siga", "100", "--momentum", "1", "--material", "H", "--thickness",
          "1cm", "--format", "json"},
         {"\"interaction_length_cm\":null,\"absorption_share\":null",
          "siga 100 mb gives no element an absorption cross section"}},
        // A 1 keV proton in 1 um of silicon scatters by more than a radian; 1e30 g/cm2
        // of copper needs more regions than an int counts.
        {{"--particle", "p", "--kinetic-energy", "1keV", "--material", "Si", "--thickness", "1um",
          "--format", "json"},
         {"mrad is above 1 rad: the small-angle formulas do not hold"}},
        {{"--particle", "p", "--momentum", "1", "--material", "Cu", "--thickness", "1e30g/cm2",
          "--format", "json"},
         {"divide into more than 2147483646, better into more than 2147483646 smaller regions"}},
        // Water at 1e-30 g/cm3: the nuclear sums' start outweighs the material.
        {{"--particle", "p", "--momentum", "1", "--material", "water", "--density", "1e-30",
          "--thickness", "1g/cm2", "--format", "json"},
         {"interaction length above 1e25 cm: the sums' start of 1e-30 per cm is not negligible",
          "\"interaction_length_cm\":null,\"absorption_share\":null",
          "\"int_prob\":null,\"rms_angle_mrad\":"}},
        // A gas of 1e-30 g/cm3 alone in a stack: no interaction probability
        // either; behind 1 cm of water, the probabilities are the water's.
        {{"--particle", "p", "--momentum", "1", "--layer", "water@1cm@1e-30", "--format", "csv"},
         {",,,,1,", "every interaction length above 1e25 cm: the probabilities left out"}},
        {{"--particle", "p", "--momentum", "1", "--layer", "water@1cm", "--layer",
          "water@1cm@1e-30", "--format", "csv"},
         {",,0.018803317,0.01229429,1,\"interaction length above 1e25 cm"}},
        // At rest: no negative kinetic energy, no -0, no regime without g.
        {{"--mass", "1e-45", "--siga", "31", "--momentum", "1e-45", "--material", "water",
          "--thickness", "1cm", "--format", "json"},
         {"\"kinetic_energy_mev\":0,", "\"loss_regime\":null"}},
        {{"--particle", "p", "--kinetic-energy", "0.3MeV", "--material", "water", "--range",
          "--format", "csv"},
         {",0,0,0,at or below the cut-off of beta gamma 0.03 (0.42212743 MeV): the range is 0\n"}},
        // A stack layer too dense for the nuclear sums: its slices' columns
        // are missing, not zero, and the total row keeps the layer before.
        {{"--particle", "p", "--momentum", "1", "--layer", "air@1m", "--layer", "water@1cm@1e38",
          "--format", "csv"},
         {"\n1,p,0.93827206,2,water,1e+38,1,1e+38,,0.9995764,432.6792,,,,,,,,,,,,,,,,0,\n",
          "\n1,p,0.93827206,total,,,100,0.120478995,0.0031925486,1,432.9881,,,0.3088973,",
          "the nuclear formulas leave single precision in layer 2"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.args[1] + " " + r.args[3] + " " + r.args[5]);
        const test::Result res = table_run(r.args);
        EXPECT_EQ(res.status, 0) << res.err;
        EXPECT_EQ(res.err, "");
        for (const auto& s : r.shows)
            EXPECT_NE(res.out.find(s), std::string::npos) << s << "\n" << res.out;
    }
}

// Text columns hold the widest float in shortest form and the longest name
// of the run: every cell starts where its key starts in the header.
TEST(Executable, TextColumnsStayInLine) {
    const std::vector<std::string> rows[] = {
        {"--particle", "p", "--scan", "momentum=0.1:1000:5log", "--material", "water",
         "--thickness", "10cm"},
        {"--mass", "0.00051099894", "--momentum", "1,2", "--material", "H:0.1119,O:0.8881",
         "--density", "1", "--thickness", "1cm"},
        {"--particle", "p", "--momentum", "1", "--layer", "H:0.1119,O:0.8881@1cm@1", "--layer",
         "Si@300um"},
    };
    for (const auto& args : rows) {
        SCOPED_TRACE(args[5]);
        const test::Result r = table_run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string header = r.out.substr(0, r.out.find('\n'));
        std::vector<std::size_t> starts;
        for (std::size_t i = 0; i < header.size(); ++i)
            if (header[i] != ' ' && (i == 0 || header[i - 1] == ' '))
                starts.push_back(i);
        ASSERT_GT(starts.size(), 20u);
        starts.pop_back();  // warnings: free text
        for (std::size_t at = header.size() + 1; at < r.out.size();) {
            const std::string line = r.out.substr(at, r.out.find('\n', at) - at);
            at += line.size() + 1;
            for (const std::size_t k : starts) {
                ASSERT_LT(k, line.size()) << line;
                EXPECT_TRUE(line[k] != ' ' && (k == 0 || line[k - 1] == ' ')) << k << "\n" << line;
            }
        }
    }
}

// Failures of output: a plot without gnuplot, into a directory that is not
// there, or of a column with no value at any point; standard output full.
// Each gives one line, status 1, nothing on standard output and no image.
TEST(Executable, OutputFailuresGiveOneLineAndStatusOne) {
    test::Scratch dir;
    const std::vector<std::string> scan = {TABLE_EXE, "--particle",         "p",
                                           "--scan",  "momentum=1:10:5log", "--material",
                                           "Cu",      "--thickness",        "1cm"};
    ::mkdir(dir.file("d.png").c_str(), 0755);
    const struct {
        std::vector<std::string> argv;
        bool no_path, full;
        std::string err;  // the line, or a part of it
        bool closed = false;  // standard output closed
    } rows[] = {
        // Not written into the plot's data file, which would take descriptor 1.
        {test::joined(scan, {"--plot", dir.file("c.svg")}), false, false,
         "zefrin-table: standard output: Bad file descriptor\n", true},
        {test::joined(scan, {"--plot", dir.file("p.svg")}), true, false,
         "zefrin-table: --plot: gnuplot not found on the PATH (install gnuplot-nox)\n"},
        {test::joined(scan, {"--plot", "/nonexistent/a.png"}), false, false,
         "directory /nonexistent cannot be written"},
        {test::joined(scan, {"--plot", dir.file("d.png")}), false, false,
         "d.png\": Is a directory"},
        // 1 to 2 MeV/c protons stop in 1 cm of copper: no mean loss anywhere.
        {{TABLE_EXE, "--particle", "p", "--scan", "momentum=0.001:0.002:5", "--material", "Cu",
          "--thickness", "1cm", "--plot", dir.file("b.png"), "--y", "mean_loss_mev"},
         false,
         false,
         "mean_loss_mev has no value at any point"},
        // All zero, on the logarithmic axes of a log scan.
        {{TABLE_EXE, "--particle", "e-", "--scan", "momentum=0.1:1000:5log", "--material", "air",
          "--thickness", "1um", "--plot", dir.file("z.svg"), "--y", "radiative_loss_mev"},
         false,
         false,
         "radiative_loss_mev has no positive value for the logarithmic axis"},
        {{TABLE_EXE, "--list", "materials"},
         false,
         true,
         "zefrin-table: standard output: No space left on device\n"},
        {{TABLE_EXE, "--help"},
         false,
         true,
         "zefrin-table: standard output: No space left on device\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.argv.back());
        test::Options o;
        o.argv = r.argv;
        if (r.no_path)
            o.env = {{"PATH", dir.path().c_str()}};
        if (r.full)
            o.stdout_file = "/dev/full";
        o.close_stdout = r.closed;
        const test::Result res = test::run(dir, o);
        if (res.err.find("gnuplot not found") != std::string::npos && !r.no_path)
            GTEST_SKIP() << "gnuplot is not installed";
        EXPECT_EQ(res.status, 1);
        EXPECT_EQ(test::count(res.err, "\n"), 1u) << res.err;
        EXPECT_NE(res.err.find(r.err), std::string::npos) << res.err;
        if (!r.full) {
            EXPECT_EQ(res.out.find("<svg"), std::string::npos);
        }
    }
    EXPECT_FALSE(std::ifstream(dir.file("b.png")).good() || std::ifstream(dir.file("c.svg")).good());
    test::Options o;
    o.argv = test::joined(scan, {"--plot", dir.file("p.svg")});
    const test::Result drawn = test::run(dir, o);
    EXPECT_EQ(drawn.status, 0) << drawn.err;
    EXPECT_EQ(test::count(drawn.out, "\n"), 6u);
    EXPECT_NE(dir.read("p.svg").find("<svg"), std::string::npos);
    // A stack whose profile slices lose less than single precision shows at
    // 100 GeV is drawn all the same.
    o.argv = {TABLE_EXE, "--particle", "mu-", "--momentum", "100", "--layer", "Si@300um",
              "--layer", "Si@300um", "--plot", dir.file("s.svg")};
    const test::Result stack = test::run(dir, o);
    EXPECT_EQ(stack.status, 0) << stack.err;
    EXPECT_NE(dir.read("s.svg").find("<svg"), std::string::npos);
    // A gnuplot that writes half an image and fails leaves the image that
    // was there as it was.
    dir.write("p.svg", "older");
    ::mkdir(dir.file("bin").c_str(), 0755);
    dir.write("bin/gnuplot",
              "#!/bin/sh\nsed -n \"s/^set output '\\(.*\\)'$/\\1/p\" | "
              "while read f; do echo half > \"$f\"; done\nexit 3\n");
    ::chmod(dir.file("bin/gnuplot").c_str(), 0755);
    const std::string fake_path = dir.file("bin") + ":/usr/bin:/bin";
    o.argv = test::joined(scan, {"--plot", dir.file("p.svg")});
    o.env = {{"PATH", fake_path.c_str()}};
    // Also when the caller ignores SIGCHLD, which would let the system reap
    // gnuplot before its status is read.
    for (const bool ignore_sigchld : {false, true}) {
        o.ignore_signals = ignore_sigchld ? std::vector<int>{SIGCHLD} : std::vector<int>{};
        const test::Result failed = test::run(dir, o);
        EXPECT_EQ(failed.status, 1) << ignore_sigchld;
        EXPECT_NE(failed.err.find("gnuplot failed (status 3)"), std::string::npos) << failed.err;
        EXPECT_EQ(dir.read("p.svg"), "older");
    }
    // No run, drawn or failed, leaves a file of its own beside the image.
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_FALSE(e.path().filename().string().starts_with(".zefrin-table-image-")) << e.path();
    // And --help, written, fits a screen of 24 lines of 80 columns.
    const test::Result help = table_run({"--help"});
    EXPECT_LE(test::count(help.out, "\n"), 24u);
    for (std::size_t at = 0, nl; (nl = help.out.find('\n', at)) != std::string::npos; at = nl + 1)
        EXPECT_LE(nl - at, 80u);
}

}  // namespace

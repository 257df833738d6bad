// Whole sessions on the real executable: input, expected terminal, expected log.
#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

#include "run.hpp"

namespace {

std::string slurp(const std::string& name) {
    std::ifstream f(std::string(SESSIONS_DIR) + "/" + name, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// Each name has name.in (typed), name.out (terminal) and name.log (the log).
// two-reports was worked out by hand; the others come from the Python model
// (tests/model/zefrin_model.py, written from the description of the system,
// not from the program) and their key lines were checked by hand and in
// closed form: data/README.md says which.
struct Session {
    const char* name;
    const char* shows;
};

const Session sessions[] = {
    {"two-reports", "built-in proton in copper; electron of 1 GeV/c in 1 mm of aluminium"},
    {"seven-reports",
     "built-in inputs seven times: page control 0 0 0 1 0 0 1; answers Y, ' n', "
     "yes, x continue, no ends"},
    {"electron-copper", "electron in copper at 0.01 GeV/c (delta with its power term) and 1 GeV/c"},
    {"hydrogen-oxygen", "two elements of classes 1 and 2, two Atom lines"},
    {"lead", "A above 70: el.cs = 47 A^0.67"},
    {"hydrogen-thin", "hydrogen at rho 0.01: total interaction length in metres"},
    {"cross-sections", "siga 33: ab.cs = 44 A^0.69; a given sige of 250 for both elements"},
    {"element3-only", "only element 3 takes part: Z3 line after Z1, one Atom3 line"},
    {"mixture-cycles",
     "elements added and taken out with negative proportions; an element taken "
     "out keeps its A but leaves the scattering sum"},
    {"electrons-radiative", "radiative line at mass 0.00051 and 0.00052, none at 0.1"},
    {"short-reports", "length <= 0 (also remembered) and rho <= 0 (also remembered)"},
    {"stopping", "dedx >= tf with frac < 1 and = 1; ten-percent warning in the Gaussian regime"},
    {"not-in-tables", "Z 0.5, 100, 93 and 0.99 with positive proportions left out; Z 92.9 kept"},
    {"no-material", "every proportion negative: no material; also with length < 0"},
    {"no-passage", "negative mass, negative momentum: no passage calculated"},
    {"siga5-hydrogen", "siga 5 leaves hydrogen without absorption cross section; carbon kept"},
    {"electron-lead-5gev",
     "bta0 >= 0.999: the centre-of-mass velocity without cancellation, also where pfcm "
     "would be infinite"},
    {"no-loss",
     "loss formulas not positive: slow protons in 1 um Cu, Landau's most probable loss in "
     "very thin layers; the warnings before and the radiative line after stay"},
    {"overflow-fields", "1E99 and 1E-50 typed; fields of asterisks; counts above 999"},
    {"typed-fields", "implied decimal, blanks, commas, exponents, then a tab at prompt 1 ends"},
    {"leave-at-once", "q at the first prompt: no report, an empty log, status 0"},
};

// Names the session in test listings instead of its bytes.
void PrintTo(const Session& s, std::ostream* os) {
    *os << s.name;
}

class Sessions : public testing::TestWithParam<Session> {};

TEST_P(Sessions, TerminalAndLogByteForByte) {
    const Session& s = GetParam();
    SCOPED_TRACE(s.shows);
    zefrin::test::Scratch dir;
    const auto r = zefrin::test::run(dir, slurp(std::string(s.name) + ".in"));
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, slurp(std::string(s.name) + ".out"));
    EXPECT_EQ(r.log, slurp(std::string(s.name) + ".log"));
}

INSTANTIATE_TEST_SUITE_P(Data, Sessions, testing::ValuesIn(sessions),
                         [](const testing::TestParamInfo<Session>& i) {
                             std::string n = i.param.name;
                             for (char& c : n)
                                 if (c == '-')
                                     c = '_';
                             return n;
                         });

}  // namespace

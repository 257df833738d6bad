// Whole sessions on the real executable: input, expected terminal, expected log.
#include <gtest/gtest.h>

#include <fstream>
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

// Each name has name.in (typed), name.out (terminal) and name.log (the log),
// worked out from the formulas, not taken from the program.
const char* const sessions[] = {"two-reports"};

TEST(Sessions, TerminalAndLogByteForByte) {
    for (const char* name : sessions) {
        SCOPED_TRACE(name);
        zefrin::test::Scratch dir;
        const auto r = zefrin::test::run(dir, slurp(std::string(name) + ".in"));
        EXPECT_TRUE(r.exited);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, slurp(std::string(name) + ".out"));
        EXPECT_EQ(r.log, slurp(std::string(name) + ".log"));
    }
}

}  // namespace

// Runs zefrin-table, whose path the test's target gives as TABLE_EXE, with
// these arguments and standard input, in a scratch directory of its own or
// in dir.
#pragma once

#include <string>
#include <vector>

#include "run.hpp"

namespace zefrin::test {

// The arguments a followed by b.
inline std::vector<std::string> joined(std::vector<std::string> a,
                                       const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Result table_run(const std::vector<std::string>& args, const std::string& input = "",
                        const Scratch* dir = nullptr) {
    const Scratch own;
    Options o;
    o.argv = {TABLE_EXE};
    o.argv.insert(o.argv.end(), args.begin(), args.end());
    o.input = input;
    return run(dir ? *dir : own, o);
}

}  // namespace zefrin::test

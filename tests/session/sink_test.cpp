// The terminal-only sink: a report's lines on standard output, without the
// log's page control, as a program that wants one report there uses it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "session/format/writer.hpp"
#include "session/streams/sink.hpp"
#include "session/streams/terminal.hpp"

namespace {

// What write() sends to descriptor 1 while the terminal-only sink is
// installed, read back from a file that stands in for standard output.
template <class Write>
std::string on_standard_output(Write write) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    std::fflush(stdout);
    const int saved = ::dup(1);
    ::dup2(::fileno(file), 1);
    zefrin::streams::Sink* const was = zefrin::streams::install(&zefrin::streams::terminal_only());
    write();
    zefrin::streams::terminal::flush();
    zefrin::streams::install(was);
    ::dup2(saved, 1);
    ::close(saved);
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

const std::string stars = " " + std::string(79, '*') + "\n";
const std::string points = " " + std::string(79, '.') + "\n";

TEST(TerminalOnly, ReportLinesOnStandardOutputAndNothingForTheLog) {
    struct Row {
        const char* what;
        void (*write)();
        std::string out;
    };
    // clang-format off
    const Row rows[] = {
        {"a report line",                  [] { zefrin::star(); },                    stars},
        {"page control, for the log only", [] { zefrin::log_line<"('1')">(); },       ""},
        {"a separator for the log too",    [] { zefrin::point(1); },                  points},
        {"a line, page control, a line",
         [] { zefrin::star(); zefrin::log_line<"('0')">(); zefrin::point(2); },        stars + points},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(on_standard_output(r.write), r.out);
    }
}

}  // namespace

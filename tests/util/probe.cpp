// Runs the utility routines as a program would, in the order its arguments
// name them, so that tests can watch the whole process from outside:
//   start                the units of a session opened (log in the cwd)
//   star                 a report line of a blank and 79 asterisks
//   gtext X Y TEXT       positioned text on the screen
//   put CODE             putcha
//   raw TEXT             TEXT written straight to descriptor 1
//   codes                getcha until -1 and once more, codes on stderr
//   hold                 getcha until a line end or the end of input
//   exit N               the exit routine
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dialogue/dialogue.hpp"
#include "session/format/writer.hpp"
#include "util/routines.hpp"

namespace {

std::int32_t number(const char* s) {
    return static_cast<std::int32_t>(std::strtol(s, nullptr, 10));
}

void codes() {
    std::int32_t c = 0;
    do {
        zefrin::util::getcha(c);
        std::fprintf(stderr, "%d ", static_cast<int>(c));
    } while (c != -1);
    zefrin::util::getcha(c);
    std::fprintf(stderr, "%d\n", static_cast<int>(c));
}

}  // namespace

// When initscr fails, ncurses exits without freeing the screen it had begun
// (allocated in its new_prescr); in the sanitizer build that would be
// reported as a leak at exit and turn status 1 into the leak checker's own.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:new_prescr\n";
}
extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const bool more = i + 1 < argc;
        if (std::strcmp(a, "start") == 0) {
            zefrin::start();
        } else if (std::strcmp(a, "star") == 0) {
            zefrin::line<"(' ',79('*'))">();
        } else if (std::strcmp(a, "gtext") == 0 && i + 3 < argc) {
            zefrin::util::gtext(number(argv[i + 1]), number(argv[i + 2]), argv[i + 3]);
            i += 3;
        } else if (std::strcmp(a, "put") == 0 && more) {
            zefrin::util::putcha(number(argv[++i]));
        } else if (std::strcmp(a, "raw") == 0 && more) {
            ++i;
            if (::write(1, argv[i], std::strlen(argv[i])) < 0)
                return 2;
        } else if (std::strcmp(a, "codes") == 0) {
            codes();
        } else if (std::strcmp(a, "hold") == 0) {
            std::int32_t c = 0;
            do zefrin::util::getcha(c);
            while (c != '\n' && c != '\r' && c != -1);
        } else if (std::strcmp(a, "exit") == 0 && more) {
            zefrin::util::exit(number(argv[++i]));
        } else {
            std::fprintf(stderr, "probe: bad argument %s\n", a);
            return 2;
        }
    }
    return 0;
}

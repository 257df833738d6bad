// Positioned text on the full-screen terminal, through ncurses.
#include <curses.h>

#include "session/streams/terminal.hpp"
#include "util/routines.hpp"

namespace zefrin::util {

namespace {

// 1 until the first call of gtext has opened the screen.
std::int32_t first = 1;

}  // namespace

void gtext(const std::int32_t& x, const std::int32_t& y, const char* s) {
    // Pending report lines go out before the screen is drawn over them.
    streams::terminal::flush();
    if (first != 0) {
        // On failure initscr itself prints "Error opening terminal: <name>."
        // and calls exit(1), which still closes the units of the run.
        initscr();
        first = 0;
    }
    // A failed move (off the screen) is not reported: s goes at the cursor.
    wmove(stdscr, y, x);
    waddnstr(stdscr, s, -1);
    wrefresh(stdscr);
}

}  // namespace zefrin::util

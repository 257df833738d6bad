// Line editing of the answers at a terminal, through libedit: cursor keys,
// Home/End, the usual control keys and a history per prompt for this
// session. Only when standard input and standard output are both terminals;
// otherwise nothing here is touched and the keyboard is read as a stream.
#pragma once

#include <cstddef>

#include "session/streams/keyboard.hpp"

namespace zefrin::streams::editor {

// Standard input and standard output are both terminals and the editor is
// ready. The first call decides, and at a terminal starts the editor; the
// later ones read what it decided.
bool decide();
extern signed char decided;  // 0 before the first call, then 1 (active) or -1
inline bool active() {
    return decided != 0 ? decided > 0 : decide();
}

// The prompt of the next answer. The editor draws it (the caller has sent
// what stands before it), so that it can redraw a long line whole.
void prompt(const char* text, std::size_t n);

// Reads one answer after the prompt given last, edited at the terminal, as
// keyboard::read_line does; a line that is not empty joins that prompt's
// history. Got::failed when a read of the terminal failed, its errno in
// error; Got::end at the end of input (Ctrl-D on an empty line).
keyboard::Got read_line(char (&head)[keyboard::kept], std::size_t& n, int& error);

// Puts the terminal back in the mode it had before the editor took it, if it
// has it now. For every ending of the run; async-signal-safe.
void restore_terminal() noexcept;

}  // namespace zefrin::streams::editor

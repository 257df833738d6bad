// The answers at a terminal through libedit. The program's own signal
// handlers stay in charge: libedit handles no signal; the editor catches
// only the stop (Ctrl-Z), the continue and the change of window size, so
// that the terminal is given back while stopped and the line is drawn again.
// libedit is opened only when the answers come from a terminal, so a piped
// session loads and relocates no more than the C and maths libraries.
#include "session/streams/editor.hpp"

#include <dlfcn.h>
#include <histedit.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace zefrin::streams::editor {

namespace {

// The functions of libedit the editor calls.
struct Libedit {
    decltype(&::el_init) init;
    decltype(&::el_set) set;
    decltype(&::el_get) get;
    decltype(&::el_gets) gets;
    decltype(&::el_line) line;
    decltype(&::el_resize) resize;
    decltype(&::el_cursor) cursor;
    decltype(&::el_deletestr) deletestr;
    decltype(&::history_init) history_init;
    decltype(&::history) history;
};
Libedit ed{};

template <class F>
bool find(void* lib, const char* name, F& f) {
    void* p = ::dlsym(lib, name);
    static_assert(sizeof f == sizeof p);
    std::memcpy(&f, &p, sizeof p);
    return p != nullptr;
}

// False when libedit is not there: the answers are then read as from a pipe.
bool load() {
    void* lib = ::dlopen("libedit.so.2", RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr)
        lib = ::dlopen("libedit.so", RTLD_NOW | RTLD_LOCAL);
    return lib != nullptr && find(lib, "el_init", ed.init) && find(lib, "el_set", ed.set) &&
           find(lib, "el_get", ed.get) && find(lib, "el_gets", ed.gets) &&
           find(lib, "el_line", ed.line) && find(lib, "el_resize", ed.resize) &&
           find(lib, "el_cursor", ed.cursor) && find(lib, "el_deletestr", ed.deletestr) &&
           find(lib, "history_init", ed.history_init) && find(lib, "history", ed.history);
}

// The prompts of the dialogue, each with its own history.
struct Prompt {
    char text[96];
    ::History* past;
};
constexpr int most_prompts = 8;
Prompt prompts[most_prompts];
int nprompts = 0;
char shown[96];  // the prompt of the line being read

EditLine* el = nullptr;

// The terminal mode before the editor took the terminal, and whether the
// editor holds it now (inside el_gets).
termios before;
std::atomic<bool> holding{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// The errno of the read that failed while the editor read the line, or 0.
int read_error = 0;

volatile sig_atomic_t resumed = 0;
volatile sig_atomic_t resized = 0;
struct sigaction stop_action;

char* prompt_text(EditLine*) {
    return shown;
}

// Ctrl-Z: the terminal back in its mode, then stopped as by default.
void on_stop(int) {
    const int e = errno;
    restore_terminal();
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    ::sigaction(SIGTSTP, &dfl, nullptr);
    ::raise(SIGTSTP);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    ::sigprocmask(SIG_UNBLOCK, &stop, nullptr);  // stops here until continued
    ::sigaction(SIGTSTP, &stop_action, nullptr);
    // Continued, or never stopped (an orphaned process group is not): the
    // editor takes the terminal again either way.
    resumed = 1;
    errno = e;
}

void on_continue(int) {
    resumed = 1;
}
void on_resize(int) {
    resized = 1;
}

int columns(EditLine* e) {
    int co = 0;
    ed.get(e, EL_GETTC, "co", &co, nullptr);
    return co > 0 ? co : 80;
}

// The line drawn again from the start of its prompt, at the window's size
// now. After a resize the cursor first goes up by the rows before it,
// counted at the old width or at the new one (a terminal may rewrap its
// lines or not), whichever is fewer, so that nothing before the prompt is
// lost. After a stop the shell has left the cursor where the line begins.
void redraw(EditLine* e, bool resize) {
    const LineInfo* li = ed.line(e);
    const long at = static_cast<long>(std::strlen(shown)) + (li->cursor - li->buffer);
    const long was = columns(e);
    ed.resize(e);
    const long now = columns(e);
    const long up = at / was < at / now ? at / was : at / now;
    if (resize && up > 0)
        std::fprintf(stdout, "\033[%ldA", up);
    std::fputs("\r\033[J", stdout);
    std::fflush(stdout);
    ed.set(e, EL_REFRESH);
}

// libedit reads its characters here, so that a stop or a resize that
// interrupts the wait draws the line again.
int next_char(EditLine* e, wchar_t* wc) {
    static std::mbstate_t shift{};
    for (;;) {
        if (resumed) {
            resumed = 0;
            // The shell may have changed the mode while the run was stopped.
            ed.set(e, EL_PREP_TERM, 0);
            ed.set(e, EL_PREP_TERM, 1);
            redraw(e, false);
        }
        if (resized) {
            resized = 0;
            redraw(e, true);
        }
        char c = 0;
        const ssize_t r = ::read(0, &c, 1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{0, POLLIN, 0};
            ::poll(&p, 1, -1);
            continue;
        }
        if (r < 0)
            read_error = errno;
        if (r <= 0)
            return r == 0 ? 0 : -1;
        const std::size_t k = std::mbrtowc(wc, &c, 1, &shift);
        if (k == static_cast<std::size_t>(-2))
            continue;  // more bytes of one character
        if (k == static_cast<std::size_t>(-1)) {
            shift = std::mbstate_t{};
            *wc = static_cast<wchar_t>(static_cast<unsigned char>(c));
        }
        return 1;
    }
}

// Ctrl-D: the end of input on an empty line, drawing nothing (as the
// terminal's own end-of-file key), else the character under the cursor goes.
unsigned char end_or_delete(EditLine* e, int) {
    const LineInfo* li = ed.line(e);
    if (li->buffer == li->lastchar)
        return CC_EOF;
    if (li->cursor == li->lastchar)
        return CC_NORM;
    ed.cursor(e, 1);
    ed.deletestr(e, 1);
    return CC_REFRESH;
}

void bind(const char* key, const char* command) {
    ed.set(el, EL_BIND, key, command, nullptr);
}

void catch_signal(int sig, void (*handler)(int), struct sigaction* keep = nullptr) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
        return;
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no restart: the wait for a key must see the signal
    ::sigaction(sig, &sa, nullptr);
    if (keep != nullptr)
        *keep = sa;
}

bool start() {
    if (::tcgetattr(0, &before) != 0 || !load())
        return false;
    // Characters as the terminal sends them (UTF-8 and the like). In a
    // locale of single bytes the editor would drop every byte above 127,
    // and a typed "1.\xc3\xa9" would read as "1.": UTF-8 then, so that such
    // a byte reaches the answer and gives the bad entry it gives from a pipe.
    if (std::setlocale(LC_CTYPE, "") == nullptr || MB_CUR_MAX == 1)
        (void)std::setlocale(LC_CTYPE, "C.UTF-8");
    el = ed.init("zefrin", stdin, stdout, stderr);
    if (el == nullptr)
        return false;
    ed.set(el, EL_SIGNAL, 0);
    ed.set(el, EL_EDITOR, "emacs");
    ed.set(el, EL_PROMPT, prompt_text);
    ed.set(el, EL_GETCFN, next_char);
    ed.set(el, EL_ADDFN, "zefrin-end-or-delete", "end of input or delete", end_or_delete);
    bind("^D", "zefrin-end-or-delete");
    bind("^I", "ed-insert");            // a tab is a character of the answer
    bind("^U", "vi-kill-line-prev");    // from the start of the line to the cursor
    bind("^W", "ed-delete-prev-word");  // the word before the cursor
    for (const char* home : {"\033[1~", "\033[7~", "\033[H", "\033OH"})
        bind(home, "ed-move-to-beg");
    for (const char* end : {"\033[4~", "\033[8~", "\033[F", "\033OF"}) bind(end, "ed-move-to-end");
    bind("\033[3~", "ed-delete-next-char");
    bind("\033[1;5D", "ed-prev-word");
    bind("\033[1;5C", "em-next-word");
    catch_signal(SIGTSTP, on_stop, &stop_action);
    catch_signal(SIGCONT, on_continue);
    catch_signal(SIGWINCH, on_resize);
    return true;
}

// The history of the prompt shown now.
::History* past_of_shown() {
    for (int i = 0; i < nprompts; ++i)
        if (std::strcmp(prompts[i].text, shown) == 0)
            return prompts[i].past;
    if (nprompts == most_prompts)
        return prompts[most_prompts - 1].past;
    Prompt& p = prompts[nprompts];
    p.past = ed.history_init();
    if (p.past == nullptr)
        return nullptr;
    HistEvent ev;
    ed.history(p.past, &ev, H_SETSIZE, 100);
    ed.history(p.past, &ev, H_SETUNIQUE, 1);
    static_assert(sizeof p.text == sizeof shown);
    std::memcpy(p.text, shown, sizeof shown);
    ++nprompts;
    return p.past;
}

}  // namespace

signed char decided = 0;

bool decide() {
    if (decided == 0)
        decided = ::isatty(0) && ::isatty(1) && start() ? 1 : -1;
    return decided > 0;
}

void prompt(const char* text, std::size_t n) {
    if (n >= sizeof shown)
        n = sizeof shown - 1;
    std::memcpy(shown, text, n);
    shown[n] = '\0';
}

keyboard::Got read_line(char (&head)[keyboard::kept], std::size_t& n, int& error) {
    n = 0;
    read_error = 0;
    // A stop or a resize since the last answer: nothing is drawn yet.
    resumed = 0;
    if (resized) {
        resized = 0;
        ed.resize(el);
    }
    ::History* past = past_of_shown();
    if (past != nullptr)
        ed.set(el, EL_HIST, ed.history, past);
    int count = 0;
    holding.store(true);
    const char* line = ed.gets(el, &count);
    holding.store(false);
    shown[0] = '\0';
    // libedit gives no line for a failed read (count -1) and for the end of
    // input alike: the read itself tells them apart.
    if (read_error != 0) {
        error = read_error;
        return keyboard::Got::failed;
    }
    if (line == nullptr || count <= 0)
        return keyboard::Got::end;
    std::size_t len = static_cast<std::size_t>(count);
    const bool ended = line[len - 1] == '\n';
    if (ended)
        --len;
    n = len < keyboard::kept ? len : keyboard::kept;
    std::memcpy(head, line, n);
    if (len > 0 && past != nullptr) {
        // The history keeps the line without its line end.
        static char entry[1024];
        const std::size_t m = len < sizeof entry - 1 ? len : sizeof entry - 1;
        std::memcpy(entry, line, m);
        entry[m] = '\0';
        HistEvent ev;
        ed.history(past, &ev, H_ENTER, entry);
    }
    return ended ? keyboard::Got::line : keyboard::Got::partial;
}

void restore_terminal() noexcept {
    if (!holding.load())
        return;
    const int e = errno;
    // A run in the background is not stopped for this (SIGTTOU held back).
    sigset_t ttou, old;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    ::sigprocmask(SIG_BLOCK, &ttou, &old);
    while (::tcsetattr(0, TCSADRAIN, &before) != 0 && errno == EINTR) {
    }
    ::sigprocmask(SIG_SETMASK, &old, nullptr);
    errno = e;
}

}  // namespace zefrin::streams::editor

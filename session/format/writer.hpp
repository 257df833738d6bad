// The report writer: formats written as the program's own text, compiled at
// build time, and the lines they make sent to the terminal and the log
// through the installed sink.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "session/streams/sink.hpp"

namespace zefrin {

// Fw.d: x in exactly w characters with d decimals, right-justified, ties to
// even on the exact binary value; w asterisks when it does not fit or when x
// is not finite.
void edit_f(char* out, int w, int d, float x);
// Iw: v in exactly w characters, right-justified; w asterisks when too wide.
void edit_i(char* out, int w, std::int32_t v);

namespace fmt {

// A format text as a template argument, e.g. "(' Entr. energy =',F7.1)".
template <std::size_t N>
struct Text {
    char s[N]{};
    consteval Text(const char (&t)[N]) {
        for (std::size_t i = 0; i < N; ++i) s[i] = t[i];
    }
};

// An edit descriptor placed in the line: its column, kind and field.
struct Edit {
    std::uint16_t col;
    bool real;  // Fw.d, else Iw
    std::uint8_t w, d;
};

// A malformed format stops the build: this call is not a constant expression.
inline void bad_format(const char* why) { throw why; }

// Walks a format: literals, nX, Fw.d, Iw, n(...) groups, $. Calls the sink
// for every character of fixed text, every edit descriptor and the $.
template <class Sink>
constexpr std::size_t parse_items(const char* s, std::size_t i, Sink& k, char close) {
    for (;;) {
        if (s[i] == '\'') {
            ++i;
            for (;;) {
                if (s[i] == '\0') bad_format("unterminated literal");
                if (s[i] == '\'') {
                    if (s[i + 1] != '\'') break;
                    ++i;
                }
                k.chr(s[i]);
                ++i;
            }
            ++i;
        } else if (s[i] >= '0' && s[i] <= '9') {
            int n = 0;
            while (s[i] >= '0' && s[i] <= '9') n = n * 10 + (s[i++] - '0');
            if (s[i] == 'X') {
                for (int r = 0; r < n; ++r) k.chr(' ');
                ++i;
            } else if (s[i] == '(') {
                std::size_t end = 0;
                for (int r = 0; r < n; ++r) end = parse_items(s, i + 1, k, ')');
                i = end;
            } else {
                bad_format("count without X or group");
            }
        } else if (s[i] == 'F' || s[i] == 'I') {
            const bool real = s[i] == 'F';
            ++i;
            int w = 0, d = 0;
            if (!(s[i] >= '0' && s[i] <= '9')) bad_format("width missing");
            while (s[i] >= '0' && s[i] <= '9') w = w * 10 + (s[i++] - '0');
            if (real) {
                if (s[i] != '.') bad_format("F without decimals");
                ++i;
                if (!(s[i] >= '0' && s[i] <= '9')) bad_format("decimals missing");
                while (s[i] >= '0' && s[i] <= '9') d = d * 10 + (s[i++] - '0');
            }
            if (w < 1 || w > 12 || d > 6) bad_format("field out of range");
            k.edit(real, w, d);
        } else if (s[i] == '$') {
            k.dollar();
            ++i;
        } else {
            bad_format("unknown item");
        }
        if (s[i] == ',') {
            ++i;
            continue;
        }
        if (s[i] == close) return i + 1;
        bad_format("expected , or closing parenthesis");
    }
}

template <class Sink>
constexpr void parse(const char* s, Sink& k) {
    if (s[0] != '(') bad_format("format must start with (");
    const std::size_t end = parse_items(s, 1, k, ')');
    if (s[end] != '\0') bad_format("text after the format");
}

// First pass: the width of the line and the number of values.
struct Shape {
    std::size_t values = 0, width = 0;
    bool open = false;  // ends in $: no line end
    constexpr void chr(char) { ++width; }
    constexpr void edit(bool, int w, int) {
        ++values;
        width += static_cast<std::size_t>(w);
    }
    constexpr void dollar() { open = true; }
};

// Second pass: the line's fixed text in place (blanks under the fields) and
// the fields to fill.
template <std::size_t W, std::size_t V>
struct Program {
    std::array<char, W == 0 ? 1 : W> image{};
    std::array<Edit, V == 0 ? 1 : V> edits{};
    std::size_t col = 0, nv = 0;
    constexpr void chr(char c) { image[col++] = c; }
    constexpr void edit(bool r, int w, int d) {
        edits[nv++] = Edit{static_cast<std::uint16_t>(col), r, static_cast<std::uint8_t>(w),
                           static_cast<std::uint8_t>(d)};
        for (int k = 0; k < w; ++k) image[col++] = ' ';
    }
    constexpr void dollar() {}
};

template <Text F>
struct Compiled {
    static constexpr Shape shape = [] {
        Shape k;
        parse(F.s, k);
        return k;
    }();
    static constexpr auto program = [] {
        Program<shape.width, shape.values> k;
        parse(F.s, k);
        return k;
    }();
    static constexpr std::size_t width = shape.width;
    static constexpr std::size_t values = shape.values;
};

union Value {
    float f;
    std::int32_t i;
};
inline Value value(float f) {
    Value v;
    v.f = f;
    return v;
}
inline Value value(std::int32_t i) {
    Value v;
    v.i = i;
    return v;
}

// True when the value types match the edit descriptors one by one:
// float for Fw.d, a 32-bit integer for Iw.
template <Text F, class... V>
consteval bool matches() {
    using C = Compiled<F>;
    if (sizeof...(V) != C::values) return false;
    constexpr bool is_real[] = {std::is_same_v<V, float>..., false};
    constexpr bool is_int[] = {std::is_same_v<V, std::int32_t>..., false};
    for (std::size_t k = 0; k < sizeof...(V); ++k)
        if (C::program.edits[k].real ? !is_real[k] : !is_int[k]) return false;
    return true;
}

// Builds the line of format F into out (exactly C::width characters, no line end).
template <Text F>
void build(char* out, const Value* v) {
    using C = Compiled<F>;
    const auto& p = C::program;
    for (std::size_t c = 0; c < C::width; ++c) out[c] = p.image[c];
    for (std::size_t k = 0; k < C::values; ++k) {
        const Edit e = p.edits[k];
        if (e.real)
            edit_f(out + e.col, e.w, e.d, v[k].f);
        else
            edit_i(out + e.col, e.w, v[k].i);
    }
}

}  // namespace fmt

// Every report line of the program is 80 characters wide; the format is
// checked against that and against its values when the program is built.
constexpr std::size_t report_width = 80;

namespace fmt {

// The line of format F with its line end.
template <Text F>
std::array<char, Compiled<F>::width + 1> closed(const Value* v) {
    static_assert(!Compiled<F>::shape.open, "a line ends with a line end");
    std::array<char, Compiled<F>::width + 1> buf;
    build<F>(buf.data(), v);
    buf.back() = '\n';
    return buf;
}

}  // namespace fmt

// A report line: to the terminal, then the same bytes to the log.
template <fmt::Text F, class... V>
void line(V... v) {
    static_assert(fmt::Compiled<F>::width == report_width, "a report line is 80 characters wide");
    static_assert(fmt::matches<F, V...>(), "values do not match the edit descriptors");
    const fmt::Value vals[] = {fmt::value(v)..., fmt::value(0)};
    const auto buf = fmt::closed<F>(vals);
    streams::Sink& s = streams::sink();
    s.terminal(buf.data(), buf.size());
    s.log(F.s, buf.data(), buf.size());
}

// A line for the log only (the page-control lines).
template <fmt::Text F>
void log_line() {
    static_assert(fmt::Compiled<F>::values == 0);
    const auto buf = fmt::closed<F>(nullptr);
    streams::sink().log(F.s, buf.data(), buf.size());
}

// A prompt: a format ending in $, to the terminal only, flushed at once.
template <fmt::Text F>
void prompt() {
    using C = fmt::Compiled<F>;
    static_assert(C::shape.open && C::values == 0, "a prompt is text ending in $");
    char buf[C::width == 0 ? 1 : C::width];
    fmt::build<F>(buf, nullptr);
    streams::sink().prompt(buf, C::width);
}

// A blank and 79 asterisks, to the terminal and the log.
void star();
// A blank and 79 full stops to the terminal; to the log as well when k is 1.
void point(const std::int32_t& k);
// A blank and 79 underscores, as point.
void under(const std::int32_t& k);

}  // namespace zefrin

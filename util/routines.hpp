// The utility routines for calculation code: random numbers, the clock,
// single characters, positioned text on a full-screen terminal, the end.
#pragma once

#include <cstdint>
#include <ctime>

namespace zefrin::util {

// r of the generator (0 to 2147483647) as a fraction: r rounded to single
// precision, then divided by 2^31. Every r no more than 64 below 2^31 rounds
// to 2^31 and gives exactly 1.0, so both ends of [0, 1] are reached.
float scale(std::int32_t r);

// Seconds of the clock as a 32-bit count: times beyond its range are held at
// its largest or smallest value.
std::int32_t secs(std::time_t now);

// x: the next value of the platform's rand, scaled into [0, 1].
void random(float& x);

// Seeds the platform's rand with n (its bits as an unsigned number), so that
// the same sequence of random follows.
void seed(const std::int32_t& n);

// t: the seconds since 1 January 1970, 00:00 UTC, as the platform's time
// gives them (-1 if the clock cannot be read).
void getsecs(std::int32_t& t);

// Writes the character of code (taken as an unsigned byte) to standard
// output with putchar; it stays in the stream's buffer.
void putcha(const std::int32_t& code);

// code: the next byte of standard input (0 to 255), or -1 at the end of input.
void getcha(std::int32_t& code);

// Ends the program with status n through exit(), so the closing tied to it
// at the start of the run (terminal flushed, log cut) takes place.
[[noreturn]] void exit(const std::int32_t& n);

// Writes s at column x and row y (0, 0 the top left) of the full-screen
// terminal, which the first call opens and nothing closes. A position off
// the screen leaves the cursor where it was. When the terminal cannot be
// opened the program ends with status 1 and the message of the screen library.
void gtext(const std::int32_t& x, const std::int32_t& y, const char* s);

}  // namespace zefrin::util

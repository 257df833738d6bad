// Random numbers, the clock, single characters and the end of the program.
#include "util/routines.hpp"

#include <cstdio>
#include <cstdlib>
#include <limits>

#include "session/endings/orderly.hpp"
#include "session/streams/terminal.hpp"

namespace zefrin::util {

float scale(std::int32_t r) {
    // 2^31: one more than the largest r, exact in single precision.
    return static_cast<float>(r) / 2147483648.0f;
}

std::int32_t secs(std::time_t now) {
    constexpr std::time_t hi = std::numeric_limits<std::int32_t>::max();
    constexpr std::time_t lo = std::numeric_limits<std::int32_t>::min();
    if (now > hi)
        return std::numeric_limits<std::int32_t>::max();
    if (now < lo)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(now);
}

void random(float& x) {
    x = scale(static_cast<std::int32_t>(std::rand()));
}

void seed(const std::int32_t& n) {
    // A negative n keeps its bits: conversion to unsigned is modulo 2^32.
    std::srand(static_cast<unsigned>(n));
}

void getsecs(std::int32_t& t) {
    t = secs(std::time(nullptr));
}

void putcha(const std::int32_t& code) {
    // What the report has written so far goes first, so the byte follows it.
    streams::terminal::flush();
    std::putchar(code);
}

void getcha(std::int32_t& code) {
    // getchar gives EOF (-1) at the end of input and a byte as 0 to 255.
    const int c = std::getchar();
    code = c == EOF ? -1 : c;
}

void exit(const std::int32_t& n) {
    // The units closed first, so a failed write still turns status 0 into 1.
    endings::finish(n);
}

}  // namespace zefrin::util

// Fw.d and Iw against hand-written fields.
#include <gtest/gtest.h>

#include "session/writer.hpp"

TEST(Writer, Placeholder) { SUCCEED(); }

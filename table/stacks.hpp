// Stacks of layers and ranges in the table program: the layers read from
// --layer or --stack, the runs of the stack engine for each entrance
// momentum, and their rows in text, CSV and JSON, or a plot against depth.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "table/cases.hpp"
#include "table/stack.hpp"
#include "table/write.hpp"

namespace zefrin::table {

// The stack options as given.
struct StackOptions {
    std::vector<std::string> layers;  // --layer MATERIAL@THICKNESS[@DENSITY], in order
    std::string file;                 // --stack FILE (- is standard input)
    std::string step;                 // --step FRACTION
    bool no_slowing = false;          // --no-slowing
    bool range = false;               // --range
    // Any of them is given.
    bool given() const {
        return !layers.empty() || !file.empty() || !step.empty() || no_slowing || range;
    }
};

// One layer as read: the material as the user named it, and the engine's layer.
struct StackLayer {
    std::string material;
    stack::Layer layer;
};

// Reads "MATERIAL@THICKNESS[@DENSITY]" (label names the option for messages).
// Throws Bad.
StackLayer layer_spec(const std::string& label, std::string_view spec);

// Reads a stack file: one layer a line, material, thickness and optional
// density separated by blanks; # starts a comment; blank lines are skipped.
// Throws Bad naming file and line.
std::vector<StackLayer> stack_file(std::string_view file, std::string_view text);

// The options of a stack run besides the stack's own.
struct StackRun {
    Options o;  // particle and momentum options; no material or layer options
    Format format = Format::text;
    std::string plot;  // FILE.svg or FILE.png; empty: none
};

// Checks every option (reading the stack file), computes and writes every
// stack (or range); returns the exit status. Throws Bad for bad input before
// anything is written.
int run_stacks(const StackOptions& s, const StackRun& run, Out& out);

}  // namespace zefrin::table

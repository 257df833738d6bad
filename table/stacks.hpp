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
StackLayer layer_option(const std::string& label, std::string_view text);

// Reads a stack file: one layer a line, material, thickness and optional
// density separated by blanks; # starts a comment; blank lines are skipped.
// Throws Bad naming file and line.
std::vector<StackLayer> stack_file(std::string_view file, std::string_view text);

// A stack run checked and read: the layers (or, for a range, the material
// of setup), the particle, the entrance momenta (setup.at(k).p0) and the
// engine's options.
struct StackPlan {
    bool range = false;
    std::vector<StackLayer> layers;
    std::vector<stack::Layer> engine;  // the layers as the engine takes them
    stack::Particle particle{};
    bool electron = false;
    std::string name;  // of the particle; empty for a bare --mass
    stack::Options options;
    Setup setup;
    std::size_t widest = 0;  // the longest particle or material name, for text columns
};

// Checks the stack options s and the case options o (particle, momentum;
// for a range the material); file_text is the stack file's contents when
// s names one. Throws Bad.
StackPlan plan_stacks(const StackOptions& s, const Options& o, std::string_view file_text);

// Appends the header of text and CSV (nothing for JSON), and the rows of
// entrance momentum n (0 <= n < setup.size()): a row per layer and a total
// row, one JSON object per stack, or the range's row. profile, when set,
// gets the points of the depth profile. False when the engine could not
// carry the particle to its end (the rows say why).
void stack_header(std::string& out, const StackPlan& plan, Format f);
bool stack_rows(std::string& out, const StackPlan& plan, std::size_t n, Format f,
                const stack::Profile& profile = {});

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

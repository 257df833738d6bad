// The cases of one run: the options (from the command line or a row of a case
// file) resolved to a particle, a material and a layer, with one varying
// quantity (a list or a scan of momentum, kinetic energy or thickness).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "table/catalogue.hpp"
#include "table/evaluate.hpp"
#include "table/input.hpp"

namespace zefrin::table {

// The input options as given, by their long names without the dashes.
struct Options {
    std::optional<std::string> particle, mass, siga, sige, momentum, kinetic_energy, material,
        density, thickness, fill, scan;
    // Every input option name, in the order of the manual.
    static constexpr std::string_view names[] = {
        "particle", "mass",    "siga",      "sige", "momentum", "kinetic-energy",
        "material", "density", "thickness", "fill", "scan"};
    std::optional<std::string>* find(std::string_view name);
    // Where a value comes from, for messages: "--thickness", or
    // "cases.csv: row 3, column thickness" for an option in row.
    std::string where;
    std::vector<std::string> row;  // the options a row of a case file gives
    std::string label(std::string_view name) const;
};

// The quantity that varies from case to case.
enum class Vary { none, momentum, kinetic_energy, thickness };

// Points of a list or a scan: a list of values, or n points from first to
// last (both included) equally spaced, in the logarithm when log.
struct Sweep {
    Vary vary = Vary::none;
    std::vector<Quantity> list;
    Quantity first{}, last{};
    std::size_t n = 0;
    bool log = false;
    bool scan = false;
    std::size_t size() const { return scan ? n : list.size(); }
    Quantity at(std::size_t k) const;
};

// The options resolved: every value checked, the material read.
struct Setup {
    const Particle* particle = nullptr;
    float mass = 0, siga = 0, sige = -1.0f, frac = 1.0f, rho = 0;
    bool siga_missing = false;  // no nuclear section, and the warning says why
    Material material;
    Quantity p0{}, energy{}, length{};
    bool by_energy = false;
    Sweep sweep;
    std::size_t size() const { return sweep.vary == Vary::none ? 1 : sweep.size(); }
    // Case k (0 <= k < size()); its views point into this Setup.
    Case at(std::size_t k) const;
};

// Reads and checks every option; throws Bad with the option's label.
Setup resolve(const Options& o);

// Reads a CSV case file: a header of option names, then one case per row;
// cells may be quoted ("H:0.5,O:0.5"); an empty cell leaves the option to
// the command line. Every row goes through resolve on top of the command
// line's options. Calls row(setup) for each row in order. Throws Bad naming
// file, row and column.
template <class F>
void each_row(std::string_view file, std::string_view text, const Options& base, F&& row);
// Checks the header's names (kinetic_energy is read as kinetic-energy).
void check_header(std::string_view file, std::vector<std::string>& header);
// Splits one CSV record starting at pos (advanced past its line end).
// Returns false at the end of the text. Throws Bad on an open quote.
bool record(std::string_view file, std::size_t row, std::string_view text, std::size_t& pos,
            std::vector<std::string>& cells);

template <class F>
void each_row(std::string_view file, std::string_view text, const Options& base, F&& row) {
    std::size_t pos = 0;
    std::vector<std::string> header, cells;
    const std::size_t end = text.find_first_of("\r\n");
    if (end != std::string_view::npos && text[end] == '\r' &&
        (end + 1 == text.size() || text[end + 1] != '\n'))
        throw Bad(std::string(file) + ": lines end in CR alone: convert them to LF (or CR LF)");
    if (!record(file, 1, text, pos, header))
        throw Bad(std::string(file) +
                  ": empty case file (a header naming the options comes first)");
    check_header(file, header);
    for (std::size_t r = 2; record(file, r, text, pos, cells); ++r) {
        if (cells.size() == 1 && cells[0].empty())
            continue;  // a blank line
        if (cells.size() != header.size())
            throw Bad(std::string(file) + ": row " + std::to_string(r) + ": " +
                      std::to_string(cells.size()) + " cells, the header has " +
                      std::to_string(header.size()));
        Options o = base;
        o.where = std::string(file) + ": row " + std::to_string(r);
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (cells[c].empty())
                continue;
            // A row's particle or mass replaces both of the command line's;
            // so does its momentum or kinetic energy.
            if (header[c] == "particle" || header[c] == "mass")
                o.particle.reset(), o.mass.reset();
            if (header[c] == "momentum" || header[c] == "kinetic-energy")
                o.momentum.reset(), o.kinetic_energy.reset();
        }
        for (std::size_t c = 0; c < cells.size(); ++c)
            if (!cells[c].empty()) {
                *o.find(header[c]) = cells[c];
                o.row.push_back(header[c]);
            }
        row(resolve(o));
    }
}

}  // namespace zefrin::table

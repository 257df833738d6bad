// The table program's output: every value of a case as text, CSV or JSON,
// numbers as the shortest decimal that reads back to the same float, each
// row written as soon as it is computed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "table/evaluate.hpp"

namespace zefrin::table {

// Beyond this interaction length (cm) the nuclear sums' start of 1e-30 per
// cm outweighs the material (a gas thinner than about 1e-24 g/cm3): its
// interaction length, absorption share and probabilities are not its own.
constexpr float swamped_lambda = 1.0e25f;

enum class Format { text, csv, json };

// Standard output's reader has gone: the program ends quietly.
struct Quiet : std::runtime_error {
    Quiet() : std::runtime_error("broken pipe") {}
};

// Standard output through one buffer, written out in large pieces.
class Out {
   public:
    void put(std::string_view s) {
        buf_.append(s);
        if (buf_.size() >= 1 << 16)
            flush();
    }
    // Throws std::runtime_error "standard output: <reason>" when a write
    // fails, or Quiet for a broken pipe (the reader went away).
    void flush();
    ~Out();

   private:
    std::string buf_;
};

// A column of the flat output: its key (snake_case, unit as suffix), and for
// the text format a label and the unit alone.
struct Column {
    std::string_view key, label, unit;
};
// Columns before the per-element ones, and the per-element ones (keys get
// _1 .. _N appended in CSV; in JSON they are the keys of each element).
extern const Column case_columns[];
extern const std::size_t case_column_count;
extern const Column element_columns[];
extern const std::size_t element_column_count;

// Writes rows of one format. elements is N, the largest number of elements
// of the run (CSV and text columns); single: the run has one case (text
// then lists quantities one per line).
class Writer {
   public:
    // widest: the longest text (particle, material) of the run, for text columns.
    Writer(Out& out, Format f, std::size_t elements, bool single, std::size_t widest = 0);
    void header();
    void row(const Case& c, const Values& v);
    struct Cell;  // one value of a row: a number, a text or empty

   private:
    void cells(const Case& c, const Values& v);
    Out& out_;
    Format f_;
    std::size_t n_;
    bool single_;
    std::size_t widest_;
    std::string line_, warnings_;
};

// The warnings of a case, in words, separated by "; ".
void warnings(const Case& c, const Values& v, std::string& out);

// Pieces of every output format, shared with the stacks' rows: the shortest
// decimal that reads back to x; a text as a CSV cell (quoted when it holds a
// comma, quote or line end) or as a JSON string.
void shortest(std::string& out, float x);
void csv_text(std::string& out, std::string_view s);
void json_text(std::string& out, std::string_view s);

// The width of a text column: the key's, and at least that of the widest
// float in shortest form (-1.2345678e-38) or of the widest text of the run.
std::size_t text_width(std::string_view key, std::size_t widest_text = 0);

// The words of a count of regions, which saturates at the largest int:
// "12", or "more than 2147483646".
std::string regions(std::int32_t n);

// True when some element of the case has an absorption cross section, so
// that the interaction length and the absorption share exist.
bool absorbs(const Values& v);

}  // namespace zefrin::table

namespace zefrin::table {

// The value of a numeric column (a case column key, or an element key with
// _i): false when the key is unknown or not numeric; empty is NaN.
// An element key names an element up to elements.
bool is_numeric_column(std::string_view key, std::size_t elements = 92);
float column_value(std::string_view key, const Case& c, const Values& v);

}  // namespace zefrin::table

namespace zefrin::table {

// "mean loss (MeV)" for mean_loss_mev: the label and unit of a column.
std::string column_title(std::string_view key);

}  // namespace zefrin::table

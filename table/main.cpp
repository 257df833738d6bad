// zefrin-table: the calculator's physics from the command line, for scripts,
// scans and plots.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "session/streams/units.hpp"
#include "table/cases.hpp"
#include "table/catalogue.hpp"
#include "table/evaluate.hpp"
#include "table/plot.hpp"
#include "table/report.hpp"
#include "table/stacks.hpp"
#include "table/write.hpp"

namespace {

using namespace zefrin::table;

constexpr const char* help_text =
    R"(Usage: zefrin-table [OPTIONS]
Energy loss, scattering and nuclear interaction of a charged particle in matter.

  --particle NAME      e-, e+, mu-, mu+, pi+, pi-, K+, K-, p, pbar, d, t
  --mass VALUE         instead of --particle (GeV/c2, MeV/c2, u, ...)
  --siga, --sige VALUE absorption, elastic cross section (mb, b)
  --momentum V[,V...] or --kinetic-energy V[,V...]   (GeV/c, MeV, ...)
  --material M         name, element, formula (PbWO4) or mixture (H:0.11,O:0.89)
  --density VALUE      g/cm3 or kg/m3 (needed for formulas and mixtures)
  --thickness V[,V...] m (a bare number), cm, mm, um or g/cm2
  --fill F             fraction of the thickness filled, in (0, 1] (1)
  --scan Q=FIRST:LAST:N[log]   Q momentum, kinetic-energy or thickness
  --cases FILE         one case per CSV row, header naming the options; - stdin
  --format text|csv|json (text)    --report  the dialogue's 80-column report
  --plot FILE.svg|png  plot a scan; --y COLUMN,... (theta_1e_mrad,mean_loss_mev)
  --list particles|materials       --help    --version
  --layer M@THICK[@RHO]...|--stack FILE  a stack; --step F --no-slowing --range
Examples:
  zefrin-table --particle p --momentum 1.206 --material copper --thickness 1cm
  zefrin-table --particle mu- --scan momentum=0.1:1000:50log --material water \
               --thickness 10cm --format csv
  zefrin-table --particle e- --momentum 5 --material pbwo4 --thickness 1mm \
               --report
Exit status: 0 success, 1 output or plot failed, 2 bad input. zefrin-table(1).
)";

struct Run {
    Options o;
    std::string cases, format = "text", plot, y, list;
    bool report = false, format_given = false;
    StackOptions stacks;  // stacks of layers and ranges: table/stacks.hpp
};

// The options on the command line, checked before CLI11 reads them so that
// every mistake gets one line naming the option and what it accepts.
struct Known {
    std::string_view name, accepts;  // accepts is empty for a flag
    bool repeats = false;
};
constexpr Known known[] = {
    {"particle", "e-, e+, mu-, mu+, pi+, pi-, K+, K-, p, pbar, d or t"},
    {"mass", "a mass: 0.938, 938MeV/c2 or 1.007u"},
    {"siga", "a cross section: 31, 31mb or 0.031b"},
    {"sige", "a cross section, or -1 to derive it from A"},
    {"momentum", "a momentum or a list: 1.2, 250MeV/c or 0.5,1,2"},
    {"kinetic-energy", "an energy or a list: 0.1, 100MeV or 1MeV,2MeV"},
    {"material", "a name, element, formula (PbWO4) or mixture (H:0.11,O:0.89)"},
    {"density", "a density: 1.2, 1.2g/cm3 or 1200kg/m3"},
    {"thickness", "a length or a list: 0.01, 1cm, 1cm,2cm or 8.96g/cm2"},
    {"fill", "a fraction in (0, 1]"},
    {"scan", "QUANTITY=FIRST:LAST:N[log], e.g. momentum=0.1:1000:50log"},
    {"cases", "a CSV file of cases, or - for standard input"},
    {"format", "text, csv or json"},
    {"plot", "FILE.svg or FILE.png"},
    {"y", "one or two numeric columns, e.g. theta_1e_mrad,mean_loss_mev"},
    {"list", "particles or materials"},
    {"layer", "MATERIAL@THICKNESS[@DENSITY], e.g. kapton@50um", true},
    {"stack", "a file of layers, or - for standard input"},
    {"step", "a fraction from 0.0001 to 0.02"},
    {"help", ""},
    {"version", ""},
    {"report", ""},
    {"no-slowing", ""},
    {"range", ""},
};

void check_arguments(int argc, char** argv) {
    std::vector<std::string_view> seen;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h")
            continue;
        if (!arg.starts_with("--"))
            throw Bad("unexpected argument \"" + std::string(arg) +
                      "\" (options are --NAME VALUE; see zefrin-table --help)");
        const std::size_t eq = arg.find('=');
        const std::string_view name = arg.substr(2, eq == std::string_view::npos ? eq : eq - 2);
        const Known* k = nullptr;
        for (const Known& c : known)
            if (c.name == name)
                k = &c;
        if (!k)
            throw Bad("unknown option --" + std::string(name) + " (see zefrin-table --help)");
        const std::string option = "--" + std::string(name);
        std::string_view value;
        if (k->accepts.empty()) {
            if (eq != std::string_view::npos)
                bad(option, arg.substr(eq + 1), "takes no value");
        } else if (eq != std::string_view::npos) {
            value = arg.substr(eq + 1);
        } else if (i + 1 < argc && !std::string_view(argv[i + 1]).starts_with("--")) {
            value = argv[++i];
        } else {
            throw Bad(option + ": a value is missing (" + std::string(k->accepts) + ")");
        }
        if (!k->accepts.empty() && value.empty())
            throw Bad(option + ": the value is empty (" + std::string(k->accepts) + ")");
        for (const std::string_view n : seen) {
            if (n != name || k->repeats)
                continue;
            if (k->accepts.empty())
                throw Bad(option + ": given a second time");
            const bool lists =
                name == "momentum" || name == "kinetic-energy" || name == "thickness";
            bad(option, value,
                lists ? "given a second time (give it once; a list is V,V,..., e.g. 1,2,5)"
                      : "given a second time (give it once)");
        }
        seen.push_back(name);
    }
}

std::string x_key(Vary v) {
    if (v == Vary::momentum)
        return "momentum_gev_c";
    if (v == Vary::kinetic_energy)
        return "kinetic_energy_mev";
    return "thickness_cm";
}

// Refuses an option that the run would ignore.
void unused(bool given, std::string_view option, std::string_view why) {
    if (given)
        throw Bad(std::string(option) + ": " + std::string(why));
}

int run(Run& r) {
    Format f = Format::text;
    if (r.format == "csv")
        f = Format::csv;
    else if (r.format == "json")
        f = Format::json;
    else if (r.format != "text")
        bad("--format", r.format, "unknown format (use text, csv or json)");
    unused(!r.y.empty() && r.plot.empty(), "--y", "chooses the columns of a --plot; give --plot");
    if (!r.list.empty()) {
        bool alone = r.cases.empty() && !r.report && r.plot.empty() && r.y.empty() &&
                     !r.stacks.given();
        for (const std::string_view name : Options::names) alone = alone && !r.o.find(name)->has_value();
        unused(!alone, "--list", "goes alone: it prints the particles or materials, no run");
    }

    if (r.stacks.given()) {
        if (!r.cases.empty() || r.report || !r.list.empty() || !r.y.empty())
            throw Bad(
                "--cases, --report, --list and --y do not go with --layer, --stack or --range");
        Out out;
        const int status = run_stacks(r.stacks, StackRun{r.o, f, r.plot}, out);
        out.flush();
        return status;
    }

    if (!r.list.empty()) {
        unused(r.format_given, "--format", "--list prints a plain list");
        std::string s;
        if (r.list == "particles")
            list_particles(s);
        else if (r.list == "materials")
            list_materials(s);
        else
            bad("--list", r.list, "unknown list (use particles or materials)");
        Out out;
        out.put(s);
        out.flush();
        return 0;
    }
    unused(r.report && r.format_given, "--format", "--report prints the dialogue's own report");
    unused(r.report && !r.plot.empty(), "--plot", "--report prints the dialogue's own report");

    // Every case is read and checked before the first line goes out.
    std::string text;
    std::vector<Setup> one;
    std::size_t n = 0, count = 0, widest = 0;
    const auto check = [&](const Setup& s) {
        // The dialogue reads a zero siga as the one before: its report
        // always has a nuclear section.
        if (r.report && s.siga_missing)
            throw Bad("--report: the dialogue's report always has a nuclear section: give --siga" +
                      (s.particle ? " for " + std::string(s.particle->name) : std::string()));
        if (r.report && s.material.elements.size() > 3)
            throw Bad("--report: material \"" + s.material.name + "\" has " +
                      std::to_string(s.material.elements.size()) +
                      " elements; the dialogue's report holds at most three (use --format)");
        n = std::max(n, s.material.elements.size());
        widest = std::max(widest, s.material.name.size());
        if (s.particle)
            widest = std::max(widest, s.particle->name.size());
        count += s.size();
    };
    if (!r.cases.empty()) {
        text = read_input("--cases", r.cases, "a CSV file of cases, or - for standard input");
        each_row(r.cases, text, r.o, check);
        if (count == 0)
            throw Bad(r.cases + ": no case after the header");
    } else {
        one.push_back(resolve(r.o));
        check(one.back());
    }

    std::vector<std::string> ys;
    std::optional<PlotData> data;
    if (!r.plot.empty()) {
        if (!r.cases.empty() || one[0].sweep.vary == Vary::none)
            bad("--plot", r.plot, "plots need a --scan or a list of values");
        const std::string y = r.y.empty() ? "theta_1e_mrad,mean_loss_mev" : r.y;
        for (std::size_t start = 0;;) {
            const std::size_t comma = y.find(',', start);
            ys.push_back(y.substr(start, comma == std::string::npos ? comma : comma - start));
            if (!is_numeric_column(ys.back(), n))
                bad("--y", y,
                    "\"" + ys.back() + "\" is not a numeric column of this run (see " +
                        "zefrin-table(1), e.g. mean_loss_mev; element columns up to _" +
                        std::to_string(n) + ")");
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
        if (ys.size() > 2)
            bad("--y", r.y, "one or two columns (one on each axis)");
        if (ys.size() == 2 && ys[0] == ys[1])
            bad("--y", r.y, "the same column twice");
        check_plot(r.plot);
        data.emplace();
    }
    std::FILE* plotdata = data ? data->file() : nullptr;
    std::vector<bool> drawn(ys.size(), false);
    // A logarithmic scan has logarithmic y axes too: a value that is not
    // positive has no place on them.
    const bool logy = !one.empty() && one[0].sweep.scan && one[0].sweep.log;

    Out out;
    const bool tty = ::isatty(1) != 0;
    Writer w(out, f, n, count == 1, widest);
    if (!r.report)
        w.header();
    Values v;
    std::string rep;
    const auto emit = [&](const Setup& s) {
        for (std::size_t k = 0; k < s.size(); ++k) {
            const Case c = s.at(k);
            if (r.report) {
                rep.clear();
                report(c, rep);
                out.put(rep);
                continue;
            }
            evaluate(c, v);
            w.row(c, v);
            if (tty && f == Format::text)
                out.flush();
            if (plotdata) {
                const float x = column_value(x_key(s.sweep.vary), c, v);
                std::fprintf(plotdata, "%.9g", static_cast<double>(x));
                for (std::size_t j = 0; j < ys.size(); ++j) {
                    const float yv = column_value(ys[j], c, v);
                    const bool shown = logy ? yv > 0.0f : yv == yv;
                    drawn[j] = drawn[j] || shown;
                    if (shown)
                        std::fprintf(plotdata, " %.9g", static_cast<double>(yv));
                    else
                        std::fprintf(plotdata, " ?");
                }
                std::fprintf(plotdata, "\n");
            }
        }
    };
    if (!r.cases.empty())
        each_row(r.cases, text, r.o, emit);
    else
        emit(one[0]);
    out.flush();
    if (data) {
        for (std::size_t j = 0; j < ys.size(); ++j)
            if (!drawn[j])
                throw std::runtime_error(
                    "--plot \"" + printable(r.plot) + "\": " + ys[j] +
                    (logy ? " has no positive value for the logarithmic axis at any point"
                          : " has no value at any point") +
                    " (see the warnings): nothing drawn");
        const Setup& s = one[0];
        std::vector<std::string> titles;
        for (const std::string& y : ys) titles.push_back(column_title(y));
        data->draw(r.plot, column_title(x_key(s.sweep.vary)), titles, s.sweep.scan && s.sweep.log);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Run r;
    CLI::App app{"zefrin-table"};
    app.set_help_flag();
    bool help = false, version = false;
    app.add_flag("-h,--help", help);
    app.add_flag("--version", version);
    for (const std::string_view name : Options::names)
        app.add_option("--" + std::string(name), *r.o.find(name))->allow_extra_args(false);
    app.add_option("--cases", r.cases);
    app.add_option("--format", r.format);
    app.add_flag("--report", r.report);
    app.add_option("--plot", r.plot);
    app.add_option("--y", r.y);
    app.add_option("--list", r.list);
    app.add_option("--layer", r.stacks.layers)->allow_extra_args(false);
    app.add_option("--stack", r.stacks.file);
    app.add_option("--step", r.stacks.step);
    app.add_flag("--no-slowing", r.stacks.no_slowing);
    app.add_flag("--range", r.stacks.range);
    // A closed standard output must not become the plot's data file: it is
    // taken by /dev/null for reading, so that writing the table still fails.
    zefrin::streams::guard_standard_streams();
    try {
        check_arguments(argc, argv);
    } catch (const Bad& e) {
        std::fprintf(stderr, "zefrin-table: %s\n", e.what());
        return 2;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const std::string what = printable(e.what());
        std::fprintf(stderr, "zefrin-table: %s (see --help)\n", what.c_str());
        return 2;
    }
    r.format_given = app.count("--format") > 0;
    try {
        if (help || version) {
            Out out;
            out.put(help ? help_text : "zefrin-table 1.0\n");
            out.flush();
            return 0;
        }
        return run(r);
    } catch (const Quiet&) {
        return 1;
    } catch (const Bad& e) {
        std::fprintf(stderr, "zefrin-table: %s\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zefrin-table: %s\n", e.what());
        return 1;
    }
}

// zefrin-table: the calculator's physics from the command line, for scripts,
// scans and plots.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

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
Energy loss, multiple scattering and nuclear interaction of a charged particle
in a layer of matter: the calculator's physics for one case or many.

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
    bool report = false;
    StackOptions stacks;  // stacks of layers and ranges: table/stacks.hpp
};

std::string read_all(const std::string& file) {
    if (file == "-") {
        std::ostringstream s;
        s << std::cin.rdbuf();
        return s.str();
    }
    std::ifstream f(file, std::ios::binary);
    if (!f)
        throw Bad(file + ": cannot be read (a CSV case file, or - for standard input)");
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string x_key(Vary v) {
    if (v == Vary::momentum)
        return "momentum_gev_c";
    if (v == Vary::kinetic_energy)
        return "kinetic_energy_mev";
    return "thickness_cm";
}

int run(Run& r) {
    Format f = Format::text;
    if (r.format == "csv")
        f = Format::csv;
    else if (r.format == "json")
        f = Format::json;
    else if (r.format != "text")
        throw Bad("--format \"" + r.format + "\": unknown format (use text, csv or json)");

    if (r.stacks.given()) {
        if (!r.cases.empty() || r.report || !r.list.empty() || !r.y.empty())
            throw Bad("--cases, --report, --list and --y do not go with --layer, --stack or --range");
        Out out;
        return run_stacks(r.stacks, StackRun{r.o, f, r.plot}, out);
    }

    if (!r.list.empty()) {
        std::string s;
        if (r.list == "particles")
            list_particles(s);
        else if (r.list == "materials")
            list_materials(s);
        else
            throw Bad("--list \"" + r.list + "\": unknown list (use particles or materials)");
        Out out;
        out.put(s);
        return 0;
    }

    // Every case is read and checked before the first line goes out.
    std::string text;
    std::vector<Setup> one;
    std::size_t n = 0, count = 0;
    const auto check = [&](const Setup& s) {
        if (r.report && s.material.elements.size() > 3)
            throw Bad("--report: material \"" + s.material.name + "\" has " +
                      std::to_string(s.material.elements.size()) +
                      " elements; the dialogue's report holds at most three (use --format)");
        n = std::max(n, s.material.elements.size());
        count += s.size();
    };
    if (!r.cases.empty()) {
        text = read_all(r.cases);
        each_row(r.cases, text, r.o, check);
        if (count == 0)
            throw Bad(r.cases + ": no case after the header");
    } else {
        one.push_back(resolve(r.o));
        check(one.back());
    }

    std::vector<std::string> ys;
    std::string data;
    FILE* plotdata = nullptr;
    if (!r.plot.empty()) {
        if (!r.cases.empty() || one[0].sweep.vary == Vary::none)
            throw Bad("--plot \"" + r.plot + "\": plots need a --scan or a list of values");
        if (!(r.plot.ends_with(".svg") || r.plot.ends_with(".png")))
            throw Bad("--plot \"" + r.plot + "\": unknown image type (use FILE.svg or FILE.png)");
        std::string y = r.y.empty() ? "theta_1e_mrad,mean_loss_mev" : r.y;
        std::size_t start = 0;
        while (true) {
            const std::size_t comma = y.find(',', start);
            ys.push_back(y.substr(start, comma == std::string::npos ? comma : comma - start));
            if (!is_numeric_column(ys.back()))
                throw Bad("--y \"" + r.y + "\": \"" + ys.back() +
                          "\" is not a numeric column (see zefrin-table(1), e.g. mean_loss_mev)");
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
        if (!have_gnuplot()) {
            std::fprintf(
                stderr,
                "zefrin-table: --plot: gnuplot not found on the PATH (install gnuplot-nox)\n");
            return 1;
        }
        char tmpl[] = "/tmp/zefrin-table-plot-XXXXXX";
        const int fd = ::mkstemp(tmpl);
        if (fd < 0)
            throw std::runtime_error("cannot make a file for the plot's data");
        data = tmpl;
        plotdata = ::fdopen(fd, "w");
    }

    Out out;
    const bool tty = ::isatty(1) != 0;
    Writer w(out, f, n, count == 1);
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
                for (const std::string& y : ys) {
                    const float yv = column_value(y, c, v);
                    if (yv == yv)
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
    if (plotdata) {
        std::fclose(plotdata);
        const Setup& s = one[0];
        std::vector<std::string> titles;
        for (const std::string& y : ys) titles.push_back(column_title(y));
        const std::string err = plot(data, r.plot, column_title(x_key(s.sweep.vary)), titles,
                                     s.sweep.scan && s.sweep.log);
        ::unlink(data.c_str());
        if (!err.empty()) {
            std::fprintf(stderr, "zefrin-table: --plot \"%s\": %s\n", r.plot.c_str(), err.c_str());
            return 1;
        }
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
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const std::string what = printable(e.what());
        std::fprintf(stderr, "zefrin-table: %s (see --help)\n", what.c_str());
        return 2;
    }
    if (help) {
        std::fputs(help_text, stdout);
        return 0;
    }
    if (version) {
        std::puts("zefrin-table 1.0");
        return 0;
    }
    try {
        return run(r);
    } catch (const Bad& e) {
        std::fprintf(stderr, "zefrin-table: %s\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zefrin-table: %s\n", e.what());
        return 1;
    }
}

// The dialogue's report, by the dialogue's own setup(), its lines captured.
#include "table/report.hpp"

#include <cassert>

#include "base/record.hpp"
#include "passage/setup.hpp"
#include "session/streams/sink.hpp"

namespace zefrin::table {

namespace {

// The report's terminal lines, appended to a string; the log's are dropped.
class Lines final : public streams::Sink {
   public:
    explicit Lines(std::string& out) : out_(out) {}
    void terminal(const char* bytes, std::size_t n) override { out_.append(bytes, n); }
    void log(const char*, const char*, std::size_t) override {}
    void flush() override {}

   private:
    std::string& out_;
};

}  // namespace

void report(const Case& c, std::string& out) {
    assert(!c.elements.empty() && c.elements.size() <= 3);
    PassageInput& in = input;
    in = PassageInput{};
    in.length = c.length;
    in.frac = c.frac;
    in.rho = c.rho;
    for (std::size_t i = 0; i < c.elements.size() && i < 3; ++i) {
        in.Z[i] = c.elements[i].Z;
        in.prop[i] = c.elements[i].prop;
    }
    in.mass = c.mass;
    // No absorption cross section: the dialogue's negative siga.
    in.siga = c.siga > 0.0f ? c.siga : -1.0f;
    in.sige = c.sige;
    in.p0 = c.p0;
    Lines lines(out);
    streams::Sink* const was = streams::install(&lines);
    setup();
    streams::install(was);
}

}  // namespace zefrin::table

// Stacks of layers: each layer cut into slices whose mean loss is at most a
// step of the kinetic energy, each slice computed by the single-layer
// formulas at its mid-slice energy; Moliere's rule for composite layers, the
// Bohr variance carried to the exit, and the nuclear interaction probabilities.
#include "table/stack.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/single.hpp"
#include "energyloss/straggling.hpp"
#include "passage/angles.hpp"
#include "passage/interaction.hpp"
#include "passage/kinematics.hpp"

namespace zefrin::stack {

namespace {

// The particle at one point of its path.
struct State {
    float t;    // GeV: kinetic energy
    float p;    // GeV/c
    float e;    // GeV: total energy
    float bta;  // units of c
};

// From the kinetic energy; p = sqrt(t (t + 2m)) keeps the digits of a slow
// particle that sqrt(e^2 - m^2) would cancel.
State at_kinetic(float t, float mass) {
    State s;
    s.t = t;
    s.p = fsqrt(t * (t + 2.0f * mass));
    s.e = t + mass;
    s.bta = s.p / s.e;
    return s;
}

// 1 - e^-x, for the probability of an interaction in x interaction lengths,
// without the cancellation of 1 - exp(-x) when x is small.
float one_minus_exp(double x) {
    return f32(-std::expm1(-x));
}

// What one slice of length dx (cm) adds, computed at the state s.
struct Slice {
    float dedx;  // GeV: collision mean loss
    float r;     // GeV2: Bohr variance
    float radl;  // GeV: radiative loss (electrons; 0 otherwise)
    float chic;  // rad: characteristic angle
    float chia;  // rad: screening angle
    float trad;  // radiation lengths
};

// The walk through the stack: the particle, the options and the sums.
struct Walk {
    const Particle& particle;
    const Options& options;
    bool electron;
    State entrance;  // of the stack: every slice's state without slowing
    float tc;        // GeV: the cut-off

    // Moliere's composite rule: sum of chic^2, of chic^2 ln chia^2, and the
    // second moments of angle and position (rad2, rad cm, cm2) per projection
    // in units of chic^2.
    double chi2 = 0.0;
    double lnw = 0.0;
    double yth = 0.0;
    double y2 = 0.0;
    // Energy variance (GeV2) at the last layer boundary; within a layer the
    // variance of the residual range (cm2), which a slowing particle carries
    // unchanged.
    double sigma2 = 0.0;
    double vrange = 0.0;
    // Interaction lengths and absorption lengths crossed.
    double xint = 0.0;
    double xabs = 0.0;
    // Radiation lengths crossed, for the radiative loss without slowing.
    float tcum = 0.0f;

    // The slice of length dx at the state s; srad is the state whose total
    // energy the radiative loss takes (the entrance less half the collision
    // loss, so that E (1 - e^-t) follows the slowing to second order).
    Slice slice(const Layer& layer, const State& s, const State& srad, float dx) const {
        const float mass = particle.mass;
        const physics::Mixture mix = physics::mixture(layer.elements, mass, s.p, s.bta);
        const physics::Loss ls = physics::loss(mix.a3, mix.a4, mix.delta, mass, s.e, dx, layer.rho);
        Slice sl;
        sl.dedx = ls.dedx;
        sl.r = ls.r;
        sl.chia = mix.chia;
        sl.chic =
            physics::chisum(layer.elements, physics::Layer{mass, s.p, s.e, s.bta, layer.rho, dx});
        sl.trad = physics::radiation_lengths(mix.rad, layer.rho, dx);
        sl.radl = 0.0f;
        if (electron) {
            if (options.slowing)
                sl.radl = physics::radiative_loss(srad.p, mass, sl.trad);
            else
                // Without slowing the whole path is one layer at the entrance
                // energy, E (1 - e^-t) of all the radiation lengths crossed:
                // the slice adds E e^-tcum (1 - e^-dt), never negative (a
                // difference of two such totals can be, in single precision).
                sl.radl = physics::radiative_loss(s.p, mass, sl.trad) * fexp(-tcum);
        }
        return sl;
    }

    // GeV/cm: the mean loss per cm at kinetic energy t (at the entrance
    // energy without slowing), by collisions and, for electrons, radiation.
    struct Rate {
        float col;
        float rad;
        float total() const { return col + rad; }
    };
    Rate rate(const Layer& layer, float t) const {
        const State s = options.slowing ? at_kinetic(std::max(t, tc), particle.mass) : entrance;
        const float mass = particle.mass;
        const physics::Mixture mix = physics::mixture(layer.elements, mass, s.p, s.bta);
        Rate sp{physics::loss(mix.a3, mix.a4, mix.delta, mass, s.e, 1.0f, layer.rho).dedx, 0.0f};
        if (electron) {
            // E (1 - e^-t) per radiation length at a thousandth of one.
            const float t1 = physics::radiation_lengths(mix.rad, layer.rho, 1.0f);
            sp.rad = physics::radiative_loss(s.p, mass, 0.001f) * (t1 / 0.001f);
        }
        return sp;
    }

    State state(float t) const { return options.slowing ? at_kinetic(t, particle.mass) : entrance; }

    // Adds a slice of length dx, losing loss (GeV), to the sums. The slice
    // is single precision; its sums are kept in double, so that neither
    // many slices nor a slice of an extreme length (dx^2 at 1e-23 cm or
    // 1e20 cm) lose what single precision cannot hold.
    void add(const Slice& sl, float dx, float loss) {
        const double d = static_cast<double>(dx);
        const double a = static_cast<double>(sl.chic) * static_cast<double>(sl.chic);
        // Angle and position carried over dx, with a spread over the slice.
        y2 = y2 + 2.0 * d * yth + d * d * chi2 + a * d * d / 3.0;
        yth = yth + d * chi2 + a * d / 2.0;
        chi2 = chi2 + a;
        lnw = lnw + a * 2.0 * std::log(static_cast<double>(sl.chia));
        if (options.slowing) {
            // The slice's Bohr variance, as a variance of the residual range.
            const double sp = static_cast<double>(loss) / d;
            vrange = vrange + static_cast<double>(sl.r) / sp / sp;
        } else {
            // Every slice at one energy: the variances add.
            sigma2 = sigma2 + static_cast<double>(sl.r);
        }
        tcum = tcum + sl.trad;
    }

    // Moliere's rule for the composite layer crossed so far: chic^2 the sum,
    // ln chia^2 the chic^2-weighted mean; the displacement as that of one
    // layer with the same chic and second moment of position.
    physics::Moliere moliere() const {
        physics::Moliere ms{};
        ms.b = 1.0f;
        if (!(chi2 > 0.0) || !(y2 > 0.0))
            return ms;
        const double chic = std::sqrt(chi2);
        // moliere() divides the displacement by 1.7321: the length that gives
        // back sqrt(y2) for the stack's chic.
        return physics::moliere(f32(chic), f32(std::exp(0.5 * (lnw / chi2))),
                                f32(1.7321 * std::sqrt(y2) / chic));
    }
};

// The nuclear interaction of a layer's material: length (cm) and share;
// counts the elements the absorption fit leaves out.
physics::Interaction interaction(const Particle& particle, const Layer& layer, float p,
                                 std::int32_t& left_out) {
    physics::Sums sums = physics::start();
    left_out = 0;
    for (const physics::Element& el : layer.elements) {
        const physics::Nucleus n =
            physics::nucleus(el.A, el.prop, particle.siga, particle.sige, layer.rho, p);
        if (n.absorbs)
            sums = physics::add(sums, n);
        else
            ++left_out;
    }
    return physics::close(sums);
}

}  // namespace

bool finite(const Row& r) {
    for (const float x : {r.p_in, r.t_in, r.p_out, r.t_out, r.depth, r.depth_g, r.mean_loss,
                          r.radiative_loss, r.t_rad, r.lambda, r.share, r.spread, r.straggling,
                          r.ms.omeg0, r.ms.b, r.ms.se, r.ms.sye, r.p_int, r.p_abs})
        if (!std::isfinite(x))
            return false;
    return true;
}

namespace {

// Above this total energy (GeV) the composite scattering of a stack is no
// longer finite in single precision (found by the fuzzer near 4e17).
constexpr float max_energy = 1.0e16f;

// The slices of any run end long before this; a bound for the loop only.
constexpr std::int64_t slice_limit = 10'000'000;

}  // namespace

float cutoff(float mass) {
    // beta gamma = 0.03: p = 0.03 m, and t = p^2 / (e + m) without cancellation.
    const float pc = 0.03f * mass;
    const float ec = fsqrt(pc * pc + mass * mass);
    return (pc * pc) / (ec + mass);
}

Result run(const Particle& particle, float p0, std::span<const Layer> layers,
           const Options& options, const Profile& profile) {
    const physics::Kinematics k = physics::kinematics(p0, particle.mass);
    Walk w{particle, options, physics::is_electron(particle.mass), State{k.tf, p0, k.e0, k.bta0},
           cutoff(particle.mass)};
    const float step = std::clamp(options.step, min_step, max_step);

    Result res{};
    res.stops = false;
    res.failure = Failure::none;
    Row& total = res.total;
    total.p_in = p0;
    total.t_in = k.tf;
    total.ms.b = 1.0f;

    if (!(k.e0 <= max_energy)) {
        // p0 squared overflows, or the scattering formulas leave single
        // precision (their angles underflow): nothing to carry.
        res.failure = Failure::out_of_range;
        total = Row{};
        total.ms.b = 1.0f;
        return res;
    }
    float t = k.tf;
    // The kinetic energy carried from slice to slice, in double: a slice's
    // loss below the last digit of t at high energy still counts.
    double td = static_cast<double>(k.tf);
    float p = p0;
    float depth0 = 0.0f;  // cm: depth of the layer's entrance in the stack
    double sums[5] = {};  // of depth, depth_g, mean_loss, radiative_loss, t_rad
    if (profile)
        profile(Point{0, 0.0f, t, w.moliere()});
    for (std::size_t il = 0; il < layers.size(); ++il) {
        const Layer& layer = layers[il];
        Row row{};
        row.p_in = p;
        row.t_in = t;
        row.ms.b = 1.0f;
        if (particle.nuclear) {
            const physics::Interaction x = interaction(particle, layer, p, row.left_out);
            row.nuclear = true;
            row.lambda = x.tlam;
            row.share = x.al;
            // A density so large that the nuclear sums leave single precision.
            if (!(x.tlam > 0.0f) || !std::isfinite(x.tlam) || !std::isfinite(x.al))
                res.failure = Failure::too_dense;
        }
        // The energy variance becomes a residual-range variance in this layer.
        w.vrange = 0.0;
        if (options.slowing && w.sigma2 > 0.0) {
            const auto sp = static_cast<double>(w.rate(layer, t).total());
            w.vrange = w.sigma2 / sp / sp;
        }
        float depth = 0.0f;
        bool stopped = !(t > w.tc);
        while (!stopped && depth < layer.length && res.failure == Failure::none) {
            if (++row.slices > slice_limit) {
                res.failure = Failure::too_many_slices;
                break;
            }
            const float remaining = layer.length - depth;
            const float finest = options.min_slices > 1
                                     ? layer.length / static_cast<float>(options.min_slices)
                                     : remaining;
            const Walk::Rate st = w.rate(layer, t);
            float dx;
            // The slice's length is set by the step (not by the end of the
            // layer or a finer profile).
            bool by_step = false;
            State mid = w.state(t);
            State srad = mid;
            if (options.slowing) {
                // At most step t lost: the larger of the rates at the
                // entrance and half a step down bounds the mid-slice rate.
                const float sh = w.rate(layer, t * (1.0f - 0.5f * step)).total();
                const float dstep = step * t / std::max(st.total(), sh);
                dx = std::min({remaining, finest, dstep});
                by_step = dx == dstep && dx < remaining;
            } else {
                // One slice for the layer, unless the particle stops well
                // before its end: the collision loss alone then takes twice
                // the kinetic energy left (which also keeps a huge layer finite).
                dx = std::min({remaining, finest, 2.0f * (t - w.tc) / st.col});
            }
            // Midpoint: the state after half the slice at the entrance rate.
            const auto midpoint = [&](float d) {
                if (!options.slowing)
                    return;
                mid = w.state(std::max(t - 0.5f * st.total() * d, w.tc));
                srad = w.state(std::max(t - 0.5f * st.col * d, w.tc));
            };
            midpoint(dx);
            Slice sl = w.slice(layer, mid, srad, dx);
            float loss = sl.dedx + sl.radl;
            if (!(loss > 0.0f) || std::isnan(loss)) {
                res.failure = Failure::no_loss;
                break;
            }
            const bool last = dx == remaining;
            if (by_step && t - loss > w.tc && t - loss == t) {
                // A slice of the step's length should lose about a step of
                // the energy; one that loses nothing in single precision (the
                // rates of a mass of a few eV) would never end the walk. (A
                // slice cut shorter, for a profile, may lose less than single
                // precision shows: the walk still moves on.)
                res.failure = Failure::stalled;
                break;
            }
            if (t - loss <= w.tc) {
                // It stops in this slice: where the mean loss reaches the
                // cut-off, by linear interpolation; that part is a slice of
                // its own.
                dx = dx * ((t - w.tc) / loss);
                midpoint(dx);
                sl = w.slice(layer, mid, srad, dx);
                loss = sl.dedx + sl.radl;
                stopped = true;
            }
            if (dx > 0.0f && loss > 0.0f)
                w.add(sl, dx, loss);
            row.mean_loss = row.mean_loss + sl.dedx;
            row.radiative_loss = row.radiative_loss + sl.radl;
            row.t_rad = row.t_rad + sl.trad;
            depth = (last && !stopped) ? layer.length : depth + dx;
            td = stopped ? static_cast<double>(w.tc) : td - static_cast<double>(loss);
            t = f32(td);
            if (profile)
                profile(Point{il, depth0 + depth, t, w.moliere()});
        }
        row.depth = depth;
        row.depth_g = depth * layer.rho;
        if (row.nuclear) {
            // A path of zero adds nothing, even where the interaction length
            // of an absurdly dense layer rounds to zero.
            if (depth > 0.0f) {
                w.xint = w.xint + static_cast<double>(depth) / static_cast<double>(row.lambda);
                w.xabs = w.xabs + static_cast<double>(depth) * static_cast<double>(row.share) /
                                      static_cast<double>(row.lambda);
            }
            row.p_int = one_minus_exp(w.xint);
            row.p_abs = one_minus_exp(w.xabs);
        }
        row.ms = w.moliere();
        if (res.failure != Failure::none) {
            // Nothing to say about the exit of a layer not carried through.
            row.exits = false;
        } else if (stopped) {
            row.exits = false;
            row.straggling =
                options.slowing ? f32(std::sqrt(w.vrange))
                                : f32(std::sqrt(w.sigma2) / static_cast<double>(w.rate(layer, t).total()));
        } else {
            row.exits = true;
            row.t_out = t;
            p = at_kinetic(t, particle.mass).p;
            row.p_out = p;
            if (options.slowing) {
                const auto sp = static_cast<double>(w.rate(layer, t).total());
                w.sigma2 = w.vrange * sp * sp;
            }
            row.spread = f32(std::sqrt(w.sigma2));
        }
        if (res.failure == Failure::none && !finite(row)) {
            // What is left of single precision ends here (a layer of
            // astronomical length): the numbers that overflowed stay
            // infinite, and the writer shows them as missing.
            res.failure = Failure::overflow;
            row.exits = false;
        }
        depth0 = f32(sums[0] + static_cast<double>(depth));
        res.layers.push_back(row);

        // The totals are summed in double: a stack of many thin layers
        // would otherwise lose a unit of single precision per layer.
        sums[0] += static_cast<double>(row.depth);
        sums[1] += static_cast<double>(row.depth_g);
        sums[2] += static_cast<double>(row.mean_loss);
        sums[3] += static_cast<double>(row.radiative_loss);
        sums[4] += static_cast<double>(row.t_rad);
        total.depth = f32(sums[0]);
        total.depth_g = f32(sums[1]);
        total.mean_loss = f32(sums[2]);
        total.radiative_loss = f32(sums[3]);
        total.t_rad = f32(sums[4]);
        total.slices = total.slices + row.slices;
        total.exits = row.exits;
        total.p_out = row.p_out;
        total.t_out = row.t_out;
        total.spread = row.spread;
        total.straggling = row.straggling;
        total.ms = row.ms;
        total.nuclear = row.nuclear;
        total.p_int = row.p_int;
        total.p_abs = row.p_abs;
        if (stopped || res.failure != Failure::none) {
            res.stops = stopped;
            break;
        }
    }
    if (res.failure == Failure::none && !finite(total))
        res.failure = Failure::overflow;
    return res;
}

Range range(const Particle& particle, float p0, const Layer& material, float step) {
    // The mean loss and its variance per g/cm2 do not depend on the
    // density: the walk runs at 1 g/cm3, where cm are g/cm2, and the
    // lengths are divided by the density after, so that no density keeps
    // the range out of single precision.
    Layer thick = material;
    thick.rho = 1.0f;
    thick.length = std::numeric_limits<float>::infinity();
    Options options;
    options.step = step;
    options.slowing = true;
    const Result res = run(particle, p0, std::span<const Layer>(&thick, 1), options);
    Range r{};
    r.stops = res.stops;
    if (!res.stops)
        return r;
    r.g_cm2 = res.total.depth_g;
    r.cm = r.g_cm2 / material.rho;
    r.straggling = res.total.straggling / material.rho;
    return r;
}

}  // namespace zefrin::stack

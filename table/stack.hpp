// Stacks of layers: the particle carried through layer after layer, each cut
// into slices computed at their mid-slice energy; ranges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "material/constants.hpp"
#include "passage/angles.hpp"

namespace zefrin::stack {

// One layer in the order of passage: the elements that take part (prop > 0,
// 1 <= Z < 93), the density (g/cm3) and the length (cm; may be infinite,
// for a range).
struct Layer {
    std::vector<physics::Element> elements;
    float rho;
    float length;
};

// The particle: mass (GeV/c2), and its nuclear cross sections (mb) when it
// has a nuclear section at all.
struct Particle {
    float mass;
    bool nuclear;
    float siga;
    float sige;
};

struct Options {
    // Largest mean loss of a slice, as a fraction of its entrance kinetic
    // energy; from 1e-4 to 0.02 (coarser steps would move the exit energy of
    // a particle near the end of its range by more than 0.1 %).
    float step = 0.01f;
    // false: every slice at the entrance momentum of the stack, as the
    // single-layer report computes a layer.
    bool slowing = true;
    // At least this many slices per layer: a finer depth profile for a plot.
    std::int32_t min_slices = 1;
};

// The smallest and largest step the engine accepts.
inline constexpr float min_step = 1.0e-4f;
inline constexpr float max_step = 0.02f;

// GeV: the kinetic energy at which the particle counts as stopped, where its
// beta gamma falls to 0.03 and the mean-loss formula stops holding (0.42 MeV
// for a proton).
float cutoff(float mass);

// Why a stack could not be carried to its end: the formulas gave no positive
// mean loss for a slice (never for a Z from 1 to 92 above the cut-off), or
// the slices would not end (too many, or stalled: a slice with slowing loses
// nothing in single precision), or the entrance energy is beyond single precision
// (out_of_range: no layer rows, and a total row of zeros), or a layer so
// dense that its nuclear sums leave single precision (too_dense), or a number
// of a layer's row overflows single precision (overflow: that row and the
// total keep the infinite numbers, and only those).
enum class Failure : std::uint8_t {
    none,
    no_loss,
    too_many_slices,
    stalled,
    out_of_range,
    too_dense,
    overflow
};

// A row of the result: one layer, or the whole stack. The first group
// belongs to the layer (or the whole stack), the second is what the particle
// has picked up from the entrance of the stack to the end of the row's path:
// at the exit of the layer, or where the particle stops.
struct Row {
    float p_in;             // GeV/c at the entrance
    float t_in;             // GeV
    bool exits;             // false: the particle stops within the row's path
    float p_out;            // GeV/c at the exit (exits only; else 0)
    float t_out;            // GeV (exits only; else 0)
    float depth;            // cm: path in the row (the length, or to the stop)
    float depth_g;          // g/cm2: the same path times the density
    float mean_loss;        // GeV: collision mean loss, the sum over the slices
    float radiative_loss;   // GeV: electrons only, else 0
    float t_rad;            // thickness of the path in radiation lengths
    std::int64_t slices;    // slices the path was cut into
    bool nuclear;           // lambda, share, p_int and p_abs are defined
    float lambda;           // cm: total interaction length (layer rows only)
    float share;            // absorption share of the interactions (layer rows only)
    std::int32_t left_out;  // elements the absorption fit gives no cross section

    float spread;         // GeV: sigma of the kinetic energy (exits only)
    float straggling;     // cm: sigma of the depth of the stop (stops only)
    physics::Moliere ms;  // omeg0, B, 1/e angle (rad), 1/e displacement (cm)
    float p_int;          // probability of at least one nuclear interaction
    float p_abs;          // probability of an absorption
};

// Every number of the row is finite.
bool finite(const Row& r);

struct Result {
    std::vector<Row> layers;  // in order; the last one is where it stopped
    Row total;
    bool stops;       // the particle stops in layers.back()
    Failure failure;  // not none: layers.back() is where it failed
};

// One point of the depth profile, at the end of every slice.
struct Point {
    std::size_t layer;  // 0-based
    float depth;        // cm from the entrance of the stack
    float t;            // GeV: kinetic energy
    physics::Moliere ms;
};
using Profile = std::function<void(const Point&)>;

// Carries a particle of momentum p0 (GeV/c) through the layers. Every slice
// is computed by the single-layer formulas. Pure: no output, no state.
Result run(const Particle& particle, float p0, std::span<const Layer> layers,
           const Options& options, const Profile& profile = {});

// The CSDA range of a particle of momentum p0 in a thick layer of the
// material (length ignored): depth (cm) and depth times density (g/cm2) at
// the cut-off. stops is false only on a failure.
struct Range {
    bool stops;
    float cm;
    float g_cm2;
    float straggling;  // cm
};
Range range(const Particle& particle, float p0, const Layer& material, float step);

}  // namespace zefrin::stack

// The filters of the shock response spectrum: the recursive filter that
// gives each natural frequency's response to the sampled base motion, for
// each kind of response.
#include <cmath>

#include "analysis/srs.h"
#include "pulse/pulse_series.h"

namespace korvex {

namespace {

// The functions the displacement filter is made of, each computed without
// the cancellation its plain formula has for small arguments (a natural
// frequency far below the sample rate).

// (e^-A - 1 + A) / A^2 = 1/2 - A/6 + A^2/24 - ...
double expRemainder(double A) {
    if (A >= 0.5) return (std::expm1(-A) + A) / (A * A);
    double term = 0.5, sum = 0.5;
    for (int k = 1; k < 40 && std::fabs(term) > 1e-18 * sum; ++k) {
        term *= -A / (k + 2);
        sum += term;
    }
    return sum;
}

// 1 - sin(B) / B = B^2/6 - B^4/120 + ...
double oneMinusSinc(double B) {
    if (B >= 0.5) return 1 - std::sin(B) / B;
    double term = B * B / 6, sum = term;
    for (int k = 2; k < 40 && std::fabs(term) > 1e-18 * sum; ++k) {
        term *= -B * B / ((2.0 * k) * (2.0 * k + 1));
        sum += term;
    }
    return sum;
}

// (sin B - B cos B) / B^3 = 1/3 - B^2/30 + B^4/840 - ...
double sinMinusBCos(double B) {
    if (B >= 0.5) return (std::sin(B) - B * std::cos(B)) / (B * B * B);
    double term = 1.0 / 3, sum = term;
    for (int n = 2; n < 40 && std::fabs(term) > 1e-18 * sum; ++n) {
        term *= -B * B / ((n - 1) * 2.0 * (2.0 * n + 1));
        sum += term;
    }
    return sum;
}

// The relative displacement z of a mass on a spring and damper, base
// acceleration x: z'' + 2 zeta w z' + w^2 z = -x. Its ramp-invariant filter
// is H(z) = (z - 1)^2 / (T z) Z{g(kT)}, g the response to a unit ramp, the
// inverse transform of -1 / (s^2 (s^2 + 2 zeta w s + w^2)). By partial
// fractions and the transforms of t, 1, e^(-at) cos(bt) and e^(-at) sin(bt),
// with W = wT, A = zeta W, B = W sqrt(1 - zeta^2), E = e^-A, c = cos B,
// S = sin(B) / B and g = 2 zeta / W, the filter of -w^2 z is
//   b0 = 1 - g (1 - E c) + (2 zeta^2 - 1) E S
//   b1 = g (1 - E^2) - 2 E (c + (2 zeta^2 - 1) S)
//   b2 = E (E + g (E - c) + (2 zeta^2 - 1) S)
//   a1 = -2 E c, a2 = E^2,
// whose gain at zero frequency, (b0 + b1 + b2) / (1 + a1 + a2), is 1. Each
// b is of order W^2 while its terms are of order 1, so they are rewritten
// in functions of small A and B that carry no cancellation; the terms of
// order W that remain cancel to leave a relative error near u / W.
SrsFilter displacementFilter(double w, double T, double zeta, double A, double B) {
    const double W = w * T;
    const double E = std::exp(-A);
    const double em = -std::expm1(-A);    // 1 - E
    const double phi = em / A;            // (1 - E) / A
    const double psi2 = expRemainder(A);  // (1 - phi) / A
    const double psi = phi - psi2;        // (E - phi) / -A
    const double sinc = std::sin(B) / B;
    const double oms = oneMinusSinc(B);  // 1 - S
    const double chi = sinMinusBCos(B);  // (S - c) / B^2
    const double halfSin = std::sin(B / 2);
    const double omc = 2 * halfSin * halfSin;  // 1 - c
    const double g = 2 * zeta / W;
    const double z2 = 2 * zeta * zeta;
    const double b0 = em + E * oms + z2 * (-A * psi * sinc + phi * B * B * chi) - g * omc;
    const double b2 = E * (oms - em + z2 * (A * psi2 - oms) + g * omc);
    const double den = em * em + 4 * E * halfSin * halfSin;  // 1 + a1 + a2
    const double b1 = den - b0 - b2;
    // Back from -w^2 z to z.
    const double scale = -1 / (w * w);
    SrsFilter f;
    f.b0 = b0 * scale;
    f.b1 = b1 * scale;
    f.b2 = b2 * scale;
    f.a1 = -2 * E * std::cos(B);
    f.a2 = std::exp(-2 * A);
    return f;
}

}  // namespace

SrsFilter srsFilter(double frequencyHz, double intervalS, double q, SrsKind kind) {
    const double w = 2 * kPi * frequencyHz;
    const double A = w * intervalS / (2 * q);
    const double B = w * intervalS * std::sqrt(1 - 1 / (4 * q * q));
    if (kind != SrsKind::Acceleration) {
        SrsFilter f = displacementFilter(w, intervalS, 1 / (2 * q), A, B);
        if (kind == SrsKind::PseudoVelocity) f.b0 *= w, f.b1 *= w, f.b2 *= w;
        return f;
    }
    const double E = std::exp(-A);
    const double sinB = std::sin(B), cosB = std::cos(B);
    // The absolute acceleration's filter, left to right as the formulas
    // are written.
    SrsFilter f;
    f.b0 = 1 - E * sinB / B;
    f.b1 = 2 * E * (sinB / B - cosB);
    f.b2 = std::exp(-2 * A) - E * sinB / B;
    f.a1 = -2 * E * cosB;
    f.a2 = std::exp(-2 * A);
    return f;
}

}  // namespace korvex

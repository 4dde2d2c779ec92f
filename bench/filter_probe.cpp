// Runs the record filter on raw little-endian doubles and writes the output
// the same way, for bench/filter_scipy.py: prints the section's coefficients
// and the best of five wall-clock times of the whole run (padding included).
//
// filter_probe IN OUT INTERVAL_S CFC|HZ PAD_S [plain]
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/condition/filter.h"

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: filter_probe IN OUT INTERVAL_S CFC|HZ PAD_S [plain]\n");
        return 2;
    }
    const auto number = [](const char* text) {
        double x = 0;
        std::from_chars(text, text + std::strlen(text), x);
        return x;
    };
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<double> x(bytes.size() / sizeof(double)), y(x.size());
    std::memcpy(x.data(), bytes.data(), x.size() * sizeof(double));
    const double dt = number(argv[3]);
    const std::string name = argv[4];
    korvex::LowPassChoice choice{name, 0, 0};
    if (name.rfind("CFC", 0) == 0) {
        choice.classHz = number(name.c_str() + 3);
    } else {
        choice.cornerHz = number(name.c_str());
    }
    const korvex::Biquad s = korvex::lowPassFor(choice, dt);
    const std::size_t pad = korvex::padSamples(number(argv[5]), dt, x.size());
    const bool plain = argc > 6 && std::strcmp(argv[6], "plain") == 0;
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        korvex::filtfilt(s, x, y, pad, plain);
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    }
    std::printf("a0 %.17g\na1 %.17g\na2 %.17g\nb1 %.17g\nb2 %.17g\npad %zu\nseconds %.6g\n", s.a0,
                s.a1, s.a2, s.b1, s.b2, pad, best);
    std::ofstream(argv[2], std::ios::binary)
        .write(reinterpret_cast<const char*>(y.data()),
               static_cast<std::streamsize>(y.size() * sizeof(double)));
    return 0;
}

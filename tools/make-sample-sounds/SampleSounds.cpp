#include "SampleSounds.h"

#include <cmath>
#include <cstdint>

#include "WaveFile.h"

namespace camcab::samples {
namespace {

constexpr uint32_t kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

using Signal = std::vector<float>;

// A fixed pseudo-random sequence, so that every run writes the same files.
class Noise {
  public:
    explicit Noise(uint32_t seed) : state_(seed) {}
    float Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<float>(state_ >> 8) / 8388608.0f - 1.0f;
    }

  private:
    uint32_t state_;
};

size_t Frames(double seconds) {
    return static_cast<size_t>(seconds * kRate);
}

// Adds `source` into `target` from `atSeconds`, scaled by `gain`.
void Mix(Signal& target, const Signal& source, double atSeconds, float gain = 1.0f) {
    const size_t offset = Frames(atSeconds);
    if (target.size() < offset + source.size()) {
        target.resize(offset + source.size(), 0.0f);
    }
    for (size_t i = 0; i < source.size(); ++i) {
        target[offset + i] += gain * source[i];
    }
}

// A metallic click: a noise burst and a ringing partial, decaying within a few ms.
Signal Click(uint32_t seed, double ringHz, double decayMs) {
    Noise noise(seed);
    Signal out(Frames(decayMs * 6.0 / 1000.0));
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double envelope = std::exp(-t * 1000.0 / decayMs);
        out[i] = static_cast<float>(envelope *
                                    (0.6 * noise.Next() + 0.5 * std::sin(2.0 * kPi * ringHz * t)));
    }
    return out;
}

// A heavy thump: a low partial falling in pitch, with a little noise on its attack.
Signal Thump(uint32_t seed, double startHz, double endHz, double seconds) {
    Noise noise(seed);
    Signal out(Frames(seconds));
    double phase = 0.0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double hz = endHz + (startHz - endHz) * std::exp(-t * 18.0);
        phase += 2.0 * kPi * hz / kRate;
        const double envelope = std::exp(-t * 5.0 / seconds);
        const double attack = std::exp(-t * 120.0);
        out[i] =
            static_cast<float>(envelope * (0.8 * std::sin(phase)) + attack * 0.4 * noise.Next());
    }
    return out;
}

// Air escaping: noise through a one-pole low-pass, shaped by an attack and a decay.
Signal Hiss(uint32_t seed, double seconds, double smoothing, double attackSeconds,
            double decaySeconds) {
    Noise noise(seed);
    Signal out(Frames(seconds));
    double filtered = 0.0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        filtered += (noise.Next() - filtered) * smoothing;
        double envelope = 1.0;
        if (attackSeconds > 0.0 && t < attackSeconds) {
            envelope = t / attackSeconds;
        }
        if (decaySeconds > 0.0) {
            envelope *= std::exp(-t / decaySeconds);
        }
        out[i] = static_cast<float>(envelope * filtered * 2.5);
    }
    return out;
}

// A loop of steady hiss whose two ends meet without a click: the tail is faded into the head.
Signal HissLoop(uint32_t seed, double seconds, double smoothing) {
    const size_t length = Frames(seconds);
    const size_t fade = Frames(0.1);
    Signal raw = Hiss(seed, seconds + 0.1, smoothing, 0.0, 0.0);
    Signal out(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(length));
    for (size_t i = 0; i < fade; ++i) {
        const float w = static_cast<float>(i) / static_cast<float>(fade);
        out[i] = w * out[i] + (1.0f - w) * raw[length + i];
    }
    return out;
}

// A motor hum: a fundamental with decreasing harmonics and a faint gear whine. Every
// partial completes whole cycles in the loop, so it repeats seamlessly.
Signal MotorHum(int cyclesOfFundamental, double seconds) {
    const size_t length = Frames(seconds);
    const double fundamentalHz = cyclesOfFundamental / seconds;
    const double partials[][2] = {{1.0, 0.45}, {2.0, 0.22}, {3.0, 0.12}, {4.0, 0.07}, {7.0, 0.05}};
    Signal out(length);
    for (size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / kRate;
        double value = 0.0;
        for (const auto& partial : partials) {
            value += partial[1] * std::sin(2.0 * kPi * fundamentalHz * partial[0] * t);
        }
        out[i] = static_cast<float>(value * 0.8);
    }
    return out;
}

Signal Normalised(Signal signal, float peak) {
    float largest = 0.0f;
    for (float v : signal) {
        largest = std::fmax(largest, std::fabs(v));
    }
    if (largest > 0.0f) {
        for (float& v : signal) {
            v *= peak / largest;
        }
    }
    return signal;
}

Signal Stereo(const Signal& left, const Signal& right) {
    Signal out(std::max(left.size(), right.size()) * 2, 0.0f);
    for (size_t i = 0; i < left.size(); ++i) {
        out[i * 2] = left[i];
    }
    for (size_t i = 0; i < right.size(); ++i) {
        out[i * 2 + 1] = right[i];
    }
    return out;
}

enum class Encoding { Mono8, Mono16, Stereo16, MonoFloat };

SampleSound Make(const std::wstring& name, Encoding encoding, const Signal& left,
                 const Signal* right = nullptr) {
    hostaudio::WaveLayout layout;
    layout.sampleRate = kRate;
    Signal samples = left;
    switch (encoding) {
        case Encoding::Mono8:
            layout.bitsPerSample = 8;
            // An even number of bytes: some WAV readers (Wine's Media Foundation among them)
            // give nothing for a data chunk of odd length.
            if (samples.size() % 2 != 0) {
                samples.push_back(0.0f);
            }
            break;
        case Encoding::Mono16:
            break;
        case Encoding::Stereo16:
            layout.channels = 2;
            samples = Stereo(left, right != nullptr ? *right : left);
            break;
        case Encoding::MonoFloat:
            layout.formatTag = hostaudio::kFormatFloat;
            layout.bitsPerSample = 32;
            break;
    }
    return SampleSound{name,
                       hostaudio::WaveBytes(layout, hostaudio::EncodeSamples(layout, samples))};
}

}  // namespace

std::vector<SampleSound> MakeSampleSounds() {
    std::vector<SampleSound> sounds;

    // Camshaft: the reset ratchets back through its steps.
    Signal reset;
    for (int step = 0; step < 6; ++step) {
        Mix(reset, Click(100 + step, 2400.0 - step * 150.0, 6.0), step * 0.07, 1.0f - step * 0.08f);
    }
    Mix(reset, Thump(7, 140.0, 70.0, 0.15), 0.42, 0.6f);
    sounds.push_back(Make(L"kamujiku/reset.wav", Encoding::Mono8, Normalised(reset, 0.8f)));

    // The first step from the start position: the drum's thump and its contacts.
    Signal start1 = Thump(11, 160.0, 80.0, 0.2);
    Mix(start1, Click(12, 2100.0, 8.0), 0.01, 0.7f);
    Signal start1Right = start1;
    Mix(start1Right, Click(13, 2600.0, 5.0), 0.03, 0.4f);
    sounds.push_back(
        Make(L"kamujiku/start1.wav", Encoding::Stereo16, Normalised(start1, 0.7f), &start1Right));

    Signal start2 = Click(21, 1900.0, 7.0);
    Mix(start2, Click(22, 2300.0, 5.0), 0.05, 0.8f);
    Mix(start2, Thump(23, 120.0, 70.0, 0.12), 0.02, 0.5f);
    sounds.push_back(Make(L"kamujiku/start2.wav", Encoding::Stereo16, Normalised(start2, 0.7f)));

    // The reverser drum: a heavy clunk, a lighter one, and the longest, double clunk.
    Signal reverser1 = Thump(31, 110.0, 55.0, 0.25);
    Mix(reverser1, Click(32, 1500.0, 10.0), 0.0, 0.6f);
    sounds.push_back(
        Make(L"kamujiku/reverser1.wav", Encoding::Mono16, Normalised(reverser1, 0.8f)));

    Signal reverser2 = Thump(41, 130.0, 60.0, 0.3);
    Mix(reverser2, Click(42, 1700.0, 9.0), 0.005, 0.5f);
    Signal reverser2Right = Thump(43, 125.0, 58.0, 0.3);
    Mix(reverser2Right, Click(44, 1800.0, 9.0), 0.015, 0.5f);
    sounds.push_back(Make(L"kamujiku/reverser2.wav", Encoding::Stereo16,
                          Normalised(reverser2, 0.75f), &reverser2Right));

    Signal reverser3 = Thump(51, 100.0, 50.0, 0.22);
    Mix(reverser3, Thump(52, 120.0, 60.0, 0.22), 0.18, 0.8f);
    Mix(reverser3, Click(53, 1600.0, 8.0), 0.18, 0.5f);
    sounds.push_back(
        Make(L"kamujiku/reverser3.wav", Encoding::MonoFloat, Normalised(reverser3, 0.8f)));

    // Notch off: the contacts open with a clack.
    Signal notchOff = Click(61, 2800.0, 9.0);
    Mix(notchOff, Thump(62, 200.0, 100.0, 0.08), 0.0, 0.4f);
    sounds.push_back(Make(L"kamujiku/notchoff.wav", Encoding::Mono8, Normalised(notchOff, 0.8f)));

    // The line breaker opens with a bang and a short rush of air.
    Signal breakerOff = Thump(71, 220.0, 70.0, 0.25);
    Mix(breakerOff, Hiss(72, 0.3, 0.4, 0.0, 0.08), 0.0, 0.6f);
    sounds.push_back(
        Make(L"kamujiku/breakeroff.wav", Encoding::Stereo16, Normalised(breakerOff, 0.9f)));

    // The diagnosis run: relays clicking in a pattern.
    Signal shindan1;
    for (int relay = 0; relay < 4; ++relay) {
        Mix(shindan1, Click(80 + relay, 3000.0 + relay * 200.0, 4.0), relay * 0.12);
    }
    sounds.push_back(Make(L"kamujiku/shindan1.wav", Encoding::Mono8, Normalised(shindan1, 0.7f)));

    Signal shindan2;
    for (int relay = 0; relay < 3; ++relay) {
        Mix(shindan2, Click(90 + relay, 2600.0 - relay * 300.0, 5.0), relay * 0.09);
    }
    Mix(shindan2, Thump(95, 150.0, 90.0, 0.1), 0.3, 0.5f);
    sounds.push_back(Make(L"kamujiku/shindan2.wav", Encoding::Mono8, Normalised(shindan2, 0.7f)));

    // The series-parallel transition: a double thump with contacts.
    Signal watari = Thump(101, 150.0, 75.0, 0.18);
    Mix(watari, Thump(102, 170.0, 80.0, 0.18), 0.14, 0.9f);
    Mix(watari, Click(103, 2200.0, 6.0), 0.14, 0.6f);
    sounds.push_back(Make(L"kamujiku/watari.wav", Encoding::Mono8, Normalised(watari, 0.8f)));

    // Air: the straight air pipe's exhaust burst, and the loops.
    sounds.push_back(
        Make(L"air/sap.wav", Encoding::Mono16, Normalised(Hiss(111, 0.9, 0.5, 0.01, 0.25), 0.7f)));
    const Signal bcLeft = HissLoop(121, 0.5, 0.35);
    const Signal bcRight = HissLoop(122, 0.5, 0.35);
    sounds.push_back(Make(L"air/bc.wav", Encoding::Stereo16, Normalised(bcLeft, 0.5f), &bcRight));
    const Signal pipeLeft = HissLoop(131, 0.5, 0.12);
    const Signal pipeRight = HissLoop(132, 0.5, 0.12);
    sounds.push_back(
        Make(L"air/pipe.wav", Encoding::Stereo16, Normalised(pipeLeft, 0.4f), &pipeRight));
    sounds.push_back(
        Make(L"airloop.wav", Encoding::Mono8, Normalised(HissLoop(141, 1.0, 0.3), 0.5f)));

    // Motors: six hums an octave band apart, to be pitched and faded by speed.
    const int cycles[] = {45, 70, 100, 140, 190, 250};  // over 0.5 s: 90 to 500 Hz
    for (int k = 0; k < 6; ++k) {
        sounds.push_back(Make(L"motor/motor" + std::to_wstring(k) + L".wav", Encoding::Mono16,
                              Normalised(MotorHum(cycles[k], 0.5), 0.6f)));
    }
    return sounds;
}

}  // namespace camcab::samples

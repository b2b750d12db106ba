// Seeds for the decoder's fuzz target: one sample sound written again in the other encodings a
// vehicle's WAV file may hold, so the fuzzer starts from every way of delivering samples.
// Usage: make_sound_seeds IN.wav OUT_PREFIX   (writes OUT_PREFIX-<encoding>.wav)
#include <sndfile.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_sound_seeds IN.wav OUT_PREFIX\n");
        return 2;
    }
    SF_INFO in{};
    SNDFILE* source = sf_open(argv[1], SFM_READ, &in);
    if (source == nullptr) {
        std::fprintf(stderr, "%s: %s\n", argv[1], sf_strerror(nullptr));
        return 1;
    }
    // A short piece is enough to seed; the fuzzer lengthens it as it likes.
    std::vector<float> samples(static_cast<size_t>(in.channels) * 2048);
    const sf_count_t frames = sf_readf_float(source, samples.data(), 2048);
    sf_close(source);

    const struct {
        const char* name;
        int format;
    } encodings[] = {
        {"pcm8", SF_FORMAT_WAV | SF_FORMAT_PCM_U8},
        {"pcm16", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        {"pcm24", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        {"pcm32", SF_FORMAT_WAV | SF_FORMAT_PCM_32},
        {"float", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        {"double", SF_FORMAT_WAV | SF_FORMAT_DOUBLE},
        {"ima-adpcm", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM},
        {"ms-adpcm", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM},
        {"ulaw", SF_FORMAT_WAV | SF_FORMAT_ULAW},
        {"extensible", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16},
        {"rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16},
    };
    int status = 0;
    for (const auto& encoding : encodings) {
        SF_INFO out{};
        out.samplerate = in.samplerate;
        out.channels = in.channels;
        out.format = encoding.format;
        const std::string path = std::string(argv[2]) + "-" + encoding.name + ".wav";
        SNDFILE* target = sf_open(path.c_str(), SFM_WRITE, &out);
        if (target == nullptr) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), sf_strerror(nullptr));
            status = 1;
            continue;
        }
        sf_writef_float(target, samples.data(), frames);
        sf_close(target);
    }
    return status;
}

// The host side of the plug-in's audio clock. A program linking this library exports
// CamcabHostAttachAudio, so a plug-in loaded into it (or the core linked into it) renders its
// sounds only when asked: frame by frame, in step with the program's own clock, into memory.
// On Windows the plug-in's sounds keep this clock without being rendered: the quanta are silent.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace camcab::hostaudio {

#ifndef _WIN32
// Selects SDL's silent device for the engine, unless the environment already chose one.
void UseSilentDevice();
// Selects SDL's audio driver by name for engines made from now on ("dummy" is the silent one;
// an unknown name leaves the engine without an output device).
void UseAudioDriver(const char* name);
#endif

// True while a plug-in's engine is attached; WasAttached: at any time so far.
bool Attached();
bool WasAttached();
uint32_t SampleRate();
uint32_t Channels();
uint32_t QuantumFrames();

// Renders whole quanta; the samples are appended to the capture.
void RenderQuanta(uint32_t count);
// Advances the clock by `milliseconds` and renders every quantum that has become due.
void Advance(double milliseconds);

// Everything rendered since the last ClearCapture, interleaved floats, in the format of the
// last engine attached (kept after it went away; an engine of another format starts afresh).
// Its first sample frame is frame FirstCapturedFrame() of the capture.
const std::vector<float>& Captured();
void ClearCapture();
// Root mean square of the captured samples from frame `begin` (inclusive) to `end`.
double CapturedRms(size_t beginFrame, size_t endFrame);
// Frames rendered since the last ClearCapture, the forgotten ones included.
size_t CapturedFrames();
size_t FirstCapturedFrame();

// Whether the whole capture is kept (the default). A listener that needs only the latest
// frames turns it off and calls ForgetCaptureBefore, so a long drive holds no sound.
void KeepWholeCapture(bool keep);
// Unless the whole capture is kept, drops the samples of the frames before `frame`.
void ForgetCaptureBefore(size_t frame);

// Writes the capture as a 16-bit PCM WAV file. A capture whose sample bytes pass
// `maxDataBytes` (by default what the RIFF size fields can describe) is not written: false,
// and `error` says why.
bool WriteCapture(const std::filesystem::path& path, std::string& error,
                  uint64_t maxDataBytes = UINT64_MAX);

// Writes everything rendered from now on to a 16-bit PCM WAV file at `path` as it is rendered,
// so that a drive of any length holds none of its sound in memory (an engine of another format
// starts the file afresh). Samples past `maxDataBytes` (by default what the RIFF size fields
// can describe) are not written. False, with `error`, when the file cannot be made.
bool StreamCaptureTo(const std::filesystem::path& path, std::string& error,
                     uint64_t maxDataBytes = UINT64_MAX);
// Ends the stream: the header gets the sizes written. False, with `error`, when the file could
// not all be written or the sound went past what it may hold (the file then holds the sound up
// to there, a playable WAV).
bool EndCaptureStream(std::string& error);

}  // namespace camcab::hostaudio

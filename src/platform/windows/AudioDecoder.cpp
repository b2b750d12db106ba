// Decoding through the Media Foundation source reader, loaded at run time from the system
// folder, so that the plug-in still loads where Media Foundation is missing (the N editions);
// every load then fails with the code of the missing library.
#include "platform/AudioDecoder.h"

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <string>

#include "platform/FileSystem.h"

namespace camcab::platform {
namespace {

using MFStartupFn = HRESULT(WINAPI*)(ULONG, DWORD);
using MFShutdownFn = HRESULT(WINAPI*)();
using MFCreateMediaTypeFn = HRESULT(WINAPI*)(IMFMediaType**);
using MFCreateWaveFormatExFn = HRESULT(WINAPI*)(IMFMediaType*, WAVEFORMATEX**, UINT32*, UINT32);
using MFCreateSourceReaderFromURLFn = HRESULT(WINAPI*)(LPCWSTR, IMFAttributes*, IMFSourceReader**);

constexpr ULONG kMfVersion = 0x20070;
constexpr DWORD kFirstAudioStream = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);
// Decoded PCM is at most about four times the size of its file (4-bit ADPCM); a duration that
// promises more comes from a header that lies, and is not used to reserve memory.
constexpr uint64_t kMaxExpansion = 4;

struct MediaFoundation {
    int32_t loadCode = kSuccess;
    MFStartupFn startup = nullptr;
    MFShutdownFn shutdown = nullptr;
    MFCreateMediaTypeFn createMediaType = nullptr;
    MFCreateWaveFormatExFn createWaveFormatEx = nullptr;
    MFCreateSourceReaderFromURLFn createSourceReaderFromUrl = nullptr;
    bool Available() const { return loadCode == kSuccess; }
};

int32_t LastErrorCode() {
    const DWORD error = GetLastError();
    return static_cast<int32_t>(HRESULT_FROM_WIN32(error != 0 ? error : ERROR_MOD_NOT_FOUND));
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    return LoadLibraryW((std::wstring(system, length) + L"\\" + name).c_str());
}

template <typename Fn>
Fn Find(HMODULE module, const char* name) {
    return module != nullptr
               ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}

// The libraries stay loaded for the process once found.
const MediaFoundation& Functions() {
    static const MediaFoundation functions = [] {
        MediaFoundation mf;
        HMODULE platform = LoadSystemLibrary(L"mfplat.dll");
        if (platform == nullptr) {
            mf.loadCode = LastErrorCode();
            return mf;
        }
        HMODULE readWrite = LoadSystemLibrary(L"mfreadwrite.dll");
        if (readWrite == nullptr) {
            mf.loadCode = LastErrorCode();
            return mf;
        }
        mf.startup = Find<MFStartupFn>(platform, "MFStartup");
        mf.shutdown = Find<MFShutdownFn>(platform, "MFShutdown");
        mf.createMediaType = Find<MFCreateMediaTypeFn>(platform, "MFCreateMediaType");
        mf.createWaveFormatEx =
            Find<MFCreateWaveFormatExFn>(platform, "MFCreateWaveFormatExFromMFMediaType");
        mf.createSourceReaderFromUrl =
            Find<MFCreateSourceReaderFromURLFn>(readWrite, "MFCreateSourceReaderFromURL");
        if (mf.startup == nullptr || mf.shutdown == nullptr || mf.createMediaType == nullptr ||
            mf.createWaveFormatEx == nullptr || mf.createSourceReaderFromUrl == nullptr) {
            mf.loadCode = static_cast<int32_t>(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
        }
        return mf;
    }();
    return functions;
}

template <typename T>
void SafeRelease(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

// True when the stream already holds 8 or 16-bit integer PCM, which is delivered unchanged.
bool NativeIsNarrowPcm(IMFSourceReader* reader) {
    IMFMediaType* native = nullptr;
    if (FAILED(reader->GetNativeMediaType(kFirstAudioStream, 0, &native)) || native == nullptr) {
        return false;
    }
    GUID subtype{};
    UINT32 bits = 0;
    const bool narrow = SUCCEEDED(native->GetGUID(MF_MT_SUBTYPE, &subtype)) &&
                        subtype == MFAudioFormat_PCM &&
                        SUCCEEDED(native->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits)) &&
                        (bits == 8 || bits == 16);
    native->Release();
    return narrow;
}

class SourceReader final : public AudioFileReader {
  public:
    SourceReader(IMFSourceReader* reader, IMFMediaType* current, uint64_t fileBytes)
        : reader_(reader), current_(current), fileBytes_(fileBytes) {}
    ~SourceReader() override {
        SafeRelease(current_);
        SafeRelease(reader_);
    }

    int32_t DecodedFormat(WaveFormat& format) override {
        WAVEFORMATEX* block = nullptr;
        // The size is not needed, but Wine's implementation writes it unconditionally.
        UINT32 size = 0;
        const HRESULT code = Functions().createWaveFormatEx(current_, &block, &size, 0);
        if (SUCCEEDED(code) && block != nullptr) {
            std::memcpy(&format, block, sizeof(WaveFormat));
        }
        if (block != nullptr) {
            CoTaskMemFree(block);
        }
        return code;
    }

    uint64_t ExpectedPcmBytes() override {
        PROPVARIANT duration;
        PropVariantInit(&duration);
        UINT32 rate = 0;
        UINT32 blockAlign = 0;
        uint64_t bytes = kUnknownPcmBytes;
        if (SUCCEEDED(reader_->GetPresentationAttribute(
                static_cast<DWORD>(MF_SOURCE_READER_MEDIASOURCE), MF_PD_DURATION, &duration)) &&
            duration.vt == VT_UI8 &&
            SUCCEEDED(current_->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate)) &&
            SUCCEEDED(current_->GetUINT32(MF_MT_AUDIO_BLOCK_ALIGNMENT, &blockAlign)) && rate > 0 &&
            blockAlign > 0) {
            // The duration is in 100 ns units, truncated or rounded; at the sample rates a voice
            // takes (200 kHz at most) that is less than a frame off, so the nearest frame
            // count is the stream's.
            const double frames =
                std::nearbyint(static_cast<double>(duration.uhVal.QuadPart) * rate / 1e7);
            const double total = frames * blockAlign;
            if (total <= static_cast<double>(kMaxExpansion) * static_cast<double>(fileBytes_) &&
                total <= static_cast<double>(UINT32_MAX)) {
                bytes = static_cast<uint64_t>(total);
            }
        }
        PropVariantClear(&duration);
        return bytes;
    }

    int32_t ReadSample(std::vector<uint8_t>& pcm, bool& endOfStream) override {
        endOfStream = false;
        IMFSample* sample = nullptr;
        DWORD flags = 0;
        HRESULT code = S_OK;
        do {
            code = reader_->ReadSample(kFirstAudioStream, 0, nullptr, &flags, nullptr, &sample);
        } while (SUCCEEDED(code) && sample == nullptr &&
                 (flags & MF_SOURCE_READERF_ENDOFSTREAM) == 0);
        if (FAILED(code)) {
            SafeRelease(sample);
            return code;
        }
        if ((flags & MF_SOURCE_READERF_ENDOFSTREAM) != 0) {
            SafeRelease(sample);
            endOfStream = true;
            return kSuccess;
        }
        IMFMediaBuffer* buffer = nullptr;
        code = sample->ConvertToContiguousBuffer(&buffer);
        if (SUCCEEDED(code)) {
            BYTE* data = nullptr;
            DWORD length = 0;
            code = buffer->Lock(&data, nullptr, &length);
            if (SUCCEEDED(code)) {
                try {
                    pcm.insert(pcm.end(), data, data + length);
                } catch (...) {
                    code = E_OUTOFMEMORY;
                }
                const HRESULT unlocked = buffer->Unlock();
                if (SUCCEEDED(code)) {
                    code = unlocked;
                }
            }
        }
        SafeRelease(buffer);
        SafeRelease(sample);
        return code;
    }

  private:
    IMFSourceReader* reader_;
    IMFMediaType* current_;
    uint64_t fileBytes_;
};

// The size of the file at `path`, 0 when it cannot be read.
uint64_t FileBytes(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int32_t StartMediaFoundation() {
    const MediaFoundation& mf = Functions();
    return mf.Available() ? mf.startup(kMfVersion, MFSTARTUP_FULL) : mf.loadCode;
}

void ShutDownMediaFoundation() {
    const MediaFoundation& mf = Functions();
    if (mf.Available()) {
        mf.shutdown();
    }
}

int32_t OpenAudioFile(const std::wstring& path, std::unique_ptr<AudioFileReader>& reader) {
    reader.reset();
    const MediaFoundation& mf = Functions();
    if (!mf.Available()) {
        return mf.loadCode;
    }
    // A pipe or device named as a sound would be opened and read by the reader, which could
    // wait on it for ever: it is refused as a file that may not be read.
    if (LeadsToDevice(path)) {
        return static_cast<int32_t>(0x80070005u);  // E_ACCESSDENIED
    }
    IMFSourceReader* sourceReader = nullptr;
    HRESULT code = mf.createSourceReaderFromUrl(path.c_str(), nullptr, &sourceReader);
    if (FAILED(code) || sourceReader == nullptr) {
        SafeRelease(sourceReader);
        return FAILED(code) ? code : kFail;
    }
    IMFMediaType* wanted = nullptr;
    IMFMediaType* current = nullptr;
    code =
        sourceReader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE);
    if (SUCCEEDED(code)) {
        code = sourceReader->SetStreamSelection(kFirstAudioStream, TRUE);
    }
    if (SUCCEEDED(code)) {
        code = mf.createMediaType(&wanted);
    }
    if (SUCCEEDED(code)) {
        code = wanted->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
    }
    if (SUCCEEDED(code)) {
        code = wanted->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_PCM);
    }
    // Anything but 8 or 16-bit PCM is converted to 16-bit PCM.
    if (SUCCEEDED(code) && !NativeIsNarrowPcm(sourceReader)) {
        code = wanted->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, 16);
    }
    if (SUCCEEDED(code)) {
        code = sourceReader->SetCurrentMediaType(kFirstAudioStream, nullptr, wanted);
    }
    if (SUCCEEDED(code)) {
        code = sourceReader->GetCurrentMediaType(kFirstAudioStream, &current);
    }
    if (SUCCEEDED(code)) {
        code = sourceReader->SetStreamSelection(kFirstAudioStream, TRUE);
    }
    SafeRelease(wanted);
    if (FAILED(code)) {
        SafeRelease(current);
        SafeRelease(sourceReader);
        return code;
    }
    reader = std::make_unique<SourceReader>(sourceReader, current, FileBytes(path));
    return kSuccess;
}

}  // namespace camcab::platform

#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// Streams an audio file that libsndfile can read as 32-bit float frames, channel by channel.
// [one thread at a time]
class WavReader {
public:
    WavReader() = default;
    ~WavReader();
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;

    // The header values a file may carry: the sample rates a plug-in instance can be configured
    // with, and a channel count within what hosts route.
    static constexpr int kMinSampleRate = 1;
    static constexpr int kMaxSampleRate = 1000000;
    static constexpr int kMaxChannels = 64;

    // Opens path; on failure (unreadable file, header values outside the ranges above) returns
    // false and sets error to a one-line reason.
    bool open(const std::string& path, std::string& error);
    void close();

    int channels() const { return channels_; }
    double sampleRate() const { return sampleRate_; }
    // Frame count announced by the file header (a damaged file may deliver fewer).
    int64_t frames() const { return frames_; }

    // Reads up to maxFrames frames into channel buffers out[0..channels()-1] (each with room for
    // maxFrames). Returns the frames read: 0 at the end; -1 on a read error (error set). Allocates
    // only when maxFrames exceeds every earlier request.
    int64_t read(float* const* out, int64_t maxFrames, std::string& error);

private:
    void* file_ = nullptr;  // SNDFILE*
    int channels_ = 0;
    double sampleRate_ = 0.0;
    int64_t frames_ = 0;
    std::vector<float> interleaved_;
};

// Writes a 32-bit float WAV file through a temporary file in the destination's folder, renamed over
// the destination only by commit(): a run that fails never creates or replaces the destination.
// [one thread at a time]
class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();  // removes the temporary file unless committed
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool open(const std::string& path, int channels, int sampleRate, std::string& error);
    // Writes frames frames from channel buffers in[0..channels-1].
    bool write(const float* const* in, int64_t frames, std::string& error);
    // Closes the temporary file and renames it over the destination.
    bool commit(std::string& error);
    // Closes and removes the temporary file.
    void abandon();

private:
    void* file_ = nullptr;  // SNDFILE*
    int fd_ = -1;           // its descriptor, owned by file_
    int channels_ = 0;
    std::string path_;
    std::string tempPath_;
    std::vector<float> interleaved_;
};

// Reads a whole audio file into per-channel buffers. Returns false with a one-line reason.
struct AudioData {
    int channels = 0;
    double sampleRate = 0.0;
    std::vector<std::vector<float>> samples;  // [channel][frame]
    int64_t frames() const { return samples.empty() ? 0 : static_cast<int64_t>(samples[0].size()); }
};
bool readAudioFile(const std::string& path, AudioData& out, std::string& error);
bool writeAudioFile(const std::string& path, const AudioData& data, std::string& error);

// Creates a unique temporary file beside path (same folder, so a rename is atomic) with the
// permissions a new file would get. Returns the open descriptor or -1 with error set.
int createTempBeside(const std::string& path, std::string& tempPath, std::string& error);

// Writes bytes to path through a temporary file and a rename. Returns false with error set.
bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// Reads a whole (regular) file of at most maxBytes. Returns false with error set.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error,
                   std::size_t maxBytes = 64u << 20);

}  // namespace host

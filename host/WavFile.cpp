#include "host/WavFile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xmmintrin.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace host {

namespace {

SNDFILE* asFile(void* p) { return static_cast<SNDFILE*>(p); }

std::string sysError(const std::string& what, const std::string& path) {
    return what + " '" + path + "': " + std::strerror(errno);
}

// Stereo frames (L R L R ...) into two channel buffers, four frames per step.
void deinterleaveStereo(const float* src, float* left, float* right, int64_t frames) {
    int64_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        const __m128 a = _mm_loadu_ps(src + 2 * i);      // L0 R0 L1 R1
        const __m128 b = _mm_loadu_ps(src + 2 * i + 4);  // L2 R2 L3 R3
        _mm_storeu_ps(left + i, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm_storeu_ps(right + i, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    }
    for (; i < frames; ++i) {
        left[i] = src[2 * i];
        right[i] = src[2 * i + 1];
    }
}

// Two channel buffers into stereo frames, four frames per step.
void interleaveStereo(const float* left, const float* right, float* dst, int64_t frames) {
    int64_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        const __m128 l = _mm_loadu_ps(left + i);
        const __m128 r = _mm_loadu_ps(right + i);
        _mm_storeu_ps(dst + 2 * i, _mm_unpacklo_ps(l, r));
        _mm_storeu_ps(dst + 2 * i + 4, _mm_unpackhi_ps(l, r));
    }
    for (; i < frames; ++i) {
        dst[2 * i] = left[i];
        dst[2 * i + 1] = right[i];
    }
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// WavReader

WavReader::~WavReader() { close(); }

void WavReader::close() {
    if (file_) sf_close(asFile(file_));
    file_ = nullptr;
}

bool WavReader::open(const std::string& path, std::string& error) {
    close();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = sysError("cannot read input", path);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = "cannot read input '" + path + "': is a folder";
        return false;
    }
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) {
        error = "unsupported or unreadable audio file '" + path + "': " + sf_strerror(nullptr);
        return false;
    }
    // Header fields are input: a value no host can run with is refused here, as bad input.
    if (info.channels <= 0 || info.channels > kMaxChannels || info.frames < 0) {
        sf_close(f);
        error = "unsupported audio file '" + path + "': bad channel count or length";
        return false;
    }
    if (info.samplerate < kMinSampleRate || info.samplerate > kMaxSampleRate) {
        sf_close(f);
        error = "unsupported audio file '" + path + "': sample rate " + std::to_string(info.samplerate) +
                " Hz (" + std::to_string(kMinSampleRate) + " to " + std::to_string(kMaxSampleRate) +
                " Hz are supported)";
        return false;
    }
    file_ = f;
    channels_ = info.channels;
    sampleRate_ = info.samplerate;
    frames_ = info.frames;
    return true;
}

int64_t WavReader::read(float* const* out, int64_t maxFrames, std::string& error) {
    if (!file_ || maxFrames <= 0) return 0;
    // One channel needs no reordering: the library converts straight into the caller's buffer.
    float* target = out[0];
    if (channels_ > 1) {
        const std::size_t needed = static_cast<std::size_t>(maxFrames) * static_cast<std::size_t>(channels_);
        if (interleaved_.size() < needed) interleaved_.resize(needed);
        target = interleaved_.data();
    }
    const sf_count_t got = sf_readf_float(asFile(file_), target, maxFrames);
    if (got < 0 || (got < maxFrames && sf_error(asFile(file_)) != SF_ERR_NO_ERROR)) {
        error = std::string("error reading audio data: ") + sf_strerror(asFile(file_));
        return -1;
    }
    if (channels_ == 2) {
        deinterleaveStereo(interleaved_.data(), out[0], out[1], got);
    } else if (channels_ > 2) {
        for (int c = 0; c < channels_; ++c) {
            float* dst = out[c];
            const float* src = interleaved_.data() + c;
            for (sf_count_t i = 0; i < got; ++i) dst[i] = src[i * channels_];
        }
    }
    return got;
}

// ---------------------------------------------------------------------------------------------
// Temporary files

int createTempBeside(const std::string& path, std::string& tempPath, std::string& error) {
    const auto slash = path.find_last_of('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty() || base == "." || base == "..") {
        error = "invalid output path '" + path + "'";
        return -1;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        error = "cannot write output '" + path + "': is a folder";
        return -1;
    }
    std::string pattern = folderOf(path) + "/." + base + ".tmp-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const int fd = ::mkstemp(buf.data());
    if (fd < 0) {
        error = sysError("cannot write output in folder", folderOf(path));
        return -1;
    }
    // mkstemp makes the file private; give it the permissions of a normally created file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    (void)::fchmod(fd, 0666 & ~mask);
    tempPath.assign(buf.data());
    return fd;
}

bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    std::string temp;
    const int fd = createTempBeside(path, temp, error);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = sysError("cannot write", path);
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        error = sysError("cannot write", path);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error,
                   std::size_t maxBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = sysError("cannot read", path);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "cannot read '" + path + "': not a regular file";
        ::close(fd);
        return false;
    }
    bytes.clear();
    uint8_t buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = sysError("cannot read", path);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
            error = "cannot read '" + path + "': file too large";
            ::close(fd);
            return false;
        }
        bytes.insert(bytes.end(), buf, buf + n);
    }
    ::close(fd);
    return true;
}

// ---------------------------------------------------------------------------------------------
// WavWriter

WavWriter::~WavWriter() { abandon(); }

bool WavWriter::open(const std::string& path, int channels, int sampleRate, std::string& error) {
    abandon();
    if (channels < 1 || sampleRate < 1) {
        error = "invalid output format";
        return false;
    }
    const int fd = createTempBeside(path, tempPath_, error);
    if (fd < 0) return false;
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sampleRate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!f) {
        error = std::string("cannot write output '") + path + "': " + sf_strerror(nullptr);
        ::close(fd);
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
        return false;
    }
    // No PEAK chunk: it carries a time stamp, and the same render should give the same bytes.
    sf_command(f, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    file_ = f;
    fd_ = fd;
    channels_ = channels;
    path_ = path;
    return true;
}

bool WavWriter::write(const float* const* in, int64_t frames, std::string& error) {
    if (!file_) {
        error = "output is not open";
        return false;
    }
    if (frames <= 0) return true;
    const float* source = in[0];  // one channel is already in file order
    if (channels_ > 1) {
        const std::size_t needed = static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels_);
        if (interleaved_.size() < needed) interleaved_.resize(needed);
        float* dst = interleaved_.data();
        if (channels_ == 2) {
            interleaveStereo(in[0], in[1], dst, frames);
        } else {
            for (int c = 0; c < channels_; ++c)
                for (int64_t i = 0; i < frames; ++i) dst[i * channels_ + c] = in[c][i];
        }
        source = dst;
    }
    if (sf_writef_float(asFile(file_), source, frames) != frames) {
        error = "cannot write output '" + path_ + "': " + sf_strerror(asFile(file_));
        return false;
    }
#ifdef __linux__
    // Starts writing the new pages to disk now, so that the sync in commit() finds little left to
    // do. Only a hint: a file system that cannot do it is synced in commit() all the same.
    ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
    return true;
}

bool WavWriter::commit(std::string& error) {
    if (!file_) {
        error = "output is not open";
        return false;
    }
    sf_write_sync(asFile(file_));
    const int rc = sf_close(asFile(file_));
    file_ = nullptr;
    fd_ = -1;
    if (rc != 0) {
        error = "cannot write output '" + path_ + "': " + sf_error_number(rc);
        abandon();
        return false;
    }
    if (::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        error = sysError("cannot write output", path_);
        abandon();
        return false;
    }
    tempPath_.clear();
    return true;
}

void WavWriter::abandon() {
    if (file_) sf_close(asFile(file_));
    file_ = nullptr;
    fd_ = -1;
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    tempPath_.clear();
}

// ---------------------------------------------------------------------------------------------
// Whole files

bool readAudioFile(const std::string& path, AudioData& out, std::string& error) {
    WavReader reader;
    if (!reader.open(path, error)) return false;
    out.channels = reader.channels();
    out.sampleRate = reader.sampleRate();
    out.samples.assign(static_cast<std::size_t>(out.channels), {});
    constexpr int64_t kChunk = 4096;
    std::vector<std::vector<float>> chunk(static_cast<std::size_t>(out.channels), std::vector<float>(kChunk));
    std::vector<float*> ptrs;
    for (auto& c : chunk) ptrs.push_back(c.data());
    for (;;) {
        const int64_t n = reader.read(ptrs.data(), kChunk, error);
        if (n < 0) return false;
        if (n == 0) break;
        for (int c = 0; c < out.channels; ++c)
            out.samples[static_cast<std::size_t>(c)].insert(out.samples[static_cast<std::size_t>(c)].end(),
                                                            chunk[static_cast<std::size_t>(c)].begin(),
                                                            chunk[static_cast<std::size_t>(c)].begin() + n);
    }
    return true;
}

bool writeAudioFile(const std::string& path, const AudioData& data, std::string& error) {
    WavWriter writer;
    if (!writer.open(path, data.channels, static_cast<int>(data.sampleRate), error)) return false;
    std::vector<const float*> ptrs;
    for (const auto& c : data.samples) ptrs.push_back(c.data());
    if (!writer.write(ptrs.data(), data.frames(), error)) return false;
    return writer.commit(error);
}

}  // namespace host

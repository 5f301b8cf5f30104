// The command-line host's audio input path on arbitrary bytes: open the file as `tolva process`
// does and read every frame in host blocks. A read never delivers more frames than asked.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/WavFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const int fd = ::memfd_create("fuzz.wav", 0);
    if (fd < 0) return 0;
    if (::write(fd, data, size) != static_cast<ssize_t>(size)) {
        ::close(fd);
        return 0;
    }
    host::WavReader reader;
    std::string error;
    if (reader.open("/proc/self/fd/" + std::to_string(fd), error)) {
        if (reader.channels() < 1 || reader.channels() > host::WavReader::kMaxChannels) std::abort();
        constexpr int64_t kBlock = 512;
        std::vector<std::vector<float>> buffers(static_cast<std::size_t>(reader.channels()),
                                                std::vector<float>(kBlock));
        std::vector<float*> out;
        for (auto& b : buffers) out.push_back(b.data());
        for (int64_t total = 0; total < (int64_t(1) << 22);) {
            const int64_t n = reader.read(out.data(), kBlock, error);
            if (n > kBlock) std::abort();
            if (n <= 0) break;
            total += n;
        }
    }
    reader.close();
    ::close(fd);
    return 0;
}

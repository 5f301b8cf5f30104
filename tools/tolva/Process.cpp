// tolva process: one file into one file, or many files into a folder spread over the cores.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "host/PluginLibrary.h"
#include "host/WavFile.h"
#include "plugkit/core/ThreadPool.h"
#include "tools/tolva/Commands.h"
#include "tools/tolva/Report.h"
#include "tools/tolva/Timeline.h"

namespace tolva {

namespace {

namespace fs = std::filesystem;

// Frames read, converted and written per file access, whatever the host block: a multiple of the
// block so that host blocks fall on the same samples as when reading block by block.
constexpr int64_t kChunkFrames = 65536;

int64_t chunkFramesFor(int block) { return std::max<int64_t>(1, kChunkFrames / block) * block; }

// What a render went through: frames, wall-clock seconds and the levels on both sides.
struct Streamed {
    int64_t frames = 0;
    double wall = 0;
    LevelMeter inLevel, outLevel;
};

// Where a render reports its progress: its own bar (one file) or a counter summed over the files
// that the main thread draws.
struct ProgressSink {
    ProgressBar* bar = nullptr;
    std::atomic<int64_t>* shared = nullptr;
};

// Per-channel buffers of one chunk and the pointer arrays handed to the instance, allocated once.
struct Buffers {
    std::vector<std::vector<float>> in, out;
    std::vector<float*> inPtr, outPtr;
    std::vector<const float*> blockIn;
    std::vector<float*> blockOut;

    Buffers(std::size_t inputs, std::size_t outputs, int64_t frames)
        : in(inputs, std::vector<float>(static_cast<std::size_t>(frames))),
          out(outputs, std::vector<float>(static_cast<std::size_t>(frames))),
          blockIn(inputs),
          blockOut(outputs) {
        for (auto& b : in) inPtr.push_back(b.data());
        for (auto& b : out) outPtr.push_back(b.data());
    }
};

// Renders one host block of n frames at chunk offset `offset` (sample position `position`), cut
// where the timeline changes something so that each change lands on its sample.
void renderBlock(host::PluginInstance& instance, Timeline& timeline, Buffers& b, int64_t offset,
                 int64_t position, int64_t n) {
    if (timeline.finished()) {
        for (std::size_t c = 0; c < b.blockIn.size(); ++c) b.blockIn[c] = b.inPtr[c] + offset;
        for (std::size_t c = 0; c < b.blockOut.size(); ++c) b.blockOut[c] = b.outPtr[c] + offset;
        instance.render(b.blockIn.data(), b.blockOut.data(), n);
        return;
    }
    for (int64_t done = 0; done < n;) {
        timeline.apply(position + done, done == 0, instance);
        const int64_t next = std::min(n, timeline.nextAfter(position + done) - position);
        for (std::size_t c = 0; c < b.blockIn.size(); ++c) b.blockIn[c] = b.inPtr[c] + offset + done;
        for (std::size_t c = 0; c < b.blockOut.size(); ++c) b.blockOut[c] = b.outPtr[c] + offset + done;
        instance.render(b.blockIn.data(), b.blockOut.data(), next - done);
        done = next;
    }
}

// What the file thread did for one step: frames read into the next buffers (0 at the end, -1 on a
// read error) and whether the chunk before was written.
struct FileStep {
    int64_t read = 0;
    bool written = true;
    std::string error;
};

// Writes `pending` frames of `previous`'s output, then reads the next chunk into its input.
FileStep fileStep(host::WavReader& reader, host::WavWriter& writer, Buffers& previous, int64_t pending,
                  int64_t chunk) {
    FileStep step;
    if (pending > 0 && !writer.write(previous.outPtr.data(), pending, step.error)) {
        step.written = false;
        return step;
    }
    step.read = reader.read(previous.inPtr.data(), chunk, step.error);
    return step;
}

// fileStep on a thread of its own while the caller renders, or at once when no thread can be had.
std::future<FileStep> startFileStep(host::WavReader& reader, host::WavWriter& writer, Buffers& previous,
                                    int64_t pending, int64_t chunk) {
    try {
        return std::async(std::launch::async, fileStep, std::ref(reader), std::ref(writer),
                          std::ref(previous), pending, chunk);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, fileStep, std::ref(reader), std::ref(writer),
                          std::ref(previous), pending, chunk);
    }
}

// Runs the whole input through the instance in host blocks of `block` frames into the writer, with
// the timeline's changes. The file is read and written a chunk at a time, in two sets of buffers:
// while the plug-in renders one chunk, a second thread writes the chunk before and reads the next,
// so on a machine with more than one core the file work leaves the render's path. The levels are
// measured only when meter is set (they feed the summary line). Returns kExitOk, or the exit code
// with the reason in error.
int stream(host::WavReader& reader, host::WavWriter& writer, host::PluginInstance& instance,
           Timeline& timeline, int block, bool meter, const std::string& inPath, ProgressSink progress,
           Streamed& out, std::string& error) {
    const int64_t chunk = chunkFramesFor(block);
    const auto inputs = static_cast<std::size_t>(reader.channels());
    const auto outputs = static_cast<std::size_t>(instance.outputs());
    Buffers buffers[2] = {Buffers(inputs, outputs, chunk), Buffers(inputs, outputs, chunk)};
    const auto start = std::chrono::steady_clock::now();
    int64_t n = reader.read(buffers[0].inPtr.data(), chunk, error);
    int64_t pending = 0;  // frames rendered into `last`, not yet written
    Buffers* last = nullptr;
    for (int k = 0; n != 0; k ^= 1) {
        if (n < 0) {
            error = "unreadable input '" + inPath + "': " + error;
            return kExitInput;
        }
        Buffers& b = buffers[k];
        std::future<FileStep> files = startFileStep(reader, writer, buffers[k ^ 1], pending, chunk);
        // Output the plug-in leaves unwritten (a skipped call) is silence.
        for (auto& o : b.out) std::fill(o.begin(), o.begin() + n, 0.0f);
        for (int64_t offset = 0; offset < n; offset += block)
            renderBlock(instance, timeline, b, offset, out.frames + offset,
                        std::min<int64_t>(block, n - offset));
        if (meter) {
            for (const float* p : b.inPtr) out.inLevel.add(p, n);
            for (const float* p : b.outPtr) out.outLevel.add(p, n);
        }
        FileStep step = files.get();
        if (!step.written) {
            error = step.error;
            return kExitInput;
        }
        out.frames += n;
        if (progress.bar) progress.bar->update(out.frames);
        if (progress.shared) progress.shared->fetch_add(n, std::memory_order_relaxed);
        pending = n;
        last = &b;
        n = step.read;
        if (n < 0) error = step.error;
    }
    if (pending > 0 && !writer.write(last->outPtr.data(), pending, error)) return kExitInput;
    out.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return kExitOk;
}

// Opens an input and checks that the plug-in can take its channel count.
int openInput(const std::string& path, host::WavReader& reader, std::string& error) {
    if (!reader.open(path, error)) return kExitInput;
    const int inputs = reader.channels();
    if (inputs != 1 && inputs != 2) {
        error = "unsupported input '" + path + "': " + std::to_string(inputs) +
                " channels (1 or 2 are supported)";
        return kExitInput;
    }
    return kExitOk;
}

// One input through a fresh instance into outPath (and --state-out). setupLock, when given, is held
// around everything but the streaming: the library's factories, preset enumeration and the file
// library's open and error reporting are not meant for several threads at once.
int renderFile(const Options& options, host::PluginLibrary& lib, host::WavReader& reader,
               const std::string& inPath, const std::string& outPath, std::mutex* setupLock,
               ProgressSink progress, Streamed& streamed, std::string& error) {
    std::unique_lock<std::mutex> lock;
    if (setupLock) lock = std::unique_lock<std::mutex>(*setupLock);
    const int inputs = reader.channels();
    const double rate = reader.sampleRate();
    const int outputs = options.outputs > 0 ? options.outputs : inputs;
    if (!lib.description().componentFor(inputs, outputs)) {
        error = "illegal channel layout: " + std::to_string(inputs) + " in, " + std::to_string(outputs) +
                " out is not supported by the plug-in";
        return kExitInput;
    }
    auto instance = lib.createInstance(inputs, outputs, rate, error);
    if (!instance) return kExitInternal;
    host::WavWriter writer;
    Timeline timeline;
    int code = applySettings(options, lib, *instance, error);
    if (code == kExitOk && !timeline.build(options, lib, *instance, rate, error)) code = kExitInput;
    if (code == kExitOk && !writer.open(outPath, outputs, static_cast<int>(rate), error)) code = kExitInput;
    if (code == kExitOk) {
        if (lock.owns_lock()) lock.unlock();
        code = stream(reader, writer, *instance, timeline, options.block, !options.quiet, inPath, progress,
                      streamed, error);
        if (setupLock) lock.lock();
    }
    if (code == kExitOk && !options.stateOut.empty()) {
        std::vector<uint8_t> chunk;
        if (instance->getChunk(chunk) != 0) {
            error = "the plug-in did not return its state";
            code = kExitInternal;
        } else if (!host::writeFileAtomically(options.stateOut, chunk, error)) {
            code = kExitInput;
        }
    }
    if (code == kExitOk && !writer.commit(error)) code = kExitInput;
    writer.abandon();  // a failed run's temporary file goes while the lock is held
    instance.reset();
    return code;
}

void closeLibrary(host::PluginLibrary& lib) {
    const int32_t live = lib.close();
    if (live != 0)
        std::fprintf(stderr, "tolva: warning: the plug-in reports %d live objects at unload\n", live);
}

int runOne(const Options& options, const std::string& inPath, const std::string& outPath) {
    std::string error;
    host::WavReader reader;
    if (const int code = openInput(inPath, reader, error); code != kExitOk) return fail(code, error);
    int code = kExitOk;
    auto lib = loadPlugin(options, code);
    if (!lib) return code;
    ProgressBar bar(reader.frames(), !options.quiet);
    Streamed streamed;
    code = renderFile(options, *lib, reader, inPath, outPath, nullptr, {&bar, nullptr}, streamed, error);
    bar.finish();
    if (code != kExitOk) return fail(code, error);
    closeLibrary(*lib);
    if (!options.quiet) {
        const double seconds = static_cast<double>(streamed.frames) / reader.sampleRate();
        std::fprintf(stderr, "%s\n",
                     summaryLine(seconds, streamed.wall, streamed.inLevel, streamed.outLevel).c_str());
    }
    return kExitOk;
}

// One input of a many-files run and how it went.
struct FileJob {
    std::string in, out;
    int code = kExitOk;
    std::string error;
    Streamed streamed;
    double seconds = 0;
};

// The refusals of a many-files run, before anything is written: a missing output folder, --state-out
// (one state for many files), two inputs with one file name, an output that would replace its input.
bool planJobs(const Options& options, std::vector<FileJob>& jobs, std::string& error) {
    const std::string& dir = options.positional.back();
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        error = "output folder '" + dir + (fs::exists(dir, ec) ? "' is not a folder" : "' does not exist");
        return false;
    }
    if (!options.stateOut.empty()) {
        error = "--state-out takes a single input file";
        return false;
    }
    for (std::size_t i = 0; i + 1 < options.positional.size(); ++i) {
        FileJob job;
        job.in = options.positional[i];
        const std::string name = fs::path(job.in).filename().string();
        if (name.empty() || name == "." || name == "..") {
            error = "input '" + job.in + "' does not name a file";
            return false;
        }
        for (const FileJob& other : jobs)
            if (fs::path(other.in).filename() == name) {
                error = "inputs '" + other.in + "' and '" + job.in + "' have the same file name; " +
                        "their outputs would overwrite each other";
                return false;
            }
        job.out = (fs::path(dir) / name).string();
        if (fs::equivalent(job.in, job.out, ec)) {
            error = "output '" + job.out + "' would replace its input";
            return false;
        }
        jobs.push_back(std::move(job));
    }
    return true;
}

// Runs every job on the pool, drawing one progress bar for all of them on this thread.
void runJobs(const Options& options, host::PluginLibrary& lib, std::vector<FileJob>& jobs) {
    int64_t totalFrames = 0;
    for (const FileJob& job : jobs) {
        host::WavReader probe;
        std::string ignored;
        if (probe.open(job.in, ignored)) totalFrames += probe.frames();
    }
    ProgressBar bar(totalFrames, !options.quiet);
    std::atomic<int64_t> framesDone{0};
    std::atomic<int> filesDone{0};
    std::mutex setupLock;
    const int count = static_cast<int>(jobs.size());
    plugkit::core::ThreadPool pool(0, count);
    struct Context {
        const Options* options;
        host::PluginLibrary* lib;
        std::vector<FileJob>* jobs;
        std::mutex* setupLock;
        std::atomic<int64_t>* framesDone;
        std::atomic<int>* filesDone;
    } ctx{&options, &lib, &jobs, &setupLock, &framesDone, &filesDone};
    pool.parallelForAsync(count, [&ctx](int index, int) {
        FileJob& job = (*ctx.jobs)[static_cast<std::size_t>(index)];
        host::WavReader reader;
        {
            std::lock_guard<std::mutex> lock(*ctx.setupLock);
            job.code = openInput(job.in, reader, job.error);
        }
        if (job.code == kExitOk) {
            job.code = renderFile(*ctx.options, *ctx.lib, reader, job.in, job.out, ctx.setupLock,
                                  {nullptr, ctx.framesDone}, job.streamed, job.error);
            job.seconds = static_cast<double>(job.streamed.frames) / reader.sampleRate();
        }
        ctx.filesDone->fetch_add(1, std::memory_order_release);
    });
    if (bar.enabled()) {
        while (filesDone.load(std::memory_order_acquire) < count) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            bar.update(framesDone.load(std::memory_order_relaxed));
        }
    }
    pool.waitForCompletion();
    bar.finish();
}

int runMany(const Options& options) {
    std::vector<FileJob> jobs;
    std::string error;
    if (!planJobs(options, jobs, error)) return fail(kExitInput, error);
    int code = kExitOk;
    auto lib = loadPlugin(options, code);
    if (!lib) return code;
    const auto start = std::chrono::steady_clock::now();
    runJobs(options, *lib, jobs);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Streamed total;
    double seconds = 0;
    int failed = 0;
    for (const FileJob& job : jobs) {
        if (job.code != kExitOk) {
            std::fprintf(stderr, "tolva: %s: %s\n", job.in.c_str(), job.error.c_str());
            ++failed;
            // Bad input outranks an internal failure: the user can act on it.
            code = (code == kExitInput || job.code == kExitInput) ? kExitInput : job.code;
            continue;
        }
        seconds += job.seconds;
        total.inLevel.merge(job.streamed.inLevel);
        total.outLevel.merge(job.streamed.outLevel);
    }
    closeLibrary(*lib);
    if (failed > 0) std::fprintf(stderr, "tolva: %d of %zu files failed\n", failed, jobs.size());
    if (!options.quiet && failed < static_cast<int>(jobs.size()))
        std::fprintf(stderr, "%s (%zu files)\n",
                     summaryLine(seconds, wall, total.inLevel, total.outLevel).c_str(),
                     jobs.size() - static_cast<std::size_t>(failed));
    return code;
}

}  // namespace

int runProcess(const Options& options) {
    const auto& ops = options.positional;
    const std::string& last = ops.back();
    std::error_code ec;
    // A trailing slash names a folder even when it is missing, so that the run is refused rather
    // than writing a file called like the folder.
    const bool toFolder =
        ops.size() > 2 || fs::is_directory(last, ec) || (!last.empty() && last.back() == '/');
    if (!toFolder) return runOne(options, ops[0], ops[1]);
    return runMany(options);
}

}  // namespace tolva

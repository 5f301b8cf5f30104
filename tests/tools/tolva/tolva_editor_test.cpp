// tolva editor: the picture of the plug-in's editor as the host opens it, at the defaults, after
// a preset, and with live levels from audio fed through the plug-in first.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace fs = std::filesystem;

namespace {

struct Picture {
    int w = 0, h = 0;
    std::vector<unsigned char> rgba;
    bool same(const Picture& o, int x, int y) const {
        const std::size_t i =
            (static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)) * 4;
        return std::equal(rgba.begin() + static_cast<long>(i), rgba.begin() + static_cast<long>(i + 4),
                          o.rgba.begin() + static_cast<long>(i));
    }
};

class TolvaEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tolva_editor_" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    int run(std::vector<std::string> args) const {
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            unsetenv("DISPLAY");  // the picture needs no X server
            std::vector<char*> argv{const_cast<char*>(TOLVA_TEST_BINARY), const_cast<char*>("--plugin"),
                                    const_cast<char*>(TOLVA_TEST_PLUGIN)};
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(TOLVA_TEST_BINARY, argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    Picture load(const std::string& file) const {
        Picture p;
        int channels = 0;
        unsigned char* data = stbi_load(path(file).c_str(), &p.w, &p.h, &channels, 4);
        if (data) {
            p.rgba.assign(data, data + static_cast<std::size_t>(p.w) * static_cast<std::size_t>(p.h) * 4);
            stbi_image_free(data);
        }
        return p;
    }

    // Pixels that differ inside and outside the display's rectangle (15, 50)-(785, 225).
    static std::pair<int, int> differences(const Picture& a, const Picture& b) {
        int inside = 0, outside = 0;
        for (int y = 0; y < a.h; ++y)
            for (int x = 0; x < a.w; ++x)
                if (!a.same(b, x, y)) (x >= 15 && x < 785 && y >= 50 && y < 225 ? inside : outside)++;
        return {inside, outside};
    }

    fs::path dir_;
};

TEST_F(TolvaEditorTest, DefaultsPresetAndLiveLevels) {
    ASSERT_EQ(run({"editor", path("defaults.png")}), 0);
    const Picture defaults = load("defaults.png");
    ASSERT_EQ(defaults.w, 800);
    ASSERT_EQ(defaults.h, 450);

    // Live levels show in the display only; everything else stays as it was.
    ASSERT_EQ(run({"demo-mix", "--seconds", "2", "--quiet", path("mix.wav")}), 0);
    ASSERT_EQ(run({"editor", "--feed", path("mix.wav"), path("fed.png")}), 0);
    const auto [fedInside, fedOutside] = differences(defaults, load("fed.png"));
    EXPECT_GT(fedInside, 2000);
    EXPECT_EQ(fedOutside, 0);

    // A value set before opening shows in its knob and label.
    ASSERT_EQ(run({"editor", "--set", "Attack L=300", path("attack.png")}), 0);
    const Picture attack = load("attack.png");
    int knobChanged = 0;
    for (int y = 183; y < 303; ++y)
        for (int x = 85; x < 135; ++x) knobChanged += !attack.same(defaults, x, y);
    EXPECT_GT(knobChanged, 50);

    EXPECT_EQ(run({"editor", "--preset", "No Such Preset", path("none.png")}), 2);
    EXPECT_FALSE(fs::exists(path("none.png")));
}

}  // namespace

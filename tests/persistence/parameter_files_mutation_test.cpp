// Damaged parameter files: every loader and the header reader over files this program writes,
// cut at every length, with bytes changed at random (fixed seed) and with absurd counts. They
// must refuse or load, never crash, hang or read out of bounds (the sanitizer build runs this
// too).
#include "persistence/parameter_files.h"
#include "tests/persistence/persistence_test_support.h"
#include "tests/support/temp_folder.h"

#include <cstdint>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::Program;
using test::readBytes;
using test::TempFolder;
using test::writeBytes;

struct Seed
{
    std::string name;
    std::vector<std::uint8_t> bytes;
};

/// The kinds of file the mutations start from.
const char* const kSeedNames[] = {"m.fra", "j.fra", "m.fpi", "j.fdz", "j.fpz"};

/// One file of the named kind, written by the savers from a small view: a Mandelbrot view for
/// "m.", a Julia view (deep zoom for .fdz and .fpz) for "j.".
Seed makeSeed(const std::string& name, const TempFolder& folder)
{
    Program p;
    const std::string path = folder.file(name);
    if (name.starts_with("m.")) {
        test::smallPicture(p.app, 3, 2);
        setDrawingMode(p.app.view.modeWord, 9);
        test::typeWindow(p.app, p.shell.observer, {"-0.75", "-0.5", "0.1", "0.3"});
        EXPECT_TRUE(name == "m.fra"
                        ? saveStandardFile(p.app, p.pictures, path)
                        : saveStandardFileWithImage(p.app, p.shell.observer, p.pictures, path));
    } else if (name == "j.fra") {
        test::makeJulia(p.app.view);
        test::typeWindow(p.app, p.shell.observer, {"0.3", "0.5", "-1.5", "1.5", "-1", "1"});
        EXPECT_TRUE(saveStandardFile(p.app, p.pictures, path));
    } else {
        test::smallPicture(p.app, 2, 3);
        test::makeJulia(p.app.view);
        test::typeWindow(p.app, p.shell.observer,
                         {"-0.7453", "0.11301", "0.01234567890123456789", "0.01234567890123456790",
                          "-0.3000000000000000000001", "-0.3000000000000000000000"});
        EXPECT_EQ(p.app.view.deepZoom, 1);
        EXPECT_TRUE(name == "j.fdz" ? saveDeepFile(p.app, p.pictures, path)
                                    : saveDeepFileWithImage(p.app, p.pictures, path));
    }
    return {name, readBytes(path)};
}

/// The sanitizer build is many times slower; it runs fewer random mutants.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kRandomMutants = 6;
#else
constexpr int kRandomMutants = 16;
#endif

/// Runs the three loaders and the header reader on one file. The program is started afresh
/// when a load left a precision that would make every later load slow.
class Harness
{
public:
    explicit Harness(const TempFolder& folder) : m_path(folder.file("mutant")) {}

    void run(const std::vector<std::uint8_t>& bytes, bool withLoaders = true)
    {
        writeBytes(m_path, bytes);
        readAll(bytes.empty() ? 0 : bytes[0], withLoaders);
    }

    /// Cuts the file to every length below its full one, longest first; `withLoaders` says
    /// for which lengths the loaders run besides the header reader.
    template <typename Choose>
    void truncations(const std::vector<std::uint8_t>& bytes, Choose&& withLoaders)
    {
        writeBytes(m_path, bytes);
        for (std::size_t length = bytes.size(); length-- > 0;) {
            ASSERT_EQ(::truncate(m_path.c_str(), static_cast<off_t>(length)), 0);
            readAll(length == 0 ? 0 : bytes[0], withLoaders(length));
        }
    }

    int loads = 0;

private:
    void readAll(std::uint8_t version, bool withLoaders)
    {
        ParameterHeader header;
        readParameterHeader(m_path, m_shellState, header);
        if (!withLoaders) {
            return;
        }
        load([&](Program& p) { return loadParameterFile(p.app, p.shell.services, m_path); });
        load([&](Program& p) {
            return loadParameterFileWithImage(p.app, p.shell.services, m_path);
        });
        if (version == 55) {
            load([&](Program& p) { return loadDeepFile(p.app, p.shell.services, m_path); });
        }
    }

    template <typename Load> void load(Load&& loader)
    {
        if (!m_program) {
            m_program = std::make_unique<Program>();
        }
        if (loader(*m_program)) {
            ++loads;
        }
        // What was shown is of no interest here; keep the records small.
        m_program->shell.observer.shown.clear();
        if (m_program->app.view.precisionBits > 4096) {
            m_program.reset();
        }
    }

    std::string m_path;
    ShellState m_shellState;
    std::unique_ptr<Program> m_program;
};

class DamagedFiles : public ::testing::TestWithParam<const char*>
{
protected:
    TempFolder folder;
    Seed seed = makeSeed(GetParam(), folder);
    Harness harness{folder};
};

TEST_P(DamagedFiles, TruncatedAtEveryLength)
{
    if (seed.name == "m.fpi") {
        // From the length of the older 500-byte layout on, the plain loader reads the same
        // fields whatever the length, so the loaders see the lengths around the layouts' edges
        // and a sample of the rest; the header reader sees every length.
        const std::size_t narrow = 21 + 6 * 500 + 56;
        const std::size_t full = seed.bytes.size();
        harness.truncations(seed.bytes, [&](std::size_t length) {
            return length <= narrow + 4 || length % 4999 == 0 || length + 8 >= full ||
                   (length >= 30077 - 4 && length <= 30085 + 4);
        });
    } else {
        harness.truncations(seed.bytes, [](std::size_t) { return true; });
    }
    // The older layouts among the shorter lengths load.
    EXPECT_GT(harness.loads, 0);
}

TEST_P(DamagedFiles, RandomByteChanges)
{
    std::mt19937 random(4155);
    for (int mutant = 0; mutant < kRandomMutants; ++mutant) {
        std::vector<std::uint8_t> bytes = seed.bytes;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int c = 0; c < changes; ++c) {
            // Half of the changes fall into the first 256 bytes, where the structure is.
            const std::size_t span =
                random() % 2 == 0 ? std::min<std::size_t>(256, bytes.size()) : bytes.size();
            bytes[random() % span] ^= static_cast<std::uint8_t>(1 + random() % 255);
        }
        harness.run(bytes);
    }
}

std::vector<std::uint8_t> with(std::vector<std::uint8_t> b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4 && at + static_cast<std::size_t>(i) < b.size(); ++i) {
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    return b;
}

TEST_P(DamagedFiles, AbsurdCountsSizesAndPrecisions)
{
    // Each field with values at and beyond its limits; most are refused, a few load.
    const std::vector<std::uint32_t> words{0u, 0x80000000u, 0xFFFFFFFFu};
    const std::vector<std::uint32_t> precisions{
        0u, 95u, 96u, 1u << 20, (1u << 20) + 1, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
    const std::vector<std::uint32_t> counts{0u, 0x7FFFFFFFu, 0x80000000u, 0x80000001u, 0xFFFFFFFFu};
    const std::vector<std::uint32_t> exponents{0x80000000u};
    const std::vector<std::uint32_t> sides{0u, 1u, 16384u, 16385u, 0x80000000u, 0xFFFFFFFFu};
    const bool deep = seed.bytes[0] == 55;
    const bool image = seed.name.ends_with(".fpz") || seed.name.ends_with(".fpi");
    const std::size_t size = deep ? 77 : 21 + 6 * 5000 + 56; // W and H of a picture
    std::vector<std::pair<std::size_t, const std::vector<std::uint32_t>*>> fields{
        {1, &words}, {5, &words}}; // mode word; deep zoom or colour flags
    if (deep) {
        const std::size_t headers = image ? size + 8 + 4 * 4 * 5 : 77;
        fields.push_back({73, &precisions});
        for (const std::size_t k : {0, 7}) {                      // the first and the last number
            fields.push_back({headers + 16 * k, &words});         // precision in limbs
            fields.push_back({headers + 16 * k + 4, &counts});    // limb count
            fields.push_back({headers + 16 * k + 8, &exponents}); // exponent
        }
    }
    if (image) {
        fields.push_back({size, &sides});
        fields.push_back({size + 4, &sides});
        if (!deep) {
            fields.push_back({size - 4, &precisions}); // format 50's precisionBits
        }
        // The largest picture the files allow, in a file far too short for it.
        harness.run(with(with(seed.bytes, size, 16384), size + 4, 16384));
    }
    for (const auto& [at, values] : fields) {
        for (const std::uint32_t v : *values) {
            harness.run(with(seed.bytes, at, v));
        }
    }
    if (seed.name == "m.fpi") {
        // Format 50 in deep zoom with an impossible precision.
        harness.run(with(with(seed.bytes, 5, 1), size - 4, 0xFFFFFFFFu));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, DamagedFiles, ::testing::ValuesIn(kSeedNames),
                         [](const ::testing::TestParamInfo<const char*>& seedInfo) {
                             std::string name = seedInfo.param;
                             name[1] = '_';
                             return name;
                         });

TEST(DamagedFiles, FilesOfNothingButAVersionByte)
{
    TempFolder folder;
    Harness harness(folder);
    for (const std::uint8_t version : {43, 50, 55, 0}) {
        harness.run(std::vector<std::uint8_t>(200, version));
        harness.run(std::vector<std::uint8_t>(1, version));
    }
    harness.run({});
    EXPECT_EQ(harness.loads, 0);
}

} // namespace
} // namespace qv

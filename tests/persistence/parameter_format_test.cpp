// The parameter-file format on its own: the fields of the older layouts and of format 50's
// narrow fields, which file gets which refusal, fields written and read back, and damaged files
// (cut at every length, bytes changed at random with a fixed seed, absurd counts) through every
// reading and every loader. Damaged files must be refused or read, never crash, hang or read out
// of bounds (the sanitizer build runs this too), and the loaders must apply exactly what the
// format layer accepts.
#include "base/file_io.h"
#include "persistence/parameter_files.h"
#include "persistence/parameter_format.h"
#include "tests/persistence/persistence_test_support.h"
#include "tests/support/temp_folder.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace qv {
namespace {

using test::FileBytes;
using test::format43Start;
using test::kHslBit;
using test::kStoredPalette;
using test::Program;
using test::readBytes;
using test::RefusedFile;
using test::TempFolder;
using test::withWord;
using test::writeBytes;

/// The fields of the file at `path` read in `mode`; a refusal fails the test.
FileFields fieldsOf(const std::string& path, ReadMode mode)
{
    FileFields f;
    EXPECT_EQ(readParameterFields(path, mode, f), Refusal::None) << path;
    return f;
}

/// The fields of hand-assembled bytes, read as the plain loader reads them.
FileFields fieldsOf(const TempFolder& folder, const FileBytes& bytes,
                    ReadMode mode = ReadMode::View)
{
    const std::string path = folder.file("fields");
    writeBytes(path, bytes.bytes);
    return fieldsOf(path, mode);
}

void expectSameFields(const FileFields& read, const FileFields& expected)
{
    EXPECT_EQ(read.layout, expected.layout);
    EXPECT_EQ(read.oldRow, expected.oldRow);
    EXPECT_EQ(read.version, expected.version);
    EXPECT_EQ(read.modeWord, expected.modeWord);
    EXPECT_EQ(read.deepZoom, expected.deepZoom);
    EXPECT_EQ(read.colourFlags, expected.colourFlags);
    EXPECT_EQ(read.potValue, expected.potValue);
    EXPECT_EQ(read.iterMax, expected.iterMax);
    EXPECT_EQ(read.bailout, expected.bailout);
    EXPECT_EQ(read.palette, expected.palette);
    EXPECT_EQ(read.paletteOffset, expected.paletteOffset);
    EXPECT_EQ(read.precisionBits, expected.precisionBits);
    EXPECT_EQ(read.extended, expected.extended);
    EXPECT_EQ(read.texts, expected.texts);
    EXPECT_EQ(read.textWidth, expected.textWidth);
    EXPECT_EQ(read.deep, expected.deep);
    ASSERT_EQ(read.picture.has_value(), expected.picture.has_value());
    if (read.picture) {
        EXPECT_EQ(read.picture->width, expected.picture->width);
        EXPECT_EQ(read.picture->height, expected.picture->height);
        EXPECT_EQ(read.picture->counts, expected.picture->counts);
    }
}

// --- The older layouts' fields (what loading makes of them: parameter_files_test) ---

TEST(OldLayoutFields, EveryOldLengthHasItsRow)
{
    const std::vector<std::pair<std::uint64_t, std::optional<OldRow>>> rows{
        {75, OldRow::ModeByte},   {95, OldRow::ModeByte},   {111, OldRow::ModeByte},
        {131, OldRow::ModeByte},  {115, OldRow::ModeWord},  {135, OldRow::ModeWord},
        {119, OldRow::Flags},     {139, OldRow::Flags},     {129, OldRow::Potential},
        {149, OldRow::Potential}, {133, OldRow::Potential}, {153, OldRow::Potential},
        {0, std::nullopt},        {74, std::nullopt},       {132, std::nullopt},
        {154, std::nullopt}};
    for (const auto& [length, row] : rows) {
        EXPECT_EQ(oldRowFor(length), row) << length;
    }
}

TEST(OldLayoutFields, A133ByteFileHasItsOffsetOnlyWithVersion43)
{
    TempFolder folder;
    for (const std::uint8_t version : {43, 42}) {
        const FileFields f = fieldsOf(folder, format43Start(version, 5, 4u | kHslBit).i32(777));
        EXPECT_EQ(f.layout, FileLayout::Old);
        EXPECT_EQ(f.oldRow, OldRow::Potential);
        EXPECT_EQ(f.version, version);
        EXPECT_EQ(f.paletteOffset, version == 43 ? 777 : 0);
        EXPECT_EQ(f.modeWord, 5u);
        EXPECT_EQ(f.colourFlags, 4u | kHslBit);
        EXPECT_EQ(f.palette, kStoredPalette);
        EXPECT_EQ(f.potValue, static_cast<double>(0.002L));
        EXPECT_EQ(f.iterMax, 250);
        EXPECT_EQ(f.bailout, 64.0);
        EXPECT_EQ(f.extended, (std::vector<long double>{-2.0L, 1.0L, 3.0L / 640, -1.125L, 1.125L,
                                                        2.25L / 480}));
    }
}

TEST(OldLayoutFields, AnOptionalFieldPastTheEndIsNotRead)
{
    TempFolder folder;
    const FileFields f = fieldsOf(folder, format43Start(43, 5, 4)); // 129 bytes
    EXPECT_EQ(f.paletteOffset, 0);
    EXPECT_EQ(f.palette, kStoredPalette);
    EXPECT_EQ(f.iterMax, 250);
}

TEST(OldLayoutFields, A75ByteFileHasNoPaletteAndMovesTheOldInsideBit)
{
    TempFolder folder;
    const FileBytes bytes = test::oldFile75();
    ASSERT_EQ(bytes.bytes.size(), 75u);
    const FileFields f = fieldsOf(folder, bytes);
    EXPECT_EQ(f.oldRow, OldRow::ModeByte);
    EXPECT_EQ(f.modeWord, 5u);
    EXPECT_EQ(f.colourFlags, 1u);
    EXPECT_FALSE(f.palette.has_value());
    EXPECT_EQ(f.potValue, 0.0);
    EXPECT_EQ(f.iterMax, 1000);
    EXPECT_EQ(f.bailout, 0.5);
    EXPECT_EQ(f.extended.size(), 6u);
}

TEST(OldLayoutFields, IntegerPalettesAndTheRowsWithAVersionByte)
{
    TempFolder folder;
    const PaletteParameters plusHalf{
        {9.5f, 8.5f, 7.5f}, {2.5f, 3.5f, 4.5f}, {100.5f, 110.5f, 120.5f}};
    const PaletteParameters zeroStep{{1.0f, 2.0f, 3.0f}, {0.0f, 5.0f, 6.0f}, {7.0f, 8.0f, 9.0f}};

    struct Row
    {
        FileBytes bytes;
        std::size_t length;
        OldRow row;
        std::uint8_t version;
        std::uint32_t modeWord;
        std::uint32_t flags;
        PaletteParameters palette;
    };

    const std::vector<Row> rows{
        {test::oldFile131(), 131, OldRow::ModeByte, 0, 2 | 8, 0, test::kIntegerPaletteAsFloats},
        {test::oldFile135(), 135, OldRow::ModeWord, 20, 2 | 8, 1, zeroStep},
        {test::oldFile119(30), 119, OldRow::Flags, 30, 5, 4 | kHslBit,
         test::kIntegerPaletteAsFloats},
        {test::oldFile119(31), 119, OldRow::Flags, 31, 5, 4 | kHslBit, plusHalf},
    };
    for (const Row& r : rows) {
        ASSERT_EQ(r.bytes.bytes.size(), r.length);
        const FileFields f = fieldsOf(folder, r.bytes);
        EXPECT_EQ(f.oldRow, r.row) << r.length;
        EXPECT_EQ(f.version, r.version) << r.length;
        EXPECT_EQ(f.modeWord, r.modeWord) << r.length;
        EXPECT_EQ(f.colourFlags, r.flags) << r.length;
        EXPECT_EQ(f.palette, r.palette) << r.length;
        if ((r.modeWord & 1u) == 0) {
            EXPECT_EQ(f.extended.at(4), -0.8L);      // cr
            EXPECT_EQ(f.extended.at(7), 3.0L / 640); // dx
            EXPECT_EQ(f.iterMax, 400);
            EXPECT_EQ(f.bailout, 10.0);
        }
    }
}

TEST(Format50Fields, FilesWithTheOlder500ByteFieldsAreRead)
{
    TempFolder folder;
    const FileBytes plain = test::narrowFormat50(0);
    ASSERT_EQ(plain.bytes.size(), 3077u);
    FileFields f = fieldsOf(folder, plain);
    EXPECT_EQ(f.layout, FileLayout::Format50);
    EXPECT_EQ(f.version, 50);
    EXPECT_EQ(f.textWidth, 500u);
    EXPECT_EQ(f.texts, test::kNarrowTexts);
    EXPECT_EQ(f.modeWord, 5u);
    EXPECT_EQ(f.colourFlags, 4u);
    EXPECT_EQ(f.potValue, 0.01);
    EXPECT_EQ(f.iterMax, 300);
    EXPECT_EQ(f.bailout, 8.0);
    EXPECT_EQ(f.palette, kStoredPalette);
    EXPECT_EQ(f.paletteOffset, 5);
    EXPECT_EQ(f.precisionBits, 96);
    EXPECT_FALSE(f.picture.has_value());

    f = fieldsOf(folder, test::narrowFormat50WithPicture(), ReadMode::WithPicture);
    EXPECT_EQ(f.textWidth, 500u);
    EXPECT_EQ(f.texts, test::kNarrowTexts);
    ASSERT_TRUE(f.picture.has_value());
    EXPECT_EQ(f.picture->width, 3);
    EXPECT_EQ(f.picture->height, 2);
    std::vector<std::int32_t> counts(20, 0);
    for (std::int32_t k = 0; k < 6; ++k) {
        counts[static_cast<std::size_t>(k)] = 100 + k;
    }
    EXPECT_EQ(f.picture->counts, counts);
}

// --- Which file gets which refusal (the loaders' messages: parameter_files_test) ---

/// The refusal the loader's reading gives; a deep file is refused alike when read as one.
void expectRefusal(const RefusedFile& file)
{
    FileFields f;
    const ReadMode mode = file.withImage ? ReadMode::WithPicture : ReadMode::View;
    EXPECT_EQ(readParameterFields(file.path, mode, f), file.refusal) << file.path;
    if (file.path.ends_with(".fdz")) {
        FileFields deep;
        EXPECT_EQ(readParameterFields(file.path, ReadMode::Deep, deep), file.refusal) << file.path;
    }
}

TEST(FormatRefusals, OtherLengthsAndVersionBytesAreNotParameterFiles)
{
    TempFolder folder;
    for (const RefusedFile& file : test::filesOfNoLayout(folder)) {
        expectRefusal(file);
    }
}

TEST(FormatRefusals, FilesShorterThanTheirLayout)
{
    TempFolder folder;
    for (const RefusedFile& file : test::filesShorterThanTheirLayout(folder)) {
        expectRefusal(file);
    }
}

TEST(FormatRefusals, ImpossiblePrecisionsLimbCountsAndPictureSizes)
{
    TempFolder folder;
    for (const RefusedFile& file : test::filesWithImpossibleValues(folder)) {
        expectRefusal(file);
    }
}

TEST(FormatRefusals, EachRefusalHasItsMessage)
{
    const std::vector<std::pair<Refusal, std::string_view>> messages{
        {Refusal::None, kNotParameterFile},        {Refusal::NotOurs, kNotParameterFile},
        {Refusal::ShortFile, kShortParameterFile}, {Refusal::Precision, kBadPrecision},
        {Refusal::Limbs, kBadLimbCount},           {Refusal::PictureSize, kBadPictureSize},
        {Refusal::PictureMemory, kPictureTooLarge}};
    for (const auto& [refusal, message] : messages) {
        EXPECT_EQ(messageFor(refusal), message);
    }
}

// --- Fields written and read back ---

/// Fields unlike every default: a Mandelbrot or Julia mode word, numbers in every form.
FileFields sampleFields(bool julia)
{
    FileFields f;
    f.modeWord = julia ? (2u | (1u << 12)) : (1u | (1u << 7));
    f.deepZoom = 1;
    f.colourFlags = 1u | 4u | kHslBit;
    f.potValue = 0.0123;
    f.iterMax = 4321;
    f.bailout = 77.5;
    f.palette = kStoredPalette;
    f.paletteOffset = -321;
    f.precisionBits = 160;
    const std::size_t count = storedNumberCount(f.modeWord);
    for (std::size_t k = 0; k < count; ++k) {
        const auto i = static_cast<std::int32_t>(k);
        f.extended.push_back(-1.5L + 0.3L * static_cast<long double>(k));
        f.texts.push_back("-1.2345678901234567890123e-" + std::to_string(k));
        DeepNumberImage n;
        n.precisionLimbs = limbs32ForPrecision(f.precisionBits);
        n.size = (k % 2 == 0 ? 1 : -1) * (i % 7);
        n.exponent = i - 3;
        for (std::int32_t l = 0; l < i % 7; ++l) {
            n.limbs.push_back(0x80000001u + 0x01010101u * static_cast<std::uint32_t>(l + i));
        }
        f.deep.push_back(n);
    }
    return f;
}

/// Writes with `write` to `path`; false when the writer refused.
bool written(const std::string& path, const std::function<bool(ByteWriter&)>& write)
{
    ByteWriter out;
    return write(out) && replaceFile(path, out.data());
}

/// Read for its picture's size, a with-image file gives the view, the 5 x 3 size and no
/// picture; one byte short, it is refused from its length alone.
void expectPictureSizeOnly(const std::string& path, const FileFields& view)
{
    const FileFields sized = fieldsOf(path, ReadMode::WithPictureSize);
    expectSameFields(sized, view);
    EXPECT_FALSE(sized.picture.has_value());
    EXPECT_EQ(std::make_pair(sized.pictureWidth, sized.pictureHeight), std::make_pair(5, 3));
    std::vector<std::uint8_t> bytes = test::readBytes(path);
    bytes.pop_back();
    const std::string cutPath = path + ".cut";
    test::writeBytes(cutPath, bytes);
    FileFields cut;
    EXPECT_EQ(readParameterFields(cutPath, ReadMode::WithPictureSize, cut), Refusal::ShortFile);
}

TEST(FieldsRoundTrip, EveryLayoutReadsBackTheFieldsItWrote)
{
    TempFolder folder;
    const std::string path = folder.file("roundtrip");
    IterationBuffer picture;
    picture.allocate(5, 3);
    for (std::size_t k = 0; k < 15; ++k) {
        picture.counts[k] = static_cast<std::int32_t>(k * 1000) - 7000;
    }
    for (const bool julia : {false, true}) {
        const FileFields sample = sampleFields(julia);
        // What each layout keeps of the sample; the writers set the version bytes.
        FileFields standard = sample;
        standard.layout = FileLayout::Old;
        standard.oldRow = OldRow::Potential;
        standard.version = kStandardFormat;
        standard.deepZoom = 0;
        standard.precisionBits = 0;
        standard.texts.clear();
        standard.deep.clear();
        FileFields texts = sample;
        texts.layout = FileLayout::Format50;
        texts.version = kImageFormat;
        texts.textWidth = kImageTextField;
        texts.extended.clear();
        texts.deep.clear();
        FileFields deep = sample;
        deep.layout = FileLayout::Format55;
        deep.version = kDeepFormat;
        deep.extended.clear();
        deep.texts.clear();
        FileFields textsPicture = texts;
        textsPicture.picture = picture;
        FileFields deepPicture = deep;
        deepPicture.picture = picture;

        ASSERT_TRUE(written(path, [&](ByteWriter& out) {
            writeStandardFile(out, sample);
            return true;
        }));
        expectSameFields(fieldsOf(path, ReadMode::View), standard);
        ASSERT_TRUE(written(path, [&](ByteWriter& out) {
            writeDeepFile(out, sample);
            return true;
        }));
        expectSameFields(fieldsOf(path, ReadMode::View), deep);
        expectSameFields(fieldsOf(path, ReadMode::Deep), deep);
        ASSERT_TRUE(written(path, [&](ByteWriter& out) {
            return writeStandardFileWithImage(out, sample, picture);
        }));
        expectSameFields(fieldsOf(path, ReadMode::WithPicture), textsPicture);
        expectSameFields(fieldsOf(path, ReadMode::View), texts);
        expectPictureSizeOnly(path, texts);
        ASSERT_TRUE(written(
            path, [&](ByteWriter& out) { return writeDeepFileWithImage(out, sample, picture); }));
        expectSameFields(fieldsOf(path, ReadMode::WithPicture), deepPicture);
        expectPictureSizeOnly(path, deep);
        // Read without it, the numbers are found past the picture.
        expectSameFields(fieldsOf(path, ReadMode::View), deep);
        expectSameFields(fieldsOf(path, ReadMode::Deep), deep);
    }
}

TEST(FieldsRoundTrip, APictureOfImpossibleSizeIsNotWritten)
{
    const FileFields sample = sampleFields(false);
    for (const auto& [width, height] : std::vector<std::pair<std::int32_t, std::int32_t>>{
             {0, 3}, {3, 0}, {kMaxStoredSide + 1, 1}, {-2, 4}}) {
        IterationBuffer picture;
        picture.width = width;
        picture.height = height;
        ByteWriter out;
        EXPECT_FALSE(writeStandardFileWithImage(out, sample, picture)) << width << "x" << height;
        EXPECT_FALSE(writeDeepFileWithImage(out, sample, picture)) << width << "x" << height;
    }
    // Arrays shorter than the size claims.
    IterationBuffer picture;
    picture.allocate(4, 4);
    picture.width = 5;
    ByteWriter out;
    EXPECT_FALSE(writeStandardFileWithImage(out, sample, picture));
}

TEST(FieldsRoundTrip, ReadingTouchesNoProgramStateAndGivesTheSameFieldsAgain)
{
    TempFolder folder;
    Program saved;
    test::deepJulia(saved);
    test::smallPicture(saved.app, 4, 3);
    std::vector<std::string> paths;
    for (const char* name : {"j.fra", "j.fdz", "j.fpi", "j.fpz"}) {
        paths.push_back(folder.file(name));
    }
    ASSERT_TRUE(saveStandardFile(saved.app, saved.pictures, paths[0]));
    ASSERT_TRUE(saveDeepFile(saved.app, saved.pictures, paths[1]));
    ASSERT_TRUE(
        saveStandardFileWithImage(saved.app, saved.shell.observer, saved.pictures, paths[2]));
    ASSERT_TRUE(saveDeepFileWithImage(saved.app, saved.pictures, paths[3]));

    Program p;
    test::shallowView(p);
    p.shell.observer.shown.clear();
    const test::Snapshot before(p.app);
    const AppState& app = p.app;
    for (const std::string& path : paths) {
        for (const ReadMode mode : {ReadMode::View, ReadMode::WithPicture,
                                    ReadMode::WithPictureSize, ReadMode::Deep, ReadMode::Header}) {
            FileFields first;
            FileFields second;
            const Refusal refusal = readParameterFields(path, mode, first);
            ASSERT_EQ(readParameterFields(path, mode, second), refusal) << path;
            if (refusal == Refusal::None) {
                expectSameFields(second, first);
            }
        }
    }
    EXPECT_TRUE(test::Snapshot(p.app) == before);
    EXPECT_EQ(app.settings.colourFlags, 1u | 4u);
    EXPECT_TRUE(app.shell.lastFilePath.empty());
    EXPECT_TRUE(p.shell.observer.shown.empty());
    EXPECT_TRUE(p.shell.prompts.asked().empty());
}

// --- Damaged files ---

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

/// Reads one file through the format layer in every mode, and through the three loaders and
/// the header reader, which must accept exactly what the format layer accepts and show the
/// message of what it refuses. The program is started afresh when a load left a precision
/// that would make every later load slow.
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
    /// for which lengths the loaders run besides the format layer and the header reader.
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
    Refusal refusalIn(ReadMode mode)
    {
        FileFields fields;
        return readParameterFields(m_path, mode, fields);
    }

    void readAll(std::uint8_t version, bool withLoaders)
    {
        const Refusal view = refusalIn(ReadMode::View);
        const Refusal withPicture = refusalIn(ReadMode::WithPicture);
        const Refusal deep = refusalIn(ReadMode::Deep);
        ParameterHeader header;
        EXPECT_EQ(readParameterHeader(m_path, m_shellState, header),
                  refusalIn(ReadMode::Header) == Refusal::None);
        if (!withLoaders) {
            return;
        }
        load(view, [&](Program& p) { return loadParameterFile(p.app, p.shell.services, m_path); });
        load(withPicture, [&](Program& p) {
            return loadParameterFileWithImage(p.app, p.shell.services, m_path);
        });
        if (version == 55) {
            load(deep, [&](Program& p) { return loadDeepFile(p.app, p.shell.services, m_path); });
        }
    }

    template <typename Load> void load(Refusal expected, Load&& loader)
    {
        if (!m_program) {
            m_program = std::make_unique<Program>();
        }
        const bool loaded = loader(*m_program);
        EXPECT_EQ(loaded, expected == Refusal::None);
        const auto& asked = m_program->shell.prompts.asked();
        if (!loaded) {
            ASSERT_FALSE(asked.empty());
            EXPECT_EQ(asked.back().text, messageFor(expected));
        } else {
            ++loads;
        }
        // What was shown is of no interest here; keep the records small.
        m_program->shell.observer.shown.clear();
        if (m_program->app.view.precisionBits > 4096 || asked.size() > 1000) {
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
        // and a sample of the rest; the format layer and the header reader see every length.
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
        harness.run(withWord(withWord(seed.bytes, size, 16384), size + 4, 16384));
    }
    for (const auto& [at, values] : fields) {
        for (const std::uint32_t v : *values) {
            harness.run(withWord(seed.bytes, at, v));
        }
    }
    if (seed.name == "m.fpi") {
        // Format 50 in deep zoom with an impossible precision.
        harness.run(withWord(withWord(seed.bytes, 5, 1), size - 4, 0xFFFFFFFFu));
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

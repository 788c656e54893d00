// Every file of the hostile corpus through the picture loader and the whole job: each one loads at its
// upright size with usable pixels and shrinks into a JPEG, or fails with the error its row in EXPECTED.tsv
// names; none crashes, takes over 5 s or 1 GB, and a failure leaves the loader able to read the next.
// Files too large to commit are made here, from a table, and go through the same checks.

#include "core/picture.h"
#include "core/resize_file.h"
#include "core/unique_fd.h"
#include "tests/support/HostileCorpus.h"
#include "tests/support/PeakMemory.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>
#include <fcntl.h>
#include <unistd.h>

namespace hostile {
// Failures name the file rather than dumping the row's bytes.
void PrintTo(const Row& row, std::ostream* os) { *os << row.file; }
}  // namespace hostile

namespace {

const std::filesystem::path kCorpus = hostile::Folder();

constexpr auto kTimeLimit = std::chrono::seconds(5);
constexpr long kMemoryLimitKiB = 1024L * 1024;

using hostile::Outcome;
using hostile::ReadExpected;
using hostile::Row;

QString PathOf(const std::string& file) { return QString::fromStdString((kCorpus / file).string()); }

// The marker's regions, away from their edges so that JPEG ringing does not matter.
void ExpectUprightMarker(const QImage& image) {
    const auto near = [&](int x, int y, QColor want) {
        const QColor got = image.pixelColor(x, y);
        const bool close = std::abs(got.red() - want.red()) < 60 &&
                           std::abs(got.green() - want.green()) < 60 &&
                           std::abs(got.blue() - want.blue()) < 60;
        EXPECT_TRUE(close) << "at " << x << "," << y << ": " << got.name().toStdString() << " instead of "
                           << want.name().toStdString();
    };
    near(4, 4, Qt::red);      // top left: the L's upright bar
    near(55, 4, Qt::blue);    // top right: the block
    near(4, 35, Qt::red);     // bottom left: the L's corner
    near(55, 35, Qt::red);    // bottom right: the L's foot
    near(30, 12, Qt::white);  // between them
}

void ExpectUsablePicture(const core::Picture& picture, const Row& row) {
    ASSERT_EQ(picture.size(), QSize(row.width, row.height));

    const core::Result<QImage> smallOne = picture.pixels(QSize(64, 64));
    ASSERT_TRUE(smallOne.ok()) << smallOne.error().detail.toStdString();
    const QImage& small = *smallOne;
    EXPECT_GE(small.width(), std::min(64, row.width));
    EXPECT_GE(small.height(), std::min(64, row.height));
    EXPECT_LE(small.width(), row.width);
    EXPECT_LE(small.height(), row.height);

    const core::Result<QImage> fullOne = picture.pixels();
    ASSERT_TRUE(fullOne.ok()) << fullOne.error().detail.toStdString();
    const QImage& full = *fullOne;
    EXPECT_EQ(full.size(), QSize(row.width, row.height));
    if (row.upright) ExpectUprightMarker(full);
}

// No cause wanted: any of the loader's refusals of a picture.
void ExpectCleanFailure(const core::Error& error, std::optional<core::Cause> wanted) {
    if (wanted) {
        EXPECT_EQ(error.cause, *wanted);
    } else {
        EXPECT_TRUE(error.cause == core::Cause::Damaged || error.cause == core::Cause::TooCostly ||
                    error.cause == core::Cause::TooLarge)
            << core::CauseName(error.cause);
    }
    EXPECT_FALSE(error.detail.isEmpty());
    EXPECT_FALSE(error.detail.contains(QLatin1String(" 0 KB"))) << error.detail.toStdString();
    // No state left behind: the next good picture loads as usual.
    const core::Result<core::Picture> good = core::LoadPicture(PathOf("good-gradient.jpg"));
    EXPECT_TRUE(good.ok() && good->size() == QSize(200, 150));
}

// Loads path as row says it must load, then the whole job on it, within the time and memory limits.
void ExpectOutcome(const QString& path, const Row& row) {
    const bool ownPeak = testmem::ResetPeakMemory();
    const auto start = std::chrono::steady_clock::now();

    const core::Result<core::Picture> picture = core::LoadPicture(path);
    if (!picture) {
        if (row.outcome == Outcome::Ok) {
            ADD_FAILURE() << core::CauseName(picture.error().cause) << ": "
                          << picture.error().detail.toStdString();
        } else {
            ExpectCleanFailure(picture.error(),
                               row.outcome == Outcome::Either ? core::Cause::Damaged : row.error);
        }
    } else if (row.outcome == Outcome::Error) {
        ADD_FAILURE() << "loaded a file that must be refused";
    } else {
        ExpectUsablePicture(*picture, row);
        // And the whole job, as a batch runs it.
        QTemporaryDir out;
        const core::UniqueFd folder(
            ::open(QFile::encodeName(out.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const core::Result<core::Resized> done = core::ResizeFile(
            QFile::encodeName(path), folder.get(), "result.jpg", {QSize(400, 400), 90, false, nullptr}, {});
        EXPECT_TRUE(done.ok()) << (done ? "" : done.error().detail.toStdString());
    }

    EXPECT_LT(std::chrono::steady_clock::now() - start, kTimeLimit);
    EXPECT_LT(ownPeak ? testmem::PeakMemorySinceResetKiB() : testmem::PeakMemoryKiB(), kMemoryLimitKiB);
}

class HostileFile : public ::testing::TestWithParam<Row> {};

TEST_P(HostileFile, LoadsUprightOrFailsCleanly) { ExpectOutcome(PathOf(GetParam().file), GetParam()); }

std::string Identifier(std::string name) {
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) { return Identifier(info.param.file); }

INSTANTIATE_TEST_SUITE_P(Corpus, HostileFile, ::testing::ValuesIn(ReadExpected()), RowName);

// Files too large to commit: their bytes, made on the spot, and whether a hole follows them up to 1 GiB,
// the most the loader reads (a sparse file that costs nothing on disk).
struct Generated {
    std::string file;
    std::function<QByteArray()> bytes;
    bool sparse = false;
    Row row;
};

class GeneratedHostileFile : public ::testing::TestWithParam<Generated> {};

TEST_P(GeneratedHostileFile, LoadsOrFailsCleanly) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QString::fromStdString(GetParam().file));
    ASSERT_FALSE(testfiles::WriteBytes(path, GetParam().bytes()).isNull());
    if (GetParam().sparse) {
        ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), core::kMaxPictureFileBytes), 0);
    }
    ExpectOutcome(path, GetParam().row);
}

const Generated kGenerated[] = {
    {"png-1000000-empty-text-chunks.png",
     [] {
         // Each chunk 12 bytes: length, kind, checksum.
         const QByteArray png = testfiles::ReadBytes(PathOf("one-pixel.png"));
         const QByteArray chunk = QByteArray::fromHex("00000000") + "tEXt" + QByteArray::fromHex("9642c585");
         return png.first(33) + chunk.repeated(1'000'000) + png.mid(33);
     },
     false,
     {.file = {}, .outcome = Outcome::Ok, .width = 1, .height = 1}},
    {"sparse-1gb-jpeg-signature.jpg",
     [] { return QByteArray::fromHex("ffd8ffe0"); },
     true,
     {.file = {}, .outcome = Outcome::Error, .error = core::Cause::Damaged}},
    {"sparse-1gb-after-a-good-jpeg-header.jpg",
     [] { return testfiles::ReadBytes(PathOf("good-gradient.jpg")).first(2000); },
     true,
     {.file = {}, .outcome = Outcome::Error, .error = core::Cause::Damaged}},
};

void PrintTo(const Generated& generated, std::ostream* os) { *os << generated.file; }

std::string GeneratedName(const ::testing::TestParamInfo<Generated>& info) { return Identifier(info.param.file); }

INSTANTIATE_TEST_SUITE_P(Made, GeneratedHostileFile, ::testing::ValuesIn(kGenerated), GeneratedName);

// The corpus and its list of outcomes stay in step, so that no file goes untested.
TEST(HostileCorpus, EveryFileHasAnOutcome) {
    std::set<std::string> listed, present;
    for (const Row& row : ReadExpected()) {
        if (row.error != core::Cause::NotFound) listed.insert(row.file);
    }
    for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
        const std::string name = entry.path().filename().string();
        if (name != "EXPECTED.tsv" && name != "make_corpus.sh") present.insert(name);
    }
    EXPECT_EQ(listed, present);
    EXPECT_GE(listed.size(), 50u);
}

}  // namespace

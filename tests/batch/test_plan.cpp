// Planning results in the format asked: each result's name follows its format, two originals that would
// share a result are caught, and an earlier run's results in any format are not taken for pictures.

#include "batch/plan.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <optional>

namespace {

using core::OutputFormat;

struct NamingCase {
    const char* name;
    std::optional<OutputFormat> format;  // none: "same"
    QStringList originals;
    QStringList planned;  // "result" for a write, "!" and the original for a failure, in the plan's order
};

class ResultNames : public ::testing::TestWithParam<NamingCase> {};

}  // namespace

TEST_P(ResultNames, FollowTheFormat) {
    const NamingCase& c = GetParam();
    QTemporaryDir dir;
    for (const QString& name : c.originals) testfiles::WriteBytes(dir.filePath(name), "x");
    batch::Options options;
    options.box = QSize(10, 10);
    options.format = c.format;
    options.paths = {dir.path()};
    QStringList planned;
    for (const batch::Job& job : batch::Plan(options))
        planned << (job.kind == batch::Job::Kind::Write ? QString::fromUtf8(job.outputName) : "!" + QString::fromUtf8(job.inputPath).section('/', -1));
    EXPECT_EQ(planned, c.planned);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ResultNames,
    ::testing::Values(
        NamingCase{"jpeg_by_default", OutputFormat::Jpeg, {"a.png", "b.bmp"}, {"a_kucuk.jpg", "b_kucuk.jpg"}},
        NamingCase{"png", OutputFormat::Png, {"b.bmp", "c.JPG"}, {"b_kucuk.png", "c_kucuk.png"}},
        NamingCase{"webp", OutputFormat::Webp, {"d.gif"}, {"d_kucuk.webp"}},
        // a.jpg and a.png both want a_kucuk.png: the second one fails.
        NamingCase{"png_collision", OutputFormat::Png, {"a.jpg", "a.png"}, {"a_kucuk.png", "!a.png"}},
        NamingCase{"same", std::nullopt, {"a.PNG", "b.gif", "c.jpeg"}, {"a_kucuk.png", "b_kucuk.jpg", "c_kucuk.jpg"}},
        // A PNG result of an earlier run beside its original is no picture to shrink again.
        NamingCase{"earlier_png_result", OutputFormat::Jpeg, {"e.jpg", "e_kucuk.png"}, {"e_kucuk.jpg"}}),
    [](const auto& info) { return std::string(info.param.name); });

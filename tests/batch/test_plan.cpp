// Result names follow the format asked; two originals that would share a result are caught, and an
// earlier run's result in another format is skipped, not shrunk again.
#include "batch/plan.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QFileInfo>
#include <QTemporaryDir>

TEST(Plan, ResultNamesFollowTheFormat) {
    using F = core::OutputFormat;
    const struct {
        std::optional<F> format;  // none: "same"
        QStringList originals;
        QStringList planned;  // a write's result, or "!" and the original's name for a skip or a failure
    } cases[] = {
        {F::Png, {"b.bmp", "c.JPG"}, {"b_kucuk.png", "c_kucuk.png"}},
        {F::Webp, {"d.gif"}, {"d_kucuk.webp"}},
        {F::Png, {"a.jpg", "a.png"}, {"a_kucuk.png", "!a.png"}},
        {std::nullopt, {"a.PNG", "b.gif", "c.jpeg"}, {"a_kucuk.png", "b_kucuk.jpg", "c_kucuk.jpg"}},
        {F::Jpeg, {"e.jpg", "e_kucuk.png"}, {"e_kucuk.jpg", "!e_kucuk.png"}},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        for (const QString& name : c.originals) testfiles::WriteBytes(dir.filePath(name), "x");
        batch::Options options;
        options.box = QSize(10, 10);
        options.format = c.format;
        options.paths = {dir.path()};
        QStringList planned;
        for (const batch::Job& job : batch::Plan(options))
            planned << (job.kind == batch::Job::Kind::Write ? QString::fromUtf8(job.outputName)
                                                            : "!" + QFileInfo(job.input).fileName());
        EXPECT_EQ(planned, c.planned) << c.originals.join(' ').toStdString();
    }
}

// Result names follow the format asked; two originals that would share a result are caught, and an
// earlier run's result in another format is skipped, not shrunk again.
#include "batch/plan.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QFile>
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

// Files named one by one follow a folder walk's rule for earlier results, and a window's list may leave
// pictures out or mark them written by a stopped run.
TEST(Plan, NamedFilesAndTheWindowsList) {
    const struct {
        const char* what;
        QStringList onDisk, named;
        QStringList leftOut, writtenBefore;
        QStringList planned;  // as above; "=" and the name for an earlier result
        int originals;
    } cases[] = {
        {"both named", {"x.jpg", "x_kucuk.jpg"}, {"x.jpg", "x_kucuk.jpg"}, {}, {}, {"x_kucuk.jpg", "=x_kucuk.jpg"}, 1},
        {"the result named alone", {"x.jpg", "x_kucuk.jpg"}, {"x_kucuk.jpg"}, {}, {}, {"=x_kucuk.jpg"}, 0},
        {"a result of a result", {"x.jpg", "x_kucuk.webp", "x_kucuk_kucuk.jpg"}, {"x_kucuk_kucuk.jpg"}, {}, {},
         {"=x_kucuk_kucuk.jpg"}, 0},
        {"no original beside it", {"ev_kucuk.jpg"}, {"ev_kucuk.jpg"}, {}, {}, {"ev_kucuk_kucuk.jpg"}, 1},
        {"taken out of the list", {"a.jpg", "b.jpg"}, {"a.jpg", "b.jpg"}, {"a.jpg"}, {}, {"b_kucuk.jpg"}, 1},
        {"written by the run before", {"a.jpg", "b.jpg"}, {"a.jpg", "b.jpg"}, {}, {"a.jpg"}, {"!a.jpg", "b_kucuk.jpg"}, 2},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        for (const QString& name : c.onDisk) testfiles::WriteBytes(dir.filePath(name), "x");
        batch::Options options;
        options.box = QSize(10, 10);
        options.overwrite = true;
        for (const QString& name : c.named) options.paths << dir.filePath(name);
        for (const QString& name : c.leftOut) options.leftOut.insert(QFile::encodeName(dir.filePath(name)));
        for (const QString& name : c.writtenBefore) options.writtenBefore.insert(QFile::encodeName(dir.filePath(name)));
        const std::vector<batch::Job> jobs = batch::Plan(options);
        QStringList planned;
        for (const batch::Job& job : jobs)
            planned << (job.earlierResult                      ? "=" + QFileInfo(job.input).fileName()
                        : job.kind == batch::Job::Kind::Write ? QString::fromUtf8(job.outputName)
                                                              : "!" + QFileInfo(job.input).fileName());
        EXPECT_EQ(planned, c.planned) << c.what;
        EXPECT_EQ(batch::Count(jobs).originals, c.originals) << c.what;
    }
}

// The command line as a user runs it on a folder of photos: results that fit the box and stand upright,
// originals never written, a second run that writes nothing, --overwrite, the tree under --output, a
// refused result that would be an original, metadata kept from PNG and TIFF or that cannot be kept, an
// animation's first frame, the sizes, file sizes and format asked for, the help as the README shows it,
// and wrong usage.
#include "tests/support/HeifWriter.h"
#include "tests/support/QtTests.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPictures.h"

#include <unistd.h>
#include <zlib.h>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <map>

namespace {

const QString kData = QStringLiteral(TORV_TEST_DATA);

struct Run {
    int status = -1;
    QString errors;
};

Run RunProgram(const QStringList& arguments, const QString& executable = QStringLiteral(TORV_EXECUTABLE),
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::SeparateChannels);
    program.start(executable, arguments);
    if (!program.waitForFinished(60000)) return {};
    return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            QString::fromLocal8Bit(program.readAllStandardError())};
}

// Every file below a folder with a digest of its bytes.
std::map<QString, QByteArray> Snapshot(const QString& folder) {
    std::map<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[QDir(folder).relativeFilePath(path)] =
            QCryptographicHash::hash(testfiles::ReadBytes(path), QCryptographicHash::Sha1);
    }
    return files;
}

// The upright marker's four quarters: red, lime / blue, white.
bool Upright(const QImage& image) {
    const auto near = [&](double fx, double fy, QRgb want) {
        const QRgb got = image.pixel(int(fx * image.width()), int(fy * image.height()));
        return qAbs(qRed(got) - qRed(want)) < 40 && qAbs(qGreen(got) - qGreen(want)) < 40 &&
               qAbs(qBlue(got) - qBlue(want)) < 40;
    };
    return near(0.25, 0.25, qRgb(255, 0, 0)) && near(0.75, 0.25, qRgb(0, 255, 0)) &&
           near(0.25, 0.75, qRgb(0, 0, 255)) && near(0.75, 0.75, qRgb(255, 255, 255));
}

// A TIFF file or block, little-endian, with Make, DateTime and a GPS latitude added to its first directory,
// which is written anew at the end; the old entries keep their values where they are.
QByteArray WithCameraTags(QByteArray tiff) {
    const auto u16 = [&](qsizetype at) { return quint32(uchar(tiff[at]) | uchar(tiff[at + 1]) << 8); };
    const auto le = [](quint32 v, int bytes) {
        QByteArray out;
        for (int i = 0; i < bytes; ++i) out += char(v >> 8 * i);
        return out;
    };
    const auto entry = [&](quint32 tag, quint32 type, quint32 count, quint32 value) {
        return le(tag, 2) + le(type, 2) + le(count, 4) + le(value, 4);
    };
    const auto put = [&](const QByteArray& bytes) {
        const quint32 at = quint32(tiff.size());
        tiff += bytes;
        if (tiff.size() % 2) tiff += '\0';
        return at;
    };
    const quint32 first = u16(4) | u16(6) << 16;
    std::map<quint32, QByteArray> entries;
    for (quint32 i = 0; i < u16(first); ++i)
        entries[u16(first + 2 + 12 * i)] = tiff.mid(first + 2 + 12 * i, 12);
    const quint32 latitude = put(QByteArray(24, '\x07'));
    entries[0x010F] = entry(0x010F, 2, 5, put(QByteArray("Torv\0", 5)));
    entries[0x0132] = entry(0x0132, 2, 20, put(QByteArray("2026:12:07 10:11:12\0", 20)));
    entries[0x8825] = entry(0x8825, 4, 1, put(le(1, 2) + entry(0x0002, 5, 3, latitude) + le(0, 4)));
    QByteArray directory = le(quint32(entries.size()), 2);
    for (const auto& [tag, bytes] : entries) directory += bytes;
    tiff.replace(4, 4, le(put(directory + le(0, 4)), 4));
    return tiff;
}

QByteArray PngChunk(const char* kind, const QByteArray& data) {
    const QByteArray body = kind + data;
    const auto be = [](quint32 v) {
        const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        return QByteArray(bytes, 4);
    };
    return be(quint32(data.size())) + body +
           be(quint32(::crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))));
}

}  // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString photos_;

    QString Photos(const QString& name = {}) const { return name.isEmpty() ? photos_ : photos_ + '/' + name; }

private slots:
    void init() {
        photos_ = dir_.filePath(QStringLiteral("Tatil"));
        QDir(photos_).removeRecursively();
        QVERIFY(QDir().mkpath(Photos("Gün 2")));
        for (const char* n : {"1", "6", "8"})
            QVERIFY(QFile::copy(kData + QStringLiteral("/orient_%1.jpg").arg(n), Photos(QStringLiteral("yön-%1.jpg").arg(n))));
        QVERIFY(QFile::copy(kData + "/orient_6.jpg", Photos(QStringLiteral("İstanbul gezisi ğüşıöç.jpg"))));
        QVERIFY(QFile::copy(kData + "/upright.png", Photos("Deniz.PNG")));
        QVERIFY(QFile::copy(kData + "/orient_8.jpg", Photos("Gün 2/akşam.jpeg")));
        testfiles::WriteBytes(Photos("bozuk.jpg"), "bu bir resim değil");
    }

    void shrinksAFolderUprightAndNeverWritesAnOriginal() {
        const auto originals = Snapshot(photos_);
        const Run run = RunProgram({"--box", "24x24", photos_});
        QCOMPARE(run.status, 1);  // the damaged file
        QVERIFY2(run.errors.contains(Photos("bozuk.jpg") + ": not a picture"), qPrintable(run.errors));
        QVERIFY2(run.errors.contains("6 pictures: 5 written, 0 skipped, 1 failed"), qPrintable(run.errors));
        for (const QString& result : {QStringLiteral("yön-1_kucuk.jpg"), QStringLiteral("yön-6_kucuk.jpg"),
                                      QStringLiteral("yön-8_kucuk.jpg"), QStringLiteral("İstanbul gezisi ğüşıöç_kucuk.jpg"),
                                      QStringLiteral("Deniz_kucuk.jpg")}) {
            const QImage image = testpics::DecodeJpeg(Photos(result));
            QCOMPARE(image.size(), QSize(24, 16));
            QVERIFY2(Upright(image), qPrintable(result));
        }
        QVERIFY(!QFile::exists(Photos("Gün 2/akşam_kucuk.jpg")));  // not walked without --recursive
        for (const auto& [name, digest] : originals) QCOMPARE(Snapshot(photos_).at(name), digest);

        // A second run skips everything and writes nothing.
        const auto afterFirst = Snapshot(photos_);
        const Run again = RunProgram({"-b", "24x24", photos_});
        QVERIFY2(again.errors.contains("11 pictures: 0 written, 10 skipped, 1 failed"), qPrintable(again.errors));
        QVERIFY(again.errors.contains(Photos("yön-1.jpg") + ": exists (use --overwrite)"));
        QVERIFY(again.errors.contains(Photos("yön-1_kucuk.jpg") + ": taken for a result of an earlier run"));
        QCOMPARE(Snapshot(photos_), afterFirst);

        // --overwrite replaces the results, and only them.
        QVERIFY(RunProgram({"-b", "12x12", "--overwrite", "-q", "50", photos_}).errors.contains("5 written"));
        QCOMPARE(QImageReader(Photos("yön-6_kucuk.jpg")).size(), QSize(12, 8));
        for (const auto& [name, digest] : originals) QCOMPARE(Snapshot(photos_).at(name), digest);
    }

    void keepsTheTreeUnderTheOutputFolder() {
        const QString out = dir_.filePath(QStringLiteral("küçük"));
        const Run run = RunProgram({"-r", "-b", "30x30", "-o", out, "-s", "", "-j", "2", photos_});
        QCOMPARE(run.status, 1);
        QCOMPARE(QImageReader(out + "/Gün 2/akşam.jpg").size(), QSize(30, 20));
        QVERIFY(Upright(testpics::DecodeJpeg(out + "/Gün 2/akşam.jpg")));
        QCOMPARE(QImageReader(out + "/Deniz.jpg").size(), QSize(30, 20));
        QVERIFY(!QFile::exists(Photos("Deniz_kucuk.jpg")));
    }

    void refusesAResultThatWouldBeAnOriginal() {
        // Deniz.PNG's result would be the file given as a second picture, under another name.
        QVERIFY(QFile::copy(kData + "/orient_1.jpg", Photos("başka.jpg")));
        QCOMPARE(::link(QFile::encodeName(Photos("başka.jpg")).constData(),
                        QFile::encodeName(Photos("Deniz_kucuk.jpg")).constData()), 0);
        const QByteArray original = testfiles::ReadBytes(Photos("Deniz_kucuk.jpg"));
        const Run run = RunProgram({"-b", "24x24", Photos("Deniz.PNG"), Photos("başka.jpg")});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.errors.contains(Photos("Deniz.PNG") + ": would overwrite the original"), qPrintable(run.errors));
        QCOMPARE(testfiles::ReadBytes(Photos("Deniz_kucuk.jpg")), original);
    }

    void writesWithoutMetadataItCannotKeepAndSaysSo() {
        // A photo whose Make fits its own Exif segment but not beside the Orientation a copy adds.
        QByteArray tiff("II\x2A\0\x08\0\0\0\x01\0\x0F\x01\x02\0\xD2\xFF\0\0\x1A\0\0\0\0\0\0\0", 26);
        tiff += QByteArray(0xFFD2, 'T');
        const QByteArray app1 = QByteArray::fromHex("ffe1fff4") + QByteArray("Exif\0\0", 6) + tiff;
        const QByteArray photo = testfiles::ReadBytes(kData + "/orient_1.jpg");
        testfiles::WriteBytes(Photos("etiketli.jpg"), photo.first(2) + app1 + photo.mid(2));
        const Run run = RunProgram({"-b", "24x24", "--keep-metadata", Photos("etiketli.jpg")});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.errors.contains(Photos("etiketli.jpg") + ": written without metadata: Exif block too large"),
                 qPrintable(run.errors));
        QCOMPARE(QImageReader(Photos("etiketli_kucuk.jpg")).size(), QSize(24, 16));
    }

    void keepsTheMetadataOfPngAndTiff() {
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(Photos("kamera.tif"), "TIFF"));
        const QByteArray tiff = testfiles::ReadBytes(Photos("kamera.tif"));
        QVERIFY(tiff.startsWith("II"));
        testfiles::WriteBytes(Photos("kamera.tif"), WithCameraTags(tiff));
        const QByteArray png = testfiles::ReadBytes(kData + "/upright.png");
        const QByteArray block = WithCameraTags(QByteArray("II\x2A\0\x08\0\0\0\0\0\0\0\0\0", 14));
        testfiles::WriteBytes(Photos("telefon.png"), png.first(33) + PngChunk("eXIf", block) + png.mid(33));

        const Run run =
            RunProgram({"-b", "24x24", "--keep-metadata", Photos("kamera.tif"), Photos("telefon.png")});
        QVERIFY2(run.status == 0 && run.errors.contains("2 written"), qPrintable(run.errors));
        for (const char* result : {"kamera_kucuk.jpg", "telefon_kucuk.jpg"}) {
            const QByteArray jpeg = testfiles::ReadBytes(Photos(result));
            QVERIFY2(jpeg.contains(QByteArray("Exif\0\0", 6)) && jpeg.contains(QByteArray("Torv\0", 5)) &&
                         jpeg.contains("2026:12:07 10:11:12"),
                     result);
            QVERIFY2(!jpeg.contains(QByteArray(24, '\x07')), result);  // never where
        }
    }

    void saysThatAnAnimationGaveItsFirstFrameOnly() {
        QVERIFY(QFile::copy(kData + "/hostile/animated.gif", Photos("hareketli.gif")));
        const Run run = RunProgram({"-b", "24x24", Photos("hareketli.gif")});
        QVERIFY2(run.status == 0 && run.errors.contains(Photos("hareketli.gif") +
                                                        ": animated: the first frame of 3 was used"),
                 qPrintable(run.errors));
    }

    void whatALibrarySaysGoesOnThePicturesOwnLine() {
        for (const char* name : {"tiff-lzw-codes-not-in-table.tif", "truncated-half.tif"})
            QVERIFY(QFile::copy(kData + "/hostile/" + name, Photos(name)));
        const Run run = RunProgram({"-b", "24x24", "-j", "1", Photos("tiff-lzw-codes-not-in-table.tif"),
                                    Photos("truncated-half.tif")});
        QVERIFY2(run.errors.contains(Photos("tiff-lzw-codes-not-in-table.tif") + ": ") &&
                     run.errors.contains("; libtiff: Using code not yet in table"),
                 qPrintable(run.errors));
        for (const QString& line : run.errors.split('\n', Qt::SkipEmptyParts))
            QVERIFY2(line.startsWith(Photos()) || line.contains(" pictures: "), qPrintable(line));
    }

    void theReadmeShowsTheHelpAsItIs() {
        QProcess program;
        program.start(QStringLiteral(TORV_EXECUTABLE), {"--help"});
        QVERIFY(program.waitForFinished(10000));
        const QString readme = QString::fromUtf8(testfiles::ReadBytes(kData + "/../../README.md"));
        for (const QString& line : QString::fromUtf8(program.readAllStandardOutput()).split('\n'))
            QVERIFY2(line.trimmed().isEmpty() || readme.contains(line), qPrintable(line));
    }

    void sizesAndFileSizes_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QSize>("size");   // invalid: smaller than 300 x 200
        QTest::addColumn<qint64>("most");  // bytes
        QTest::addColumn<QString>("says");
        QTest::newRow("height only") << QStringList{"--box", "x200"} << QSize(300, 200) << (qint64(1) << 40)
                                     << "1 written, 0";
        QTest::newRow("a percentage")
            << QStringList{"--scale", "12.5"} << QSize(75, 50) << (qint64(1) << 40) << "1 written, 0";
        QTest::newRow("lower quality") << QStringList{"-b", "300x", "--max-size", "20K"} << QSize(300, 200)
                                       << 20480ll << "fitted at quality";
        QTest::newRow("fewer pixels")
            << QStringList{"-b", "300x", "--max-size", "3000"} << QSize() << 3000ll << "to fit, at quality";
    }
    void sizesAndFileSizes() {
        QFETCH(QStringList, arguments);
        QFETCH(QSize, size);
        QFETCH(qint64, most);
        QFETCH(QString, says);
        const qint64 any = qint64(1) << 40;
        const Run run = RunProgram(arguments << "--overwrite"
                                             << testpics::Save(testpics::Noise(600, 400), Photos("n.jpg")));
        QVERIFY2(run.status == 0 && run.errors.contains(says), qPrintable(run.errors));
        const QSize got = QImageReader(Photos("n_kucuk.jpg")).size();
        QVERIFY(size.isValid() ? got == size : got.width() < 300);
        QVERIFY(QFileInfo(Photos("n_kucuk.jpg")).size() <= most);
        QVERIFY(most == any || run.errors.contains("1 written (1 made to fit --max-size)"));
    }

    // --format and --lossless reach the result's name and bytes.
    void writesTheFormatAsked() {
        const Run run = RunProgram({"-b", "24x24", "-f", "WEBP", "--lossless", Photos("yön-8.jpg")});
        QVERIFY2(run.status == 0, qPrintable(run.errors));
        QCOMPARE(testfiles::ReadBytes(Photos("yön-8_kucuk.webp")).mid(8, 8), QByteArray("WEBPVP8L"));
    }

    void loadsNoLibraryItMayNotNeed() {
        // The dynamic loader lists what it would map, without running the program.
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LD_TRACE_LOADED_OBJECTS"), QStringLiteral("1"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(TORV_EXECUTABLE), {});
        QVERIFY(program.waitForFinished(10000));
        const QByteArray loaded = program.readAllStandardOutput();
        QVERIFY2(loaded.contains("libQt6Core"), loaded.constData());
        for (const char* library : {"libQt6Widgets", "libQt6Network", "libheif"})
            QVERIFY2(!loaded.contains(library), loaded.constData());
    }

    void shrinksJpegsWithoutLoadingQtsImagePlugins() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_DEBUG_PLUGINS"), QStringLiteral("1"));
        const Run run =
            RunProgram({"-b", "24x24", Photos("yön-1.jpg")}, QStringLiteral(TORV_EXECUTABLE), environment);
        QCOMPARE(run.status, 0);
        QVERIFY2(!run.errors.contains("imageformats"), qPrintable(run.errors));
    }

    void aMissingWindowProgramIsSaidWithStatusOne() {
        const QString alone = dir_.filePath(QStringLiteral("alone/torv-image-resize"));
        QVERIFY(QDir().mkpath(dir_.filePath(QStringLiteral("alone"))));
        QVERIFY(QFile::copy(QStringLiteral(TORV_EXECUTABLE), alone));
        const Run run = RunProgram({}, alone);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.errors.contains("the window program is missing"), qPrintable(run.errors));
    }

    void aHeifWithoutLibheifFailsWithALineAndTheRestGoOn() {
        // An empty file where the loader looks first stands for a broken libheif.
        const QString libraries = dir_.filePath(QStringLiteral("broken"));
        QVERIFY(QDir().mkpath(libraries));
        testfiles::WriteBytes(libraries + "/libheif.so.1", {});
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        testfiles::WriteBytes(Photos("kış.heic"), testpics::EncodeHeic(picture, 1, {}));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LD_LIBRARY_PATH"), libraries);

        const Run run = RunProgram({"-b", "24x24", photos_}, QStringLiteral(TORV_EXECUTABLE), environment);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.errors.contains(Photos("kış.heic") + ": HEIF and AVIF pictures need libheif.so.1"),
                 qPrintable(run.errors));
        QVERIFY2(run.errors.contains("5 written"), qPrintable(run.errors));
    }

    void wrongUsageSaysWhyWithStatusTwo_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no box") << QStringList{"-q", "80", "x.jpg"} << "--box or --scale is required";
        QTest::newRow("bad box") << QStringList{"-b", "400", "x.jpg"} << "--box wants WIDTHxHEIGHT";
        QTest::newRow("box of no side") << QStringList{"-b", "x", "x.jpg"} << "--box wants WIDTHxHEIGHT";
        QTest::newRow("box and scale")
            << QStringList{"-b", "4x", "--scale", "50%", "x.jpg"} << "exclude each other";
        QTest::newRow("enlarging") << QStringList{"--scale", "150%", "x.jpg"} << "--scale wants";
        QTest::newRow("unknown unit")
            << QStringList{"-b", "4x4", "--max-size", "2G", "x.jpg"} << "--max-size wants";
        QTest::newRow("a fraction of a byte")
            << QStringList{"-b", "4x4", "--max-size", "1.5", "x.jpg"} << "--max-size wants";
        QTest::newRow("bad quality") << QStringList{"-b", "4x4", "-q", "0", "x.jpg"} << "--quality wants";
        QTest::newRow("unknown option") << QStringList{"-b", "4x4", "--colour", "x.jpg"} << "Unknown option";
        QTest::newRow("no paths") << QStringList{"-b", "4x4"} << "no pictures or folders";
        QTest::newRow("no suffix beside") << QStringList{"-b", "4x4", "-s", "", "x.jpg"} << "needs --output";
        QTest::newRow("bad format") << QStringList{"-b", "4x4", "-f", "gif", "x.jpg"} << "--format wants jpg, png";
        QTest::newRow("lossless JPEG") << QStringList{"-b", "4x4", "--lossless", "x.jpg"} << "--lossless is for WebP";
        QTest::newRow("batch window and box")
            << QStringList{"--batch-window", "-b", "4x4", "x.jpg"} << "--batch-window takes no other options";
    }
    void wrongUsageSaysWhyWithStatusTwo() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);
        const Run run = RunProgram(arguments);
        QCOMPARE(run.status, 2);
        QVERIFY2(run.errors.contains(reason) && run.errors.contains("--help"), qPrintable(run.errors));
    }
};

TORV_QTEST(TestCommandLine)
#include "test_CommandLine.moc"

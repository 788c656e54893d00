// The main window as it comes up: captions, texts, read-only boxes, places, fonts, tab order, and a
// resize that moves nothing.
#include "main_window/Form1.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/HScrollBar.h"
#include "platform/controls/PictureBox.h"
#include "platform/controls/PictureControl.h"
#include "tests/main_window/Form1UnderTest.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include "tests/support/QtTests.h"

#include <QTest>

class TestForm1InitialState : public QObject, private Form1UnderTest {
    Q_OBJECT
private:
private slots:
    void init() { QVERIFY(openForm()); }
    void cleanup() { form_.reset(); }

    void windowTitleAndClientSize() {
        QCOMPARE(form_->windowTitle(), QStringLiteral("Torv Image Resizer"));
        QCOMPARE(form_->size(), QSize(896, 528));
        QCOMPARE(form_->font().family(), QStringLiteral("Arial"));
        QCOMPARE(form_->font().pointSizeF(), 9.0);
    }

    void captionsExactly() {
        const std::pair<const char*, const char*> groups[] = {{"Frame1", "Resize / Küçült"},
                                                              {"Frame2", "Resim"},
                                                              {"Frame3", "Yeni Değerler"},
                                                              {"Frame4", "Dosyalar"}};
        for (const auto& [name, caption] : groups)
            QCOMPARE(control<QGroupBox>(name)->title(), QString::fromUtf8(caption));

        const std::pair<const char*, const char*> labels[] = {
            {"Label1", "Genişlik :"},  {"Label2", "Yükseklik :"}, {"Label3", "Genişlik :"},
            {"Label4", "Yükseklik :"}, {"Label5", "Genişlik :"},  {"Label6", "Yükseklik :"},
            {"Label7", "Durum :"}};
        for (const auto& [name, caption] : labels)
            QCOMPARE(control<QLabel>(name)->text(), QString::fromUtf8(caption));

        const std::pair<const char*, const char*> buttons[] = {{"Command4", "Güncelle"},
                                                               {"Command2", "1-Aç"},
                                                               {"Command3", "2-Küçült"},
                                                               {"cmdSaveStdPic", "3-Kaydet"},
                                                               {"cmdSaveQualityPic", "4-Kalite Kaydet"}};
        for (const auto& [name, caption] : buttons) {
            auto* button = control<QPushButton>(name);
            QCOMPARE(button->text(), QString::fromUtf8(caption));
            // Every caption fits its button in the font it is drawn with.
            QVERIFY2(QFontMetrics(button->font()).horizontalAdvance(button->text()) < button->width() - 8,
                     name);
        }
    }

    void textsAndReadOnlyBoxes() {
        QCOMPARE(control<QLineEdit>("Text1")->text(), QStringLiteral("400"));
        QCOMPARE(control<QLineEdit>("Text2")->text(), QStringLiteral("400"));
        QVERIFY(!control<QLineEdit>("Text1")->isReadOnly());
        QVERIFY(!control<QLineEdit>("Text2")->isReadOnly());
        for (const char* name : {"Text3", "Text4", "Text5", "Text6", "Text7"}) {
            auto* box = control<QLineEdit>(name);
            QVERIFY2(box->text().isEmpty(), name);
            QVERIFY2(box->isReadOnly(), name);
            // Typing into it changes nothing.
            box->setFocus();
            QTest::keyClicks(box, QStringLiteral("12"));
            QVERIFY2(box->text().isEmpty(), name);
        }
        auto* quality = control<QLineEdit>("txtQuality");
        QCOMPARE(quality->text(), QStringLiteral("99"));
        QVERIFY(quality->alignment() & Qt::AlignHCenter);
        QCOMPARE(control<platform::HScrollBar>("HScroll1")->value(), 99);
        QCOMPARE(control<platform::HScrollBar>("HScroll1")->maximum(), 100);
        QCOMPARE(control<platform::FileListBox>("File1")->Pattern(),
                 QStringLiteral("*.jpg;*.jpeg;*.bmp;*.gif;*.png;*.heic;*.heif;*.avif;*.webp;*.tif;*.tiff"));
    }

    void windowValuesStartEmpty() {
        for (const char* name : {"resim_genislik", "resim_yukseklik", "bizim_genislik", "bizim_yukseklik",
                                 "yeni_genislik", "yeni_yukseklik", "durum", "dosya_yolu", "sayac"})
            QVERIFY2(!form_->value(name).isValid(), name);
    }

    void fonts() {
        for (const char* name : {"Command2", "Command3", "cmdSaveStdPic", "cmdSaveQualityPic"}) {
            const QFont font = control<QPushButton>(name)->font();
            QCOMPARE(font.pointSizeF(), 9.75);
            QVERIFY2(font.bold(), name);
        }
        QCOMPARE(control<QPushButton>("Command4")->font().pointSizeF(), 9.0);
        QVERIFY(!control<QPushButton>("Command4")->font().bold());
        QCOMPARE(control<QLineEdit>("txtQuality")->font().pointSizeF(), 14.25);
        QVERIFY(control<QLineEdit>("txtQuality")->font().bold());
        QCOMPARE(control<QLineEdit>("Text3")->font().pointSizeF(), 8.25);
        QCOMPARE(control<QLineEdit>("Text4")->font().pointSizeF(), 8.25);
        QCOMPARE(control<QLineEdit>("Text5")->font().pointSizeF(), 9.0);
    }

    void geometryInPixels_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        // Twips of the stored layout divided by 15.
        QTest::newRow("Frame1") << "Frame1" << "Form1" << QRect(16, 8, 305, 49);
        QTest::newRow("Label2 in Frame1") << "Label2" << "Frame1" << QRect(112, 24, 65, 17);
        QTest::newRow("Command4 in Frame1") << "Command4" << "Frame1" << QRect(232, 16, 65, 25);
        QTest::newRow("Text1 over Frame1") << "Text1" << "Form1" << QRect(88, 32, 33, 19);
        QTest::newRow("Text7 over Frame2") << "Text7" << "Form1" << QRect(504, 30, 41, 19);
        QTest::newRow("txtQuality") << "txtQuality" << "Form1" << QRect(384, 64, 49, 33);
        QTest::newRow("HScroll1") << "HScroll1" << "Form1" << QRect(384, 96, 49, 17);
        QTest::newRow("Image2") << "Image2" << "Form1" << QRect(16, 120, 553, 337);
        QTest::newRow("Image4") << "Image4" << "Form1" << QRect(152, 168, 284, 234);
        QTest::newRow("Dir1 over Frame4") << "Dir1" << "Form1" << QRect(592, 120, 289, 108);
        QTest::newRow("File1 in Frame4") << "File1" << "Frame4" << QRect(16, 176, 289, 201);
        QTest::newRow("WebBrowser2") << "WebBrowser2" << "Form1" << QRect(432, 464, 457, 57);
        QTest::newRow("Picture2 below the client area") << "Picture2" << "Form1" << QRect(320, 568, 225, 217);
    }
    void geometryInPixels() {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        auto* widget = form_->findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->parentWidget()->objectName(), parent);
        QCOMPARE(widget->geometry(), geometry);
    }

    void controlsOverFramesLieOnTop() {
        // The text boxes over a frame must be reachable by the mouse, not hidden under the frame.
        for (const char* name : {"Text1", "Text6", "Text3", "Dir1", "Drive1"}) {
            auto* widget = form_->findChild<QWidget*>(QLatin1String(name));
            QWidget* hit = form_->childAt(widget->geometry().center());
            QVERIFY2(hit == widget || widget->isAncestorOf(hit), name);
        }
        auto* image4 = control<platform::PictureControl>("Image4");
        QCOMPARE(form_->childAt(image4->geometry().center()), image4);
    }

    // Larger, the window gives its room to the preview and the folder and file lists, and the ad panes go
    // down with its foot; back at its own size every control is where it was, and it gets no smaller.
    void aLargerWindowGivesItsRoomToThePreviewAndTheLists() {
        // The window's controls and those inside its frames; what a control holds inside follows its size.
        QHash<QWidget*, QRect> before;
        for (QWidget* widget : form_->findChildren<QWidget*>())
            if (widget->parent() == form_.get() || qobject_cast<QGroupBox*>(widget->parent())) before.insert(widget, widget->geometry());
        const QSize own = form_->size();
        QCOMPARE(form_->minimumSize(), own);
        form_->resize(own + QSize(400, 300));
        QTest::qWait(20);
        // The preview takes the width in the share it has of it beside the lists (553 of 866), the folder
        // list a third of the height, the file list the rest.
        const struct { const char* name; QPoint moved; QSize grown;
        } changes[] = {{"Image2", {0, 0}, {255, 300}},          {"Image4", {127, 150}, {0, 0}},
                       {"Frame4", {255, 0}, {145, 300}},        {"Drive1", {255, 0}, {145, 0}},
                       {"Dir1", {255, 0}, {145, 100}},          {"File1", {0, 100}, {145, 200}},
                       {"WebBrowser1", {0, 300}, {0, 0}},       {"WebBrowser2", {0, 300}, {0, 0}},
                       {"estimatedSizeLabel", {255, 0}, {0, 0}}};
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            QRect expected = it.value();
            for (const auto& change : changes)
                if (it.key()->objectName() == QLatin1String(change.name))
                    expected = QRect(expected.topLeft() + change.moved, expected.size() + change.grown);
            QVERIFY2(it.key()->geometry() == expected, qPrintable(it.key()->objectName()));
        }
        form_->resize(400, 300);
        QTest::qWait(20);
        QCOMPARE(form_->size(), own);
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QVERIFY2(it.key()->geometry() == it.value(), qPrintable(it.key()->objectName()));
    }

    void tabOrderFollowsTheStoredLayout() {
        const char* expected[] = {
            "Text1",    "Text2",    "Text3",    "Text4",      "Text5",         "Text6",
            "Text7",    "Command2", "Command3", "txtQuality", "cmdSaveStdPic", "cmdSaveQualityPic",
            "Command4", "HScroll1", "Drive1",   "Dir1",       "File1"};
        QWidget* widget = control<QLineEdit>("Text1");
        for (std::size_t i = 1; i < std::size(expected); ++i) {
            widget = widget->nextInFocusChain();
            while (widget->focusPolicy() == Qt::NoFocus || !widget->isVisibleTo(form_.get()) ||
                   widget->objectName().isEmpty())
                widget = widget->nextInFocusChain();
            QCOMPARE(widget->objectName(), QString::fromLatin1(expected[i]));
        }
        QCOMPARE(control<platform::PictureBox>("Picture1")->focusPolicy(), Qt::NoFocus);
    }

    void storedPicturesAreThere() {
        QCOMPARE(control<platform::PictureControl>("Image1")->Picture().pixelSize(), QSize(50, 50));
        QCOMPARE(control<platform::PictureControl>("Image4")->Picture().pixelSize(), QSize(284, 234));
        QVERIFY(control<platform::PictureControl>("Image2")->Picture().isEmpty());
        QCOMPARE(control<platform::PictureControl>("Image2")->PictureSizeMode(), 0);
        QVERIFY(!control<platform::PictureControl>("Image2")->AutoSize());
        QVERIFY(control<platform::PictureBox>("Picture1")->AutoSize());
        QCOMPARE(control<platform::PictureBox>("Picture2")->BackColor(), QColor(Qt::white));
        QVERIFY(!control<platform::PictureBox>("Picture2")->BorderStyle());
        QVERIFY(!form_->windowIcon().isNull());
    }
};

TORV_QTEST(TestForm1InitialState)
#include "test_Form1_InitialState.moc"

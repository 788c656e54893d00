#include "main_window/Form1.h"

#include "batch_window/BatchWindow.h"
#include "core/formats.h"
#include "main_window/LatestPictureLoader.h"
#include "main_window/SizeEstimator.h"
#include "preview/Form2.h"

#include "platform/controls/CommandButton.h"
#include "platform/controls/CommonDialog.h"
#include "platform/controls/DirListBox.h"
#include "platform/controls/DriveListBox.h"
#include "platform/controls/FadingNotice.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/HScrollBar.h"
#include "platform/controls/KeyPress.h"
#include "platform/controls/PictureBox.h"
#include "platform/controls/PictureControl.h"
#include "platform/controls/Timer.h"
#include "platform/controls/WebBrowser.h"
#include "platform/runtime.h"

#include <QGroupBox>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>
#include <QShortcut>
#include <QTimer>
#include <cstring>

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kClientWidthTwips = 13440;
constexpr int kClientHeightTwips = 7920;

int Px(int twips) { return int(platform::Round(double(twips) / kTwipsPerPixel)); }

// Creates a control, names it and places it by its twips geometry, relative to its parent.
template <class T>
T* Place(T* control, const char* name, int left, int top, int width, int height) {
    control->setObjectName(QLatin1String(name));
    control->setGeometry(Px(left), Px(top), Px(width), Px(height));
    return control;
}

QFont ArialFont(double points, bool bold = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

platform::Picture StoredPicture(const char* resource) {
    return platform::Picture::FromImage(QImage(QLatin1String(resource)));
}

}  // namespace

Form1::Form1(QString adServerBase, QWidget* parent)
    : QWidget(parent), adServerBase_(std::move(adServerBase)) {
    while (adServerBase_.endsWith(QLatin1Char('/'))) adServerBase_.chop(1);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Torv Image Resizer"));
    setWindowIcon(QIcon(QStringLiteral(":/torv/icon16.png")));
    setFont(ArialFont(9));
    resize(Px(kClientWidthTwips), Px(kClientHeightTwips));
    // Larger, the window gives the room to the preview and the lists; never smaller than its own size.
    setMinimumSize(size());
    createControls();
    const QWidget* const stretching[] = {Image2, Image4, Frame4, Drive1, Dir1, File1, WebBrowser1, WebBrowser2};
    for (const QWidget* control : stretching) ownGeometry_.insert(control, control->geometry());
    setTabOrder();
    addShortcuts();
    setAcceptDrops(true);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_B), this), &QShortcut::activated, this,
            [this] { OpenBatchWindow({File1->Path()}); });
    Form_Load();
    // Once the window is up and idle, so that start-up does not wait for it.
    QTimer::singleShot(0, this, &Form1::warmUp);
}

Form1::~Form1() = default;

void Form1::createControls() {
    auto label = [](QWidget* parent, const char* name, const QString& caption, int l, int t, int w, int h) {
        auto* control = Place(new QLabel(caption, parent), name, l, t, w, h);
        control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return control;
    };
    auto text = [this](const char* name, const QString& initial, bool readOnly, int l, int t, int w, int h) {
        auto* control = Place(new QLineEdit(initial, this), name, l, t, w, h);
        control->setReadOnly(readOnly);
        control->setTextMargins(0, 0, 0, 0);
        return control;
    };
    auto button = [](QWidget* parent, const char* name, const QString& caption, int l, int t, int w, int h) {
        return Place(new platform::CommandButton(caption, parent), name, l, t, w, h);
    };
    // The four numbered buttons of the workflow stand out; "Güncelle" keeps the window's font.
    auto numberedButton = [&](const char* name, const QString& caption, int l, int t, int w, int h) {
        auto* control = button(this, name, caption, l, t, w, h);
        control->setFont(ArialFont(9.75, true));
        return control;
    };

    // Frames first, so that the controls placed over them lie on top.
    Frame1 = Place(new QGroupBox(QStringLiteral("Resize / Küçült"), this), "Frame1", 240, 120, 4575, 735);
    Label1 = label(Frame1, "Label1", QStringLiteral("Genişlik :"), 120, 360, 855, 255);
    Label2 = label(Frame1, "Label2", QStringLiteral("Yükseklik :"), 1680, 360, 975, 255);
    Command4 = button(Frame1, "Command4", QStringLiteral("Güncelle"), 3480, 240, 975, 375);

    Frame2 = Place(new QGroupBox(QStringLiteral("Resim"), this), "Frame2", 4920, 120, 3495, 735);
    Label3 = label(Frame2, "Label3", QStringLiteral("Genişlik :"), 120, 360, 855, 255);
    Label4 = label(Frame2, "Label4", QStringLiteral("Yükseklik :"), 1680, 360, 1095, 255);

    Frame3 = Place(new QGroupBox(QStringLiteral("Yeni Değerler"), this), "Frame3", 8520, 120, 4815, 735);
    Label5 = label(Frame3, "Label5", QStringLiteral("Genişlik :"), 120, 360, 855, 255);
    Label6 = label(Frame3, "Label6", QStringLiteral("Yükseklik :"), 1560, 360, 975, 255);
    Label7 = label(Frame3, "Label7", QStringLiteral("Durum :"), 3240, 360, 735, 255);

    Frame4 = Place(new QGroupBox(QStringLiteral("Dosyalar"), this), "Frame4", 8640, 960, 4695, 5895);
    // Made with its pattern, so that a large current folder is read once rather than once per setting.
    // Every picture the program reads, in any letter case.
    File1 = Place(new platform::FileListBox(Frame4, core::PicturePatterns().join(u';')), "File1", 240, 2640,
                  4335, 3015);

    Text1 = text("Text1", QStringLiteral("400"), false, 1320, 480, 495, 285);
    Text2 = text("Text2", QStringLiteral("400"), false, 3000, 480, 495, 285);
    Text6 = text("Text6", QString(), true, 5880, 450, 615, 285);
    Text7 = text("Text7", QString(), true, 7560, 450, 615, 285);
    Text3 = text("Text3", QString(), true, 9480, 450, 495, 285);
    Text4 = text("Text4", QString(), true, 11040, 450, 495, 285);
    Text5 = text("Text5", QString(), true, 12480, 450, 375, 285);
    Text3->setFont(ArialFont(8.25));
    Text4->setFont(ArialFont(8.25));

    Image1 = Place(new platform::PictureControl(this), "Image1", 240, 960, 750, 750);
    Image1->setPicture(StoredPicture(":/torv/decoration.gif"));
    Command2 = numberedButton("Command2", QStringLiteral("1-Aç"), 1080, 960, 1575, 735);
    Command3 = numberedButton("Command3", QStringLiteral("2-Küçült"), 2760, 960, 1455, 735);
    cmdSaveStdPic = numberedButton("cmdSaveStdPic", QStringLiteral("3-Kaydet"), 4320, 960, 1335, 735);
    txtQuality = text("txtQuality", QStringLiteral("99"), true, 5760, 960, 735, 495);
    txtQuality->setAlignment(Qt::AlignCenter);
    txtQuality->setFont(ArialFont(14.25, true));
    HScroll1 = Place(new platform::HScrollBar(this), "HScroll1", 5760, 1440, 735, 255);
    HScroll1->setRange(1, 100);
    HScroll1->setSingleStep(1);
    HScroll1->setPageStep(10);
    cmdSaveQualityPic =
        numberedButton("cmdSaveQualityPic", QStringLiteral("4-Kalite Kaydet"), 6600, 960, 1935, 735);

    Image2 = Place(new platform::PictureControl(this), "Image2", 240, 1800, 8295, 5055);
    Image2->setRaisedEdge(true);
    Image2->setPictureSizeMode(platform::PictureControl::fmPictureSizeModeClip);
    Image2->setAutoSize(false);
    Image4 = Place(new platform::PictureControl(this), "Image4", 2280, 2520, 4260, 3510);
    Image4->setPicture(StoredPicture(":/torv/splash.jpg"));

    Drive1 = Place(new platform::DriveListBox(this), "Drive1", 8880, 1320, 4335, 345);
    Dir1 = Place(new platform::DirListBox(this), "Dir1", 8880, 1800, 4335, 1620);
    if (File1->Path() != Dir1->Path()) File1->setPath(Dir1->Path());  // both start in the current folder

    WebBrowser1 = Place(new platform::WebBrowser(this), "WebBrowser1", 240, 6960, 6135, 855);
    WebBrowser2 = Place(new platform::WebBrowser(this), "WebBrowser2", 6480, 6960, 6855, 855);

    // Working surfaces below the visible client area, never shown: a maximised window would uncover them.
    Picture1 = Place(new platform::PictureBox(this), "Picture1", 360, 8520, 4335, 4695);
    Picture1->setAutoSize(true);
    Picture2 = Place(new platform::PictureBox(this), "Picture2", 4800, 8520, 3375, 3255);
    Picture2->setBackColor(Qt::white);
    Picture2->setBorderStyle(false);
    Picture1->hide();
    Picture2->hide();

    Timer1 = new platform::Timer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    CommonDialog1 = new platform::CommonDialog(this);
    CommonDialog1->setObjectName(QStringLiteral("CommonDialog1"));

    SaveNotice = new platform::FadingNotice(this);
    SaveNotice->setObjectName(QStringLiteral("SaveNotice"));
    PictureLoader = new LatestPictureLoader(this);

    // Under the slider and "4-Kalite Kaydet", over the preview's top edge: the window's own size has no
    // free room beside the slider, and nothing may move for it.
    estimatedSizeLabel = Place(new QLabel(this), "estimatedSizeLabel", 5760, 1830, 2745, 270);
    estimatedSizeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    estimatedSizeLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    estimatedSizeLabel->setAutoFillBackground(true);
    estimatedSizeLabel->setContentsMargins(0, 0, 4, 0);
    estimatedSizeLabel->setToolTip(QStringLiteral("4-Kalite Kaydet ile JPEG olarak yaklaşık dosya boyutu"));
    estimatedSizeLabel->hide();
    Estimator = new SizeEstimator(this);

    connect(Timer1, &platform::Timer::Tick, this, &Form1::Timer1_Timer);
    connect(HScroll1, &QScrollBar::valueChanged, this, &Form1::HScroll1_Change);
    connect(HScroll1, &QScrollBar::actionTriggered, this, [this] { qualityMoved_ = true; });
    connect(cmdSaveStdPic, &QPushButton::clicked, this, &Form1::cmdSaveStdPic_Click);
    connect(cmdSaveQualityPic, &QPushButton::clicked, this, &Form1::cmdSaveQualityPic_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    new platform::KeyPressFilter(txtQuality,
                                 [this](std::int16_t& KeyAscii) { txtQuality_KeyPress(KeyAscii); });
    connect(Drive1, &platform::DriveListBox::Change, this, &Form1::Drive1_Change);
    connect(Dir1, &platform::DirListBox::Change, this, &Form1::Dir1_Change);
    connect(Dir1, &platform::DirListBox::PathNotFound, this, &Form1::Dir1_PathNotFound);
    connect(File1, &platform::FileListBox::Click, this, &Form1::File1_Click);
    connect(File1, &platform::FileListBox::KeyPress, this, &Form1::File1_KeyPress);
    connect(PictureLoader, &LatestPictureLoader::Loaded, this, &Form1::File1_PictureLoaded);
    connect(Image2, &platform::PictureControl::ViewNeeded, this,
            [this](QSize shown) { PictureLoader->PrepareView(Image2->Picture(), shown); });
    connect(PictureLoader, &LatestPictureLoader::ViewReady, Image2, qOverload<>(&QWidget::update));
    connect(Estimator, &SizeEstimator::Estimated, this, &Form1::showSizeEstimate);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Image2, &platform::PictureControl::clicked, this, &Form1::Image2_Click);
}

void Form1::setTabOrder() {
    // The keyboard order of the window's stored layout; the hidden picture boxes take no focus.
    Picture1->setFocusPolicy(Qt::NoFocus);
    Picture2->setFocusPolicy(Qt::NoFocus);
    const QWidget* order[] = {Text1,      Text2,    Text3,    Text4,      Text5,         Text6,
                              Text7,      Command2, Command3, txtQuality, cmdSaveStdPic, cmdSaveQualityPic,
                              Command4,   HScroll1, Drive1,   Dir1,       File1,         WebBrowser1,
                              WebBrowser2};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
}

void Form1::addShortcuts() {
    // Anywhere in the window, leaving the focus where it is; the captions keep their numbers only.
    const std::pair<const char*, QPushButton*> keys[] = {
        {"Ctrl+O", Command2}, {"Ctrl+S", cmdSaveStdPic}, {"Ctrl+Shift+S", cmdSaveQualityPic}};
    for (const auto& [key, button] : keys)
        connect(new QShortcut(QKeySequence(QLatin1String(key)), this), &QShortcut::activated, button,
                &QPushButton::click);
    // Enter after typing the wanted size shrinks with it.
    connect(Text1, &QLineEdit::returnPressed, Command3, &QPushButton::click);
    connect(Text2, &QLineEdit::returnPressed, Command3, &QPushButton::click);
}

QVariant Form1::value(const char* name) const {
    const std::pair<const char*, const QVariant*> values[] = {
        {"resim_genislik", &resim_genislik},
        {"resim_yukseklik", &resim_yukseklik},
        {"bizim_genislik", &bizim_genislik},
        {"bizim_yukseklik", &bizim_yukseklik},
        {"yeni_genislik", &yeni_genislik},
        {"yeni_yukseklik", &yeni_yukseklik},
        {"durum", &durum},
        {"dosya_yolu", &dosya_yolu},
        {"sayac", &sayac},
    };
    for (const auto& [key, variable] : values)
        if (std::strcmp(key, name) == 0) return *variable;
    return {};
}

void Form1::Form_Load() {
    constexpr int navNoWriteToCache = platform::navNoWriteToCache;
    if (adServerBase_.isEmpty()) {
        WebBrowser1->Navigate(QStringLiteral("qrc:/torv/reklam1.html"));
        WebBrowser2->Navigate(QStringLiteral("qrc:/torv/reklam2.html"));
    } else {
        WebBrowser1->Navigate(adServerBase_ + QStringLiteral("/reklam.asp?id=1"), navNoWriteToCache);
        WebBrowser2->Navigate(adServerBase_ + QStringLiteral("/reklam.asp?id=2"), navNoWriteToCache);
    }
    HScroll1->setValue(99);
    txtQuality->setText(QString::number(HScroll1->value()));
    Timer1->setInterval(1000);
}

void Form1::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    Form_Paint();
}

void Form1::Form_Paint() {
    // The window draws nothing of its own; the controls repaint themselves.
}

void Form1::warmUp() {
    // The image plugins load on the first picture, the file dialog's icons and file model on the first
    // dialog: paid here, while the user looks at the window, rather than on the first click.
    QImageReader::supportedImageFormats();
    QFileDialog dialog(this);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDirectory(QDir::homePath());
}

namespace {

// The local files a drag carries; none when it carries anything else.
QStringList DroppedFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return {};
        files << url.toLocalFile();
    }
    return files;
}

}  // namespace

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
    const QStringList files = DroppedFiles(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    if (files.size() > 1 || QFileInfo(files.first()).isDir())
        OpenBatchWindow(files);
    else
        PickPicture(files.first());
}

void Form1::OpenBatchWindow(const QStringList& paths) {
    // The slider's untouched 99 is no choice of the user's: the batch then starts at its own quality.
    BatchWindow::Open(this, paths, QSize(Text1->text().toInt(), Text2->text().toInt()),
                      qualityMoved_ ? std::optional<int>(HScroll1->value()) : std::nullopt);
}

void Form1::Timer1_Timer() {
    sayac = QVariant::fromValue<qint16>(qint16(sayac.toInt() + 1));
    if (sayac.toInt() == 3) {
        Image4->setVisible(false);
        Timer1->setInterval(0);
    }
}

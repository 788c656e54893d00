#include "batch_window/BatchWindow.h"

#include "batch/plan.h"
#include "batch_window/BatchRun.h"
#include "platform/reasons.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int kMostPixelsASide = 65500;  // what a JPEG can hold

// "312 MB", "9,4 MB": decimal units, one decimal below a hundred, as Turkish writes numbers.
QString Bytes(qint64 bytes) {
    static const char* const kUnits[] = {"B", "KB", "MB", "GB", "TB"};
    double value = double(bytes);
    int unit = 0;
    while (value >= 1000 && unit < 4) {
        value /= 1000;
        ++unit;
    }
    const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    const int decimals = unit == 0 || value >= 100 ? 0 : 1;
    return turkish.toString(value, 'f', decimals) + ' ' + QLatin1String(kUnits[unit]);
}

QString FileName(const QString& path) { return QFileInfo(path).fileName(); }

}  // namespace

BatchWindow::BatchWindow(QStringList paths, QSize box, int quality, QWidget* parent)
    : QDialog(parent), paths_(std::move(paths)) {
    setObjectName(QStringLiteral("BatchWindow"));
    setWindowTitle(QStringLiteral("Resimleri küçült"));
    createControls();
    width_->setValue(box.width() >= 1 ? box.width() : kDefaultBox.width());
    height_->setValue(box.height() >= 1 ? box.height() : kDefaultBox.height());
    quality_->setValue(quality);
    const BatchChoices remembered = BatchChoices::Load();
    (remembered.toFolder ? toFolder_ : beside_)->setChecked(true);
    folder_->setText(remembered.folder);
    overwrite_->setChecked(remembered.overwrite);
    for (int i = 0; i < int(std::size(batch::kFormatNames)); ++i)
        if (remembered.format == QLatin1String(batch::kFormatNames[i].name)) format_->setCurrentIndex(i);
    showResultName();
    showChoicesEnabled(true);
    countPictures();
    start_->setFocus();
}

BatchWindow::~BatchWindow() = default;

BatchWindow* BatchWindow::Open(QWidget* over, const QStringList& paths, QSize box, int quality) {
    auto* window = new BatchWindow(paths, box, quality, over);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void BatchWindow::createControls() {
    auto* layout = new QVBoxLayout(this);
    // Rows a later choice (format, target size) joins.
    auto* form = new QFormLayout;
    layout->addLayout(form);

    pictures_ = new QLabel(this);
    pictures_->setObjectName(QStringLiteral("pictures"));
    add_ = new QPushButton(QStringLiteral("Ekle…"), this);
    add_->setObjectName(QStringLiteral("add"));
    add_->setAutoDefault(false);
    auto* picturesRow = new QHBoxLayout;
    picturesRow->addWidget(pictures_);
    picturesRow->addStretch();
    picturesRow->addWidget(add_);
    form->addRow(QStringLiteral("Resimler:"), picturesRow);

    const auto spin = [this](const char* name, int least, int most, const QString& suffix) {
        auto* box = new QSpinBox(this);
        box->setObjectName(QLatin1String(name));
        box->setRange(least, most);
        box->setSuffix(suffix);
        return box;
    };
    width_ = spin("width", 1, kMostPixelsASide, QString());
    height_ = spin("height", 1, kMostPixelsASide, QString());
    auto* boxRow = new QHBoxLayout;
    boxRow->addWidget(width_);
    boxRow->addWidget(new QLabel(QStringLiteral("×"), this));
    boxRow->addWidget(height_);
    boxRow->addWidget(new QLabel(QStringLiteral("piksel"), this));
    boxRow->addStretch();
    form->addRow(QStringLiteral("Kutu:"), boxRow);
    quality_ = spin("quality", 1, 100, QString());
    auto* qualityRow = new QHBoxLayout;
    qualityRow->addWidget(quality_);
    qualityRow->addStretch();
    form->addRow(QStringLiteral("Kalite:"), qualityRow);
    format_ = new QComboBox(this);
    format_->setObjectName(QStringLiteral("format"));
    format_->addItems(
        {QStringLiteral("JPEG"), QStringLiteral("PNG"), QStringLiteral("WebP"), QStringLiteral("Aynı biçim")});
    format_->setToolTip(
        QStringLiteral("Aynı biçim: PNG ve WebP resimler biçimlerinde kalır, ötekiler JPEG olur."));
    auto* formatRow = new QHBoxLayout;
    formatRow->addWidget(format_);
    formatRow->addStretch();
    form->addRow(QStringLiteral("Biçim:"), formatRow);

    beside_ = new QRadioButton(this);  // its text follows the format: showResultName()
    beside_->setObjectName(QStringLiteral("beside"));
    toFolder_ = new QRadioButton(QStringLiteral("Bu klasöre:"), this);
    toFolder_->setObjectName(QStringLiteral("toFolder"));
    folder_ = new QLineEdit(this);
    folder_->setObjectName(QStringLiteral("folder"));
    pickFolder_ = new QPushButton(QStringLiteral("Seç…"), this);
    pickFolder_->setObjectName(QStringLiteral("pickFolder"));
    pickFolder_->setAutoDefault(false);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(toFolder_);
    folderRow->addWidget(folder_, 1);
    folderRow->addWidget(pickFolder_);
    overwrite_ = new QCheckBox(QStringLiteral("Var olan sonuçları değiştir"), this);
    overwrite_->setObjectName(QStringLiteral("overwrite"));
    auto* whereRows = new QVBoxLayout;
    whereRows->addWidget(beside_);
    whereRows->addLayout(folderRow);
    whereRows->addWidget(overwrite_);
    form->addRow(QStringLiteral("Sonuçlar:"), whereRows);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setFormat(QStringLiteral("%v / %m"));
    current_ = new QLabel(this);
    current_->setObjectName(QStringLiteral("current"));
    current_->setTextFormat(Qt::PlainText);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("summary"));
    summary_->setWordWrap(true);
    QFont bold = summary_->font();
    bold.setBold(true);
    summary_->setFont(bold);
    problems_ = new QPlainTextEdit(this);
    problems_->setObjectName(QStringLiteral("problems"));
    problems_->setReadOnly(true);
    problems_->setPlaceholderText(QStringLiteral("Atlanan ve başarısız olan resimler burada görünür."));
    layout->addWidget(progress_);
    layout->addWidget(current_);
    layout->addWidget(summary_);
    layout->addWidget(problems_, 1);

    start_ = new QPushButton(QStringLiteral("Başlat"), this);
    start_->setObjectName(QStringLiteral("start"));
    start_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("İptal"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setAutoDefault(false);
    close_ = new QPushButton(QStringLiteral("Kapat"), this);
    close_->setObjectName(QStringLiteral("close"));
    close_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(start_);
    buttons->addWidget(cancel_);
    buttons->addWidget(close_);
    layout->addLayout(buttons);
    resize(560, 440);

    connect(start_, &QPushButton::clicked, this, &BatchWindow::Start);
    connect(cancel_, &QPushButton::clicked, this, &BatchWindow::Cancel);
    connect(close_, &QPushButton::clicked, this, &BatchWindow::close);
    connect(pickFolder_, &QPushButton::clicked, this, &BatchWindow::pickFolder);
    connect(add_, &QPushButton::clicked, this, &BatchWindow::addPictures);
    connect(beside_, &QRadioButton::toggled, this, [this] {
        showChoicesEnabled(true);
        countPictures();
    });
    connect(folder_, &QLineEdit::editingFinished, this, &BatchWindow::countPictures);
    connect(overwrite_, &QCheckBox::toggled, this, &BatchWindow::countPictures);
    // Another format names other results: what exists and what collides changes with it.
    connect(format_, &QComboBox::currentIndexChanged, this, [this] {
        showResultName();
        countPictures();
    });
}

void BatchWindow::showResultName() {
    const std::optional<core::OutputFormat> format = batch::kFormatNames[format_->currentIndex()].format;
    beside_->setText(QStringLiteral("Özgün resmin yanına (ad_kucuk%1)")
                         .arg(format ? core::ExtensionOf(*format) : QStringLiteral(".jpg, .png, .webp")));
}

BatchChoices BatchWindow::choices() const {
    return {toFolder_->isChecked(), folder_->text().trimmed(), overwrite_->isChecked(),
            QLatin1String(batch::kFormatNames[format_->currentIndex()].name)};
}

batch::Options BatchWindow::options() const {
    batch::Options o;
    o.box = QSize(width_->value(), height_->value());
    o.quality = quality_->value();
    const BatchChoices c = choices();
    if (c.toFolder) o.outputFolder = c.folder;
    o.overwrite = c.overwrite;
    o.format = batch::kFormatNames[format_->currentIndex()].format;
    o.paths = paths_;
    return o;
}

void BatchWindow::countPictures() {
    const std::vector<batch::Job> jobs = batch::Plan(options());
    const auto count = [&](batch::Job::Kind kind) {
        return std::count_if(jobs.begin(), jobs.end(), [&](const batch::Job& j) { return j.kind == kind; });
    };
    QString text = jobs.empty() ? QStringLiteral("Resim yok") : QStringLiteral("%1 resim").arg(jobs.size());
    if (const auto skips = count(batch::Job::Kind::Skip)) text += QStringLiteral(", %1 atlanacak").arg(skips);
    if (const auto fails = count(batch::Job::Kind::Fail))
        text += QStringLiteral(", %1 yapılamayacak").arg(fails);
    pictures_->setText(text);
    const bool folderMissing = toFolder_->isChecked() && folder_->text().trimmed().isEmpty();
    start_->setEnabled(!jobs.empty() && !folderMissing && !running());
}

void BatchWindow::showChoicesEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{add_, width_, height_, quality_, format_, beside_,
                                                      toFolder_, overwrite_})
        w->setEnabled(enabled);
    folder_->setEnabled(enabled && toFolder_->isChecked());
    pickFolder_->setEnabled(enabled && toFolder_->isChecked());
    cancel_->setEnabled(!enabled);
    close_->setEnabled(enabled);
}

void BatchWindow::pickFolder() {
    QFileDialog dialog(this, QStringLiteral("Sonuçların klasörü"), folder_->text());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    folder_->setText(dialog.selectedFiles().first());
    countPictures();
}

void BatchWindow::addPictures() {
    QFileDialog dialog(
        this, QStringLiteral("Resim ekle"), paths_.isEmpty() ? QString() : QFileInfo(paths_.last()).path(),
        QStringLiteral("Resimler (*.jpg *.jpeg *.png *.bmp *.gif *.heic *.heif *.avif *.webp *.tif *.tiff)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The patterns match names in any letter case (IMG_1234.HEIC).
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted) return;
    paths_ << dialog.selectedFiles();
    paths_.removeDuplicates();
    countPictures();
    start_->setFocus();
}

void BatchWindow::Start() {
    if (running() || !start_->isEnabled()) return;
    choices().Save();
    run_ = std::make_unique<BatchRun>(options());
    connect(run_.get(), &BatchRun::Planned, this, &BatchWindow::onPlanned, Qt::QueuedConnection);
    connect(run_.get(), &BatchRun::PictureStarted, this, &BatchWindow::onStarted, Qt::QueuedConnection);
    connect(run_.get(), &BatchRun::PictureEnded, this, &BatchWindow::onEnded, Qt::QueuedConnection);
    connect(run_.get(), &BatchRun::Finished, this, &BatchWindow::onFinished, Qt::QueuedConnection);
    current_->setText(QStringLiteral("Hazırlanıyor…"));
    showChoicesEnabled(false);
    start_->setEnabled(false);
    cancel_->setFocus();
    run_->Start();
}

void BatchWindow::Cancel() {
    if (!running()) return;
    run_->Stop();
    cancel_->setEnabled(false);
    current_->setText(QStringLiteral("Durduruluyor: eldeki resimler bitiriliyor…"));
}

void BatchWindow::reject() {
    if (running())
        Cancel();
    else
        QDialog::reject();
}

void BatchWindow::closeEvent(QCloseEvent* event) {
    // Closed mid-run: nothing is left half-written, so the window goes once the pictures in flight are done.
    if (running()) {
        closeWhenDone_ = true;
        Cancel();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void BatchWindow::onPlanned(int pictures) {
    total_ = pictures;
    progress_->setRange(0, std::max(pictures, 1));
    progress_->setValue(0);
}

void BatchWindow::onStarted(const QString& input) {
    if (!run_ || !cancel_->isEnabled()) return;  // "Durduruluyor" stays until the end
    current_->setText(QStringLiteral("%1 / %2 — %3").arg(++started_).arg(total_).arg(FileName(input)));
}

void BatchWindow::onEnded(const QString& input, int outcome, const QString& why,
                          const batch::Details& details) {
    const auto kind = batch::Outcome(outcome);
    if (kind == batch::Outcome::NotDone) return;
    progress_->setValue(++ended_);
    if (kind == batch::Outcome::Skipped || kind == batch::Outcome::Failed)
        problems_->appendPlainText(QStringLiteral("%1 %2: %3")
                                       .arg(kind == batch::Outcome::Skipped ? QStringLiteral("Atlandı")
                                                                            : QStringLiteral("Başarısız"),
                                            input,
                                            details.error ? platform::TurkishReason(*details.error) : why));
}

void BatchWindow::onFinished(const batch::Totals& totals) {
    const bool cancelled = totals.notDone > 0;
    run_.reset();
    QString text = QStringLiteral("%1 resim: %2 yazıldı, %3 atlandı, %4 başarısız")
                       .arg(total_)
                       .arg(totals.written)
                       .arg(totals.skipped)
                       .arg(totals.failed);
    if (cancelled) text += QStringLiteral(", %1 yapılmadı (iptal edildi)").arg(totals.notDone);
    if (totals.written > 0)
        text += QStringLiteral(" — %1 → %2").arg(Bytes(totals.bytesIn), Bytes(totals.bytesOut));
    summary_->setText(text);
    current_->setText(cancelled ? QStringLiteral("İptal edildi.") : QStringLiteral("Bitti."));
    // The choices stay as they were run: the same batch again would only skip what it has just written.
    cancel_->setEnabled(false);
    close_->setEnabled(true);
    close_->setDefault(true);
    close_->setFocus();
    if (closeWhenDone_) close();
}

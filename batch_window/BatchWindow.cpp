#include "batch_window/BatchWindow.h"

#include "batch/latest_plan.h"
#include "batch/output_folder.h"
#include "batch/plan.h"
#include "batch/sizes.h"
#include "batch_window/BatchRun.h"
#include "batch_window/BatchTexts.h"
#include "batch_window/PlanList.h"
#include "core/file_name.h"
#include "core/formats.h"
#include "platform/reasons.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <thread>

namespace {

QString FileName(const QString& path) { return QFileInfo(path).fileName(); }

// "En fazla … KB" as bytes: 0 for an empty field, none for one that names no size.
std::optional<qint64> MaxBytes(const QString& kilobytes) {
    if (kilobytes.trimmed().isEmpty()) return 0;
    return batch::ParseFileSize(kilobytes.trimmed() + QLatin1Char('K'));
}

// Runs work on a thread of its own and hands its answer to then on the window's thread, if window is
// still there; nobody waits for the work.
template <class Work, class Then>
void OffThread(QWidget* window, Work work, Then then) {
    std::thread([window = QPointer<QWidget>(window), work = std::move(work), then = std::move(then)] {
        auto answer = work();
        QMetaObject::invokeMethod(qApp, [window, then, answer] {
            if (window) then(answer);
        }, Qt::QueuedConnection);
    }).detach();
}

}  // namespace

BatchWindow::BatchWindow(QStringList paths, std::optional<QSize> box, std::optional<int> quality, QWidget* parent)
    : QDialog(parent), paths_(std::move(paths)) {
    setObjectName(QStringLiteral("BatchWindow"));
    setWindowTitle(QStringLiteral("Resimleri küçült"));
    planner_ = std::make_unique<batch::LatestPlan>([window = QPointer<BatchWindow>(this)](
                                                       std::uint64_t request, std::vector<batch::Job> jobs) {
        // On the planning thread, while this window lives (its planner goes with it).
        auto shared = std::make_shared<std::vector<batch::Job>>(std::move(jobs));
        QMetaObject::invokeMethod(qApp, [window, request, shared] {
            if (window) window->onPlanned(request, std::move(*shared));
        }, Qt::QueuedConnection);
    });
    createControls();
    BatchChoices c = BatchChoices::Load();
    if (box) {
        if (box->width() >= 1) c.box.setWidth(box->width());
        if (box->height() >= 1) c.box.setHeight(box->height());
    }
    if (quality) c.quality = *quality;
    showChoices(c);
    connectControls();
    showResultName();
    showChoicesEnabled(true);
    choicesChanged();
    start_->setFocus();
}

BatchWindow::~BatchWindow() = default;

BatchWindow* BatchWindow::Open(QWidget* over, const QStringList& paths, std::optional<QSize> box,
                               std::optional<int> quality) {
    auto* window = new BatchWindow(paths, box, quality, over);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (over) over->installEventFilter(window);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void BatchWindow::createControls() {
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    const auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };

    pictures_ = new QLabel(this);
    pictures_->setObjectName(QStringLiteral("pictures"));
    add_ = button(QStringLiteral("Ekle…"), "add");
    remove_ = button(QStringLiteral("Çıkar"), "remove");
    remove_->setToolTip(QStringLiteral("Seçili resimleri listeden çıkarır (Delete)."));
    auto* picturesRow = new QHBoxLayout;
    picturesRow->addWidget(pictures_);
    picturesRow->addStretch();
    picturesRow->addWidget(add_);
    picturesRow->addWidget(remove_);
    form->addRow(QStringLiteral("Resimler:"), picturesRow);
    plan_ = new PlanList(this);
    list_ = new QListView(this);
    list_->setObjectName(QStringLiteral("list"));
    list_->setModel(plan_);
    list_->setUniformItemSizes(true);  // a list of 50,000 lays out at once
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->installEventFilter(this);
    form->addRow(list_);

    const auto spin = [this](const char* name, int least, int most) {
        auto* box = new QSpinBox(this);
        box->setObjectName(QLatin1String(name));
        box->setRange(least, most);
        return box;
    };
    width_ = spin("width", 1, batch::MostPixelsASide());
    height_ = spin("height", 1, batch::MostPixelsASide());
    auto* boxRow = new QHBoxLayout;
    boxRow->addWidget(width_);
    boxRow->addWidget(new QLabel(QStringLiteral("×"), this));
    boxRow->addWidget(height_);
    boxRow->addWidget(new QLabel(QStringLiteral("piksel"), this));
    boxRow->addStretch();
    form->addRow(QStringLiteral("Kutu:"), boxRow);
    quality_ = spin("quality", 1, 100);
    maxSize_ = new QLineEdit(this);
    maxSize_->setObjectName(QStringLiteral("maxSize"));
    maxSize_->setPlaceholderText(QStringLiteral("sınırsız"));
    maxSize_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,9}([.,]\\d{0,3})?")), maxSize_));
    maxSize_->setMaximumWidth(90);
    maxSize_->setToolTip(QStringLiteral("Her sonuç en fazla bu kadar olur: önce kalite, gerekirse boyut düşer. Boş: sınır yok."));
    auto* qualityRow = new QHBoxLayout;
    qualityRow->addWidget(quality_);
    qualityRow->addSpacing(16);
    auto* mostLabel = new QLabel(QStringLiteral("En &fazla"), this);
    mostLabel->setBuddy(maxSize_);
    qualityRow->addWidget(mostLabel);
    qualityRow->addWidget(maxSize_);
    qualityRow->addWidget(new QLabel(QStringLiteral("KB"), this));
    qualityRow->addStretch();
    form->addRow(QStringLiteral("Kalite:"), qualityRow);
    format_ = new QComboBox(this);
    format_->setObjectName(QStringLiteral("format"));
    // The written formats by name, then "the same format": those stay so, the rest become the first.
    QStringList kept;
    for (const batch::FormatName& f : batch::FormatNames()) {
        const QString name =
            f.format ? QLatin1String(core::FormatOf(*f.format).name) : QStringLiteral("Aynı biçim");
        format_->addItem(name);
        if (f.format && f.format != core::WrittenFormats().first()) kept += name;
    }
    format_->setToolTip(QStringLiteral("Aynı biçim: %1 resimler biçimlerinde kalır, ötekiler %2 olur.")
                            .arg(core::SpokenList(kept, QStringLiteral("ve")), format_->itemText(0)));
    keepMetadata_ = new QCheckBox(QStringLiteral("Çekim tarihi ve makine bilgisi kalsın (konum silinir)"), this);
    keepMetadata_->setObjectName(QStringLiteral("keepMetadata"));
    auto* formatRow = new QHBoxLayout;
    formatRow->addWidget(format_);
    formatRow->addSpacing(16);
    formatRow->addWidget(keepMetadata_);
    formatRow->addStretch();
    form->addRow(QStringLiteral("Biçim:"), formatRow);

    beside_ = new QRadioButton(this);  // its text follows the format: showResultName()
    beside_->setObjectName(QStringLiteral("beside"));
    toFolder_ = new QRadioButton(QStringLiteral("Bu klasöre:"), this);
    toFolder_->setObjectName(QStringLiteral("toFolder"));
    folder_ = new QLineEdit(this);
    folder_->setObjectName(QStringLiteral("folder"));
    pickFolder_ = button(QStringLiteral("Seç…"), "pickFolder");
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
    cancel_ = button(QStringLiteral("İptal"), "cancel");
    close_ = button(QStringLiteral("Kapat"), "close");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(start_);
    buttons->addWidget(cancel_);
    buttons->addWidget(close_);
    layout->addLayout(buttons);
    resize(600, 600);

    flush_ = new QTimer(this);
    flush_->setSingleShot(true);
    flush_->setInterval(100);
    connect(flush_, &QTimer::timeout, this, &BatchWindow::flushLines);
}

void BatchWindow::connectControls() {
    connect(start_, &QPushButton::clicked, this, &BatchWindow::Start);
    connect(cancel_, &QPushButton::clicked, this, &BatchWindow::Cancel);
    connect(close_, &QPushButton::clicked, this, &BatchWindow::close);
    connect(pickFolder_, &QPushButton::clicked, this, &BatchWindow::pickFolder);
    connect(add_, &QPushButton::clicked, this, &BatchWindow::addPictures);
    connect(remove_, &QPushButton::clicked, this, &BatchWindow::removeSelected);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { remove_->setEnabled(!running() && list_->selectionModel()->hasSelection()); });
    connect(beside_, &QRadioButton::toggled, this, [this] {
        showChoicesEnabled(true);
        choicesChanged();
    });
    // The folder is looked at as it is typed; the plan waits for the typing to end.
    connect(folder_, &QLineEdit::textChanged, this, &BatchWindow::checkFolder);
    connect(folder_, &QLineEdit::editingFinished, this, &BatchWindow::choicesChanged);
    connect(overwrite_, &QCheckBox::toggled, this, &BatchWindow::countPictures);
    // Another format names other results: what exists and what collides changes with it.
    connect(format_, &QComboBox::currentIndexChanged, this, [this] {
        showResultName();
        choicesChanged();
    });
    for (QSpinBox* box : {width_, height_, quality_})
        connect(box, &QSpinBox::valueChanged, this, [this] { written_.clear(); });
    connect(keepMetadata_, &QCheckBox::toggled, this, [this] { written_.clear(); });
    connect(maxSize_, &QLineEdit::textChanged, this, [this] {
        written_.clear();
        updateStart();
    });
}

void BatchWindow::showChoices(const BatchChoices& c) {
    width_->setValue(c.box.width());
    height_->setValue(c.box.height());
    quality_->setValue(c.quality);
    maxSize_->setText(c.maxKilobytes);
    keepMetadata_->setChecked(c.keepMetadata);
    const QList<batch::FormatName> names = batch::FormatNames();
    for (int i = 0; i < names.size(); ++i)
        if (c.format == names[i].name) format_->setCurrentIndex(i);
    (c.toFolder ? toFolder_ : beside_)->setChecked(true);
    folder_->setText(c.folder);
    overwrite_->setChecked(c.overwrite);
}

void BatchWindow::showResultName() {
    const std::optional<core::OutputFormat> format = batch::FormatNames()[format_->currentIndex()].format;
    QStringList extensions;
    for (const core::OutputFormat written : core::WrittenFormats()) extensions += core::ExtensionOf(written);
    beside_->setText(QStringLiteral("Özgün resmin yanına (ad_kucuk%1)")
                         .arg(format ? core::ExtensionOf(*format) : extensions.join(QStringLiteral(", "))));
}

BatchChoices BatchWindow::choices() const {
    BatchChoices c;
    c.box = QSize(width_->value(), height_->value());
    c.quality = quality_->value();
    c.maxKilobytes = maxSize_->text().trimmed();
    c.keepMetadata = keepMetadata_->isChecked();
    c.format = batch::FormatNames()[format_->currentIndex()].name;
    c.toFolder = toFolder_->isChecked();
    c.folder = folder_->text().trimmed();
    c.overwrite = overwrite_->isChecked();
    return c;
}

batch::Options BatchWindow::options() const {
    batch::Options o;
    const BatchChoices c = choices();
    o.box = c.box;
    o.quality = c.quality;
    o.maxBytes = MaxBytes(c.maxKilobytes).value_or(0);
    o.keepMetadata = c.keepMetadata;
    if (c.toFolder) o.outputFolder = c.folder;
    o.overwrite = c.overwrite;
    o.format = batch::FormatNames()[format_->currentIndex()].format;
    o.paths = paths_;
    o.leftOut = leftOut_;
    o.writtenBefore = written_;
    return o;
}

void BatchWindow::choicesChanged() {
    written_.clear();  // other results than those a stopped run wrote
    if (toFolder_->isChecked()) checkFolder();
    countPictures();
}

void BatchWindow::countPictures() {
    counting_ = true;
    newestPlan_ = planner_->Request(options());
    showCount();
    updateStart();
}

void BatchWindow::onPlanned(std::uint64_t request, std::vector<batch::Job> jobs) {
    if (request != newestPlan_) return;
    counting_ = false;
    plan_->setJobs(std::move(jobs));
    showCount();
    updateStart();
}

void BatchWindow::showCount() {
    if (counting_) {
        pictures_->setText(QStringLiteral("Resimler sayılıyor…"));
        return;
    }
    const batch::PlanCounts counts = batch::Count(plan_->jobs());
    planHasPictures_ = counts.originals > 0;
    pictures_->setText(batchtexts::CountLine(counts));
}

void BatchWindow::updateStart() {
    const bool folderOk = !toFolder_->isChecked() || folderUsable_;
    const bool sizeOk = MaxBytes(maxSize_->text()).has_value();
    // Pressed while the pictures are still counted, it starts all the same: a run plans anew anyway.
    start_->setEnabled(!running() && (counting_ || planHasPictures_) && folderOk && sizeOk);
}

void BatchWindow::checkFolder() {
    if (!toFolder_->isChecked()) return;
    const QString folder = folder_->text().trimmed();
    if (folder == folderChecked_) return;  // Enter after typing: known already, "Başlat" stays as it is
    folderChecked_ = folder;
    const std::uint64_t check = ++folderCheck_;
    folderUsable_ = false;
    updateStart();
    if (folder.isEmpty()) return;
    OffThread(this, [folder] { return batch::OutputFolderUsable(folder); },
              [this, check](bool usable) {
                  if (check != folderCheck_) return;
                  folderUsable_ = usable;
                  folder_->setToolTip(usable ? QString()
                                             : QStringLiteral("Bu klasör yok ve yapılamıyor ya da yazılamıyor."));
                  updateStart();
              });
}

void BatchWindow::showChoicesEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{add_, width_, height_, quality_, maxSize_, keepMetadata_,
                                                      format_, beside_, toFolder_, overwrite_})
        w->setEnabled(enabled);
    remove_->setEnabled(enabled && list_->selectionModel() && list_->selectionModel()->hasSelection());
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
    BatchChoices::PickedInDialog(dialog.selectedFiles().first());
    folder_->setText(dialog.selectedFiles().first());
    choicesChanged();
}

void BatchWindow::addPictures() {
    QFileDialog dialog(this, QStringLiteral("Resim ekle"),
                       paths_.isEmpty() ? QString() : QFileInfo(paths_.last()).path(),
                       QStringLiteral("Resimler (%1)").arg(core::PicturePatterns().join(u' ')));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The patterns match names in any letter case (IMG_1234.HEIC).
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted) return;
    paths_ << dialog.selectedFiles();
    paths_.removeDuplicates();
    for (const QString& added : dialog.selectedFiles()) leftOut_.erase(core::EncodeFileName(added));
    countPictures();
    start_->setFocus();
}

void BatchWindow::removeSelected() {
    if (running() || !list_->selectionModel()) return;
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    if (rows.isEmpty()) return;
    const int next = std::min_element(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.row() < b.row(); })->row();
    for (QByteArray& path : plan_->remove(rows)) leftOut_.insert(std::move(path));
    // The plan being made, if any, still had them: the newest one leaves them out.
    if (counting_) countPictures();
    showCount();
    updateStart();
    if (plan_->rowCount() > 0) list_->setCurrentIndex(plan_->index(std::min(next, plan_->rowCount() - 1)));
}

bool BatchWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        removeSelected();
        return true;
    }
    // The main window closing while a batch runs: stop it (the default), or keep both windows.
    if (watched == parent() && event->type() == QEvent::Close && running() && !stopping_) {
        QMessageBox ask(QMessageBox::Question, QStringLiteral("Resimleri küçült"),
                        QStringLiteral("Resimler hâlâ küçültülüyor. Durdurulsun mu?"), QMessageBox::NoButton, this);
        ask.setInformativeText(QStringLiteral("Durdurulursa eldeki resimler bitirilir, yenisi başlatılmaz."));
        QPushButton* stop = ask.addButton(QStringLiteral("Durdur"), QMessageBox::AcceptRole);
        QPushButton* goOn = ask.addButton(QStringLiteral("Sürsün"), QMessageBox::RejectRole);
        ask.setDefaultButton(stop);
        ask.setEscapeButton(goOn);
        ask.exec();
        if (ask.clickedButton() != stop) {
            event->ignore();
            return true;
        }
        run_->Stop();
        close();
    }
    return QDialog::eventFilter(watched, event);
}

void BatchWindow::Start() {
    if (running() || !start_->isEnabled()) return;
    choices().Save();
    problems_->clear();
    summary_->clear();
    total_ = started_ = ended_ = earlierResults_ = 0;
    stopping_ = false;
    run_ = std::make_unique<BatchRun>(options());
    connect(run_.get(), &BatchRun::Planned, this, &BatchWindow::onRunPlanned);
    connect(run_.get(), &BatchRun::PictureStarted, this, &BatchWindow::onStarted);
    connect(run_.get(), &BatchRun::PictureEnded, this, &BatchWindow::onEnded);
    connect(run_.get(), &BatchRun::Finished, this, &BatchWindow::onFinished);
    current_->setText(QStringLiteral("Hazırlanıyor…"));
    showChoicesEnabled(false);
    start_->setEnabled(false);
    cancel_->setFocus();
    run_->Start();
}

void BatchWindow::Cancel() {
    if (!running() || stopping_) return;
    stopping_ = true;
    run_->Stop();
    // The pictures in flight finish by themselves; the window need not wait for them.
    cancel_->setEnabled(false);
    close_->setEnabled(true);
    close_->setFocus();
    current_->setText(QStringLiteral("Durduruluyor: eldeki resimler bitiriliyor…"));
}

void BatchWindow::reject() {
    if (running() && !stopping_)
        Cancel();
    else
        QDialog::reject();
}

void BatchWindow::closeEvent(QCloseEvent* event) {
    // Closed mid-run: no new picture is taken up, and those in flight end by themselves, whole or not at
    // all, without holding the window.
    if (run_) run_->Stop();
    run_.reset();
    if (parent()) parent()->removeEventFilter(this);
    QDialog::closeEvent(event);
}

void BatchWindow::onRunPlanned(int pictures) {
    total_ = pictures;
    progress_->setRange(0, std::max(pictures, 1));
    progress_->setValue(0);
}

void BatchWindow::onStarted(const QString& input) {
    if (!run_ || stopping_) return;  // "Durduruluyor" stays until the end
    current_->setText(QStringLiteral("%1 / %2 — %3").arg(++started_).arg(total_).arg(FileName(input)));
}

void BatchWindow::onEnded(const QString& input, const QByteArray& inputPath, int outcome, const QString& why,
                          const batch::Details& details) {
    const auto kind = batch::Outcome(outcome);
    if (kind == batch::Outcome::NotDone) return;
    const bool earlierResult = details.error && details.error->cause == core::Cause::EarlierResult;
    if (!earlierResult) progress_->setValue(++ended_);
    QString line;
    if (kind == batch::Outcome::Written) {
        written_.insert(inputPath);
        if (const QString given = batchtexts::GivenUp(details); !given.isEmpty())
            line = QStringLiteral("Yazıldı %1: %2").arg(input, given);
    } else {
        if (earlierResult) ++earlierResults_;
        line = QStringLiteral("%1 %2: %3")
                   .arg(kind == batch::Outcome::Skipped ? QStringLiteral("Atlandı") : QStringLiteral("Başarısız"),
                        input, details.error ? platform::TurkishReason(*details.error) : why);
    }
    if (line.isEmpty()) return;
    pendingLines_ << line;
    if (!flush_->isActive()) flush_->start();
}

void BatchWindow::flushLines() {
    if (pendingLines_.isEmpty()) return;
    problems_->appendPlainText(pendingLines_.join(QLatin1Char('\n')));
    pendingLines_.clear();
}

void BatchWindow::onFinished(const batch::Totals& totals) {
    const bool cancelled = totals.notDone > 0;
    run_.reset();
    stopping_ = false;
    flush_->stop();
    flushLines();
    summary_->setText(batchtexts::Summary(total_, totals, earlierResults_));
    current_->setText(cancelled ? QStringLiteral("İptal edildi. \"Başlat\" kalanlarla sürdürür.")
                                : QStringLiteral("Bitti."));
    showChoicesEnabled(true);
    // The list shows what a run now would do: what was written is skipped.
    countPictures();
    close_->setDefault(!cancelled);
    start_->setDefault(cancelled);
    (cancelled ? start_ : close_)->setFocus();
}

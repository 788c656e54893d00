#pragma once
// The batch window: many pictures, or the pictures of folders, fitted into one box and saved as JPEG, PNG
// or WebP beside their originals or in a chosen folder, with a progress bar, "İptal" and a summary at the
// end.

#include "batch/run.h"
#include "batch_window/BatchChoices.h"

#include <QDialog>
#include <QSize>
#include <QStringList>
#include <memory>

class BatchRun;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;

class BatchWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr QSize kDefaultBox{400, 400};
    static constexpr int kDefaultQuality = 90;

    // paths: the pictures and folders (their own pictures) to shrink. A side below 1 (a box field that
    // holds no number) is the default's.
    explicit BatchWindow(QStringList paths, QSize box = kDefaultBox, int quality = kDefaultQuality,
                         QWidget* parent = nullptr);
    ~BatchWindow() override;

    // A window of its own in front of over, deleted when closed, with the focus on "Başlat".
    static BatchWindow* Open(QWidget* over, const QStringList& paths, QSize box = kDefaultBox,
                             int quality = kDefaultQuality);

    bool running() const { return run_ != nullptr; }

public slots:
    void Start();
    void Cancel();
    // Esc: "İptal" while a batch runs, otherwise closes.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    batch::Options options() const;
    BatchChoices choices() const;
    // "Beside the original", with the result's name in the format chosen.
    void showResultName();
    // The number of pictures the current choices give.
    void countPictures();
    // Choices enabled before a run, then only "İptal".
    void showChoicesEnabled(bool enabled);
    void pickFolder();
    void addPictures();
    void onPlanned(int pictures);
    void onStarted(const QString& input);
    void onEnded(const QString& input, int outcome, const QString& why, const batch::Details& details);
    void onFinished(const batch::Totals& totals);

    QStringList paths_;
    std::unique_ptr<BatchRun> run_;
    int total_ = 0, started_ = 0, ended_ = 0;
    bool closeWhenDone_ = false;

    QLabel* pictures_ = nullptr;
    QPushButton* add_ = nullptr;
    QSpinBox* width_ = nullptr;
    QSpinBox* height_ = nullptr;
    QSpinBox* quality_ = nullptr;
    QComboBox* format_ = nullptr;  // in the order of batch::kFormatNames
    QRadioButton* beside_ = nullptr;
    QRadioButton* toFolder_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QPushButton* pickFolder_ = nullptr;
    QCheckBox* overwrite_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* current_ = nullptr;
    QLabel* summary_ = nullptr;
    QPlainTextEdit* problems_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* close_ = nullptr;
};

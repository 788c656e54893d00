#pragma once
// The batch window: many pictures, or the pictures of folders, fitted into one box and saved as JPEG, PNG
// or WebP beside their originals or in a chosen folder, with a list of the pictures, a progress bar,
// "İptal" and a summary at the end. Nothing that reads the disk runs on its thread: the plan, and a folder
// typed for the results, are looked at on threads of their own.

#include "batch/run.h"
#include "batch_window/BatchChoices.h"

#include <QDialog>
#include <QSize>
#include <QStringList>
#include <memory>
#include <optional>
#include <set>

class BatchRun;
class PlanList;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimer;
namespace batch {
class LatestPlan;
}

class BatchWindow : public QDialog {
    Q_OBJECT
public:
    // paths: the pictures and folders (their own pictures) to shrink. box and quality: the main window's,
    // when it opens this one; otherwise those remembered. A side below 1 (a box field that holds no
    // number) is the remembered one's.
    explicit BatchWindow(QStringList paths, std::optional<QSize> box = {}, std::optional<int> quality = {},
                         QWidget* parent = nullptr);
    ~BatchWindow() override;

    // A window of its own in front of over, deleted when closed, with the focus on "Başlat". Closing over
    // while a batch runs asks first whether to stop it.
    static BatchWindow* Open(QWidget* over, const QStringList& paths, std::optional<QSize> box = {},
                             std::optional<int> quality = {});

    bool running() const { return run_ != nullptr; }
    // A plan is being made for the choices shown.
    bool counting() const { return counting_; }

public slots:
    void Start();
    void Cancel();
    // Esc: "İptal" while a batch runs, otherwise closes.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void connectControls();
    batch::Options options() const;
    BatchChoices choices() const;
    void showChoices(const BatchChoices& c);
    // "Beside the original", with the result's name in the format chosen.
    void showResultName();
    // The choices changed: plan them again, off this thread.
    void choicesChanged();
    void countPictures();
    void onPlanned(std::uint64_t request, std::vector<batch::Job> jobs);
    void showCount();
    // "Başlat" when the plan is known, holds a picture, and the results can go where they are asked to.
    void updateStart();
    void checkFolder();
    // Choices enabled before a run, then only "İptal".
    void showChoicesEnabled(bool enabled);
    void pickFolder();
    void addPictures();
    void removeSelected();
    void onRunPlanned(int pictures);
    void onStarted(const QString& input);
    void onEnded(const QString& input, const QByteArray& inputPath, int outcome, const QString& why,
                 const batch::Details& details);
    void onFinished(const batch::Totals& totals);
    void flushLines();

    QStringList paths_;
    std::set<QByteArray> leftOut_;  // pictures taken out of the list
    // Pictures whose results a run of the same choices wrote, so that "Başlat" after İptal goes on
    // with the rest.
    std::set<QByteArray> written_;
    std::unique_ptr<batch::LatestPlan> planner_;
    std::uint64_t newestPlan_ = 0;
    bool counting_ = false;
    bool planHasPictures_ = false;
    std::uint64_t folderCheck_ = 0;
    QString folderChecked_{QStringLiteral("\n")};  // the folder text last looked at; none at first
    bool folderUsable_ = false;
    std::unique_ptr<BatchRun> run_;
    bool stopping_ = false;
    int total_ = 0, started_ = 0, ended_ = 0, earlierResults_ = 0;
    QStringList pendingLines_;  // the problems' lines not shown yet: many at once cost one append
    QTimer* flush_ = nullptr;

    QLabel* pictures_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* remove_ = nullptr;
    QListView* list_ = nullptr;
    PlanList* plan_ = nullptr;
    QSpinBox* width_ = nullptr;
    QSpinBox* height_ = nullptr;
    QSpinBox* quality_ = nullptr;
    QLineEdit* maxSize_ = nullptr;
    QCheckBox* keepMetadata_ = nullptr;
    QComboBox* format_ = nullptr;  // in the order of batch::FormatNames()
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

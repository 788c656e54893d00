#pragma once
// Answers the modal windows that code under test opens, so that no test ever blocks on one.
//
// Queue the steps before calling the code that opens the first window; each step waits until the
// application's active modal widget is one it accepts, then acts on it once. A repeating timer polls,
// and every action runs from the event loop after the poll has returned, so that a window the action
// opens in turn (the overwrite question after Return) is answered by the next step.
//
//     ModalAnswerer answer;
//     answer.typeFileName("out");                        // into Qt's file dialog, then Return
//     answer.answerMessageBox(QMessageBox::Yes);         // "... already exists. Replace it?"
//     bool chosen = ShowTheDialog();
//     EXPECT_TRUE(answer.done());
//
// A step that finds nothing to act on within the timeout closes every modal window (reject) and is
// recorded in failures(), so a wrong expectation fails the test instead of hanging it.

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>

class QFileDialog;
class QWidget;

class ModalAnswerer : public QObject {
public:
    explicit ModalAnswerer(int timeoutMs = 10000, QObject* parent = nullptr);
    ~ModalAnswerer() override;

    // The general step: when ready(activeModalWidget) holds, act(that widget) runs once.
    void onModal(const QString& what, std::function<bool(QWidget*)> ready, std::function<void(QWidget*)> act);

    // Qt's own file dialog: put name into its file-name field and press Return.
    void typeFileName(const QString& name);
    // Qt's own file dialog: select the n-th (1-based) file type.
    void selectFilter(int n);
    // Qt's own file dialog: once its listing shows at least minEntries entries, hand them to seen.
    void readListing(int minEntries, std::function<void(QFileDialog*, const QStringList&)> seen);
    // Qt's own file dialog: hand it to look, and leave it open for the next step.
    void inspectFileDialog(std::function<void(QFileDialog*)> look);
    // A message box (the overwrite question, a warning): press the given button.
    void answerMessageBox(QMessageBox::StandardButton button, QString* text = nullptr);
    // Whatever modal window is active: close it as Escape would (reject).
    void cancel();

    // Names the file dialog's list shows in its current folder, sorted ignoring case: the dialog sorts its
    // listing only as it arrives, so the order shown may not be final yet.
    static QStringList ListedFiles(QFileDialog* dialog);
    // The text of the file dialog's file-name field.
    static QString TypedName(QFileDialog* dialog);

    bool done() const { return steps_.empty() && !busy_; }
    const QStringList& failures() const { return failures_; }
    // failures(), and a line for steps never taken: for checks where no test macro can run (a child).
    QStringList faults() const;

private:
    struct Step {
        QString what;
        std::function<bool(QWidget*)> ready;
        std::function<void(QWidget*)> act;
    };
    void poll();
    void giveUp();

    QTimer timer_;
    int timeoutMs_;
    int waitedMs_ = 0;
    bool busy_ = false;
    std::deque<Step> steps_;
    QStringList failures_;
};

#include "tests/support/ModalAnswerer.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>

namespace {
constexpr int kPollMs = 20;

template <typename T>
std::function<bool(QWidget*)> IsA() {
    return [](QWidget* w) { return qobject_cast<T*>(w) != nullptr; };
}
}  // namespace

ModalAnswerer::ModalAnswerer(int timeoutMs, QObject* parent) : QObject(parent), timeoutMs_(timeoutMs) {
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
    timer_.start();
}

ModalAnswerer::~ModalAnswerer() { timer_.stop(); }

void ModalAnswerer::onModal(const QString& what, std::function<bool(QWidget*)> ready,
                            std::function<void(QWidget*)> act) {
    steps_.push_back({what, std::move(ready), std::move(act)});
}

void ModalAnswerer::poll() {
    if (steps_.empty() || busy_) return;
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !steps_.front().ready(modal)) {
        waitedMs_ += kPollMs;
        if (waitedMs_ >= timeoutMs_) giveUp();
        return;
    }
    waitedMs_ = 0;
    Step step = std::move(steps_.front());
    steps_.pop_front();
    busy_ = true;
    // Act from the event loop: an action that opens a nested modal window must not hold up this timer.
    QMetaObject::invokeMethod(
        this,
        [this, act = std::move(step.act), target = QPointer<QWidget>(modal)] {
            busy_ = false;
            if (target) act(target);
        },
        Qt::QueuedConnection);
}

void ModalAnswerer::giveUp() {
    for (const Step& step : steps_) failures_ << QStringLiteral("never saw: ") + step.what;
    steps_.clear();
    waitedMs_ = 0;
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
        if (QApplication::activeModalWidget() == modal) break;
    }
}

void ModalAnswerer::typeFileName(const QString& name) {
    onModal(QStringLiteral("file dialog to type '%1'").arg(name), IsA<QFileDialog>(), [name](QWidget* w) {
        auto* edit = w->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!edit) return;
        // As a user's typing would: focus in the field, no file of the list still selected (the dialog
        // prefers a selected file to the typed name, and drops it only while the field has focus).
        QApplication::setActiveWindow(w);
        edit->setFocus();
        if (auto* view = w->findChild<QAbstractItemView*>(QStringLiteral("listView"));
            view && view->selectionModel())
            view->selectionModel()->clearSelection();
        edit->setText(name);
        // A completion list left open by an earlier name would take the Return for itself.
        if (QCompleter* completer = edit->completer(); completer && completer->popup())
            completer->popup()->hide();
        QTest::keyClick(edit, Qt::Key_Return);
    });
}

void ModalAnswerer::selectFilter(int n) {
    onModal(QStringLiteral("file dialog to select filter %1").arg(n), IsA<QFileDialog>(), [n](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        const QStringList filters = dialog->nameFilters();
        if (n >= 1 && n <= filters.size()) dialog->selectNameFilter(filters.at(n - 1));
    });
}

void ModalAnswerer::readListing(int minEntries, std::function<void(QFileDialog*, const QStringList&)> seen) {
    onModal(
        QStringLiteral("file dialog listing %1 entries").arg(minEntries),
        [minEntries](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            return dialog && ListedFiles(dialog).size() >= minEntries;
        },
        [seen = std::move(seen)](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            seen(dialog, ListedFiles(dialog));
        });
}

void ModalAnswerer::inspectFileDialog(std::function<void(QFileDialog*)> look) {
    onModal(QStringLiteral("file dialog to look at"), IsA<QFileDialog>(),
            [look = std::move(look)](QWidget* w) { look(qobject_cast<QFileDialog*>(w)); });
}

void ModalAnswerer::answerMessageBox(QMessageBox::StandardButton button, QString* text) {
    onModal(QStringLiteral("message box"), IsA<QMessageBox>(), [button, text](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (text) *text = box->text();
        if (QAbstractButton* b = box->button(button)) b->click();
    });
}

void ModalAnswerer::cancel() {
    onModal(
        QStringLiteral("a modal window to cancel"), [](QWidget*) { return true; },
        [](QWidget* w) {
            if (auto* dialog = qobject_cast<QDialog*>(w)) {
                dialog->reject();
            } else {
                w->close();
            }
        });
}

QString ModalAnswerer::TypedName(QFileDialog* dialog) {
    const auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    return edit ? edit->text() : QString();
}

QStringList ModalAnswerer::faults() const {
    QStringList all = failures_;
    if (!done()) all << QStringLiteral("dialog steps left");
    return all;
}

QStringList ModalAnswerer::ListedFiles(QFileDialog* dialog) {
    QStringList names;
    auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    if (!view || !view->model()) return names;
    const QAbstractItemModel* model = view->model();
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row)
        names << model->index(row, 0, root).data().toString();
    names.sort(Qt::CaseInsensitive);
    return names;
}

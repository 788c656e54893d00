#pragma once
// What the main window's tests share, as a base of their test classes: the window on a silent ad server
// (the panes stay empty and no request leaves the machine), its controls by name, and the user's usual
// steps on it.

#include "main_window/Form1.h"
#include "platform/controls/DirListBox.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/PictureBox.h"
#include "platform/controls/PictureControl.h"
#include "platform/msgbox.h"
#include "tests/support/FindControl.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/MsgBoxRecorder.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

class Form1UnderTest {
protected:
    LoopbackHttpServer server_{LoopbackHttpServer::Mode::Silent};
    std::unique_ptr<Form1> form_;

    // A fresh window, shown unless asked otherwise; false when it never got on the screen.
    [[nodiscard]] bool openForm(bool shown = true) {
        form_ = std::make_unique<Form1>(server_.base());
        if (!shown) return true;
        form_->show();
        return QTest::qWaitForWindowExposed(form_.get());
    }

    template <class T>
    T* control(const char* name) {
        return FindControl<T>(*form_, name);
    }
    QString text(const char* name) { return control<QLineEdit>(name)->text(); }
    platform::FileListBox* files() { return control<platform::FileListBox>("File1"); }
    platform::PictureControl* preview() { return control<platform::PictureControl>("Image2"); }
    platform::Picture picture2() { return control<platform::PictureBox>("Picture2")->Picture(); }

    void openFolder(const QString& folder) { control<platform::DirListBox>("Dir1")->setPath(folder); }
    // Makes the file's entry the list's current one, as a click on it would.
    void select(const QString& name) {
        const auto found = files()->findItems(name, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(name));
        files()->setCurrentItem(found.first());
    }
    // "1-Aç" with path typed into the open dialog.
    void openWithDialog(const QString& path) {
        ModalAnswerer answer;
        answer.typeFileName(path);
        control<QPushButton>("Command2")->click();
        QVERIFY2(answer.done() && answer.failures().isEmpty(), qPrintable(answer.failures().join(u';')));
    }
    // "2-Küçült" with the wanted size typed in.
    void shrink(const QString& width = QStringLiteral("400"), const QString& height = QStringLiteral("400")) {
        control<QLineEdit>("Text1")->setText(width);
        control<QLineEdit>("Text2")->setText(height);
        control<QPushButton>("Command3")->click();
    }
    // A save button ("cmdSaveStdPic" or "cmdSaveQualityPic") with name typed into its dialog, under the
    // type of the list at index type (1-based).
    void saveAs(const char* button, const QString& name, int type = 1) {
        ModalAnswerer answer;
        if (type != 1) answer.selectFilter(type);
        answer.typeFileName(name);
        control<QPushButton>(button)->click();
        QVERIFY2(answer.done() && answer.failures().isEmpty(), qPrintable(answer.failures().join(u';')));
    }
    // A click on the preview, which opens the full-screen view.
    void clickPreview() { QTest::mouseClick(preview(), Qt::LeftButton, {}, preview()->rect().center()); }
    // The full-screen window; null before it was first made.
    static QWidget* form2() {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == QStringLiteral("Form2")) return window;
        return nullptr;
    }
    static bool form2Shown() { return form2() && form2()->isVisible(); }

    // Exactly one warning, with this text, under the program's caption.
    static void expectWarning(const MsgBoxRecorder& boxes, const QString& prompt) {
        const QStringList faults = boxes.oneBoxFaults(prompt, platform::vbExclamation);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }
    static QString cannotOpen(const QString& path) {
        return QStringLiteral("Resim dosyası açılamadı: '%1'").arg(path);
    }
};

#pragma once
// What the main window's tests share, as a base of their test classes: the window on a silent ad server
// (the panes stay empty and no request leaves the machine), its controls by name, and the user's usual
// steps on it.

#include "main_window/Form1.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/PictureControl.h"
#include "tests/support/FindControl.h"
#include "tests/support/LoopbackHttpServer.h"

#include <QApplication>
#include <QLineEdit>
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

    // Makes the file's entry the list's current one, as a click on it would.
    void select(const QString& name) {
        const auto found = files()->findItems(name, Qt::MatchExactly);
        QVERIFY2(found.size() == 1, qPrintable(name));
        files()->setCurrentItem(found.first());
    }
    // A click on the preview, which opens the full-screen view.
    void clickPreview() {
        auto* image2 = control<platform::PictureControl>("Image2");
        QTest::mouseClick(image2, Qt::LeftButton, {}, image2->rect().center());
    }
    // The full-screen window; null before it was first made.
    static QWidget* form2() {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->objectName() == QStringLiteral("Form2")) return window;
        return nullptr;
    }
};

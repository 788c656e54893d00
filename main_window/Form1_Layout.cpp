// The window made larger than its own size: the room goes to the preview and to the folder and file lists.
#include "main_window/Form1.h"

#include "platform/controls/DirListBox.h"
#include "platform/controls/DriveListBox.h"
#include "platform/controls/FileListBox.h"
#include "platform/controls/PictureControl.h"
#include "platform/controls/WebBrowser.h"

#include <QGroupBox>
#include <QResizeEvent>
#include <algorithm>

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    arrangeControls();
}

void Form1::arrangeControls() {
    if (ownGeometry_.isEmpty()) return;  // still being made
    const int dw = std::max(0, width() - minimumWidth());
    const int dh = std::max(0, height() - minimumHeight());
    const auto own = [this](const QWidget* control) { return ownGeometry_.value(control); };
    // The preview and the folder browser share the width as they share it at the window's own size; the
    // folder list takes a third of the height, the file list the rest. The top rows stay where they are.
    const int previewGrowth = dw * own(Image2).width() / (own(Image2).width() + own(Frame4).width());
    const int listsGrowth = dw - previewGrowth;
    const int folderGrowth = dh / 3;
    const QSize shownBefore = Image2->contentsRect().size();
    Image2->setGeometry(own(Image2).adjusted(0, 0, previewGrowth, dh));
    Image4->setGeometry(own(Image4).translated(previewGrowth / 2, dh / 2));
    Frame4->setGeometry(own(Frame4).adjusted(previewGrowth, 0, dw, dh));
    Drive1->setGeometry(own(Drive1).adjusted(previewGrowth, 0, dw, 0));
    Dir1->setGeometry(own(Dir1).adjusted(previewGrowth, 0, dw, folderGrowth));
    File1->setGeometry(own(File1).adjusted(0, folderGrowth, listsGrowth, dh));  // within Frame4
    WebBrowser1->setGeometry(own(WebBrowser1).translated(0, dh));
    WebBrowser2->setGeometry(own(WebBrowser2).translated(0, dh));
    placeSizeEstimate();
    // A picture shown zoomed may now fit at its own size, or one at its own size no longer fit.
    if (Image2->contentsRect().size() != shownBefore && !Image2->Picture().isEmpty()) Image2->fitPictureSizeMode();
}

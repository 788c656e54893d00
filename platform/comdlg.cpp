#include "platform/comdlg.h"

#include "platform/name_filters.h"
#include "platform/msgbox.h"
#include "platform/runtime.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace platform {

namespace {

int32_t& LastError() {
    static int32_t error = 0;
    return error;
}

QString TextBeforeZero(const QString& text) {
    const qsizetype end = text.indexOf(QChar(0));
    return end < 0 ? text : text.left(end);
}

QString PaddedBuffer(const QString& text, int32_t size) {
    QString buffer = text.left(size);
    buffer.resize(size, QChar(0));
    return buffer;
}

// Items of a zero-separated list up to the first empty item.
QStringList ZeroSeparatedItems(const QString& list) {
    QStringList items;
    qsizetype start = 0;
    while (start < list.size()) {
        qsizetype end = list.indexOf(QChar(0), start);
        if (end < 0) end = list.size();
        if (end == start) break;
        items << list.mid(start, end - start);
        start = end + 1;
    }
    return items;
}

// The extension a name typed without one gets under each type of the list: the type's first pattern's
// ("*.png" gives "png"), the default extension for a type of any extension ("*.*") or of that same one;
// none at all without a default extension.
QStringList TypeExtensions(const QStringList& items, const QString& defaultExt) {
    QStringList extensions;
    for (qsizetype i = 1; i < items.size(); i += 2) {
        const QString pattern = items[i].section(u';', 0, 0).trimmed();
        const qsizetype dot = pattern.lastIndexOf(u'.');
        const QString own = dot < 0 ? QString() : pattern.mid(dot + 1);
        const bool wild = own.isEmpty() || own.contains(u'*') || own.contains(u'?');
        extensions << (defaultExt.isEmpty() || wild || own.compare(defaultExt, Qt::CaseInsensitive) == 0
                           ? defaultExt
                           : own);
    }
    return extensions;
}

// Qt's own save dialog, made to refuse a choice that the caller's buffers cannot take, and to give a name
// typed without an extension the chosen type's.
class SaveFileDialog final : public QFileDialog {
public:
    SaveFileDialog(QWidget* owner, int32_t maxFile, int32_t maxFileTitle)
        : QFileDialog(owner), maxFile_(maxFile), maxFileTitle_(maxFileTitle) {}

    void setTypeExtensions(QStringList extensions) { typeExtensions_ = std::move(extensions); }
    // The type chosen in the list (0-based), or -1.
    int chosenType() const {
        const auto* combo = findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        return combo ? combo->currentIndex() : int(nameFilters().indexOf(selectedNameFilter()));
    }

    void accept() override {
        // Before the name is read, so that the question before replacing a file asks about the right one.
        const int type = chosenType();
        if (type >= 0 && type < typeExtensions_.size()) setDefaultSuffix(typeExtensions_[type]);
        const QStringList files = selectedFiles();
        if (!files.isEmpty() && !QFileInfo(files.first()).isDir() && !Acceptable(files.first())) return;
        QFileDialog::accept();
    }

private:
    bool Acceptable(const QString& path) const {
        const QFileInfo info(path);
        // One character of each buffer is kept for the terminating zero.
        const int32_t limit = maxFile_ - 1;
        if (path.size() > limit || (maxFileTitle_ > 0 && info.fileName().size() > maxFileTitle_ - 1)) {
            MsgBox(QStringLiteral("Dosya yolu çok uzun (%1 karakter); en fazla %2 karakter olabilir.\n"
                                  "Lütfen daha kısa bir ad ya da klasör seçin.")
                       .arg(path.size())
                       .arg(limit),
                   vbExclamation);
            return false;
        }
        if (!info.dir().exists()) {
            MsgBox(QStringLiteral("Klasör bulunamadı: '%1'.\nLütfen var olan bir klasör seçin.")
                       .arg(QDir::toNativeSeparators(info.path())),
                   vbExclamation);
            return false;
        }
        return true;
    }

    int32_t maxFile_;
    int32_t maxFileTitle_;
    QStringList typeExtensions_;
};

}  // namespace

int32_t GetSaveFileNameA(OPENFILENAME& ofn) {
    LastError() = 0;
    if (ofn.lStructSize != kOpenFileNameSize) {
        LastError() = CDERR_STRUCTSIZE;
        return 0;
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        LastError() = CDERR_INITIALIZATION;
        return 0;
    }
    if (ofn.nMaxFile < 1) {
        LastError() = FNERR_BUFFERTOOSMALL;
        return 0;
    }

    SaveFileDialog dialog(ofn.hwndOwner, ofn.nMaxFile, ofn.nMaxFileTitle);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(ofn.Flags & OFN_OVERWRITEPROMPT));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Patterns match letters of either case, as "*.JPG" does on the system these lists come from.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setWindowTitle(ofn.lpstrTitle.isEmpty() ? QCoreApplication::translate("QFileDialog", "Save As")
                                                   : ofn.lpstrTitle);
    dialog.setDefaultSuffix(ofn.lpstrDefExt);

    const QStringList items = ZeroSeparatedItems(ofn.lpstrFilter);
    const QStringList filters = QtNameFilters(items);
    dialog.setTypeExtensions(TypeExtensions(items.mid(0, 2 * filters.size()), ofn.lpstrDefExt));
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int32_t index =
            ofn.nFilterIndex >= 1 && ofn.nFilterIndex <= filters.size() ? ofn.nFilterIndex : 1;
        dialog.selectNameFilter(filters.at(index - 1));
    }

    const QString offered = TextBeforeZero(ofn.lpstrFile);
    if (offered.contains(u'/')) {
        const QFileInfo info(offered);
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    } else {
        dialog.setDirectory(ofn.lpstrInitialDir.isEmpty() ? QDir::currentPath() : ofn.lpstrInitialDir);
        if (!offered.isEmpty()) dialog.selectFile(offered);
    }

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return 0;

    const QString path = dialog.selectedFiles().first();
    const QFileInfo info(path);
    ofn.lpstrFile = PaddedBuffer(path, ofn.nMaxFile);
    if (ofn.nMaxFileTitle > 0) ofn.lpstrFileTitle = PaddedBuffer(info.fileName(), ofn.nMaxFileTitle);
    ofn.nFileOffset = static_cast<uint16_t>(path.size() - info.fileName().size());
    const qsizetype dot = info.fileName().lastIndexOf(u'.');
    ofn.nFileExtension = static_cast<uint16_t>(dot < 0 ? path.size() : ofn.nFileOffset + dot + 1);
    const bool otherExtension =
        !ofn.lpstrDefExt.isEmpty() && info.suffix().compare(ofn.lpstrDefExt, Qt::CaseInsensitive) != 0;
    ofn.Flags = otherExtension ? (ofn.Flags | OFN_EXTENSIONDIFFERENT) : (ofn.Flags & ~OFN_EXTENSIONDIFFERENT);
    if (!filters.isEmpty()) {
        const int chosen = dialog.chosenType();
        ofn.nFilterIndex = chosen >= 0 ? chosen + 1 : 1;
    }
    return 1;
}

int32_t CommDlgExtendedError() { return LastError(); }

}  // namespace platform

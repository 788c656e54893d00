#pragma once
// The main window: the wanted-size, picture-size and new-size fields, the command buttons, the
// quality slider, the preview, the folder browser and the two advertising panes, with the
// window-level values the commands share.

#include "platform/picture.h"

#include <QHash>
#include <QRect>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <cstdint>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QDragEnterEvent;
class QDropEvent;
class Form2;
class LatestPictureLoader;
class SizeEstimator;

namespace platform {
class CommandButton;
class CommonDialog;
class DirListBox;
class DriveListBox;
class FadingNotice;
class FileListBox;
class HScrollBar;
class PictureBox;
class PictureControl;
class Timer;
class WebBrowser;
}  // namespace platform

class Form1 : public QWidget {
    Q_OBJECT
public:
    // adServerBase: scheme and host of the advertising server; TORV_AD_SERVER comes from the build. Empty:
    // the panes show the pages stored with the program and nothing is asked of the network.
    explicit Form1(QString adServerBase = QStringLiteral(TORV_AD_SERVER), QWidget* parent = nullptr);
    ~Form1() override;

    // A window-level value by its name ("resim_genislik", ..., "sayac"); invalid for an unknown name.
    QVariant value(const char* name) const;

    // The aspect-ratio fit of the shrink: sets yeni_genislik, yeni_yukseklik and durum, and replaces the
    // four arguments by their floors.
    void ulkpixel(QVariant& resim_genislik, QVariant& resim_yukseklik, QVariant& bizim_genislik,
                  QVariant& bizim_yukseklik);

    // A picture from outside the window (the command line, a drop): picked as a click in the file list
    // picks it, with the folder browser at its folder; a file the list does not show is loaded as "1-Aç"
    // loads it. Either way a file that is no picture gets the usual message.
    void PickPicture(const QString& path);
    // The batch window over the pictures and folders, with the box and the slider's quality (Ctrl+B: the
    // folder the file list shows; a drop of several files or a folder).
    void OpenBatchWindow(const QStringList& paths);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void Form_Load();
    void Form_Paint();
    void Timer1_Timer();
    void HScroll1_Change();
    void cmdSaveStdPic_Click();
    void cmdSaveQualityPic_Click();
    void Command3_Click();
    void Command4_Click();
    void Drive1_Change();
    void Dir1_Change();
    void Dir1_PathNotFound(const QString& path);
    void File1_Click();
    void Command2_Click();
    void Image2_Click();
    void File1_KeyPress(int& keyAscii);

private:
    // Tests reach the private quality reading through this accessor (tests/main_window only).
    friend struct Form1TestAccess;

    void boyut_hesapla();
    void resim_kucult();
    void txtQuality_KeyPress(std::int16_t& KeyAscii);
    // The quality in txtQuality as a number; 90, written back into the box, when it is none.
    std::int32_t kalite_oku();
    // "3-Kaydet"'s quality, and the one an unusable quality box stands for.
    static constexpr std::int32_t kStandardQuality = 90;
    void createControls();
    void setTabOrder();
    void addShortcuts();
    // The steps both save buttons share; bQualityFromBox reads txtQuality after the dialog, else 90.
    void resmi_kaydet(bool bQualityFromBox);
    // A picture named outside the file list ("1-Aç", a drop, the command line) loaded into Picture1 and
    // the preview, off the window's thread.
    void loadPicture(const QString& path);
    // A picture loaded from path into Picture1 (the empty picture: it could not be, which is said, and
    // Picture1 stays as it was).
    bool takePicture(const QString& path, const platform::Picture& picture);
    // The newest pick, loaded.
    void File1_PictureLoaded(const QString& path, const platform::Picture& picture);
    // Picture1's picture, just loaded from path, into the preview, the size boxes and dosya_yolu; the
    // shrunk result of another picture goes.
    void showLoadedPicture(const QString& path);
    void clearPicture();
    void clearShrunkPicture();
    void measurePicture();
    // The measured size in the "Resim" boxes, as the whole pixels the fit counts.
    void showPictureSize();
    // What makes the first preview and the first dialog as quick as later ones, done once the window is up.
    void warmUp();
    // The window larger than its own size: the extra room goes to the preview and the folder and file
    // lists, the ad panes move down with the foot; at its own size every control is where it was made.
    void arrangeControls();
    // The size the shrunk result would have as a JPEG at the slider's quality, worked out off the window's
    // thread; shown beside the slider when it comes.
    void requestSizeEstimate();
    void showSizeEstimate(qint64 bytes);
    void placeSizeEstimate();
    // "38 KB": whole kilobytes, rounded up, as the window tells a file's size.
    static QString KiloBytesText(qint64 bytes);

    QString adServerBase_;

    // Window-level values; an invalid QVariant is the empty value.
    QVariant resim_genislik;
    QVariant resim_yukseklik;
    QVariant bizim_genislik;
    QVariant bizim_yukseklik;
    QVariant yeni_genislik;
    QVariant yeni_yukseklik;
    QVariant durum;
    QVariant dosya_yolu;
    QVariant sayac;

    // Controls, named as their objectName.
    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    platform::CommandButton* Command4 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Text6 = nullptr;
    QLineEdit* Text7 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLineEdit* Text5 = nullptr;
    platform::PictureControl* Image1 = nullptr;
    platform::CommandButton* Command2 = nullptr;
    platform::CommandButton* Command3 = nullptr;
    platform::CommandButton* cmdSaveStdPic = nullptr;
    QLineEdit* txtQuality = nullptr;
    platform::HScrollBar* HScroll1 = nullptr;
    platform::CommandButton* cmdSaveQualityPic = nullptr;
    platform::PictureControl* Image2 = nullptr;
    platform::PictureControl* Image4 = nullptr;
    QGroupBox* Frame4 = nullptr;
    platform::DriveListBox* Drive1 = nullptr;
    platform::DirListBox* Dir1 = nullptr;
    platform::FileListBox* File1 = nullptr;
    platform::WebBrowser* WebBrowser1 = nullptr;
    platform::WebBrowser* WebBrowser2 = nullptr;
    platform::PictureBox* Picture1 = nullptr;
    platform::PictureBox* Picture2 = nullptr;
    platform::Timer* Timer1 = nullptr;
    platform::CommonDialog* CommonDialog1 = nullptr;
    // What the last save wrote, over the foot of the preview for a few seconds.
    platform::FadingNotice* SaveNotice = nullptr;
    // How large the shrunk result would be at the slider's quality ("≈ 143 KB"), over the preview's top
    // under the slider; hidden while there is no result.
    QLabel* estimatedSizeLabel = nullptr;
    SizeEstimator* Estimator = nullptr;
    // The shrunk result with its transparency, which Picture2 lays on white: what a PNG or WebP save
    // writes. Empty when the result has none.
    platform::Picture shrunkWithAlpha_;
    // Where the controls that take a larger window's room were made.
    QHash<const QWidget*, QRect> ownGeometry_;
    // Loads what the file list picks, off the window's thread.
    LatestPictureLoader* PictureLoader = nullptr;

    // The full-size preview window, made on its first use.
    std::unique_ptr<::Form2> Form2;
    bool qualityMoved_ = false;  // the user moved the quality slider
};

#include "ui/AboutBox.h"

#include <curl/curl.h>
#include <jpeglib.h>
#include <lzo/lzoconf.h>
#include <zlib.h>

#include <QDialogButtonBox>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>
#include <QtGlobal>
#include <cstdio>

namespace kyv {
namespace {

#define KYV_TEXT_OF(x) #x
#define KYV_TEXT(x) KYV_TEXT_OF(x)

QPointer<TAboutBox> TheBox;

}  // namespace

std::vector<TLibraryVersion> LibraryVersions() {
  const curl_version_info_data* curl = curl_version_info(CURLVERSION_NOW);
  return {
      {"zlib", ZLIB_VERSION, zlibVersion()},
      // libjpeg-turbo has no run-time version query in the libjpeg interface it offers.
      {"libjpeg-turbo", KYV_TEXT(LIBJPEG_TURBO_VERSION), ""},
      {"LZO", LZO_VERSION_STRING, lzo_version_string()},
      {"libcurl", LIBCURL_VERSION, curl != nullptr ? curl->version : ""},
      {"Qt", QT_VERSION_STR, qVersion()},
  };
}

std::string ProgramVersion() {
  char text[64];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", KYV_VERSION_MAJOR, KYV_VERSION_MINOR,
                KYV_VERSION_PATCH, KYV_VERSION_TWEAK);
  return text;
}

TAboutBox::TAboutBox(QWidget* Parent, uint16_t LangId) : QDialog(Parent), FText(new QLabel(this)) {
  const bool english = LangId != kLangChinesePrc;
  setObjectName("frmAbout");
  setWindowTitle(english ? "About" : "关于");
  setModal(true);

  auto* title = new QLabel("Kavrindel KyvPlayer", this);
  title->setObjectName("labTitle");
  QFont big = title->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.4);
  title->setFont(big);

  QString text = QString::fromUtf8(english ? "Version " : "版本 ") +
                 QString::fromStdString(ProgramVersion()) + "\n\n" +
                 QString::fromUtf8(english ? "Built with:" : "使用的程序库：");
  for (const TLibraryVersion& library : LibraryVersions()) {
    text += "\n" + QString::fromStdString(library.Name + " " + library.Built);
    if (!library.Running.empty() && library.Running != library.Built)
      text += QString::fromUtf8(english ? " (running " : "（运行 ") +
              QString::fromStdString(library.Running) + (english ? ")" : "）");
  }
  FText->setObjectName("labText");
  FText->setText(text);
  FText->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(title);
  layout->addWidget(FText);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

TAboutBox& TAboutBox::Instance(QWidget& Owner, uint16_t LangId) {
  QWidget* window = Owner.window();
  if (TheBox.isNull())
    TheBox = new TAboutBox(window, LangId);  // owned by that window from now on
  else if (TheBox->parentWidget() != window && !TheBox->isVisible())
    TheBox->setParent(window, TheBox->windowFlags());
  return *TheBox;
}

void TAboutBox::ShowModal(QWidget& Owner) {
  TAboutBox& box = Instance(Owner);
  if (!box.isVisible()) box.exec();
}

QString TAboutBox::Text() const {
  return FText->text();
}

}  // namespace kyv

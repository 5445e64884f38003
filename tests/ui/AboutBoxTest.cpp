// The about box: one for the process, modal, naming the program's version and the versions of
// the libraries as they report themselves.
#include "ui/AboutBox.h"

#include <curl/curl.h>
#include <lzo/lzoconf.h>
#include <zlib.h>

#include <gtest/gtest.h>
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <memory>

namespace kyv {
namespace {

TEST(AboutBox, NamesTheProgramAndTheLibrariesItRunsWith) {
  QWidget control;
  TAboutBox& box = TAboutBox::Instance(control, kLangEnglishUs);
  const QString text = box.Text();
  EXPECT_TRUE(text.contains("Version " + QString::fromStdString(ProgramVersion())))
      << text.toStdString();
  EXPECT_TRUE(text.contains(QString("zlib ") + zlibVersion()));
  EXPECT_TRUE(text.contains(QString("LZO ") + lzo_version_string()));
  EXPECT_TRUE(text.contains(QString("libcurl ") + curl_version_info(CURLVERSION_NOW)->version));
  EXPECT_TRUE(text.contains(QString("Qt ") + qVersion()));
  EXPECT_TRUE(text.contains("libjpeg-turbo 2.") || text.contains("libjpeg-turbo 3."));
  EXPECT_EQ(ProgramVersion().find_first_not_of("0123456789."), std::string::npos);
}

TEST(AboutBox, OneBoxForTheProcessShownModallyAndGoneWithItsControl) {
  auto first = std::make_unique<QWidget>();
  QWidget second;
  TAboutBox& box = TAboutBox::Instance(*first);
  EXPECT_EQ(&TAboutBox::Instance(second), &box);  // moved to the control that asked last
  EXPECT_EQ(box.parentWidget(), &second);
  EXPECT_EQ(&TAboutBox::Instance(*first), &box);

  // The modal loop runs until the box is closed; the timer fires inside it.
  bool wasModal = false;
  QTimer::singleShot(0, [&] {
    wasModal = QApplication::activeModalWidget() == &box;
    box.accept();
  });
  TAboutBox::ShowModal(*first);
  EXPECT_TRUE(wasModal);
  EXPECT_FALSE(box.isVisible());

  QPointer<TAboutBox> gone(&box);
  first.reset();
  EXPECT_TRUE(gone.isNull());
  EXPECT_NE(&TAboutBox::Instance(second), nullptr);  // a new one for the next control
}

}  // namespace
}  // namespace kyv

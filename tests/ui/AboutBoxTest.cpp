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
  const QString text = TAboutBox::Instance(control, kLangEnglishUs).Text();
  for (const QString& expected :
       {"Version " + QString::fromStdString(ProgramVersion()), QString("zlib ") + zlibVersion(),
        QString("LZO ") + lzo_version_string(), QString("Qt ") + qVersion(),
        QString("libcurl ") + curl_version_info(CURLVERSION_NOW)->version})
    EXPECT_TRUE(text.contains(expected)) << expected.toStdString() << " in " << text.toStdString();
}

TEST(AboutBox, OneBoxForTheProcessShownModallyAndGoneWithItsControl) {
  auto first = std::make_unique<QWidget>();
  QWidget second;
  TAboutBox& box = TAboutBox::Instance(*first);
  EXPECT_EQ(&TAboutBox::Instance(second), &box);  // moved to the control that asked last
  EXPECT_EQ(box.parentWidget(), &second);

  bool wasModal = false;
  QTimer::singleShot(0, [&] {  // fires inside the modal loop
    wasModal = QApplication::activeModalWidget() == &box;
    box.accept();
  });
  TAboutBox::ShowModal(*first);
  EXPECT_TRUE(wasModal);
  EXPECT_EQ(box.parentWidget(), first.get());

  QPointer<TAboutBox> gone(&box);
  first.reset();
  EXPECT_TRUE(gone.isNull());
}

}  // namespace
}  // namespace kyv

// The about box: one for the process, naming the program's version and the versions of the
// libraries as they report themselves. The control's menu shows it modally (StatusFormTest).
#include "ui/AboutBox.h"

#include <curl/curl.h>
#include <lzo/lzoconf.h>
#include <zlib.h>

#include <gtest/gtest.h>
#include <QPointer>
#include <memory>

namespace kyv {
namespace {

TEST(AboutBox, OneBoxForTheProcessNamesTheLibrariesItRunsWith) {
  QWidget first;
  auto second = std::make_unique<QWidget>();
  TAboutBox& box = TAboutBox::Instance(first, kLangEnglishUs);
  for (const QString& expected :
       {"Version " + QString::fromStdString(ProgramVersion()), QString("zlib ") + zlibVersion(),
        QString("LZO ") + lzo_version_string(), QString("Qt ") + qVersion(),
        QString("libcurl ") + curl_version_info(CURLVERSION_NOW)->version})
    EXPECT_TRUE(box.Text().contains(expected)) << expected.toStdString();

  EXPECT_EQ(&TAboutBox::Instance(*second), &box);  // moved to the control that asked last
  EXPECT_EQ(box.parentWidget(), second.get());
  QPointer<TAboutBox> gone(&box);
  second.reset();
  EXPECT_TRUE(gone.isNull());
}

}  // namespace
}  // namespace kyv

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ScopedEnv.h"
#include "SinkBase.h"
#include "SmallSample.h"
#include "TempFolder.h"
#include "com/Bstr.h"
#include "com/ComPtr.h"
#include "context/UserMessages.h"
#include "control/KyvPlayerObject.h"
#include "platform/Clock.h"
#include "ui/DetailFrame.h"
#include "ui/NailsFrame.h"
#include "ui/QtControlForm.h"
#include "writer/SampleRecording.h"

namespace kyv {
namespace {

namespace fs = std::filesystem;
using com::MakeCom;
using com::TBstr;
using com::TComPtr;

const fs::path& SamplePath() {
  static const test::TTempFolder folder{"kyv_form"};
  static const fs::path path = [] {
    fs::create_directories(folder.Path() / "rec");
    WriteSampleRecording(folder.Path() / "rec/sample.kyv", test::SmallSample(3));
    return folder.Path() / "rec/sample.kyv";
  }();
  return path;
}

// The host's sink: every event in order as "Name(arguments)". OnKeyPress's key may be replaced.
class TRecordingSink final : public test::TSinkBase {
 public:
  HRESULT Invoke(DISPID Member, REFIID, LCID, WORD, DISPPARAMS* Params, VARIANT*, EXCEPINFO*,
                 UINT*) override {
    std::string text = Name(Member) + "(";
    for (UINT i = Params->cArgs; i-- > 0;) {
      VARIANT& arg = Params->rgvarg[i];
      if (arg.vt == (VT_I2 | VT_BYREF)) {
        text += std::to_string(*arg.u.piVal);
        if (ReplaceKey) *arg.u.piVal = ReplaceKey(*arg.u.piVal);
      } else if (arg.vt == VT_I4) {
        text += std::to_string(arg.u.lVal);
      }
      if (i > 0) text += ",";
    }
    Events.push_back(text + ")");
    if (OnEvent) OnEvent(Events.back());
    return S_OK;
  }

  std::vector<std::string> Events;
  std::function<void(const std::string&)> OnEvent;
  std::function<int16_t(int16_t)> ReplaceKey;

 private:
  static std::string Name(DISPID Member) {
    switch (Member) {
      case DISPID_KYVPLAYEREVENTS_ONPLAYSTATECHANGED:
        return "State";
      case DISPID_KYVPLAYEREVENTS_ONDISPLAYMODECHANGED:
        return "Mode";
      case DISPID_KYVPLAYEREVENTS_ONKEYPRESS:
        return "Key";
      case DISPID_KYVPLAYEREVENTS_ONCLICK:
        return "Click";
      case DISPID_KYVPLAYEREVENTS_ONMOUSEDOWN:
        return "Down";
      case DISPID_KYVPLAYEREVENTS_ONMOUSEUP:
        return "Up";
      case DISPID_KYVPLAYEREVENTS_ONDESTROY:
        return "Destroy";
      default:
        return "";  // painting, moving and activation come as the platform pleases
    }
  }
};

class ControlForm : public ::testing::Test {
 protected:
  void SetUp() override {
    Object = MakeCom<TKyvPlayerObject>((FCache.Path() / "cache").string(), &TQtControlForm::Make);
    Sink = MakeCom<TRecordingSink>();
    TComPtr<IConnectionPoint> point;
    ASSERT_EQ(Object.As<IConnectionPointContainer>()->FindConnectionPoint(DIID_IKyvPlayerEvents,
                                                                          point.Receive()),
              S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(Sink.Get(), &cookie), S_OK);
  }

  TQtControlForm& Form() { return static_cast<TQtControlForm&>(Object->Form()); }
  TKyvPlayerCtrl& Ctrl() { return *Form().Ctrl(); }
  TPlayerControl& Control() { return Object->Control(); }
  // Host events other than those the platform raises when it pleases.
  std::vector<std::string> Heard() const {
    std::vector<std::string> heard;
    for (const std::string& e : Sink->Events)
      if (e[0] != '(') heard.push_back(e);
    return heard;
  }
  // Runs Qt's loop, where the control's messages arrive, until Done.
  static bool Until(const std::function<bool()>& Done) { return QTest::qWaitFor(Done, 20000); }
  QAction& Item(const char* Name) { return *Ctrl().findChild<QAction*>(Name); }

  test::TTempFolder FCache{"kyv_form_cache"};
  TComPtr<TKyvPlayerObject> Object;
  TComPtr<TRecordingSink> Sink;
};

bool SameRows(const QImage& Shown, const TDib& Expected) {
  if (Shown.width() != Expected.Width() || Shown.height() != Expected.Height()) return false;
  const QImage rgb = Shown.convertToFormat(QImage::Format_BGR888);
  for (int y = 0; y < rgb.height(); ++y)
    if (std::memcmp(rgb.constScanLine(y), Expected.Row(y), Expected.Width() * 3) != 0) return false;
  return true;
}

TEST_F(ControlForm, ShowsTheSampleAsTheBackBufferHoldsIt) {
  void* widget = nullptr;
  ASSERT_EQ(Object->GetWidget(&widget), S_OK);
  EXPECT_EQ(widget, static_cast<QWidget*>(&Ctrl()));
  EXPECT_EQ(Ctrl().size(), QSize(495, 410));
  EXPECT_TRUE(Ctrl().imgPic().isHidden());

  ASSERT_EQ(Object->Open(TBstr::FromUtf8(SamplePath().string()).Get()), S_OK);
  ASSERT_TRUE(Until([&] { return Control().Status() == vpPlaying; }));
  EXPECT_EQ(Heard(), (std::vector<std::string>{"State(7)", "State(1)", "State(2)"}));
  EXPECT_FALSE(Ctrl().imgPic().isHidden());
  // 160 x 120 fits: shown 1:1, centred in the detail view.
  const QRect picture = Ctrl().imgPic().geometry();
  EXPECT_EQ(picture.size(), QSize(160, 120));
  EXPECT_EQ(picture.left(), (Ctrl().frmDetail().width() - 160) / 2);

  // Paused and repainted whole, the picture on screen is the back buffer's.
  ASSERT_EQ(Object->Pause(), S_OK);
  TPlayThread& player = *Control().Core().Player();
  player.RequestRefresh();
  ASSERT_TRUE(Until([&] {
    std::lock_guard lock(player.BackBuffer());
    return SameRows(Ctrl().imgPic().grab().toImage(), player.BackBuffer().Picture());
  }));
  ASSERT_EQ(Object->Close(), S_OK);
  EXPECT_TRUE(Ctrl().imgPic().isHidden());
}

TEST_F(ControlForm, BgColorColoursBothViewsAndABadTextChangesNothing) {
  const auto colourOf = [](QWidget& View) { return View.grab().toImage().pixelColor(5, 5); };
  EXPECT_EQ(colourOf(Ctrl().frmDetail()), QColor(0, 0, 0));
  EXPECT_EQ(colourOf(Ctrl().frmNails()), QColor(0, 0, 0));

  ASSERT_EQ(Object->put_bgColor(TBstr(u"#FF8000").Get()), S_OK);
  EXPECT_EQ(colourOf(Ctrl().frmDetail()), QColor(0xFF, 0x80, 0));
  EXPECT_EQ(colourOf(Ctrl().frmNails()), QColor(0xFF, 0x80, 0));

  EXPECT_EQ(Object->put_bgColor(TBstr(u"FF8000").Get()), E_UNEXPECTED);
  TComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.Receive()), S_OK);
  BSTR description = nullptr;
  ASSERT_EQ(info->GetDescription(&description), S_OK);
  EXPECT_EQ(TBstr(TBstr::View(description)).Utf8(), "Unknown color format");
  SysFreeString(description);
  EXPECT_EQ(colourOf(Ctrl().frmDetail()), QColor(0xFF, 0x80, 0));
  BSTR text = nullptr;
  ASSERT_EQ(Object->get_bgColor(&text), S_OK);
  EXPECT_EQ(TBstr(TBstr::View(text)).Utf8(), "#FF8000");
  SysFreeString(text);
}

TEST_F(ControlForm, TheMenuTicksTheModeAndAnnouncesEachChange) {
  const auto ticked = [&] {
    QMenu& modes = *Item("miDisplayMode").menu();
    emit modes.aboutToShow();
    std::string names;
    for (const char* name : {"miFull", "miOriginal", "miAdaptive"})
      if (Item(name).isChecked()) names += name;
    return names;
  };
  EXPECT_EQ(ticked(), "miAdaptive");
  Item("miOriginal").trigger();
  EXPECT_EQ(ticked(), "miOriginal");
  Item("miOriginal").trigger();  // already so: nothing
  Item("miFull").trigger();
  EXPECT_EQ(ticked(), "miFull");
  // Full screen is left through its window's message, back to the mode before it.
  PostMessage(Control().Window(), UM_LEAVE_FULLSCREEN, 0, 0);
  ASSERT_TRUE(Until([&] { return Control().DisplayMode() == dmOriginal; }));
  EXPECT_EQ(ticked(), "miOriginal");
  Item("miAdaptive").trigger();
  EXPECT_EQ(Heard(), (std::vector<std::string>{"Mode(2)", "Mode(1)", "Mode(2)", "Mode(0)"}));

  // The menu is the context menu of the whole form, the picture included.
  QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(3, 3), QPoint(3, 3));
  QApplication::sendEvent(&Ctrl().imgPic(), &menu);
  EXPECT_TRUE(Ctrl().pmKyv().isVisible());
  Ctrl().pmKyv().hide();
}

TEST_F(ControlForm, CaptionsFollowTheSystemsLanguage) {
  struct TCase {
    const char* Lang;
    const char* Adaptive;
    const char* Status;
  };
  const TCase cases[] = {{"zh_CN.UTF-8", "自适应", "统计信息"},
                         {"en_US.UTF-8", "Full of window", "Statistic"}};
  for (const TCase& c : cases) {
    const TScopedEnv all("LC_ALL", c.Lang);
    const TComPtr<TKyvPlayerObject> other =
        MakeCom<TKyvPlayerObject>((FCache.Path() / "cache").string(), &TQtControlForm::Make);
    auto& ctrl = *static_cast<QWidget*>(other->Form().Widget());
    EXPECT_EQ(ctrl.findChild<QAction*>("miAdaptive")->text(), QString::fromUtf8(c.Adaptive));
    EXPECT_EQ(ctrl.findChild<QAction*>("miStatus")->text(), QString::fromUtf8(c.Status));
    EXPECT_TRUE(ctrl.findChild<QAction*>("miLine2")->isSeparator());
  }
}

TEST_F(ControlForm, TheHostSeesEveryKeyFirstAndMayChangeOrDropIt) {
  auto* edit = new QLineEdit(&Ctrl().frmDetail());
  Sink->ReplaceKey = [](int16_t Key) -> int16_t { return Key == 'a' ? 'b' : Key == 'c' ? 0 : Key; };
  QTest::keyClicks(edit, "acd");
  EXPECT_EQ(edit->text(), "bd");
  EXPECT_EQ(Heard(), (std::vector<std::string>{"Key(97)", "Key(99)", "Key(100)"}));

  // Without key preview the host hears only what no widget took.
  ASSERT_EQ(Object->put_KeyPreview(VARIANT_FALSE), S_OK);
  Sink->Events.clear();
  QTest::keyClicks(edit, "e");
  QTest::keyClick(&Ctrl(), 'f');
  EXPECT_EQ(edit->text(), "bde");
  EXPECT_EQ(Heard(), (std::vector<std::string>{"Key(102)"}));
}

TEST_F(ControlForm, PressAndReleaseOverThePictureReachTheHost) {
  ASSERT_EQ(Object->Open(TBstr::FromUtf8(SamplePath().string()).Get()), S_OK);
  ASSERT_TRUE(Until([&] { return Control().Status() == vpPlaying; }));
  Sink->Events.clear();
  QTest::mouseClick(&Ctrl().imgPic(), Qt::LeftButton, {}, QPoint(7, 9));
  QTest::mousePress(&Ctrl().imgPic(), Qt::RightButton, {}, QPoint(3, 4));
  QTest::mouseRelease(&Ctrl().imgPic(), Qt::RightButton, {}, QPoint(3, 4));
  EXPECT_EQ(Heard(), (std::vector<std::string>{"Down(0,7,9)", "Up(0,7,9)", "Click()", "Down(1,3,4)",
                                               "Up(1,3,4)"}));
}

TEST_F(ControlForm, ABurstOfPostsIsDrainedInOneWakeUp) {
  struct TWakeUps : QObject {
    int Count = 0;
    bool eventFilter(QObject*, QEvent* Event) override {
      if (Event->type() == QEvent::MetaCall) ++Count;
      return false;
    }
  } wakeUps;
  Form().Receiver().installEventFilter(&wakeUps);
  for (int burst = 1; burst <= 2; ++burst) {
    std::thread worker([&] {
      for (int i = 0; i < 999; ++i) PostMessage(Control().Window(), WM_USER + 900, i, 0);
      PostMessage(Control().Window(), burst == 1 ? UM_ENTER_FULLSCREEN : UM_LEAVE_FULLSCREEN, 0, 0);
    });
    worker.join();
    ASSERT_TRUE(Until([&] { return Heard().size() == static_cast<size_t>(burst); }));
    EXPECT_EQ(wakeUps.Count, burst);
  }
  EXPECT_EQ(Heard(), (std::vector<std::string>{"Mode(1)", "Mode(0)"}));
}

TEST_F(ControlForm, AHostsNestedEventLoopLeavesTheMessagesToTheDrainUnderWay) {
  Sink->OnEvent = [&](const std::string& Event) {
    if (Event != "State(1)") return;
    PostMessage(Control().Window(), UM_ENTER_FULLSCREEN, 0, 0);
    QTest::qWait(50);  // the host's own loop, inside the control's drain
  };
  ASSERT_EQ(Object->Open(TBstr::FromUtf8(SamplePath().string()).Get()), S_OK);
  ASSERT_TRUE(Until([&] { return Heard().size() == 4; }));
  EXPECT_EQ(Heard(), (std::vector<std::string>{"State(7)", "State(1)", "State(2)", "Mode(1)"}));
}

TEST_F(ControlForm, TheTimerFollowsTheControlsRequestsOnTheManualClock) {
  TManualClock clock(1000);
  Control().RunTimers();  // the timers restart on the manual clock
  const auto fire = [&] {
    Form().Timer().start(0);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
  };
  EXPECT_TRUE(Form().Timer().isActive());
  clock.Advance(400);
  fire();
  EXPECT_EQ(Form().Timer().interval(), 600);
  clock.Advance(600);
  fire();
  EXPECT_EQ(Form().Timer().interval(), 1000);
}

TEST_F(ControlForm, AHostThatDeletesTheFormHearsOnDestroyAndTheControlGoesOn) {
  delete &Ctrl();
  EXPECT_EQ(Heard(), (std::vector<std::string>{"Destroy()"}));
  void* widget = this;
  EXPECT_EQ(Object->GetWidget(&widget), E_NOTIMPL);
  EXPECT_EQ(widget, nullptr);
  ASSERT_EQ(Object->Open(TBstr::FromUtf8(SamplePath().string()).Get()), S_OK);
  ASSERT_TRUE(Until([&] { return Control().Status() == vpPlaying; }));
  BSTR caption = nullptr;
  ASSERT_EQ(Object->get_Caption(&caption), S_OK);
  EXPECT_EQ(TBstr(TBstr::View(caption)).Utf8(), "Kavrindel KyvPlayer");
  SysFreeString(caption);
}

// A host may drop its last reference in any event: the control goes once Qt's loop is back,
// never under the code that raised the event (AddressSanitizer sees any use after that).
TEST_F(ControlForm, AHostReleasingTheControlInAnEventFreesItOnceTheLoopIsBack) {
  const struct {
    const char* Event;
    std::function<void()> Raise;
  } cases[] = {
      {"State(1)",
       [this] { ASSERT_EQ(Object->Open(TBstr::FromUtf8(SamplePath().string()).Get()), S_OK); }},
      {"Key(97)",
       [this] {
         auto* edit = new QLineEdit(&Ctrl().frmDetail());
         QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
         QCoreApplication::sendEvent(edit, &press);
       }},
      {"Destroy()", [this] { delete &Ctrl(); }},
  };
  for (const auto& c : cases) {
    SetUp();
    const QPointer<QWidget> widget(&Ctrl());
    Sink->OnEvent = [&](const std::string& Event) {
      if (Event != c.Event) return;
      void* dying = this;  // not handed out any more
      if (Event == "Destroy()") {
        EXPECT_EQ(Object->GetWidget(&dying), E_NOTIMPL);
      }
      Object.Reset();
    };
    c.Raise();
    ASSERT_TRUE(Until([&] { return !Object && widget.isNull(); })) << c.Event;
    Sink->OnEvent = nullptr;
  }
}

TEST_F(ControlForm, ACacheFolderThatCannotBeMadeIsToldWithoutBlockingTheHost) {
  const fs::path taken = FCache.Path() / "taken";
  std::ofstream(taken) << "a file where the folder would be";
  const TComPtr<TKyvPlayerObject> other =
      MakeCom<TKyvPlayerObject>(taken.string(), &TQtControlForm::Make);
  const auto* box = static_cast<QWidget*>(other->Form().Widget())->findChild<QMessageBox*>();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text().toStdString(), "Fail to create directory: " + taken.string());
  EXPECT_EQ(box->windowTitle(), "File");
  EXPECT_EQ(box->icon(), QMessageBox::Critical);
  EXPECT_FALSE(box->isModal());
  EXPECT_TRUE(box->isVisible());
}

// The control library hands out the Qt form on the Qt application's thread, and nowhere else.
TEST(ControlLibrary, MakesTheQtFormOnTheApplicationsThreadOnly) {
  void* library = dlopen(KYVPLAYER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  const auto getClassObject =
      reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, void**)>(dlsym(library, "DllGetClassObject"));
  ASSERT_NE(getClassObject, nullptr);
  TComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject(CLSID_KyvPlayerCtrl, IID_IClassFactory,
                           reinterpret_cast<void**>(factory.Receive())),
            S_OK);

  HRESULT elsewhere = S_OK;
  std::string why;
  std::thread([&] {
    TComPtr<IKyvPlayer> player;
    elsewhere = factory->CreateInstance(nullptr, IID_IKyvPlayer,
                                        reinterpret_cast<void**>(player.Receive()));
    TComPtr<IErrorInfo> info;
    BSTR description = nullptr;
    if (GetErrorInfo(0, info.Receive()) == S_OK && info->GetDescription(&description) == S_OK)
      why = TBstr(TBstr::View(description)).Utf8();
    SysFreeString(description);
  }).join();
  EXPECT_EQ(elsewhere, E_UNEXPECTED);
  EXPECT_EQ(why, "The control must be created on the thread of the Qt application of the process");

  TComPtr<IKyvPlayer> player;
  ASSERT_EQ(
      factory->CreateInstance(nullptr, IID_IKyvPlayer, reinterpret_cast<void**>(player.Receive())),
      S_OK);
  void* widget = nullptr;
  ASSERT_EQ(player.As<IKyvPlayerHost>()->GetWidget(&widget), S_OK);
  const QWidget& form = *static_cast<QWidget*>(widget);
  EXPECT_EQ(form.thread(), QThread::currentThread());
  EXPECT_EQ(form.size(), QSize(495, 410));
  EXPECT_EQ(form.windowTitle(), "Kavrindel KyvPlayer");
  EXPECT_NE(form.findChild<QWidget*>("frmDetail"), nullptr);
  EXPECT_NE(form.findChild<QMenu*>("pmKyv"), nullptr);
}

}  // namespace
}  // namespace kyv

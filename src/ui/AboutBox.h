#pragma once

#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/System.h"

class QLabel;

namespace kyv {

// A library the program uses: the version whose headers it was built with, and the version it
// runs with ("" when the library cannot tell at run time).
struct TLibraryVersion {
  std::string Name;
  std::string Built;
  std::string Running;
};
std::vector<TLibraryVersion> LibraryVersions();

// The program's version as "%d.%d.%d.%d".
std::string ProgramVersion();

// The about box (miAbout): the program's name and version and the libraries it was built with.
// One for the whole process, shown modally.
//
// UI thread, all of it.
class TAboutBox : public QDialog {
 public:
  // The one box, made on first use. It belongs to the window of the control that asked last, so
  // it goes with that control; the next one to ask then makes a new box.
  static TAboutBox& Instance(QWidget& Owner, uint16_t LangId = SystemDefaultLangID());
  // Shows the box modally over Owner and returns when it is closed; nothing when it is already
  // showing.
  static void ShowModal(QWidget& Owner);

  // The names and versions, one line each.
  QString Text() const;

 private:
  TAboutBox(QWidget* Parent, uint16_t LangId);

  QLabel* FText;  // owned by the box
};

}  // namespace kyv

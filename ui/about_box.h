// TAboutBox: the small modeless window with the program's name, icon, version and
// description, created hidden at start-up and shown by Help > About.
#pragma once

#include <QDialog>
#include <QString>

#include "settings/version.h"

class QFrame;
class QKeyEvent;
class QLabel;
class QPushButton;

namespace velkar {

// The program's version: hundreds the major part, the rest the minor part.
inline constexpr int VersionNumber = kVersionMajor * 100 + kVersionMinor;

// "Version" followed by major "." minor, no leading zeros: 130 -> "Version1.30".
QString VersionText(int versionNumber);

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  QFrame* Panel1;
  QLabel* ProgramIcon;
  QLabel* ProductName;
  QLabel* Version;
  QLabel* NoticeLabel;
  QLabel* Comments;
  QPushButton* OKButton;

  // Closing only hides the box; it keeps its state and place.
  void OKButtonClick();

  // Writes the version text into the box and shows it when hidden: centred on the
  // first showing, where it was last hidden afterwards, active with the focus on
  // OKButton. A box already shown is left where it is, even behind other windows.
  void ShowWithVersion(const QString& versionText);

  bool HasBeenShown() const { return shownBefore_; }

 protected:
  // There is no cancel button: Esc does nothing here.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool shownBefore_ = false;
};

// The About box of the running program, created by the start-up; nullptr before.
extern TAboutBox* AboutBox;

}  // namespace velkar

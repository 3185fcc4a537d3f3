// TVelkarMainForm: the program's one working window and the only store of its
// settings. Where it is defined, file by file:
//   main_form_layout.cpp   the form description and the build from it
//                          (BuildFromDescription)
//   main_form.cpp          construction, ConnectHandlers (every connection of the
//                          controls and menu items to their handlers), the first
//                          showing, the default button, keys (FormKeyDown) and
//                          closing (FileExit, CancelButtonClick)
//   control_behaviour.cpp  the rules that tie the controls together (the check-box
//                          handlers), the browse panels and File > Open (FileOpen,
//                          FileOpen2, FileSaveAs), the key position (SortPosEditChange,
//                          UpDown1Click, UpDown2Click), drops (FilesDropped)
//   run_request.cpp        the execute button (OKButtonClick, ExecuteSort, Settings):
//                          one run of the engine
//   command_line.cpp       start-up (FormCreate), the command line
//                          (ParseCommandLine), the hint (ShowHint)
//   application.cpp        Help > Contents and Help > Search (HelpContents,
//                          HelpSearch)
//   about_box.cpp          Help > About (HelpAbout)
// The texts it shows are those of ui_texts.h.
#pragma once

#include <QMainWindow>
#include <string>
#include <vector>

#include "settings/run_settings.h"
#include "ui/controls.h"
#include "ui/up_down.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace velkar {

class TVelkarMainForm : public QMainWindow {
  Q_OBJECT
 public:
  // Builds the window from its form description, hidden, and makes it a drop target.
  explicit TVelkarMainForm(QWidget* parent = nullptr);
  ~TVelkarMainForm() override;

  // --- Controls (objectName equals the member name) ---
  QWidget* ClientArea = nullptr;  // the 426x314 client area below the menu bar
  TStatusLine* StatusLine = nullptr;
  QGroupBox* SortMenu = nullptr;
  QRadioButton* Sort_F_RadioButton = nullptr;
  QRadioButton* Sort_R_RadioButton = nullptr;
  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;
  QCheckBox* NotCaseSensitiveCheckBox = nullptr;
  QCheckBox* UniqCheckBox = nullptr;
  QWidget* TabSheet2 = nullptr;
  TEdit* SortPosEdit = nullptr;
  TUpDown* UpDown1 = nullptr;
  TUpDown* UpDown2 = nullptr;
  QCheckBox* ColumCheckBox = nullptr;
  QCheckBox* FieldCheckBox = nullptr;
  QCheckBox* StringCompCheckBox = nullptr;
  QCheckBox* NumCompCheckBox = nullptr;
  QGroupBox* InputGroupBox = nullptr;
  QCheckBox* ClipBoardCheckBox1 = nullptr;
  QCheckBox* FileOpenCheckBox = nullptr;
  TBrowsePanel* FileOpenPanel = nullptr;
  TEdit* FileOpenEdit = nullptr;
  QGroupBox* OutputGroupBox = nullptr;
  QCheckBox* ClipBoardCheckBox2 = nullptr;
  QCheckBox* FileSaveCheckBox = nullptr;
  TBrowsePanel* FileSavePanel = nullptr;
  TEdit* FileSaveEdit = nullptr;
  QPushButton* OKButton = nullptr;
  QPushButton* CancelButton = nullptr;

  // --- Menu ---
  QMenuBar* MainMenu = nullptr;
  QMenu* FileMenu = nullptr;
  QAction* FileOpenItem = nullptr;
  QAction* N1 = nullptr;
  QAction* FileExitItem = nullptr;
  QMenu* HelpMenu = nullptr;
  QAction* HelpContentsItem = nullptr;
  QAction* HelpSearchItem = nullptr;
  QAction* N3 = nullptr;
  QAction* HelpAboutItem = nullptr;

  // --- Dialogs ---
  TFileDialog OpenDialog;  // shared by FileOpenPanel and File > Open
  TFileDialog SaveDialog;

  // --- Run request (run_request.cpp) ---
  void OKButtonClick(QObject* Sender);
  void ExecuteSort();
  bool RunInProgress() const { return running_; }
  // The settings the controls hold now (and the AutoRun and QuietFinish flags),
  // as the plain value a run is made from; a file side keeps its name as typed.
  RunSettings Settings() const;

  // --- Control behaviour (control_behaviour.cpp) ---
  void ClipBoardCheckBox1Click(QObject* Sender);
  void FileOpenCheckBoxClick(QObject* Sender);
  void ClipBoardCheckBox2Click(QObject* Sender);
  void FileSaveCheckBoxClick(QObject* Sender);
  void ColumCheckBoxClick(QObject* Sender);
  void FieldCheckBoxClick(QObject* Sender);
  void StringCompCheckBoxClick(QObject* Sender);
  void NumCompCheckBoxClick(QObject* Sender);
  void FileOpen(QObject* Sender);
  void FileOpen2(QObject* Sender);
  void FileSaveAs(QObject* Sender);
  void SortPosEditChange(QObject* Sender);
  void UpDown1Click(QObject* Sender, TUpDown::Direction Button);
  void UpDown2Click(QObject* Sender, TUpDown::Direction Button);
  // Takes the first of the dropped files; `clientPoint` is in ClientArea coordinates.
  void FilesDropped(const std::vector<std::string>& names, QPoint clientPoint);
  // The direct child of the client area under `clientPoint`, or nullptr.
  QWidget* ChildWindowFromPoint(QPoint clientPoint) const;

  // --- Keys and closing (main_form.cpp) ---
  void FileExit(QObject* Sender);
  void CancelButtonClick(QObject* Sender);
  // Esc closes the window; it arrives here only while the window itself has the focus.
  void FormKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);

  // --- Start-up and hint (command_line.cpp) ---
  // The start-up work with the settings the command line's words made.
  void FormCreate(QObject* Sender, const RunSettings& commandLine);
  // Puts these settings into the controls (and the AutoRun and QuietFinish flags):
  // the write twin of Settings().
  void ParseCommandLine(const RunSettings& settings);
  void ShowHint(QObject* Sender);

  // --- Help (application.cpp) and About (about_box.cpp) ---
  void HelpContents(QObject* Sender);
  void HelpSearch(QObject* Sender);
  void HelpAbout(QObject* Sender);

 protected:
  bool event(QEvent* event) override;                    // main_form.cpp
  void showEvent(QShowEvent* event) override;            // main_form.cpp
  void keyPressEvent(QKeyEvent* event) override;         // main_form.cpp
  void dragEnterEvent(QDragEnterEvent* event) override;  // control_behaviour.cpp
  void dragMoveEvent(QDragMoveEvent* event) override;    // control_behaviour.cpp
  void dropEvent(QDropEvent* event) override;            // control_behaviour.cpp

 private:
  void BuildFromDescription();  // main_form_layout.cpp
  // Hooks the controls and menu items to their handlers (main_form.cpp).
  void ConnectHandlers();
  void FocusFirstTabStop();  // main_form.cpp

  bool running_ = false;            // a run request is in progress
  bool shownOnce_ = false;          // centred on the first showing only
  std::vector<QWidget*> tabChain_;  // the tab stops in tab order
};

}  // namespace velkar

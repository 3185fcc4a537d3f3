// The help viewer: the program's own help window, which the desktop backend's help
// call opens (desktop_main.cpp hooks it in). It shows the help file (HTML, though
// still named "Velkar.hlp") at its contents or its index, and reports a missing
// help file in a box of its own.
#pragma once

#include <QString>
#include <QWidget>

class QMessageBox;
class QTextBrowser;

namespace velkar {

// Where a help file given without a directory is looked for: beside the program,
// then in the program's data folder (../share/velkar), which holds it both in an
// installation and in the build tree. A name with a directory part is taken as it
// is. Empty when the file is in none of those places.
QString FindHelpFile(const QString& name);

class HelpViewer : public QWidget {
  Q_OBJECT

 public:
  explicit HelpViewer(QWidget* parent = nullptr);

  // Loads `path`; false when it cannot be read.
  bool Load(const QString& path);
  // The contents at the top, or the index: its heading, and with a `keyword` the
  // first text after that heading that matches it, letter case ignored, selected.
  void ShowContents();
  void ShowIndex(const QString& keyword);

  QTextBrowser* Browser() const { return browser_; }
  const QString& LoadedPath() const { return path_; }

 private:
  QTextBrowser* browser_;
  QString path_;
};

// What the desktop platform's help call does: opens the help file in the one help
// viewer window, at its contents (kHelpContents) or its index (kHelpPartialKey,
// `data` the keyword). A missing file is reported by the viewer in its own box,
// which does not block the caller.
void ShowHelpViewer(const char* helpFile, unsigned command, const char* data);

// The viewer window and its last "not found" box, nullptr when none: the module
// deletes them at the program's end, and the tests look at them.
HelpViewer* CurrentHelpViewer();
QMessageBox* HelpMissingBox();

}  // namespace velkar

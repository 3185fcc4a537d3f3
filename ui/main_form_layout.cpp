// The main window's form description, held as tables: the window itself, every
// control (kind, parent, caption, geometry, tab order, initial state), the menu and
// the two file dialogs; and the construction that turns the tables into widgets.
#include <QApplication>
#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <map>
#include <type_traits>

#include "ui/main_form.h"
#include "ui/ui_texts.h"

namespace velkar {

namespace {

// --- The window ---
constexpr const char* kFormName = "VelkarMainForm";
constexpr int kClientWidth = 426;
constexpr int kClientHeight = 314;
// The system scroll-bar colour, SortMenu's background.
constexpr QRgb kScrollBarColour = qRgb(200, 200, 200);

enum class Kind {
  StatusBar,
  Frame,
  Radio,
  PageControl,
  Page,
  CheckBox,
  Edit,
  UpDown,
  GroupBox,
  Panel,
  Button
};

// Initial state flags.
enum : unsigned { kChecked = 1, kHidden = 2 };

constexpr int kNoTab = -1;

// Stores a control just made in the member it binds to, as the member's type.
template <auto kMember>
void BindMember(TVelkarMainForm* form, QWidget* widget) {
  using Pointer = std::remove_reference_t<decltype(form->*kMember)>;
  form->*kMember = qobject_cast<Pointer>(widget);
  Q_ASSERT(form->*kMember != nullptr);
}

// A control's name and the member of TVelkarMainForm it binds to, both from the
// member's name (the object name equals the member name).
#define VELKAR_CONTROL(member) #member, &BindMember < &TVelkarMainForm::member>

struct ControlSpec {
  const char* name;
  void (*bind)(TVelkarMainForm* form, QWidget* widget);
  Kind kind;
  const char* parent;  // nullptr: the window
  int left, top, width, height;
  int tabOrder;  // within the parent; kNoTab: takes no part
  bool tabStop;  // false: holds its place but is never reached by Tab
  unsigned state;
  const char* caption;
};

// clang-format off
const ControlSpec kControls[] = {
  // name (and member)                        kind               parent              L    T    W    H  tab     stop   state     caption
  {VELKAR_CONTROL(StatusLine),                Kind::StatusBar,   nullptr,            0, 291, 426,  23, kNoTab, false, 0,        texts::kDescription},
  {VELKAR_CONTROL(SortMenu),                  Kind::Frame,       nullptr,           16,   8, 169,  89, 1,      false, 0,        texts::kSortOrder},
  {VELKAR_CONTROL(Sort_F_RadioButton),        Kind::Radio,       nullptr,           32,  32, 113,  17, 2,      true,  kChecked, texts::kAscending},
  {VELKAR_CONTROL(Sort_R_RadioButton),        Kind::Radio,       nullptr,           32,  64, 121,  17, 3,      true,  0,        texts::kDescending},
  {VELKAR_CONTROL(PageControl1),              Kind::PageControl, nullptr,          208,   8, 201,  89, 4,      true,  0,        ""},
  {VELKAR_CONTROL(TabSheet1),                 Kind::Page,        "PageControl1",     0,   0,   0,   0, 0,      false, 0,        texts::kOptionsPage},
  {VELKAR_CONTROL(NotCaseSensitiveCheckBox),  Kind::CheckBox,    "TabSheet1",        8,   8, 145,  17, 0,      true,  0,        texts::kIgnoreCase},
  {VELKAR_CONTROL(UniqCheckBox),              Kind::CheckBox,    "TabSheet1",        8,  32,  97,  17, 1,      true,  0,        texts::kUnique},
  {VELKAR_CONTROL(TabSheet2),                 Kind::Page,        "PageControl1",     0,   0,   0,   0, 1,      false, 0,        texts::kKeyPage},
  {VELKAR_CONTROL(SortPosEdit),               Kind::Edit,        "TabSheet2",       16,   8,  41,  20, 0,      true,  0,        texts::kFirstPosition},
  {VELKAR_CONTROL(UpDown1),                   Kind::UpDown,      "TabSheet2",       57,   8,  15,  20, 1,      false, 0,        ""},
  {VELKAR_CONTROL(UpDown2),                   Kind::UpDown,      "TabSheet2",       72,   8,  16,  20, 2,      false, 0,        ""},
  {VELKAR_CONTROL(ColumCheckBox),             Kind::CheckBox,    "TabSheet2",       16,  40,  81,  17, 3,      true,  kChecked, texts::kByColumn},
  {VELKAR_CONTROL(FieldCheckBox),             Kind::CheckBox,    "TabSheet2",      104,  40,  73,  17, 4,      true,  0,        texts::kByField},
  {VELKAR_CONTROL(StringCompCheckBox),        Kind::CheckBox,    "TabSheet2",       96,   0,  97,  17, 5,      true,  kChecked, texts::kAsText},
  {VELKAR_CONTROL(NumCompCheckBox),           Kind::CheckBox,    "TabSheet2",       96,  16,  97,  17, 6,      true,  0,        texts::kAsNumber},
  {VELKAR_CONTROL(InputGroupBox),             Kind::GroupBox,    nullptr,           16, 104, 393,  73, 5,      true,  0,        texts::kInputGroup},
  {VELKAR_CONTROL(ClipBoardCheckBox1),        Kind::CheckBox,    "InputGroupBox",   16,  16,  97,  17, 0,      true,  kChecked, texts::kClipboard},
  {VELKAR_CONTROL(FileOpenCheckBox),          Kind::CheckBox,    "InputGroupBox",  128,  16,  57,  17, 1,      true,  0,        texts::kFile},
  {VELKAR_CONTROL(FileOpenPanel),             Kind::Panel,       "InputGroupBox",  344,  40,  41,  17, 2,      true,  kHidden,  texts::kBrowse},
  {VELKAR_CONTROL(FileOpenEdit),              Kind::Edit,        "InputGroupBox",   16,  40, 321,  20, 3,      true,  kHidden,  ""},
  {VELKAR_CONTROL(OutputGroupBox),            Kind::GroupBox,    nullptr,           16, 184, 393,  73, 6,      true,  0,        texts::kOutputGroup},
  {VELKAR_CONTROL(ClipBoardCheckBox2),        Kind::CheckBox,    "OutputGroupBox",  16,  16,  97,  17, 0,      true,  kChecked, texts::kClipboard},
  {VELKAR_CONTROL(FileSaveCheckBox),          Kind::CheckBox,    "OutputGroupBox", 128,  16,  57,  17, 1,      true,  0,        texts::kFile},
  {VELKAR_CONTROL(FileSavePanel),             Kind::Panel,       "OutputGroupBox", 344,  40,  41,  17, 2,      true,  kHidden,  texts::kBrowse},
  {VELKAR_CONTROL(FileSaveEdit),              Kind::Edit,        "OutputGroupBox",  16,  40, 321,  20, 3,      true,  kHidden,  ""},
  {VELKAR_CONTROL(OKButton),                  Kind::Button,      nullptr,          112, 264,  75,  25, 7,      true,  0,        texts::kExecute},
  {VELKAR_CONTROL(CancelButton),              Kind::Button,      nullptr,          232, 264,  75,  25, 8,      true,  0,        texts::kClose},
};
#undef VELKAR_CONTROL

// Edits: the number of bytes the user may type, 0 for no limit.
struct EditSpec {
  const char* name;
  std::size_t maxBytes;
};

const EditSpec kEdits[] = {
  {"SortPosEdit",  5},
  {"FileOpenEdit", 0},
  {"FileSaveEdit", 0},
};

// Up-downs: vertical, stopping at their limits.
struct UpDownSpec {
  const char* name;
  int min, max, position, increment;
  bool wrap;
  const char* buddy;  // nullptr: none
};

const UpDownSpec kUpDowns[] = {
  {"UpDown1", 1, 1024, 1,  1, false, "SortPosEdit"},
  {"UpDown2", 1, 1024, 1, 10, false, nullptr},
};
// clang-format on

// The window's default button: Enter in any control but a push button presses it.
constexpr const char* kDefaultButton = "OKButton";

enum class MenuKind { Menu, Item, Separator };

struct MenuSpec {
  const char* name;
  MenuKind kind;
  const char* caption;  // '&' marks the access letter; no item has a shortcut key
};

const MenuSpec kMenu[] = {
    {"FileMenu", MenuKind::Menu, texts::kFileMenu},
    {"FileOpenItem", MenuKind::Item, texts::kOpenItem},
    {"N1", MenuKind::Separator, "-"},
    {"FileExitItem", MenuKind::Item, texts::kExitItem},
    {"HelpMenu", MenuKind::Menu, texts::kHelpMenu},
    {"HelpContentsItem", MenuKind::Item, texts::kContentsItem},
    {"HelpSearchItem", MenuKind::Item, texts::kSearchItem},
    {"N3", MenuKind::Separator, "-"},
    {"HelpAboutItem", MenuKind::Item, texts::kAboutItem},
};

struct DialogSpec {
  TFileDialog TVelkarMainForm::*member;
  bool save;
  const char* filter;
};

const DialogSpec kDialogs[] = {
    {&TVelkarMainForm::OpenDialog, false, texts::kOpenFilter},
    {&TVelkarMainForm::SaveDialog, true, texts::kSaveFilter},
};

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

QWidget* Create(Kind kind, QWidget* parent) {
  switch (kind) {
    case Kind::StatusBar:
      return new TStatusLine(parent);
    case Kind::Frame:
      return new QGroupBox(parent);
    case Kind::Radio:
      return new TRadioButton(parent);
    case Kind::PageControl:
      return new QTabWidget(parent);
    case Kind::Page:
      return new QWidget;  // parented by the tab control
    case Kind::CheckBox:
      return new TCheckBox(parent);
    case Kind::Edit:
      return new TEdit(parent);
    case Kind::UpDown:
      return new TUpDown(parent);
    case Kind::GroupBox:
      return new QGroupBox(parent);
    case Kind::Panel:
      return new TBrowsePanel(parent);
    case Kind::Button:
      return new QPushButton(parent);
  }
  return nullptr;
}

void SetCaption(QWidget* widget, Kind kind, const QString& caption) {
  switch (kind) {
    case Kind::StatusBar:
      static_cast<TStatusLine*>(widget)->SetSimpleText(caption);
      break;
    case Kind::Frame:
    case Kind::GroupBox:
      static_cast<QGroupBox*>(widget)->setTitle(caption);
      break;
    case Kind::Radio:
    case Kind::CheckBox:
    case Kind::Button:
      static_cast<QAbstractButton*>(widget)->setText(caption);
      break;
    case Kind::Edit:
      static_cast<QLineEdit*>(widget)->setText(caption);
      break;
    case Kind::Panel:
      static_cast<QLabel*>(widget)->setText(caption);
      break;
    case Kind::PageControl:
    case Kind::Page:
    case Kind::UpDown:
      break;
  }
}

}  // namespace

void TVelkarMainForm::BuildFromDescription() {
  static const bool substituted = [] {
    QFont::insertSubstitution(Text(texts::kFontFace), Text(texts::kFontSubstitute));
    return true;
  }();
  (void)substituted;

  setObjectName(Text(kFormName));
  setWindowTitle(Text(texts::kProgramCaption));
  QFont font(Text(texts::kFontFace));
  font.setPixelSize(texts::kFontPixels);
  font.setWeight(QFont::Normal);
  setFont(font);

  ClientArea = new QWidget(this);
  ClientArea->setObjectName(QStringLiteral("ClientArea"));
  ClientArea->setFixedSize(kClientWidth, kClientHeight);
  setCentralWidget(ClientArea);

  // Controls, in table order: a parent always comes before its children, and later
  // rows lie above earlier ones (the radio buttons over SortMenu).
  std::map<QString, QWidget*> made;
  for (const ControlSpec& spec : kControls) {
    QWidget* parentWidget = spec.parent != nullptr ? made.at(Text(spec.parent)) : ClientArea;
    QWidget* widget = Create(spec.kind, parentWidget);
    widget->setObjectName(Text(spec.name));
    if (spec.kind == Kind::Page) {
      static_cast<QTabWidget*>(parentWidget)->addTab(widget, Text(spec.caption));
    } else {
      widget->setGeometry(spec.left, spec.top, spec.width, spec.height);
      SetCaption(widget, spec.kind, Text(spec.caption));
    }
    if (!spec.tabStop && spec.kind != Kind::Page) widget->setFocusPolicy(Qt::NoFocus);
    if ((spec.state & kChecked) != 0) static_cast<QAbstractButton*>(widget)->setChecked(true);
    if ((spec.state & kHidden) != 0) widget->hide();
    made[widget->objectName()] = widget;
    spec.bind(this, widget);
  }
  for (const EditSpec& spec : kEdits) {
    static_cast<TEdit*>(made.at(Text(spec.name)))->SetMaxBytes(spec.maxBytes);
  }
  for (const UpDownSpec& spec : kUpDowns) {
    auto* upDown = static_cast<TUpDown*>(made.at(Text(spec.name)));
    upDown->SetRange(spec.min, spec.max);
    upDown->SetPosition(spec.position);
    upDown->SetIncrement(spec.increment);
    upDown->SetWrap(spec.wrap);
    if (spec.buddy != nullptr) {
      upDown->SetBuddy(static_cast<QLineEdit*>(made.at(Text(spec.buddy))));
    }
  }

  // What the table's columns do not hold.
  PageControl1->setCurrentWidget(TabSheet1);
  StatusLine->setAutoFillBackground(true);
  {
    QPalette palette = StatusLine->Panel()->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    StatusLine->Panel()->setPalette(palette);
  }
  {
    SortMenu->setAutoFillBackground(true);
    QPalette palette = SortMenu->palette();
    palette.setColor(QPalette::Window, QColor(kScrollBarColour));
    SortMenu->setPalette(palette);
  }
  for (QPushButton* button : {OKButton, CancelButton}) button->setAutoDefault(true);
  qobject_cast<QPushButton*>(made.at(Text(kDefaultButton)))->setDefault(true);

  // Tab order: depth first, each parent's children by their number; the window's
  // focus chain follows it, so Tab and Shift+Tab walk the tab stops in that order.
  std::map<QWidget*, std::vector<const ControlSpec*>> children;
  for (const ControlSpec& spec : kControls) {
    QWidget* parentWidget = spec.parent != nullptr ? made.at(Text(spec.parent)) : ClientArea;
    if (spec.tabOrder != kNoTab) children[parentWidget].push_back(&spec);
  }
  for (auto& [parentWidget, list] : children) {
    std::stable_sort(list.begin(), list.end(), [](const ControlSpec* a, const ControlSpec* b) {
      return a->tabOrder < b->tabOrder;
    });
  }
  tabChain_.clear();
  auto walk = [&](auto&& self, QWidget* parentWidget) -> void {
    for (const ControlSpec* spec : children[parentWidget]) {
      QWidget* widget = made.at(Text(spec->name));
      if (spec->tabStop) tabChain_.push_back(widget);
      self(self, widget);
    }
  };
  walk(walk, ClientArea);
  for (std::size_t i = 1; i < tabChain_.size(); ++i) setTabOrder(tabChain_[i - 1], tabChain_[i]);

  // Menu.
  MainMenu = new QMenuBar(this);
  MainMenu->setObjectName(QStringLiteral("MainMenu"));
  setMenuBar(MainMenu);
  QMenu* menu = nullptr;
  std::map<QString, QAction*> actions;
  for (const MenuSpec& spec : kMenu) {
    if (spec.kind == MenuKind::Menu) {
      menu = MainMenu->addMenu(Text(spec.caption));
      menu->setObjectName(Text(spec.name));
      menu->menuAction()->setObjectName(Text(spec.name));
      continue;
    }
    QAction* action = spec.kind == MenuKind::Separator ? menu->addSeparator()
                                                       : menu->addAction(Text(spec.caption));
    action->setObjectName(Text(spec.name));
    actions[action->objectName()] = action;
  }
  FileMenu = MainMenu->findChild<QMenu*>(QStringLiteral("FileMenu"));
  HelpMenu = MainMenu->findChild<QMenu*>(QStringLiteral("HelpMenu"));
  FileOpenItem = actions.at(QStringLiteral("FileOpenItem"));
  N1 = actions.at(QStringLiteral("N1"));
  FileExitItem = actions.at(QStringLiteral("FileExitItem"));
  HelpContentsItem = actions.at(QStringLiteral("HelpContentsItem"));
  HelpSearchItem = actions.at(QStringLiteral("HelpSearchItem"));
  N3 = actions.at(QStringLiteral("N3"));
  HelpAboutItem = actions.at(QStringLiteral("HelpAboutItem"));

  // Dialogs.
  for (const DialogSpec& spec : kDialogs) {
    TFileDialog& dialog = this->*spec.member;
    dialog.save = spec.save;
    dialog.filter = spec.filter;
  }

  // Fixed single border: the window keeps the size of its client area and menu.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace velkar

// Every window of the bundle's nib, built as the program builds it (through
// the toolbox's loader, on the offscreen platform and its default font), is
// laid out so that a person can read and use it: no control lies over a
// sibling, none crosses the frame of a group box or a tab control, every
// label's and button's text fits its width, and every window fits a
// 1600 x 1000 screen with no wide empty margin beyond its controls.
//
// Our windows place every control as a sibling of the window's content (as
// the nib's original layouts did): a group box or a tab control is a frame
// drawn under the controls that lie inside it. So "inside a frame" is a
// matter of rectangles, and a control is either wholly inside a frame's
// inner area or wholly outside the frame.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QWidget>
#include <QXmlStreamReader>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/toolbox/test_driver.h"
#include "platform/toolbox/toolbox.h"

using namespace plat::tb;

namespace {

// Controls that a window deliberately shows in the same place, one at a time
// (or one drawn over the other on purpose). Each entry names the window and
// the two sets of controls by their ids; any overlap between a control of the
// first set and one of the second is accepted, nothing else.
struct SharedPlace {
  const char* window;
  std::set<int> first;
  std::set<int> second;
  const char* why;
};

const std::vector<SharedPlace> kSharedPlaces = {
    // The main window's picture fills the frame whose size sets the fit scale.
    {"ApertureMain", {5}, {6}, "the picture view fills its container"},
    // The preset page's label and popup, or the library page's category, in
    // one place: the tab shows one page's controls at a time.
    {"CombIma", {15, 47}, {29, 33}, "preset and library pages share the row"},
    // A side's tile popup and a corner's tile popup: the layer shows one.
    {"CreaBord", {13}, {39}, "side and corner popups share the place"},
    // Each corner of the rectangle has a round and a bevel button, one shown.
    {"CreaRect", {10, 11, 12, 13}, {18, 19, 20, 21}, "a corner's round and bevel buttons share the place"},
};

// A declared control of a nib: its object name, class, id (-1 none) and the
// object name of the declared control it lies in ("" for the window).
struct Declared {
  std::string name;
  std::string cls;
  int id = -1;
  std::string parent;
};

std::vector<Declared> ReadDeclared(const QString& path) {
  std::vector<Declared> out;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return out;
  QXmlStreamReader xml(&file);
  std::vector<size_t> stack;  // indices into out of the open <widget>s
  std::string property;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == u"widget") {
      Declared d;
      d.name = xml.attributes().value("name").toString().toStdString();
      d.cls = xml.attributes().value("class").toString().toStdString();
      d.parent = stack.size() >= 2 ? out[stack.back()].name : std::string();
      out.push_back(d);
      stack.push_back(out.size() - 1);
      property.clear();
    } else if (xml.isStartElement() && xml.name() == u"property") {
      property = xml.attributes().value("name").toString().toStdString();
    } else if (xml.isStartElement() && xml.name() == u"attribute") {
      property.clear();
    } else if (xml.isStartElement() && xml.name() == u"number" && property == "id" && !stack.empty()) {
      out[stack.back()].id = xml.readElementText().toInt();
    } else if (xml.isEndElement() && xml.name() == u"property") {
      property.clear();
    } else if (xml.isEndElement() && xml.name() == u"widget") {
      stack.pop_back();
    }
  }
  if (!out.empty()) out.erase(out.begin());  // the window's own content
  return out;
}

std::string Describe(const Declared& d) {
  return d.name + " (" + d.cls + (d.id >= 0 ? " #" + std::to_string(d.id) : std::string()) + ")";
}

std::string Str(const QRect& r) {
  return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
         std::to_string(r.height());
}

bool IsFrame(const QWidget* w) {
  return qobject_cast<const QGroupBox*>(w) != nullptr || qobject_cast<const QTabWidget*>(w) != nullptr;
}

// The part of a frame that controls may lie in, in its parent's coordinates:
// a group box below its title, a tab control below its tab bar, both inside
// the line drawn around them.
QRect InnerArea(QWidget* frame) {
  QRect inner = frame->geometry();
  if (auto* box = qobject_cast<QGroupBox*>(frame)) {
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    const int top = box->title().isEmpty() ? 2 : label.bottom() + 1;
    inner = QRect(frame->x() + 2, frame->y() + top, frame->width() - 4, frame->height() - top - 2);
  } else if (auto* tabs = qobject_cast<QTabWidget*>(frame)) {
    const int bar = tabs->tabBar()->sizeHint().height();
    inner = QRect(frame->x() + 2, frame->y() + bar, frame->width() - 4, frame->height() - bar - 2);
  }
  return inner;
}

// The width that a control's own text needs in its font, the style's margins
// included; 0 for a control whose text is not its own to fit.
int TextWidthNeeded(QWidget* w) {
  if (auto* label = qobject_cast<QLabel*>(w)) {
    if (label->text().isEmpty() || label->textFormat() == Qt::RichText) return 0;
    if (label->wordWrap()) return 0;  // checked by height below
    const int margins = 2 * label->margin() + 2 * label->frameWidth() + std::max(0, label->indent());
    return label->fontMetrics().horizontalAdvance(label->text()) + margins;
  }
  if (qobject_cast<QCheckBox*>(w) != nullptr || qobject_cast<QRadioButton*>(w) != nullptr) {
    auto* b = static_cast<QAbstractButton*>(w);
    if (b->text().isEmpty()) return 0;
    return b->sizeHint().width();
  }
  if (auto* b = qobject_cast<QPushButton*>(w)) {
    if (b->text().isEmpty()) return 0;
    QString text = b->text();
    text.remove('&');
    const int margin = b->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b);
    const int frame = b->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
    return b->fontMetrics().horizontalAdvance(text) + margin + 2 * frame;
  }
  if (auto* b = qobject_cast<QToolButton*>(w)) {
    if (b->text().isEmpty() || b->toolButtonStyle() == Qt::ToolButtonIconOnly) return 0;
    return b->fontMetrics().horizontalAdvance(b->text()) + 4;
  }
  return 0;
}

// A word-wrapped label needs the lines its text breaks into at its width.
int WrappedHeightNeeded(QWidget* w) {
  auto* label = qobject_cast<QLabel*>(w);
  if (label == nullptr || !label->wordWrap() || label->text().isEmpty()) return 0;
  const QRect r = label->fontMetrics().boundingRect(QRect(0, 0, label->contentsRect().width(), 10000),
                                                    Qt::TextWordWrap | static_cast<int>(label->alignment()),
                                                    label->text());
  return r.height();
}

// How far past its farthest control a window may reach on the right and at
// the bottom: the margin a dialog keeps around its controls.
constexpr int kMargin = 24;
constexpr int kEdge = 4;

struct Built {
  WindowRef window = nullptr;
  QWidget* content = nullptr;
};

class NibLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetNibFolder(std::string(VMK_SOURCE_DIR) + "/resources/nib");
    const QStringList files = QDir(QString::fromStdString(NibFolder())).entryList({"*.ui"}, QDir::Files, QDir::Name);
    for (const QString& f : files) names_.push_back(f.chopped(3).toStdString());
  }
  void TearDown() override {
    for (WindowRef w : opened_) DisposeWindow(w);
    driver_.Pump();
  }
  Built Build(const std::string& name) {
    Built b;
    EXPECT_EQ(CreateWindowFromNib(name, &b.window), noErr) << name;
    if (b.window == nullptr) return b;
    opened_.push_back(b.window);
    QWidget* top = QtWidgetOf(b.window);
    b.content = top != nullptr ? top->findChild<QWidget*>(QString::fromStdString(name)) : nullptr;
    if (b.content == nullptr && top != nullptr && !top->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).empty())
      b.content = top->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).front();
    return b;
  }
  std::vector<Declared> DeclaredOf(const std::string& name) {
    return ReadDeclared(QString::fromStdString(NibFolder() + "/" + name + ".ui"));
  }

  std::vector<std::string> names_;
  std::vector<WindowRef> opened_;
  test::Driver driver_;
};

// The entries of kSharedPlaces that some overlap needed: one that none needs
// any more goes, so that the list stays as short as the windows allow.
std::set<const SharedPlace*>& UsedPlaces() {
  static std::set<const SharedPlace*> used;
  return used;
}

bool SharePlace(const std::string& window, int a, int b) {
  for (const SharedPlace& s : kSharedPlaces) {
    if (window != s.window) continue;
    if ((s.first.count(a) && s.second.count(b)) || (s.first.count(b) && s.second.count(a))) {
      UsedPlaces().insert(&s);
      return true;
    }
  }
  return false;
}

}  // namespace

TEST_F(NibLayoutTest, EveryWindowOfTheNibIsBuilt) {
  ASSERT_GT(names_.size(), 40u);
  for (const std::string& name : names_) {
    Built b = Build(name);
    ASSERT_NE(b.content, nullptr) << name;
    EXPECT_FALSE(DeclaredOf(name).empty()) << name;
  }
}

TEST_F(NibLayoutTest, SiblingControlsDoNotOverlapAndFramesAreNotCrossed) {
  for (const std::string& name : names_) {
    Built b = Build(name);
    if (b.content == nullptr) continue;
    const std::vector<Declared> declared = DeclaredOf(name);
    // The declared controls, grouped by the control they lie in.
    std::map<std::string, std::vector<std::pair<Declared, QWidget*>>> bySibling;
    for (const Declared& d : declared) {
      QWidget* w = b.content->findChild<QWidget*>(QString::fromStdString(d.name));
      ASSERT_NE(w, nullptr) << name << ": " << d.name;
      bySibling[d.parent].push_back({d, w});
    }
    for (const auto& [parent, siblings] : bySibling) {
      // A tab control's pages are its own, not controls of the window.
      bool pages = false;
      for (const Declared& d : declared)
        if (d.name == parent && d.cls == "QTabWidget") pages = true;
      if (pages) continue;
      for (size_t i = 0; i < siblings.size(); ++i) {
        for (size_t j = i + 1; j < siblings.size(); ++j) {
          const auto& [da, a] = siblings[i];
          const auto& [db, bb] = siblings[j];
          const QRect ra = a->geometry();
          const QRect rb = bb->geometry();
          if (!ra.intersects(rb)) continue;
          if (IsFrame(a) && InnerArea(a).contains(rb)) continue;
          if (IsFrame(bb) && InnerArea(bb).contains(ra)) continue;
          if (da.id >= 0 && db.id >= 0 && SharePlace(name, da.id, db.id)) continue;
          if (IsFrame(a) || IsFrame(bb)) {
            const auto& [frame, fr] = IsFrame(a) ? siblings[i] : siblings[j];
            const auto& [other, ow] = IsFrame(a) ? siblings[j] : siblings[i];
            ADD_FAILURE() << name << ": " << Describe(other) << " at " << Str(ow->geometry()) << " crosses the frame of "
                          << Describe(frame) << " (inner area " << Str(InnerArea(fr)) << ")";
          } else {
            ADD_FAILURE() << name << ": " << Describe(da) << " at " << Str(ra) << " overlaps " << Describe(db)
                          << " at " << Str(rb);
          }
        }
      }
    }
    // Every control inside what holds it (the window, or a declared control
    // holding controls of its own), not cut by its edge.
    for (const Declared& d : declared) {
      QWidget* w = b.content->findChild<QWidget*>(QString::fromStdString(d.name));
      QWidget* holder = w->parentWidget();
      if (holder == nullptr || qobject_cast<QTabWidget*>(holder->parentWidget()) != nullptr) continue;
      if (holder->parentWidget() != nullptr && holder->parentWidget()->inherits("QStackedWidget")) continue;
      // Inside a group box: inside its frame, as a sibling lying over it.
      QRect room(QPoint(0, 0), holder->size());
      if (qobject_cast<QGroupBox*>(holder) != nullptr) room = InnerArea(holder).translated(-holder->pos());
      EXPECT_TRUE(room.contains(w->geometry()))
          << name << ": " << Describe(d) << " at " << Str(w->geometry()) << " reaches past "
          << (d.parent.empty() ? std::string("the window") : d.parent) << " (" << holder->width() << "x"
          << holder->height() << ")";
    }
  }
  for (const SharedPlace& s : kSharedPlaces)
    EXPECT_TRUE(UsedPlaces().count(&s)) << s.window << ": no overlap needs the shared place \"" << s.why << "\" any more";
}

TEST_F(NibLayoutTest, EveryLabelAndButtonTextFitsItsWidth) {
  for (const std::string& name : names_) {
    Built b = Build(name);
    if (b.content == nullptr) continue;
    for (const Declared& d : DeclaredOf(name)) {
      QWidget* w = b.content->findChild<QWidget*>(QString::fromStdString(d.name));
      if (w == nullptr) continue;
      const int need = TextWidthNeeded(w);
      QString text;
      if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
      if (auto* a = qobject_cast<QAbstractButton*>(w)) text = a->text();
      EXPECT_LE(need, w->width()) << name << ": \"" << text.toStdString() << "\" of " << Describe(d) << " needs "
                                  << need << " px, has " << w->width();
      const int lines = WrappedHeightNeeded(w);
      EXPECT_LE(lines, w->height()) << name << ": \"" << text.toStdString() << "\" of " << Describe(d)
                                    << " needs " << lines << " px in height, has " << w->height();
      if (!text.isEmpty() && !(qobject_cast<QLabel*>(w) && static_cast<QLabel*>(w)->wordWrap())) {
        EXPECT_LE(w->fontMetrics().height(), w->height() + 2)
            << name << ": \"" << text.toStdString() << "\" of " << Describe(d) << " is cut in height";
      }
    }
  }
}

TEST_F(NibLayoutTest, EveryWindowFitsTheScreenAndItsControls) {
  for (const std::string& name : names_) {
    Built b = Build(name);
    if (b.content == nullptr) continue;
    const QSize size = b.content->size();
    EXPECT_LE(size.width(), 1600) << name;
    EXPECT_LE(size.height(), 1000) << name;
    int left = size.width();
    int top = size.height();
    int right = 0;
    int bottom = 0;
    for (const Declared& d : DeclaredOf(name)) {
      if (!d.parent.empty()) continue;
      QWidget* w = b.content->findChild<QWidget*>(QString::fromStdString(d.name));
      if (w == nullptr) continue;
      left = std::min(left, w->x());
      top = std::min(top, w->y());
      right = std::max(right, w->geometry().right() + 1);
      bottom = std::max(bottom, w->geometry().bottom() + 1);
    }
    // Nor does a control touch the window's edge.
    EXPECT_GE(left, kEdge) << name << ": a control reaches the left edge";
    EXPECT_GE(top, kEdge) << name << ": a control reaches the top edge";
    EXPECT_GE(size.width() - right, kEdge) << name << ": a control reaches the right edge";
    EXPECT_GE(size.height() - bottom, kEdge) << name << ": a control reaches the bottom edge";
    EXPECT_LE(size.width() - right, kMargin) << name << ": " << size.width() - right << " px empty at the right";
    EXPECT_LE(size.height() - bottom, kMargin) << name << ": " << size.height() - bottom << " px empty below";
  }
}

// A text that only holds a control's place ("Mode 2", "Tool 38", "Button")
// tells a person nothing: every text of the nib says what the control sets.
TEST_F(NibLayoutTest, NoControlShowsAPlaceholderText) {
  const QRegularExpression placeholder(
      "^(Mode|Tool|Item|Option|Choice) [0-9]+$|^(Button|Label|TextLabel|PushButton|CheckBox|RadioButton|GroupBox)$");
  for (const std::string& name : names_) {
    Built b = Build(name);
    if (b.content == nullptr) continue;
    for (const Declared& d : DeclaredOf(name)) {
      QWidget* w = b.content->findChild<QWidget*>(QString::fromStdString(d.name));
      if (w == nullptr) continue;
      QStringList texts;
      if (auto* l = qobject_cast<QLabel*>(w)) texts << l->text();
      if (auto* a = qobject_cast<QAbstractButton*>(w)) texts << a->text();
      if (auto* g = qobject_cast<QGroupBox*>(w)) texts << g->title();
      if (auto* c = qobject_cast<QComboBox*>(w))
        for (int i = 0; i < c->count(); ++i) texts << c->itemText(i);
      for (const QString& t : texts)
        EXPECT_FALSE(placeholder.match(t).hasMatch()) << name << ": " << Describe(d) << " shows \"" << t.toStdString()
                                                       << "\"";
    }
  }
}

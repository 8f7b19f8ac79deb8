// Reads the windows of the effect browsers from the bundle's nib and checks every control
// the browsers look up: its signature and number, its kind, its command and, for the
// preview views, its class identifier.
#include <gtest/gtest.h>

#include <QFile>
#include <QXmlStreamReader>

#include <map>
#include <string>
#include <vector>

namespace {

struct NibControl {
  std::string kind;
  std::string sig;
  std::string cmd;
  std::string classId;
};

std::map<int, std::vector<NibControl>> Read(const std::string& name) {
  std::map<int, std::vector<NibControl>> byId;
  QFile file(QString::fromStdString(std::string(VMK_SOURCE_DIR) + "/resources/nib/" + name + ".ui"));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
  QXmlStreamReader xml(&file);
  std::vector<NibControl> stack;
  std::vector<int> ids;
  std::string property;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == u"widget") {
      stack.push_back({xml.attributes().value("class").toString().toStdString(), "", "", ""});
      ids.push_back(-1);
    } else if (xml.isStartElement() && xml.name() == u"property") {
      property = xml.attributes().value("name").toString().toStdString();
    } else if (xml.isStartElement() && !stack.empty() &&
               (xml.name() == u"string" || xml.name() == u"number")) {
      const std::string v = xml.readElementText().toStdString();
      if (property == "sig") stack.back().sig = v;
      if (property == "cmd") stack.back().cmd = v;
      if (property == "classId") stack.back().classId = v;
      if (property == "id") ids.back() = std::stoi(v);
    } else if (xml.isEndElement() && xml.name() == u"widget") {
      if (ids.back() >= 0) byId[ids.back()].push_back(stack.back());
      stack.pop_back();
      ids.pop_back();
    }
  }
  EXPECT_FALSE(xml.hasError()) << name;
  return byId;
}

struct Row {
  int id;
  std::string kind;
  std::string cmd;
  std::string classId;
};

void Check(const std::string& name, const std::string& sig, const std::vector<Row>& rows) {
  SCOPED_TRACE(name);
  const auto byId = Read(name);
  for (const Row& r : rows) {
    auto it = byId.find(r.id);
    ASSERT_NE(it, byId.end()) << "control " << r.id;
    ASSERT_EQ(it->second.size(), 1u) << "control " << r.id;
    const NibControl& c = it->second.front();
    EXPECT_EQ(c.sig, sig) << r.id;
    EXPECT_EQ(c.kind, r.kind) << r.id;
    EXPECT_EQ(c.cmd, r.cmd) << r.id;
    EXPECT_EQ(c.classId, r.classId) << r.id;
  }
}

TEST(BrowserNibChecklist, LoadEff) {
  std::vector<Row> rows = {{22, "QScrollBar", "Scli", ""}, {23, "QComboBox", "Pcat", ""},
                           {24, "QComboBox", "Pnam", ""},  {19, "QPushButton", "Bupd", ""},
                           {20, "QPushButton", "Bloa", ""}, {1, "QPushButton", "ok  ", ""},
                           {2, "QPushButton", "canc", ""}};
  for (int k = 0; k < 15; ++k) {
    rows.push_back({4 + k, "VmkCustomView", "", "com.vellmarkstead.leff.HIeff" + std::to_string(k)});
    rows.push_back({26 + k, "QLabel", "", ""});
  }
  Check("LoadEff", "Leff", rows);
}

TEST(BrowserNibChecklist, CompEff) {
  std::vector<Row> rows = {{15, "QComboBox", "Pcat", ""},   {16, "QComboBox", "Pnam", ""},
                           {17, "QPushButton", "Bupd", ""}, {18, "QPushButton", "Blib", ""},
                           {19, "QPushButton", "Bloa", ""}, {1, "QPushButton", "ok  ", ""},
                           {2, "QPushButton", "canc", ""}};
  for (int k = 0; k < 4; ++k) {
    rows.push_back({3 + 2 * k, "VmkCustomView", "", "com.vellmarkstead.ceff.HIeff" + std::to_string(k)});
    rows.push_back({4 + 2 * k, "QLabel", "", ""});
  }
  Check("CompEff", "Ceff", rows);
}

TEST(BrowserNibChecklist, TestOpenWin) {
  std::vector<Row> rows = {{22, "QScrollBar", "Scli", ""}, {23, "QComboBox", "Pcat", ""},
                           {24, "QComboBox", "Pnam", ""},  {1, "QPushButton", "ok  ", ""}};
  for (int k = 0; k < 15; ++k) rows.push_back({26 + k, "QLabel", "", ""});
  Check("TestOpenWin", "Leff", rows);
}

}  // namespace

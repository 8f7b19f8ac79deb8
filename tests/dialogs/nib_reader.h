// Reads a window of the bundle's nib as the checklist tests see it: every
// control that carries a number, with its signature, kind (widget class),
// command, view class, range and popup items.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QXmlStreamReader>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace vmktest {

struct NibControl {
  std::string kind;
  std::string sig;
  std::string cmd;
  std::string classId;
  int minimum = 0;
  int maximum = 99;
  int items = 0;
};

struct NibWindow {
  std::map<int, std::vector<NibControl>> byId;
  std::multiset<std::string> commands;
  std::set<std::string> views;  // class ids of the custom views
};

inline NibWindow ReadNib(const std::string& name) {
  NibWindow w;
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
    } else if (xml.isStartElement() && xml.name() == u"item" && !stack.empty()) {
      ++stack.back().items;
    } else if (xml.isStartElement() && xml.name() == u"property") {
      property = xml.attributes().value("name").toString().toStdString();
    } else if (xml.isStartElement() && !stack.empty() && (xml.name() == u"string" || xml.name() == u"number")) {
      const std::string v = xml.readElementText().toStdString();
      NibControl& c = stack.back();
      if (property == "sig") c.sig = v;
      if (property == "cmd") c.cmd = v;
      if (property == "classId") c.classId = v;
      if (property == "id") ids.back() = std::stoi(v);
      if (property == "minimum") c.minimum = std::stoi(v);
      if (property == "maximum") c.maximum = std::stoi(v);
    } else if (xml.isEndElement() && xml.name() == u"widget") {
      const NibControl& c = stack.back();
      if (!c.classId.empty()) w.views.insert(c.classId);
      if (ids.back() >= 0) {
        w.byId[ids.back()].push_back(c);
        if (!c.cmd.empty()) w.commands.insert(c.cmd);
      }
      stack.pop_back();
      ids.pop_back();
    }
  }
  EXPECT_FALSE(xml.hasError()) << name;
  return w;
}

}  // namespace vmktest

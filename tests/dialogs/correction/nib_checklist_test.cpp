// Reads the four colour-correction windows of the bundle's nib and checks
// every control the dialogs look up: its signature and number, its kind and
// its command, against the tables of the dialogs' design.
#include <gtest/gtest.h>

#include <QFile>
#include <QXmlStreamReader>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct NibControl {
  std::string kind;
  std::string sig;
  std::string cmd;
  std::string classId;
  int minimum = 0;
  int maximum = 99;
  std::string itemCmds;  // a popup's item commands
  int items = 0;         // a popup's items
};

struct Window {
  std::map<int, std::vector<NibControl>> byId;
  std::multiset<std::string> commands;
};

Window Read(const std::string& name) {
  Window w;
  QFile file(QString::fromStdString(std::string(VMK_SOURCE_DIR) + "/resources/nib/" + name + ".ui"));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
  QXmlStreamReader xml(&file);
  std::vector<NibControl> stack;
  std::vector<int> ids;
  std::string property;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == u"item" && !stack.empty()) {
      ++stack.back().items;
    } else if (xml.isStartElement() && xml.name() == u"widget") {
      NibControl c;
      c.kind = xml.attributes().value("class").toString().toStdString();
      stack.push_back(c);
      ids.push_back(-1);
    } else if (xml.isStartElement() && xml.name() == u"property") {
      property = xml.attributes().value("name").toString().toStdString();
    } else if (xml.isStartElement() && xml.name() == u"attribute") {
      // A page's title is no property of its control.
      property.clear();
    } else if (xml.isStartElement() && !stack.empty() && (xml.name() == u"string" || xml.name() == u"number")) {
      const std::string v = xml.readElementText().toStdString();
      NibControl& c = stack.back();
      if (property == "sig") c.sig = v;
      if (property == "cmd") c.cmd = v;
      if (property == "classId") c.classId = v;
      if (property == "itemCmds") c.itemCmds = v;
      if (property == "id") ids.back() = std::stoi(v);
      if (property == "minimum") c.minimum = std::stoi(v);
      if (property == "maximum") c.maximum = std::stoi(v);
    } else if (xml.isEndElement() && xml.name() == u"widget") {
      if (ids.back() >= 0) {
        w.byId[ids.back()].push_back(stack.back());
        if (!stack.back().cmd.empty()) w.commands.insert(stack.back().cmd);
      }
      stack.pop_back();
      ids.pop_back();
    }
  }
  EXPECT_FALSE(xml.hasError()) << name;
  return w;
}

// One row of a dialog's control table: number, kind, command ("" none).
struct Row {
  int id;
  const char* kind;
  const char* cmd;
};

constexpr const char* V = "VmkCustomView";
constexpr const char* Ind = "VmkIndicator";
constexpr const char* Rad = "VmkRadioGroup";
constexpr const char* Sl = "QSlider";
constexpr const char* Ed = "QLineEdit";
constexpr const char* Tx = "QLabel";
constexpr const char* Pu = "QComboBox";
constexpr const char* Cb = "QCheckBox";
constexpr const char* Gr = "QGroupBox";
constexpr const char* Bt = "QPushButton";
constexpr const char* Ar = "VmkLittleArrows";

void Check(const std::string& name, const std::string& sig, const std::string& key, const std::vector<Row>& rows) {
  SCOPED_TRACE(name);
  const Window w = Read(name);
  for (const Row& r : rows) {
    auto it = w.byId.find(r.id);
    ASSERT_NE(it, w.byId.end()) << "control " << r.id;
    ASSERT_EQ(it->second.size(), 1u) << "control " << r.id;
    const NibControl& c = it->second.front();
    EXPECT_EQ(c.sig, sig) << r.id;
    EXPECT_EQ(c.kind, r.kind) << r.id;
    EXPECT_EQ(c.cmd, r.cmd) << r.id;
    if (c.cmd == "Span") {
      EXPECT_EQ(c.minimum, 0);
      EXPECT_EQ(c.maximum, 200);
    }
  }
  // Every command of the shared table has a control.
  for (const char* cmd : {"ok  ", "canc", "Bres", "Plib", "Bloa", "Bsav", "Cred", "Cgre", "Cblu", "Copa", "Popa",
                          "Sopa", "Span", "Bdiv", "Bmul", "Bfpa", "Bsc1", "Rprv"})
    EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
  std::set<std::string> views;
  for (const auto& [id, cs] : w.byId)
    for (const NibControl& c : cs)
      if (c.kind == V) views.insert(c.classId);
  EXPECT_EQ(views, (std::set<std::string>{"com.vellmarkstead." + key + ".HIima", "com.vellmarkstead." + key + ".HIpan"}));
}

TEST(NibChecklist, DeNoise) {
  Check("DeNoise", "Dnoi", "dnoi",
        {{9, V, ""},     {14, Ind, ""},   {19, Ind, ""},   {7, Rad, "Rprv"},  {25, Sl, "Smut"}, {16, Ed, ""},
         {26, Sl, "Samt"}, {18, Ed, ""},  {35, Sl, "Site"}, {34, Ed, ""},     {36, Rad, "Rmod"}, {13, Sl, "Span"},
         {11, Tx, ""},   {23, Bt, "Bdiv"}, {24, Bt, "Bmul"}, {8, Tx, ""},      {20, Tx, ""},      {21, Tx, ""},
         {37, Pu, "Plib"}, {27, Gr, ""},  {31, Cb, "Copa"}, {28, Pu, "Popa"}, {29, Tx, ""},      {32, Sl, "Sopa"},
         {30, Ed, ""}});
}

TEST(NibChecklist, Glimmerock) {
  Check("Glimmerock", "Glim", "glim",
        {{9, V, ""},      {14, Ind, ""},    {19, Ind, ""},    {7, Rad, "Rprv"},  {25, Sl, "Smut"}, {16, Ed, ""},
         {26, Sl, "Samt"}, {18, Ed, ""},    {35, Sl, "Site"}, {34, Ed, ""},      {40, Sl, "Sgra"}, {39, Ed, ""},
         {43, Sl, "Sdet"}, {42, Ed, ""},    {36, Rad, "Rmod"}, {13, Sl, "Span"}, {11, Tx, ""},     {23, Bt, "Bdiv"},
         {24, Bt, "Bmul"}, {8, Tx, ""},     {20, Tx, ""},     {21, Tx, ""},      {37, Pu, "Plib"}, {27, Gr, ""},
         {31, Cb, "Copa"}, {28, Pu, "Popa"}, {44, Tx, ""},    {29, Tx, ""},      {32, Sl, "Sopa"}, {30, Ed, ""}});
}

TEST(NibChecklist, Kevrantil) {
  Check("Kevrantil", "Kfoc", "kevra",
        {{11, V, ""},      {15, Ind, ""},     {20, Ind, ""},     {8, Rad, "Rprv"},  {1, "QTabWidget", "Tbch"},
         {41, Cb, "Cact"}, {42, Tx, ""},      {16, Tx, ""},      {18, Tx, ""},      {34, Tx, ""},
         {38, Tx, ""},     {26, Sl, "Sla0"},  {17, Ed, ""},      {27, Sl, "Sla1"},  {19, Ed, ""},
         {36, Sl, "Sla2"}, {35, Ed, ""},      {40, Sl, "Sla3"},  {39, Ed, ""},      {14, Sl, "Span"},
         {12, Tx, ""},     {24, Bt, "Bdiv"},  {25, Bt, "Bmul"},  {9, Tx, ""},       {21, Tx, ""},
         {22, Tx, ""},     {37, Pu, "Plib"},  {28, Gr, ""},      {32, Cb, "Copa"},  {29, Pu, "Popa"},
         {30, Tx, ""},     {33, Sl, "Sopa"},  {31, Ed, ""}});
}

// The lens-correction window: the 46 controls the dialog looks up, the tab
// control with its three pages and the shared commands.
TEST(NibChecklist, Zondrac) {
  const std::vector<Row> rows = {
      {1, "QTabWidget", "Tbch"}, {8, Rad, "Rprv"},  {9, Tx, ""},       {21, Tx, ""},      {22, Tx, ""},
      {10, V, ""},              {12, Tx, ""},      {14, Sl, "Span"},  {15, Ind, ""},     {20, Ind, ""},
      {24, Bt, "Bdiv"},         {25, Bt, "Bmul"},  {16, Tx, ""},      {18, Tx, ""},      {34, Tx, ""},
      {38, Tx, ""},             {43, Tx, ""},      {46, Tx, ""},      {49, Tx, ""},      {17, Ed, ""},
      {19, Ed, ""},             {35, Ed, ""},      {39, Ed, ""},      {44, Ed, ""},      {47, Ed, ""},
      {50, Ed, ""},             {26, Sl, "Sla0"},  {27, Sl, "Sla1"},  {36, Sl, "Sla2"},  {40, Sl, "Sla3"},
      {45, Sl, "Sla4"},         {48, Sl, "Sla5"},  {51, Sl, "Sla6"},  {28, Gr, ""},      {30, Tx, ""},
      {29, Pu, "Popa"},         {31, Ed, ""},      {32, Cb, "Copa"},  {33, Sl, "Sopa"},  {37, Pu, "Plib"},
      {41, Cb, "Cact"},         {42, Tx, ""},      {52, Cb, "Cgin"},  {53, Cb, "Cgou"},  {54, Tx, ""},
      {55, Tx, ""}};
  EXPECT_EQ(rows.size(), 46u);
  Check("Zondrac", "Zond", "zond", rows);
  // The navigator sits at 11, apart from the 46.
  const Window w = Read("Zondrac");
  ASSERT_EQ(w.byId.count(11), 1u);
  EXPECT_EQ(w.byId.at(11).front().classId, "com.vellmarkstead.zond.HIpan");
  for (const char* cmd : {"Tbch", "Cact", "Cgin", "Cgou"}) EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
}


// The colour-matrix window: its 26 controls, the preset popup's companions
// and the buttons of the common commands.
TEST(NibChecklist, ColMat) {
  SCOPED_TRACE("ColMat");
  const Window w = Read("ColMat");
  const std::vector<Row> rows = {
      {28, Ed, ""},      {31, Ed, ""},      {25, Ed, ""},      {34, Ed, ""},      {9, Ed, ""},
      {16, Ed, ""},      {19, Ed, ""},      {27, Sl, "Sred"},  {30, Sl, "Sgre"},  {24, Sl, "Sblu"},
      {33, Sl, "Smsk"},  {13, Sl, "Shue"},  {14, Sl, "Ssat"},  {15, Sl, "Sval"},  {17, Ar, "Lahu"},
      {18, Ar, "Lasa"},  {20, Ar, "Lava"},  {41, Pu, "Psha"},  {7, Pu, "Plib"},   {35, Cb, "Ceff"},
      {36, Cb, "Cred"},  {37, Cb, "Cgre"},  {38, Cb, "Cblu"},  {39, Cb, "Cmsk"},  {4, V, ""},
      {22, V, ""}};
  EXPECT_EQ(rows.size(), 26u);
  for (const Row& r : rows) {
    auto it = w.byId.find(r.id);
    ASSERT_NE(it, w.byId.end()) << "control " << r.id;
    ASSERT_EQ(it->second.size(), 1u) << "control " << r.id;
    const NibControl& c = it->second.front();
    EXPECT_EQ(c.sig, "Cmat") << r.id;
    EXPECT_EQ(c.kind, r.kind) << r.id;
    EXPECT_EQ(c.cmd, r.cmd) << r.id;
  }
  EXPECT_EQ(w.byId.at(4).front().classId, "com.vellmarkstead.cmat.HIima");
  EXPECT_EQ(w.byId.at(22).front().classId, "com.vellmarkstead.cmat.HIcol");
  // Paint values 0..255; shifts: hue, saturation and value.
  for (int id : {27, 30, 24, 33}) {
    EXPECT_EQ(w.byId.at(id).front().minimum, 0) << id;
    EXPECT_EQ(w.byId.at(id).front().maximum, 255) << id;
  }
  EXPECT_EQ(w.byId.at(13).front().minimum, -180);
  EXPECT_EQ(w.byId.at(13).front().maximum, 180);
  EXPECT_EQ(w.byId.at(14).front().maximum, 100);
  EXPECT_EQ(w.byId.at(15).front().minimum, -100);
  for (const char* cmd : {"ok  ", "canc", "Bloa", "Bsav", "Bres", "Binv"}) EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
}

TEST(NibChecklist, ChannelMix) {
  std::vector<Row> rows = {{9, V, ""},        {14, Ind, ""},     {19, Ind, ""},  {7, Rad, "Rprv"}, {25, Sl, "Smut"},
                           {16, Ed, ""},      {13, Sl, "Span"},  {11, Tx, ""},   {23, Bt, "Bdiv"}, {24, Bt, "Bmul"},
                           {8, Tx, ""},       {20, Tx, ""},      {21, Tx, ""},   {34, Pu, "Plib"}, {35, Tx, ""},
                           {26, Gr, ""},      {27, Pu, "Popa"},  {28, Cb, "Copa"}, {29, Ed, ""},   {30, Tx, ""},
                           {31, Sl, "Sopa"}};
  // Fields by source row (red, green, blue, constant) for the outputs red,
  // green, blue, and their arrows with commands Li<output><source>.
  const int fields[4][3] = {{18, 33, 37}, {39, 40, 41}, {44, 45, 46}, {38, 42, 47}};
  const int arrows[4][3] = {{52, 53, 54}, {56, 57, 58}, {60, 61, 62}, {55, 59, 63}};
  static const char* const commands[3][4] = {
      {"LiR0", "LiR1", "LiR2", "LiR3"}, {"LiG0", "LiG1", "LiG2", "LiG3"}, {"LiB0", "LiB1", "LiB2", "LiB3"}};
  for (int s = 0; s < 4; ++s)
    for (int k = 0; k < 3; ++k) {
      rows.push_back({fields[s][k], Ed, ""});
      rows.push_back({arrows[s][k], Ar, commands[k][s]});
    }
  EXPECT_EQ(rows.size(), 45u);
  Check("ChannelMix", "Cmix", "cmix", rows);
}

// The ramp dialogs' windows: their own tables, commands, views and ranges.
struct RampRow {
  int id;
  const char* kind;
  const char* cmd;
  int minimum = 0;
  int maximum = 0;  // checked when not both 0
};

constexpr const char* Sb = "QScrollBar";

void CheckRampWindow(const std::string& name, const std::string& sig, const std::vector<RampRow>& rows,
                     const std::vector<std::string>& commands, const std::set<std::string>& views) {
  SCOPED_TRACE(name);
  const Window w = Read(name);
  for (const RampRow& r : rows) {
    auto it = w.byId.find(r.id);
    ASSERT_NE(it, w.byId.end()) << "control " << r.id;
    ASSERT_EQ(it->second.size(), 1u) << "control " << r.id;
    const NibControl& c = it->second.front();
    EXPECT_EQ(c.sig, sig) << r.id;
    EXPECT_EQ(c.kind, r.kind) << r.id;
    EXPECT_EQ(c.cmd, r.cmd) << r.id;
    if (r.minimum != 0 || r.maximum != 0) {
      EXPECT_EQ(c.minimum, r.minimum) << r.id;
      EXPECT_EQ(c.maximum, r.maximum) << r.id;
    }
  }
  for (const std::string& cmd : commands) EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
  std::set<std::string> found;
  for (const auto& [id, cs] : w.byId)
    for (const NibControl& c : cs)
      if (c.kind == V) found.insert(c.classId);
  EXPECT_EQ(found, views);
}

TEST(NibChecklist, AdjVign) {
  const std::string k = "com.vellmarkstead.adjvign.";
  CheckRampWindow("AdjVign", "Avig",
                  {{5, Ed, ""},          {7, Ed, ""},           {9, Ed, ""},           {32, Ed, ""},
                   {38, Ar, "Larr", 0, 255}, {39, Ar, "Larg", 0, 255}, {40, Ar, "Larb", 0, 255}, {41, Ar, "Lara", 0, 255},
                   {11, Ed, ""},          {23, Sb, "Shue", -180, 180}, {27, Ar, "Lahu", -180, 180},
                   {26, Ed, ""},          {24, Sb, "Ssat", -100, 100}, {28, Ar, "Lasa", -100, 100},
                   {29, Ed, ""},          {25, Sb, "Sval", -100, 100}, {30, Ar, "Lava", -100, 100},
                   {18, Tx, ""},          {19, Tx, ""},          {12, V, ""},           {15, V, ""},
                   {13, V, ""},           {16, V, ""},           {42, Cb, "Cprv"},      {44, Pu, ""},
                   {43, Pu, "Pnam"},      {17, V, ""},           {33, V, ""}},
                  {"ok  ", "canc", "Binv", "Bres", "Brnd", "Bloa", "Bsav"},
                  {k + "HIvigfr", k + "HIvigto", k + "HIopafr", k + "HIopato", k + "HIslid", k + "HIcolfr"});
}

TEST(NibChecklist, LoadVign) {
  const std::string k = "com.vellmarkstead.lvign.HIvig";
  CheckRampWindow("LoadVign", "Lvig",
                  {{10, Tx, ""}, {12, Tx, ""}, {14, Tx, ""}, {16, Tx, ""}, {18, Tx, ""}, {20, Tx, ""},
                   {8, Sb, "Scli", 0, 1000}, {21, Pu, "Pcat"}, {22, Pu, "Pnam"}},
                  {"ok  ", "canc", "Bloa", "Bupd"},
                  {k + "0", k + "1", k + "2", k + "3", k + "4", k + "5"});
}

}  // namespace

// The content-aware resize window: the 54 controls the dialog looks up, in
// its table's order, the navigator, and the controls of the commands beyond
// the 54 (buttons, check boxes and the item commands of three popups).
TEST(NibChecklist, Yoxelmain) {
  SCOPED_TRACE("Yoxelmain");
  constexpr const char* Rb = "QRadioButton";
  const std::vector<Row> rows = {
      {7, Pu, "Pknd"},  {8, Rad, "Rprv"}, {9, Tx, ""},      {21, Tx, ""},     {22, Tx, ""},     {59, Tx, ""},
      {60, Tx, ""},     {10, V, ""},      {12, Tx, ""},     {14, Sl, "Span"}, {24, Bt, "Bdiv"}, {25, Bt, "Bmul"},
      {15, Ind, ""},    {20, Ind, ""},    {16, Tx, ""},     {48, Sl, "Snoi"}, {17, Ed, ""},     {18, Tx, ""},
      {49, Sl, "Ssha"}, {19, Ed, ""},     {26, Gr, ""},     {29, Tx, ""},     {30, Tx, ""},     {31, Ed, ""},
      {32, Ed, ""},     {33, Tx, ""},     {34, Ed, ""},     {35, Tx, ""},     {36, Ed, ""},     {37, Gr, ""},
      {40, Tx, ""},     {41, Tx, ""},     {42, Ed, ""},     {43, Ed, ""},     {44, Tx, ""},     {45, Ed, ""},
      {46, Tx, ""},     {47, Ed, ""},     {50, Gr, ""},     {51, Pu, "Popa"}, {52, Tx, ""},     {53, Ed, ""},
      {54, Cb, "Copa"}, {55, Sl, "Sopa"}, {56, Pu, "Puni"}, {57, Rb, "Bpro"}, {58, Rb, "Bera"}, {63, Rb, "Badj"},
      {61, Rb, "Bbra"}, {62, Rb, "Bbrd"}, {64, Cb, "Cpro"}, {69, Cb, "Cera"}, {67, Tx, ""},     {68, Tx, ""}};
  EXPECT_EQ(rows.size(), 54u);
  const Window w = Read("Yoxelmain");
  for (const Row& r : rows) {
    auto it = w.byId.find(r.id);
    ASSERT_NE(it, w.byId.end()) << "control " << r.id;
    ASSERT_EQ(it->second.size(), 1u) << "control " << r.id;
    const NibControl& c = it->second.front();
    EXPECT_EQ(c.sig, "Yoxl") << r.id;
    EXPECT_EQ(c.kind, r.kind) << r.id;
    EXPECT_EQ(c.cmd, r.cmd) << r.id;
  }
  EXPECT_EQ(w.byId.at(10).front().classId, "com.vellmarkstead.yoxl.HIima");
  ASSERT_EQ(w.byId.count(11), 1u);
  EXPECT_EQ(w.byId.at(11).front().classId, "com.vellmarkstead.yoxl.HIpan");
  EXPECT_EQ(w.byId.at(14).front().minimum, 0);
  EXPECT_EQ(w.byId.at(14).front().maximum, 200);
  EXPECT_EQ(w.byId.at(55).front().maximum, 100);
  EXPECT_EQ(w.byId.at(7).front().items, 10);
  EXPECT_EQ(w.byId.at(56).front().items, 5);  // the units in their code order
  // The three popups of item commands, outside the 54.
  std::map<std::string, int> itemCommands;
  for (const auto& [id, cs] : w.byId)
    for (const NibControl& c : cs)
      if (!c.itemCmds.empty()) {
        EXPECT_EQ(c.kind, Pu) << id;
        EXPECT_EQ(std::count(c.itemCmds.begin(), c.itemCmds.end(), ',') + 1, c.items) << id;
        itemCommands[c.itemCmds] = id;
      }
  EXPECT_EQ(itemCommands.size(), 3u);
  EXPECT_EQ(itemCommands.count("Pcr0,Pcr1,Pcr2"), 1u);
  EXPECT_EQ(itemCommands.count("Pse0,Pse1,Pse2,Pse3"), 1u);
  EXPECT_EQ(itemCommands.count("Pco0,Pco1,Pco2,Pco3,Pco4"), 1u);
  for (const char* cmd : {"ok  ", "canc", "Bres", "Bloa", "Bsav", "Bcol", "Cred", "Cgre", "Cblu", "Bfpa", "Bsc1"})
    EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
}

// The operation-list editor's two windows: the 61 controls of signature
// 'Teff' in the image-tools window, the 50 of them the "Tune Effect" window
// has, their views and the buttons of the command table.
TEST(NibChecklist, TuneEffAndImaEff) {
  const std::vector<Row> common = {
      {41, Pu, "Pact"}, {47, Cb, "Cact"}, {42, Pu, "Pknd"}, {43, Pu, "Pafr"}, {37, Tx, ""},
      {44, Pu, "Pato"}, {45, Pu, "Pmsk"}, {46, Pu, "Pchn"}, {40, Tx, ""},     {31, Pu, "Pble"},
      {34, Tx, ""},     {29, Sl, "Sopa"}, {13, Tx, ""},     {30, Ed, ""},     {33, Bt, "Badj"},
      {49, V, "Bco0"},  {50, V, "Bco1"},  {72, V, ""},      {70, Pu, "Psel"}, {32, Cb, "Cprv"},
      {52, Pu, "Pprv"}, {51, "QTabWidget", ""},             {73, Tx, ""},     {74, Tx, ""},
      {75, Tx, ""},     {2, Tx, ""},      {4, Tx, ""},      {6, Tx, ""},      {8, Tx, ""},
      {10, Tx, ""},     {3, Tx, ""},      {5, Tx, ""},      {7, Tx, ""},      {9, Tx, ""},
      {11, Tx, ""},     {14, Tx, ""},     {17, Tx, ""},     {20, Tx, ""},     {23, Tx, ""},
      {26, Tx, ""},     {15, Sl, "Sva0"}, {18, Sl, "Sva1"}, {21, Sl, "Sva2"}, {24, Sl, "Sva3"},
      {27, Sl, "Sva4"}, {16, Ed, ""},     {19, Ed, ""},     {22, Ed, ""},     {25, Ed, ""},
      {28, Ed, ""}};
  const std::vector<Row> tools = {{67, Pu, "Plib"}, {65, "QScrollBar", "Seff"}, {59, V, ""}, {57, V, ""},
                                  {55, V, ""},      {60, Tx, ""},              {58, Tx, ""}, {56, Tx, ""},
                                  {69, Pu, "Rprv"}, {68, V, ""},               {71, Bt, "Badd"}};
  EXPECT_EQ(common.size() + tools.size(), 61u);
  for (const char* name : {"TuneEff", "ImaEff"}) {
    SCOPED_TRACE(name);
    const Window w = Read(name);
    std::vector<Row> rows = common;
    if (std::string(name) == "ImaEff") rows.insert(rows.end(), tools.begin(), tools.end());
    for (const Row& r : rows) {
      auto it = w.byId.find(r.id);
      ASSERT_NE(it, w.byId.end()) << "control " << r.id;
      ASSERT_EQ(it->second.size(), 1u) << "control " << r.id;
      const NibControl& c = it->second.front();
      EXPECT_EQ(c.sig, "Teff") << r.id;
      EXPECT_EQ(c.kind, r.kind) << r.id;
      EXPECT_EQ(c.cmd, r.cmd) << r.id;
    }
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ(w.byId.at(k == 0 ? 49 : k == 1 ? 50 : 72).front().classId,
                "com.vellmarkstead.teff.HIcol" + std::to_string(k));
    EXPECT_EQ(w.byId.at(29).front().maximum, 255);
    for (const char* cmd : {"ok  ", "canc", "Pop1", "Pop2", "Pop3", "Pop4"}) EXPECT_EQ(w.commands.count(cmd), 1u) << cmd;
  }
  const Window t = Read("TuneEff");
  for (const char* cmd : {"Bsav", "Bloa", "Bres"}) EXPECT_EQ(t.commands.count(cmd), 1u) << cmd;
  EXPECT_EQ(t.byId.count(68), 0u);
  const Window i = Read("ImaEff");
  for (const char* cmd : {"Pop5", "Pop6", "Pop7"}) EXPECT_EQ(i.commands.count(cmd), 1u) << cmd;
  EXPECT_EQ(i.byId.at(68).front().classId, "com.vellmarkstead.ieff.HIima");
  EXPECT_EQ(i.byId.at(59).front().classId, "com.vellmarkstead.ieff.HIss1");
  EXPECT_EQ(i.byId.at(57).front().classId, "com.vellmarkstead.ieff.HIss2");
  EXPECT_EQ(i.byId.at(55).front().classId, "com.vellmarkstead.ieff.HIss3");
}

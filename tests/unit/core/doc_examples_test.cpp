// Every example of docs/files.md, fed to the parser of its file: each block
// tagged with a file name is followed by a "meaning" block of key=value
// pairs (one line per example line, or one for a whole serial.dat or show),
// and each pair must be what the engine makes of the example.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "file_text.h"
#include "startup/config_file.h"
#include "startup/device_identity.h"
#include "dmx_generator.h"
#include "ledrunner_port.h"
#include "line_format.h"
#include "streams/network_streams.h"
#include "port.h"
#include "ports/simulated_uart.h"
#include "rdm_responder.h"
#include "startup/rules_file.h"
#include "show_engine/locked_engine.h"
#include "show_engine/engine_layer.h"
#include "show_engine/show_text.h"
#include "stream.h"

namespace {

using xuart_sim::ToHex;

// A field's value as a meaning writes it: numbers in decimal.
struct Text : std::string {
  Text(const char* text) : std::string(text) {}
  Text(std::string text) : std::string(std::move(text)) {}
  template <class N, class = std::enable_if_t<std::is_arithmetic_v<N>>>
  Text(N n) : std::string(std::to_string(+n)) {}
};
using Fields = std::map<std::string, Text>;

struct Block {
  std::string tag;
  int line = 0;  // of the opening fence in the document
  std::vector<std::string> lines;
};

std::vector<Block> ReadBlocks() {
  std::ifstream doc(CORVANTA_FILES_DOC);
  EXPECT_TRUE(doc.good()) << CORVANTA_FILES_DOC;
  std::vector<Block> blocks;
  bool open = false;
  std::string line;
  for (int number = 1; std::getline(doc, line); ++number) {
    if (line.rfind("```", 0) != 0) {
      if (open) blocks.back().lines.push_back(line);
    } else if ((open = !open)) {
      blocks.push_back({line.substr(3), number, {}});
    }
  }
  return blocks;
}

// A run of columns a table gives a field, counted from 1; `last` 0 runs to
// the end of the line.
struct Column {
  size_t first = 0;
  size_t last = 0;
  std::string field;
};

// The column table of one line kind: the letters that start its lines and
// its fields in order.
struct ColumnTable {
  std::string file;  // config.dat or rules.dat
  std::vector<std::string> letters;
  std::vector<Column> columns;
  int line = 0;  // of the table's first row in the document
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::vector<std::string> Cells(const std::string& row) {
  std::vector<std::string> cells;
  std::istringstream in(row.substr(1));
  for (std::string cell; std::getline(in, cell, '|');) {
    const size_t begin = cell.find_first_not_of(' ');
    const size_t end = cell.find_last_not_of(' ');
    cells.push_back(begin == std::string::npos ? "" : cell.substr(begin, end - begin + 1));
  }
  return cells;
}

std::vector<std::string> Backticked(const std::string& text) {
  std::vector<std::string> words;
  for (size_t open = text.find('`'); open != std::string::npos;) {
    const size_t close = text.find('`', open + 1);
    if (close == std::string::npos) break;
    if (close > open + 1) words.push_back(text.substr(open + 1, close - open - 1));
    open = text.find('`', close + 1);
  }
  return words;
}

// "3-5", "18" or "8-end".
Column ColumnsOf(const std::string& text, std::string field) {
  Column c{std::stoul(text), 0, std::move(field)};
  const size_t dash = text.find('-');
  if (dash == std::string::npos) {
    c.last = c.first;
  } else if (text.substr(dash + 1) != "end") {
    c.last = std::stoul(text.substr(dash + 1));
  }
  return c;
}

// The stream tables ("| columns | width | field |") give a row per field;
// the rules table a row per rule, its fields listed as "s1 2-4, d1 6-8".
std::vector<ColumnTable> ReadColumnTables() {
  std::ifstream doc(CORVANTA_FILES_DOC);
  std::vector<ColumnTable> tables;
  enum { kNone, kStreamTable, kRulesTable } in = kNone;
  std::string line;
  for (int number = 1; std::getline(doc, line); ++number) {
    if (line.rfind('|', 0) != 0) {
      in = kNone;
      continue;
    }
    const std::vector<std::string> cells = Cells(line);
    if (cells.size() >= 3 && cells[0] == "columns" && cells[1] == "width") {
      in = kStreamTable;
      tables.push_back({"config.dat", {}, {}, number});
    } else if (cells.size() >= 3 && cells[0] == "line" && cells[2] == "columns") {
      in = kRulesTable;
    } else if (in == kNone || cells.size() < 3 || cells[0].rfind("---", 0) == 0) {
      continue;
    } else if (in == kStreamTable) {
      // The first row holds the letters that start the kind's lines.
      if (tables.back().columns.empty()) tables.back().letters = Backticked(cells[2]);
      tables.back().columns.push_back(ColumnsOf(cells[0], cells[2]));
      const Column& c = tables.back().columns.back();
      if (c.last != 0) {
        EXPECT_EQ(cells[1], std::to_string(c.last - c.first + 1)) << "files.md:" << number;
      }
    } else {
      ColumnTable table{"rules.dat", Backticked(cells[0]), {}, number};
      table.columns.push_back({1, table.letters.at(0).size(), "letters"});
      std::istringstream fields(cells[2]);
      for (std::string field; std::getline(fields >> std::ws, field, ',');) {
        // The columns are the first word that starts with a digit: "s1 2-4".
        std::istringstream words(field);
        std::string run;
        while (words >> run && !IsDigit(run[0])) {
        }
        if (run.empty() || !IsDigit(run[0])) {
          ADD_FAILURE() << "files.md:" << number << ": no columns in " << field;
          continue;
        }
        table.columns.push_back(ColumnsOf(run, field));
      }
      tables.push_back(std::move(table));
    }
  }
  return tables;
}

// key=value pairs separated by blanks; a value may be quoted to hold blanks,
// and \n in it is a line end. A pair without its = gives a key no example has.
std::map<std::string, std::string> ParseMeaning(const std::string& line) {
  std::istringstream in(line);
  std::map<std::string, std::string> fields;
  std::string key, value;
  while (std::getline(in >> std::ws, key, '=')) {
    if (in.peek() == '"') {
      std::getline(in.ignore(), value, '"');
    } else {
      in >> value;
    }
    for (size_t n; (n = value.find("\\n")) != std::string::npos;) value.replace(n, 2, "\n");
    fields[key] = value;
  }
  return fields;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The items of `c`, each as `text` writes it, separated by `separator`.
template <class C, class F>
std::string Listed(const C& c, F text, const char* separator = ",") {
  std::string all;
  for (const auto& item : c) all += (all.empty() ? "" : separator) + text(item);
  return all;
}

std::string Decimal(long long n) { return std::to_string(n); }

// Every field of every protocol: a meaning names those of its own.
Fields DescribeNetwork(const Stream& stream) {
  static const char* const kProtocols[] = {"none", "artnet", "qsp", "sacn", "kinet"};
  static const uint8_t kAny[16] = {};
  const NetworkEndpoint& s = *stream.As<NetworkEndpoint>();
  const bool qsp = s.protocol == kProtocolQsp;
  const struct sockaddr_in& to = qsp ? s.qspAddress : s.artnetAddress;
  const bool broadcast = to.sin_addr.s_addr == BroadcastAddress.s_addr;
  return {{"kind", "network"}, {"protocol", kProtocols[s.protocol]},
          {"address", broadcast ? "broadcast" : inet_ntoa(to.sin_addr)},
          {"cid", memcmp(s.acn.cidFilter, kAny, 16) == 0 ? "any" : ToHex(s.acn.cidFilter, 16)},
          {"input", stream.IsInput()}, {"port", ntohs(to.sin_port)}, {"kinetport", s.kinetPort},
          {"universe", s.protocol == kProtocolSacn ? s.acn.universe
                       : qsp                       ? s.qspUniverse
                                                   : s.artnetUniverse},
          {"priority", s.acn.priority}};
}

Fields DescribeGenerator(const Stream& s) {
  const DmxGenerator& g = *s.As<DmxGenerator>();
  if (g.type == kGeneratorOsc) return {{"kind", "generator"}, {"type", "osc"}};
  if (g.type == kGeneratorShowPlayer) {
    std::string running = "none";
    LockedEngine engine(*DmxEngine::GetInstance());
    for (const auto& [id, layer] : engine.CuelistLayers()) {
      if (layer->state == kLayerRunning) running = std::to_string(id);
    }
    return {{"kind", "generator"}, {"type", "show"}, {"cuelist", running}, {"path", g.showPath}};
  }
  // Up to the last channel that is not 0: the rest of the universe is 0.
  size_t last = kDmxChannels;
  while (last > 0 && s.data[last - 1] == 0) --last;
  return {{"kind", "generator"}, {"type", "fixed"},
          {"values", Listed(std::vector<uint8_t>(s.data, s.data + last), Decimal)}};
}

Fields DescribeStream(const ConfigRecord& record, const Stream& s) {
  if (s.As<NetworkEndpoint>() != nullptr) return DescribeNetwork(s);
  if (s.As<DmxGenerator>() != nullptr) return DescribeGenerator(s);
  if (const DmxPort* port = s.As<DmxPort>()) {
    const auto& timing = port->paramsContinuous;
    // The driver's block is packed: its fields are copied, never bound.
    return {{"kind", "port"}, {"device", port->devicePath}, {"input", s.IsInput()},
            {"refresh", ParseDmxPortText(record.text).refreshRate},
            {"break", +timing.breakTime}, {"mab", +timing.markAfterBreak},
            {"channels", port->channels}, {"interslot", +timing.interSlot}};
  }
  if (const LedrunnerPort* led = s.As<LedrunnerPort>()) {
    return {{"kind", "led"}, {"device", led->devicePath}, {"strip", led->stripProtocol},
            {"order", led->pixelOrder}, {"group", led->pixelGroupSize}};
  }
  if (const NxbEndpoint* node = s.As<NxbEndpoint>()) {
    return {{"kind", "node"}, {"address", inet_ntoa(node->nxbAddress.sin_addr)},
            {"port", ntohs(node->nxbAddress.sin_port)}, {"input", node->nxbInput}};
  }
  return {{"kind", s.kind == kStreamVirtual ? "virtual" : "unknown"}};
}

// The document's show: every C001 example loads it, whatever path it names.
std::string DocumentShow;
bool ReadDocumentShow(const std::string&, std::string* text) {
  *text = DocumentShow;
  return true;
}

std::vector<Fields> DescribeConfig(const Block& block) {
  const auto file = ParseConfigText(Joined(block.lines));
  EXPECT_FALSE(file.error.has_value()) << (file.error ? file.error->reason : "");
  SimulatedUart uart;
  const auto readShow = std::exchange(DmxGenerator::readShow, ReadDocumentShow);
  std::vector<Fields> described;
  for (const ConfigRecord& record : file.records) {
    if (record.kind == kStreamLedrunnerPort) {
      uart.WriteConf(std::stoi(record.text.substr(0, 3)), "led\n");
    }
    const std::unique_ptr<Stream> s(StartConfiguredStream(record));
    described.push_back(DescribeStream(record, *s));
  }
  DmxGenerator::readShow = readShow;
  return described;
}

std::vector<Fields> DescribeRules(const Block& block) {
  const auto file = ParseRulesText(Joined(block.lines));
  EXPECT_FALSE(file.error.has_value()) << (file.error ? file.error->reason : "");
  static const char* const kKinds[] = {"disabled", "forward", "copy",       "htp",
                                       "ltp",      "priority", "switch",    "switch2to1",
                                       "compressor", "leda",   "ledb"};
  std::vector<Fields> described;
  for (const RulesRecord& record : file.records) {
    if (record.klock) {
      described.push_back(
          {{"rule", "klock"}, {"stream", record.klockStream}, {"timeout", record.klockTimeout}});
      continue;
    }
    const Rule r(record.kind, record.text);
    const bool compressor = r.kind == kRuleCompressor;
    described.push_back(
        {{"rule", kKinds[r.kind]}, {"s1", r.s1}, {"s2", r.s2}, {"d1", r.d1},
         {"s1start", r.s1Start}, {"d1start", r.d1Start}, {"count", r.count},
         {"timeout", r.timeout}, {"source", r.switchSource}, {"a", r.switchA},
         {"b", r.switchB}, {"dest", r.switchDest},
         {"control", compressor ? r.compControlStream : r.controlStream},
         {"channel", compressor ? r.compControlChannel : r.controlChannel},
         {"threshold", r.threshold}});
  }
  return described;
}

std::vector<Fields> DescribeSerial(const Block& block) {
  DeviceIdentityRecord id;
  const auto error = ParseSerialText(Joined(block.lines), &id);
  EXPECT_FALSE(error.has_value()) << (error ? error->reason : "");
  const auto byte = [](int b) { const auto v = static_cast<uint8_t>(b); return ToHex(&v, 1); };
  return {{{"serial", id.serialNumber}, {"ip", inet_ntoa(id.ipAddress)},
           {"mac", Listed(id.macAddress, byte, ":")},
           {"broadcast", inet_ntoa(id.broadcastAddress)}, {"name", id.deviceName},
           {"cid", ToHex(id.sacnCid, 16)}, {"board", id.boardType}}};
}

std::vector<Fields> DescribeShow(const Block& block) {
  std::istringstream in(Joined(block.lines));
  Show show;
  EXPECT_TRUE(static_cast<bool>(ReadShow(in, show))) << "the show does not read to its end";
  const auto entries = [](const auto& list) { return Decimal(list.second.entries.size()); };
  return {{{"cues", show.cues.size()}, {"cuelists", show.cuelists.size()},
           {"entries", Listed(show.cuelists, entries)}, {"defvals", show.DefVals.size()},
           {"chtypes", Listed(show.ChTypes, Decimal)}}};
}

std::vector<Fields> DescribeXuartConf(const Block& block) {
  static const char* const kFaults[] = {"none", "silent", "badsum", "short", "nomute"};
  std::vector<Fields> described;
  for (const std::string& line : block.lines) {
    xuart_sim::ResponderConfig r;
    if (line == "led") {
      described.push_back({{"conf", "led"}});
    } else {
      const bool read = xuart_sim::ParseResponderLine(line, &r);
      described.push_back({{"conf", read ? "responder" : "unreadable"},
                           {"uid", ToHex(r.uid.bytes, 6)}, {"label", r.label},
                           {"fault", kFaults[static_cast<int>(r.fault)]},
                           {"address", r.startAddress}, {"footprint", r.footprint}});
    }
  }
  return described;
}

// Each pair of a meaning line against the fields the engine made.
void ExpectMeaning(const Fields& got, const std::string& meaning) {
  for (const auto& [key, value] : ParseMeaning(meaning)) {
    const auto found = got.find(key);
    ASSERT_NE(found, got.end()) << "no field " << key << " in: " << meaning;
    EXPECT_EQ(std::string(found->second), value) << key << " in: " << meaning;
  }
}

using Describe = std::vector<Fields> (*)(const Block&);

TEST(DocExamples, EveryExampleMeansWhatTheReferenceSays) {
  const std::map<std::string, Describe> kParsers = {
      {"config.dat", DescribeConfig}, {"rules.dat", DescribeRules},
      {"serial.dat", DescribeSerial}, {"show", DescribeShow},
      {"xuart.conf", DescribeXuartConf}};
  // "broadcast" in a meaning: the device's broadcast address.
  inet_aton("127.255.255.255", &BroadcastAddress);
  const std::vector<Block> blocks = ReadBlocks();
  for (const Block& b : blocks) {
    if (b.tag == "show") DocumentShow = Joined(b.lines);
  }
  std::map<std::string, int> examples;
  for (size_t i = 0; i < blocks.size(); ++i) {
    const auto parser = kParsers.find(blocks[i].tag);
    if (parser == kParsers.end()) continue;
    SCOPED_TRACE("docs/files.md:" + std::to_string(blocks[i].line) + " " + blocks[i].tag);
    ASSERT_LT(i + 1, blocks.size());
    ASSERT_EQ(blocks[i + 1].tag, "meaning");
    const std::vector<Fields> got = parser->second(blocks[i]);
    const std::vector<std::string>& meanings = blocks[i + 1].lines;
    ASSERT_EQ(got.size(), meanings.size());
    for (size_t k = 0; k < got.size(); ++k) ExpectMeaning(got[k], meanings[k]);
    examples[blocks[i].tag] += static_cast<int>(got.size());
  }
  // A fence the reader no longer finds must not pass as "nothing to check".
  for (const auto& [tag, parser] : kParsers) EXPECT_GT(examples[tag], 0) << tag;
}

// The show the reference describes frame by frame is the one the show
// example plays, which the playback tests hold to that description.
TEST(DocExamples, TheReferenceShowIsTheShowExample) {
  const std::string example = ShowExampleText();
  size_t shows = 0;
  for (const Block& b : ReadBlocks()) {
    if (b.tag != "show") continue;
    ++shows;
    EXPECT_EQ(Joined(b.lines), example) << "docs/files.md:" << b.line;
  }
  EXPECT_EQ(shows, 1u);
}

// What an example writes in a field: I or O for a direction, a CID with its
// dashes, anything where nothing is read, else a number as wide as its field.
bool FitsField(const Column& c, const std::string& text) {
  if (c.field.find("not read") != std::string::npos) return true;
  if (c.last == 0) return !text.empty();
  if (c.field.rfind("direction", 0) == 0) return text == "I" || text == "O";
  if (c.field.find("CID") != std::string::npos) {
    // Lower-case hexadecimal in groups of 8-4-4-4-12.
    if (text.size() != 36) return false;
    for (size_t i = 0; i < text.size(); ++i) {
      const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
      const char d = text[i];
      if (dash ? d != '-' : !(IsDigit(d) || (d >= 'a' && d <= 'f'))) return false;
    }
    return true;
  }
  const size_t digits = text.rfind('-', 0) == 0 ? 1 : 0;
  return text.size() > digits &&
         std::all_of(text.begin() + static_cast<std::ptrdiff_t>(digits), text.end(), IsDigit);
}

// The fixed-value generator's columns are told in words: the type, then
// 512 groups of 3.
ColumnTable FixedValueColumns() {
  ColumnTable table{"config.dat", {"C000"}, {{1, 4, "letters"}}, 0};
  for (size_t k = 0; k < kDmxChannels; ++k) {
    table.columns.push_back({5 + 3 * k, 7 + 3 * k, "channel " + std::to_string(k + 1)});
  }
  return table;
}

// The table of `file` whose letters start `line` (the longest that does),
// or none.
const ColumnTable* TableOf(const std::vector<ColumnTable>& tables, const std::string& file,
                           const std::string& line) {
  const ColumnTable* found = nullptr;
  size_t length = 0;
  for (const ColumnTable& table : tables) {
    if (table.file != file) continue;
    for (const std::string& letters : table.letters) {
      if (line.rfind(letters, 0) == 0 && letters.size() > length) {
        found = &table;
        length = letters.size();
      }
    }
  }
  return found;
}

bool InputAfterDirection(const std::string& line, size_t column, char direction) {
  std::string changed = line;
  changed[column - 1] = direction;
  const auto file = ParseConfigText(changed + "\n");
  if (file.records.size() != 1) return false;
  const std::unique_ptr<Stream> s(StartConfiguredStream(file.records[0]));
  return DescribeStream(file.records[0], *s).at("input") == "1";
}

// A line one column too long, or a field one column off, may still mean the
// same to the parser as its meaning line says, yet not what the table says
// when copied and changed: each line is held against its table.
TEST(DocExamples, EveryExampleLineSitsInTheColumnsOfItsTable) {
  // Kinds whose lines have no columns after their letters.
  const std::string kFree[] = {"V", "C002"};
  std::vector<ColumnTable> tables = ReadColumnTables();
  ASSERT_GE(tables.size(), 7u + 11u);  // the stream kinds' tables and the rules
  for (const ColumnTable& table : tables) {
    SCOPED_TRACE("docs/files.md:" + std::to_string(table.line));
    ASSERT_FALSE(table.letters.empty());
    size_t next = 1;
    for (const Column& c : table.columns) {
      EXPECT_EQ(c.first, next) << c.field;
      EXPECT_TRUE(c.last == 0 ? &c == &table.columns.back() : c.last >= c.first) << c.field;
      next = c.last + 1;
    }
  }
  tables.push_back(FixedValueColumns());
  SimulatedUart uart;
  size_t checked = 0;
  for (const Block& b : ReadBlocks()) {
    if (b.tag != "config.dat" && b.tag != "rules.dat") continue;
    for (size_t k = 0; k < b.lines.size(); ++k) {
      const std::string& line = b.lines[k];
      SCOPED_TRACE("docs/files.md:" + std::to_string(b.line + 1 + static_cast<int>(k)) + " " +
                   line);
      const ColumnTable* table = TableOf(tables, b.tag, line);
      if (table == nullptr) {
        EXPECT_NE(std::find(std::begin(kFree), std::end(kFree), line), std::end(kFree))
            << "no column table";
        continue;
      }
      ++checked;
      const Column& end = table->columns.back();
      if (end.last != 0) {
        EXPECT_LE(line.size(), end.last) << "longer than its table";
      }
      bool endsOnAField = end.last == 0 && line.size() >= end.first;
      for (const Column& c : table->columns) {
        endsOnAField |= line.size() == c.last;
        if (&c == &table->columns.front() || line.size() < c.first) continue;
        const std::string text =
            line.substr(c.first - 1, c.last == 0 ? std::string::npos : c.last - c.first + 1);
        EXPECT_TRUE(FitsField(c, text)) << "columns " << c.first << "-" << c.last << " ("
                                        << c.field << ") hold \"" << text << "\"";
        // The direction the table names is the one the engine reads.
        if (b.tag == "config.dat" && c.field.rfind("direction", 0) == 0) {
          EXPECT_TRUE(InputAfterDirection(line, c.first, 'I')) << "I at column " << c.first;
          EXPECT_FALSE(InputAfterDirection(line, c.first, 'O')) << "O at column " << c.first;
        }
      }
      EXPECT_TRUE(endsOnAField) << "ends inside a field";
    }
  }
  EXPECT_GT(checked, 30u);
}

// Stream lines the reference tells of in words only.
TEST(DocExamples, LinesTheReferenceTellsOfInWords) {
  const struct { uint32_t kind; const char* text; const char* meaning; } rows[] = {
      {kStreamNetwork, "A001192168001010i\n", "protocol=artnet input=0"},  // only I is in
      {kStreamNetwork, "X001192168001010I\n", "protocol=none input=0"},
      {kStreamNetwork, "", "protocol=none input=0"},
      {kStreamNetwork, "K260000000000001000000000000I\n", "kinetport=4"},  // its low 8 bits
      {kStreamNxb, "xO255255255255\n", "address=255.255.255.255"},      // no substitution
      {kStreamGenerator, "000300001\n", "values=44,1"},  // low 8 bits; a short line ends in 0s
      // Port timing: defaults, clamps, and the inter-slot time the rest leaves.
      {kStreamPort, "001I\n", "refresh=35 channels=513 interslot=3"},  // only the line end
      {kStreamPort, "002i040008800080513", "input=0 interslot=2"},
      {kStreamPort, "002O044008800080513", "interslot=1"},
      {kStreamPort, "002O050008800080513", "interslot=0"},  // spare is -616
      {kStreamPort, "002O010008800080024", "channels=24 interslot=255"},
      {kStreamPort, "002O-10008800080513", "refresh=-10 interslot=0"},
      {kStreamPort, "003O035004000040023", "break=22 mab=2 channels=513 interslot=3"},
      {kStreamPort, "003O010999999990024", "break=1023 mab=1023 channels=24 interslot=255"},
      {kStreamPort, "003O035-004-0040600", "break=1023 mab=1023 channels=513 interslot=0"},
      {kStreamPort, "003O035010000160024", "break=25 mab=4 channels=24 interslot=82"},
      {kStreamPort, "003O035008800080-01", "channels=513 interslot=3"},
      {kStreamPort, "004O04", "refresh=4 break=22 mab=2 interslot=111"},  // the rest reads as 0
  };
  for (const auto& r : rows) {
    const ConfigRecord record{1, 0, r.kind, r.text};
    const std::unique_ptr<Stream> s(StartConfiguredStream(record));
    ExpectMeaning(DescribeStream(record, *s), r.meaning);
  }
}

}  // namespace

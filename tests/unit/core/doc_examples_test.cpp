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
#include <vector>

#include "startup/config_file.h"
#include "startup/device_identity.h"
#include "dmx_generator.h"
#include "ledrunner_port.h"
#include "streams/network_streams.h"
#include "port.h"
#include "ports/simulated_uart.h"
#include "rdm_responder.h"
#include "startup/rules_file.h"
#include "show_engine/dmx_engine.h"
#include "show_engine/engine_layer.h"
#include "show_engine/show_text.h"
#include "stream.h"
#include "temp_folder.h"

namespace {

using Fields = std::map<std::string, std::string>;

struct Block {
  std::string tag;
  int line = 0;  // of the opening fence in the document
  std::vector<std::string> lines;
};

std::vector<Block> ReadBlocks() {
  std::ifstream doc(CORVANTA_FILES_DOC);
  EXPECT_TRUE(doc.good()) << CORVANTA_FILES_DOC;
  std::vector<Block> blocks;
  Block* open = nullptr;
  std::string line;
  for (int number = 1; std::getline(doc, line); ++number) {
    if (line.rfind("```", 0) != 0) {
      if (open != nullptr) open->lines.push_back(line);
    } else if (open != nullptr) {
      open = nullptr;
    } else {
      blocks.push_back({line.substr(3), number, {}});
      open = &blocks.back();
    }
  }
  return blocks;
}

// key=value pairs separated by blanks; a value may be quoted to hold blanks,
// and \n in it is a line end. Anything else makes the line unreadable.
Fields ParseMeaning(const std::string& line) {
  const Fields unreadable = {{"unreadable meaning", line}};
  Fields fields;
  size_t at = 0;
  while ((at = line.find_first_not_of(' ', at)) != std::string::npos) {
    const size_t equals = line.find('=', at);
    if (equals == std::string::npos || equals == at || line.find(' ', at) < equals) {
      return unreadable;
    }
    const std::string key = line.substr(at, equals - at);
    size_t end;
    std::string value;
    if (line.compare(equals + 1, 1, "\"") == 0) {
      end = line.find('"', equals + 2);
      if (end == std::string::npos) return unreadable;
      value = line.substr(equals + 2, end - equals - 2);
      if (++end < line.size() && line[end] != ' ') return unreadable;
    } else {
      end = std::min(line.find(' ', equals), line.size());
      value = line.substr(equals + 1, end - equals - 1);
    }
    for (size_t n; (n = value.find("\\n")) != std::string::npos;) value.replace(n, 2, "\n");
    fields[key] = value;
    at = end;
  }
  return fields;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

std::string Hex(const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < count; ++i) text += {kDigits[bytes[i] >> 4], kDigits[bytes[i] & 15]};
  return text;
}

std::string Address(struct in_addr address) { return inet_ntoa(address); }

// Text fields and number fields, the numbers in decimal.
Fields Described(Fields text, std::initializer_list<std::pair<const char*, long long>> numbers) {
  for (const auto& [key, value] : numbers) text[key] = std::to_string(value);
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
  return Described(
      {{"kind", "network"}, {"protocol", kProtocols[s.protocol]},
       {"address", broadcast ? "broadcast" : Address(to.sin_addr)},
       {"cid", memcmp(s.acn.cidFilter, kAny, 16) == 0 ? "any" : Hex(s.acn.cidFilter, 16)}},
      {{"input", stream.IsInput()}, {"port", ntohs(to.sin_port)}, {"kinetport", s.kinetPort},
       {"universe", s.protocol == kProtocolSacn ? s.acn.universe
                    : qsp                       ? s.qspUniverse
                                                : s.artnetUniverse},
       {"priority", s.acn.priority}});
}

Fields DescribeGenerator(const Stream& s, const std::string& documentedPath) {
  const DmxGenerator& g = *s.As<DmxGenerator>();
  if (g.type == kGeneratorOsc) return {{"kind", "generator"}, {"type", "osc"}};
  if (g.type == kGeneratorShowPlayer) {
    std::string running = "none";
    for (const auto& [id, layer] : DmxEngine::GetInstance()->cuelistLayers) {
      if (layer->state == kLayerRunning) running = std::to_string(id);
    }
    return {{"kind", "generator"}, {"type", "show"}, {"cuelist", running},
            {"path", documentedPath}};
  }
  // Up to the last channel that is not 0: the rest of the universe is 0.
  size_t last = kDmxChannels;
  while (last > 0 && s.data[last - 1] == 0) --last;
  return {{"kind", "generator"}, {"type", "fixed"},
          {"values", Listed(std::vector<uint8_t>(s.data, s.data + last), Decimal)}};
}

Fields DescribeStream(const ConfigRecord& record, const Stream& s,
                      const std::string& documentedPath) {
  switch (record.kind) {
    case kStreamNetwork:
      return DescribeNetwork(s);
    case kStreamPort: {
      const DmxPortSettings p = ParseDmxPortText(record.text);
      const DmxPort& port = *s.As<DmxPort>();
      const auto& timing = port.paramsContinuous;
      // The driver's block is packed: its fields are copied, never bound.
      return Described({{"kind", "port"}, {"device", port.devicePath}},
                       {{"input", port.input}, {"refresh", p.refreshRate},
                        {"break", +timing.breakTime}, {"mab", +timing.markAfterBreak},
                        {"channels", port.channels}, {"interslot", timing.interSlot}});
    }
    case kStreamLedrunnerPort: {
      const LedrunnerPort& led = *s.As<LedrunnerPort>();
      return Described({{"kind", "led"}, {"device", led.devicePath}},
                       {{"strip", led.stripProtocol}, {"order", led.pixelOrder},
                        {"group", led.pixelGroupSize}});
    }
    case kStreamNxb: {
      const NxbEndpoint& node = *s.As<NxbEndpoint>();
      return Described({{"kind", "node"}, {"address", Address(node.nxbAddress.sin_addr)}},
                       {{"port", ntohs(node.nxbAddress.sin_port)}, {"input", node.nxbInput}});
    }
    case kStreamGenerator:
      return DescribeGenerator(s, documentedPath);
    case kStreamVirtual:
      return {{"kind", "virtual"}};
  }
  return {};
}

std::vector<Fields> DescribeConfig(const Block& block, const std::string& showPath) {
  const auto file = ParseConfigText(Joined(block.lines));
  EXPECT_FALSE(file.error.has_value()) << (file.error ? file.error->reason : "");
  SimulatedUart uart;
  std::vector<Fields> described;
  for (ConfigRecord record : file.records) {
    std::string documentedPath;
    if (record.kind == kStreamGenerator && record.text.rfind("001", 0) == 0) {
      documentedPath = record.text.substr(6, record.text.size() - 7);
      record.text = record.text.substr(0, 6) + showPath + "\n";
    }
    if (record.kind == kStreamLedrunnerPort) uart.WriteConf(std::stoi(record.text.substr(0, 3)), "led\n");
    const std::unique_ptr<Stream> s(StartConfiguredStream(record));
    described.push_back(DescribeStream(record, *s, documentedPath));
  }
  return described;
}

std::vector<Fields> DescribeRules(const Block& block, const std::string&) {
  const auto file = ParseRulesText(Joined(block.lines));
  EXPECT_FALSE(file.error.has_value()) << (file.error ? file.error->reason : "");
  static const char* const kKinds[] = {"disabled", "forward", "copy",       "htp",
                                       "ltp",      "priority", "switch",    "switch2to1",
                                       "compressor", "leda",   "ledb"};
  std::vector<Fields> described;
  for (const RulesRecord& record : file.records) {
    if (record.klock) {
      described.push_back(Described({{"rule", "klock"}}, {{"stream", record.klockStream},
                                                          {"timeout", record.klockTimeout}}));
      continue;
    }
    const Rule r(record.kind, record.text);
    const bool compressor = r.kind == kRuleCompressor;
    described.push_back(Described(
        {{"rule", kKinds[r.kind]}},
        {{"s1", r.s1}, {"s2", r.s2}, {"d1", r.d1}, {"s1start", r.s1Start}, {"d1start", r.d1Start},
         {"count", r.count}, {"timeout", r.timeout}, {"source", r.switchSource},
         {"a", r.switchA}, {"b", r.switchB}, {"dest", r.switchDest},
         {"control", compressor ? r.compControlStream : r.controlStream},
         {"channel", compressor ? r.compControlChannel : r.controlChannel},
         {"threshold", r.threshold}}));
  }
  return described;
}

std::vector<Fields> DescribeSerial(const Block& block, const std::string&) {
  DeviceIdentityRecord id;
  const auto error = ParseSerialText(Joined(block.lines), &id);
  EXPECT_FALSE(error.has_value()) << (error ? error->reason : "");
  const auto byte = [](auto b) {
    const uint8_t u = static_cast<uint8_t>(b);
    return Hex(&u, 1);
  };
  return {Described({{"ip", Address(id.ipAddress)},
                     {"mac", Listed(id.macAddress, byte, ":")},
                     {"broadcast", Address(id.broadcastAddress)},
                     {"name", id.deviceName},
                     {"cid", Hex(id.sacnCid, 16)}},
                    {{"serial", id.serialNumber}, {"board", id.boardType}})};
}

std::vector<Fields> DescribeShow(const Block& block, const std::string&) {
  std::istringstream in(Joined(block.lines));
  Show show;
  EXPECT_TRUE(static_cast<bool>(ReadShow(in, show))) << "the show does not read to its end";
  const auto entries = [](const auto& list) { return Decimal(list.second.entries.size()); };
  return {Described({{"entries", Listed(show.cuelists, entries)},
                     {"chtypes", Listed(show.ChTypes, Decimal)}},
                    {{"cues", show.cues.size()}, {"cuelists", show.cuelists.size()},
                     {"defvals", show.DefVals.size()}})};
}

std::vector<Fields> DescribeXuartConf(const Block& block, const std::string&) {
  static const char* const kFaults[] = {"none", "silent", "badsum", "short", "nomute"};
  std::vector<Fields> described;
  for (const std::string& line : block.lines) {
    xuart_sim::ResponderConfig r;
    if (line == "led") {
      described.push_back({{"conf", "led"}});
    } else if (xuart_sim::ParseResponderLine(line, &r)) {
      described.push_back(Described({{"conf", "responder"}, {"uid", Hex(r.uid.bytes, 6)},
                                     {"label", r.label},
                                     {"fault", kFaults[static_cast<int>(r.fault)]}},
                                    {{"address", r.startAddress}, {"footprint", r.footprint}}));
    } else {
      described.push_back({{"conf", "unreadable"}});
    }
  }
  return described;
}

using Describe = std::vector<Fields> (*)(const Block&, const std::string& showPath);

TEST(DocExamples, EveryExampleMeansWhatTheReferenceSays) {
  const std::map<std::string, Describe> kParsers = {
      {"config.dat", DescribeConfig}, {"rules.dat", DescribeRules},
      {"serial.dat", DescribeSerial}, {"show", DescribeShow},
      {"xuart.conf", DescribeXuartConf}};
  // "broadcast" in a meaning: the device's broadcast address.
  inet_aton("127.255.255.255", &BroadcastAddress);
  const std::vector<Block> blocks = ReadBlocks();
  // The document's show, written for the C001 examples to load.
  TempFolder folder;
  const std::string showPath = folder.Path("show.txt");
  for (const Block& b : blocks) {
    if (b.tag == "show") {
      std::ofstream(showPath) << Joined(b.lines);
      break;
    }
  }
  std::map<std::string, int> examples;
  for (size_t i = 0; i < blocks.size(); ++i) {
    const auto parser = kParsers.find(blocks[i].tag);
    if (parser == kParsers.end()) continue;
    SCOPED_TRACE("docs/files.md:" + std::to_string(blocks[i].line) + " " + blocks[i].tag);
    ASSERT_LT(i + 1, blocks.size());
    ASSERT_EQ(blocks[i + 1].tag, "meaning");
    const std::vector<Fields> got = parser->second(blocks[i], showPath);
    const std::vector<std::string>& meanings = blocks[i + 1].lines;
    ASSERT_EQ(got.size(), meanings.size());
    for (size_t k = 0; k < got.size(); ++k) {
      for (const auto& [key, value] : ParseMeaning(meanings[k])) {
        const auto found = got[k].find(key);
        ASSERT_NE(found, got[k].end()) << "no field " << key << " in: " << meanings[k];
        EXPECT_EQ(found->second, value) << key << " in: " << meanings[k];
      }
    }
    examples[blocks[i].tag] += static_cast<int>(got.size());
  }
  // A fence the reader no longer finds must not pass as "nothing to check".
  for (const auto& [tag, parser] : kParsers) EXPECT_GT(examples[tag], 0) << tag;
}

}  // namespace

// Every example of docs/files.md, fed to the parser of its file: each block
// tagged with a file name is followed by a "meaning" block of key=value
// pairs (one line per example line, or one for a whole serial.dat or show),
// and each pair must be what the engine makes of the example.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
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
// and \n in it is a line end.
Fields ParseMeaning(const std::string& line) {
  Fields fields;
  size_t at = 0;
  while ((at = line.find_first_not_of(' ', at)) != std::string::npos) {
    const size_t equals = line.find('=', at);
    if (equals == std::string::npos) return {{"unreadable meaning", line}};
    const std::string key = line.substr(at, equals - at);
    const bool quoted = equals + 1 < line.size() && line[equals + 1] == '"';
    const size_t start = equals + (quoted ? 2 : 1);
    const size_t end = line.find(quoted ? '"' : ' ', start);
    std::string value = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    for (size_t n; (n = value.find("\\n")) != std::string::npos;) value.replace(n, 2, "\n");
    fields[key] = value;
    at = end == std::string::npos ? line.size() : end + 1;
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

// The show of the document, written for the C001 examples to load.
class DocumentedShow {
 public:
  explicit DocumentedShow(const std::vector<Block>& blocks) {
    for (const Block& b : blocks) {
      if (b.tag == "show" && path_.empty()) {
        path_ = folder_.Path("show.txt");
        std::ofstream(path_) << Joined(b.lines);
      }
    }
  }
  const std::string& path() const { return path_; }

 private:
  TempFolder folder_;
  std::string path_;
};

Fields DescribeNetwork(const Stream& stream) {
  static const char* const kProtocols[] = {"none", "artnet", "qsp", "sacn", "kinet"};
  const NetworkEndpoint& s = *stream.As<NetworkEndpoint>();
  Fields f = {{"kind", "network"},
              {"protocol", kProtocols[s.protocol]},
              {"input", std::to_string(stream.IsInput())}};
  const struct sockaddr_in* to = nullptr;
  if (s.protocol == kProtocolArtnet) {
    f["universe"] = std::to_string(s.artnetUniverse);
    to = &s.artnetAddress;
  } else if (s.protocol == kProtocolQsp) {
    f["universe"] = std::to_string(s.qspUniverse);
    to = &s.qspAddress;
  } else if (s.protocol == kProtocolSacn) {
    f["universe"] = std::to_string(s.acn.universe);
    f["priority"] = std::to_string(s.acn.priority);
    static const uint8_t kAny[16] = {};
    f["cid"] = memcmp(s.acn.cidFilter, kAny, 16) == 0 ? "any" : Hex(s.acn.cidFilter, 16);
  } else if (s.protocol == kProtocolKinet) {
    f["kinetport"] = std::to_string(s.kinetPort);
  }
  if (to != nullptr) {
    const bool broadcast = to->sin_addr.s_addr == BroadcastAddress.s_addr;
    f["address"] = broadcast ? "broadcast" : Address(to->sin_addr);
    f["port"] = std::to_string(ntohs(to->sin_port));
  }
  return f;
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
  std::string values;
  size_t last = kDmxChannels;
  while (last > 0 && s.data[last - 1] == 0) --last;
  for (size_t k = 0; k < last; ++k) values += (k ? "," : "") + std::to_string(s.data[k]);
  return {{"kind", "generator"}, {"type", "fixed"}, {"values", values}};
}

std::vector<Fields> DescribeConfig(const Block& block, const DocumentedShow& show) {
  const auto file = ParseConfigText(Joined(block.lines));
  EXPECT_FALSE(file.error.has_value()) << (file.error ? file.error->reason : "");
  SimulatedUart uart;
  std::vector<Fields> described;
  for (ConfigRecord record : file.records) {
    std::string documentedPath;
    if (record.kind == kStreamGenerator && record.text.rfind("001", 0) == 0) {
      documentedPath = record.text.substr(6, record.text.size() - 7);
      record.text = record.text.substr(0, 6) + show.path() + "\n";
    }
    if (record.kind == kStreamLedrunnerPort) uart.WriteConf(std::stoi(record.text.substr(0, 3)), "led\n");
    std::unique_ptr<Stream> s(StartConfiguredStream(record));
    Fields f;
    switch (record.kind) {
      case kStreamNetwork:
        f = DescribeNetwork(*s);
        break;
      case kStreamPort: {
        const DmxPortSettings p = ParseDmxPortText(record.text);
        const DmxPort& port = *s->As<DmxPort>();
        f = {{"kind", "port"},          {"device", port.devicePath},
             {"input", std::to_string(port.input)},
             {"refresh", std::to_string(p.refreshRate)},
             {"break", std::to_string(port.paramsContinuous.breakTime)},
             {"mab", std::to_string(port.paramsContinuous.markAfterBreak)},
             {"channels", std::to_string(port.channels)},
             {"interslot", std::to_string(port.paramsContinuous.interSlot)}};
        break;
      }
      case kStreamLedrunnerPort: {
        const LedrunnerPort& led = *s->As<LedrunnerPort>();
        f = {{"kind", "led"}, {"device", led.devicePath},
             {"strip", std::to_string(led.stripProtocol)},
             {"order", std::to_string(led.pixelOrder)},
             {"group", std::to_string(led.pixelGroupSize)}};
        break;
      }
      case kStreamVirtual:
        f = {{"kind", "virtual"}};
        break;
      case kStreamNxb: {
        const NxbEndpoint& node = *s->As<NxbEndpoint>();
        f = {{"kind", "node"}, {"address", Address(node.nxbAddress.sin_addr)},
             {"port", std::to_string(ntohs(node.nxbAddress.sin_port))},
             {"input", std::to_string(node.nxbInput)}};
        break;
      }
      case kStreamGenerator:
        f = DescribeGenerator(*s, documentedPath);
        break;
    }
    described.push_back(f);
  }
  return described;
}

std::vector<Fields> DescribeRules(const Block& block, const DocumentedShow&) {
  const auto file = ParseRulesText(Joined(block.lines));
  EXPECT_FALSE(file.error.has_value()) << (file.error ? file.error->reason : "");
  static const char* const kKinds[] = {"disabled", "forward", "copy",       "htp",
                                       "ltp",      "priority", "switch",    "switch2to1",
                                       "compressor", "leda",   "ledb"};
  std::vector<Fields> described;
  for (const RulesRecord& record : file.records) {
    if (record.klock) {
      described.push_back({{"rule", "klock"},
                           {"stream", std::to_string(record.klockStream)},
                           {"timeout", std::to_string(record.klockTimeout)}});
      continue;
    }
    const Rule r(record.kind, record.text);
    const bool compressor = r.kind == kRuleCompressor;
    described.push_back({{"rule", kKinds[r.kind]},
                         {"s1", std::to_string(r.s1)},
                         {"s2", std::to_string(r.s2)},
                         {"d1", std::to_string(r.d1)},
                         {"s1start", std::to_string(r.s1Start)},
                         {"d1start", std::to_string(r.d1Start)},
                         {"count", std::to_string(r.count)},
                         {"timeout", std::to_string(r.timeout)},
                         {"source", std::to_string(r.switchSource)},
                         {"a", std::to_string(r.switchA)},
                         {"b", std::to_string(r.switchB)},
                         {"dest", std::to_string(r.switchDest)},
                         {"control", std::to_string(compressor ? r.compControlStream : r.controlStream)},
                         {"channel", std::to_string(compressor ? r.compControlChannel : r.controlChannel)},
                         {"threshold", std::to_string(r.threshold)}});
  }
  return described;
}

std::vector<Fields> DescribeSerial(const Block& block, const DocumentedShow&) {
  DeviceIdentityRecord id;
  const auto error = ParseSerialText(Joined(block.lines), &id);
  EXPECT_FALSE(error.has_value()) << (error ? error->reason : "");
  uint8_t mac[6];
  for (int k = 0; k < 6; ++k) mac[k] = static_cast<uint8_t>(id.macAddress[k]);
  std::string macText;
  for (int k = 0; k < 6; ++k) macText += (k ? ":" : "") + Hex(mac + k, 1);
  return {{{"serial", std::to_string(id.serialNumber)},
           {"ip", Address(id.ipAddress)},
           {"mac", macText},
           {"broadcast", Address(id.broadcastAddress)},
           {"name", id.deviceName},
           {"cid", Hex(id.sacnCid, 16)},
           {"board", std::to_string(id.boardType)}}};
}

std::vector<Fields> DescribeShow(const Block& block, const DocumentedShow&) {
  std::istringstream in(Joined(block.lines));
  Show show;
  EXPECT_TRUE(static_cast<bool>(ReadShow(in, show))) << "the show does not read to its end";
  std::string entries;
  for (const auto& [id, list] : show.cuelists) {
    entries += (entries.empty() ? "" : ",") + std::to_string(list.entries.size());
  }
  std::string types;
  for (uint8_t t : show.ChTypes) types += (types.empty() ? "" : ",") + std::to_string(t);
  return {{{"cues", std::to_string(show.cues.size())},
           {"cuelists", std::to_string(show.cuelists.size())},
           {"entries", entries},
           {"defvals", std::to_string(show.DefVals.size())},
           {"chtypes", types}}};
}

std::vector<Fields> DescribeXuartConf(const Block& block, const DocumentedShow&) {
  static const char* const kFaults[] = {"none", "silent", "badsum", "short", "nomute"};
  std::vector<Fields> described;
  for (const std::string& line : block.lines) {
    xuart_sim::ResponderConfig r;
    if (line == "led") {
      described.push_back({{"conf", "led"}});
    } else if (xuart_sim::ParseResponderLine(line, &r)) {
      described.push_back({{"conf", "responder"},
                           {"uid", Hex(r.uid.bytes, 6)},
                           {"label", r.label},
                           {"address", std::to_string(r.startAddress)},
                           {"footprint", std::to_string(r.footprint)},
                           {"fault", kFaults[static_cast<int>(r.fault)]}});
    } else {
      described.push_back({{"conf", "unreadable"}});
    }
  }
  return described;
}

using Describe = std::function<std::vector<Fields>(const Block&, const DocumentedShow&)>;

TEST(DocExamples, EveryExampleMeansWhatTheReferenceSays) {
  const std::map<std::string, Describe> kParsers = {
      {"config.dat", DescribeConfig}, {"rules.dat", DescribeRules},
      {"serial.dat", DescribeSerial}, {"show", DescribeShow},
      {"xuart.conf", DescribeXuartConf}};
  // "broadcast" in a meaning: the device's broadcast address.
  inet_aton("127.255.255.255", &BroadcastAddress);
  const std::vector<Block> blocks = ReadBlocks();
  const DocumentedShow show(blocks);
  std::map<std::string, int> examples;
  for (size_t i = 0; i < blocks.size(); ++i) {
    const auto parser = kParsers.find(blocks[i].tag);
    if (parser == kParsers.end()) continue;
    SCOPED_TRACE("docs/files.md:" + std::to_string(blocks[i].line) + " " + blocks[i].tag);
    ASSERT_LT(i + 1, blocks.size());
    ASSERT_EQ(blocks[i + 1].tag, "meaning");
    const std::vector<Fields> got = parser->second(blocks[i], show);
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

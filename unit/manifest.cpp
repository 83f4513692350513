#include "unit/manifest.hpp"

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <boost/regex.hpp>
#include <cstring>
#include <exception>
#include <limits>
#include <istream>
#include <sstream>
#include <streambuf>

#include "base/bytes.hpp"
#include "unit/identifiers.hpp"
#include "unit/json_limits.hpp"

namespace quave {

namespace pt = boost::property_tree;

namespace {

const boost::regex kVersionPattern("([0-9]+)[.]([0-9]+)-([0-9]+)");
const boost::regex kPrintablePattern("([\\x20-\\x7E]+)");

// A decimal digit run as a 32-bit signed number; nothing when it does not fit.
std::optional<int32_t> decimal_int32(const std::string& digits) {
  int64_t value = 0;
  for (char c : digits) {
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

// Why a "major.minor-patch" text was refused, or its packed value.
struct PackedVersion {
  std::optional<uint32_t> value;
  std::string error;
};

// `label` begins the messages: "Invalid API version format." and so on;
// `range_label` begins the out-of-range one.
PackedVersion pack_version(const std::string& text, const std::string& label,
                           const std::string& range_label) {
  boost::smatch m;
  if (!boost::regex_match(text, m, kVersionPattern))
    return {std::nullopt, label + " (" + text + ")"};
  int32_t parts[3];
  for (int i = 0; i < 3; ++i) {
    const auto part = decimal_int32(m[i + 1].str());
    if (!part) return {std::nullopt, label + " (" + text + ") : stoi argument out of range"};
    parts[i] = *part;
  }
  for (int32_t part : parts) {
    if (part > 99) return {std::nullopt, range_label + " (" + text + ")"};
  }
  return {static_cast<uint32_t>(parts[0] << 16 | parts[1] << 8 | parts[2]), {}};
}

bool printable(const std::string& text) { return boost::regex_match(text, kPrintablePattern); }

// Numbers are converted as the property tree converts them (the whole text,
// blanks around it allowed), but a failure names its type in words where the
// library would give the compiler's type code.
template <typename T>
T number_value(const pt::ptree& node, const char* type_name) {
  std::istringstream in(node.data());
  T value{};
  in >> value;
  if (!in.eof()) in >> std::ws;
  if (in.fail() || in.get() != std::char_traits<char>::eof()) {
    throw pt::ptree_bad_data(std::string("conversion of data to type \"") + type_name + "\" failed",
                             node.data());
  }
  return value;
}

uint32_t get_uint32(const pt::ptree& tree, const char* path) {
  return number_value<uint32_t>(tree.get_child(path), "unsigned int");
}

int get_int(const pt::ptree& node) { return number_value<int>(node, "int"); }

// The checks in their order; the first failure writes its message to
// `messages` and returns false. Property tree errors propagate.
bool fill_header(const pt::ptree& tree, PlatformId expected_platform, std::ostream& messages,
                 uint8_t* h) {
  const std::string platform_text = tree.get<std::string>("header.platform");
  const auto platform = platform_from_name(platform_text);
  if (!platform) {
    messages << "Invalid target platform. (" << platform_text << ")";
    return false;
  }
  if (is_known_platform(expected_platform) && expected_platform != *platform) {
    messages << "Expected target platform \"" << platform_name(expected_platform)
             << "\", found \"" << platform_text << "\"";
    return false;
  }
  h[kHdrPlatform] = *platform & 0x7F;

  const std::string module_text = tree.get<std::string>("header.module");
  const auto module = module_from_name(module_text);
  if (!module) {
    messages << "Invalid module specifier. (" << module_text << ")";
    return false;
  }
  h[kHdrModule] = *module & 0x7F;

  const auto api = pack_version(tree.get<std::string>("header.api"),
                                "Invalid API version format.", "API version component out of range.");
  if (!api.value) {
    messages << api.error;
    return false;
  }
  put_le32(h + kHdrApi, *api.value);

  put_le32(h + kHdrDevId, get_uint32(tree, "header.dev_id"));
  put_le32(h + kHdrPrgId, get_uint32(tree, "header.prg_id"));

  const auto version = pack_version(tree.get<std::string>("header.version"),
                                    "Invalid version format.", "version component out of range.");
  if (!version.value) {
    messages << version.error;
    return false;
  }
  put_le32(h + kHdrVersion, *version.value);

  std::string name = tree.get<std::string>("header.name");
  if (!printable(name)) {
    messages << "Invalid name format. Expected printable ASCII." << '\n';
    return false;
  }
  if (name.size() > kNameMaxLength) {
    messages << "Warning: name clipped to " << kNameMaxLength << "chars." << '\n';
    name.resize(kNameMaxLength);
  }
  // The rest of the field stays zero, so the name is always terminated.
  std::memcpy(h + kHdrName, name.data(), name.size());

  if (*module != kModuleOsc) return true;

  const uint32_t num_param = get_uint32(tree, "header.num_param");
  // Checked before the descriptors are looked at, so that nothing can ever
  // be written past the end of the block.
  if (num_param > kMaxParamDescriptors) {
    messages << "Too many parameter descriptors. (" << num_param << " > " << kMaxParamDescriptors
             << ")";
    return false;
  }
  put_le32(h + kHdrNumParam, num_param);
  if (num_param == 0) return true;

  const pt::ptree& params = tree.get_child("header.params");
  if (params.size() != num_param) {
    messages << "Parameter descriptor count does not match num_param field.";
    return false;
  }
  unsigned k = 0;
  for (const auto& element : params) {
    const pt::ptree& descriptor = element.second;
    if (descriptor.size() != 4) {
      messages << "Parameter descriptor #" << k << " has invalid length.";
      return false;
    }
    auto field = descriptor.begin();
    std::string param_name = (field++)->second.get_value<std::string>();
    const pt::ptree& min_node = (field++)->second;
    const pt::ptree& max_node = (field++)->second;
    const pt::ptree& type_node = field->second;

    uint8_t* d = h + kParamsOffset + kParamDescriptorSize * k;
    if (!printable(param_name)) {
      messages << "Invalid param name format. Expected printable ASCII." << '\n';
      return false;
    }
    if (param_name.size() > kNameMaxLength) {
      messages << "Warning: param name clipped to " << kNameMaxLength << "chars." << '\n';
      param_name.resize(kNameMaxLength);
    }
    std::memcpy(d + 3, param_name.data(), param_name.size());

    const int min = get_int(min_node);
    if (min < -100 || min > 100) {
      messages << "Minimum value in parameter descriptor #" << k << " exceeds value limits."
               << '\n';
      return false;
    }
    d[0] = static_cast<uint8_t>(static_cast<int8_t>(min));

    const int max = get_int(max_node);
    if (max < -100 || max > 100) {
      messages << "Maximum value in parameter descriptor #" << k << " exceeds value limits."
               << '\n';
      return false;
    }
    d[1] = static_cast<uint8_t>(static_cast<int8_t>(max));

    const auto type = param_type_index(type_node.get_value<std::string>());
    if (!type) {
      messages << "Invalid type identifier in parameter descriptor #" << k << ".";
      return false;
    }
    // "%" splits on the sign of the minimum; "" is its own code.
    d[2] = *type == 0 ? (min < 0 ? 1 : 0) : 2;
    ++k;
  }
  return true;
}

// Lets the JSON reader stream the manifest in place instead of from a copy.
class TextBuffer : public std::streambuf {
 public:
  TextBuffer(const char* text, size_t length) {
    char* begin = const_cast<char*>(text);  // only ever read
    setg(begin, begin, begin + length);
  }
};

}  // namespace

std::optional<UnitHeader> parse_manifest(const char* manifest_text, PlatformId expected_platform,
                                         std::string& diagnostics) {
  if (!manifest_text) {
    diagnostics = "Tried to parse null data...";
    return std::nullopt;
  }
  const size_t length = std::strlen(manifest_text);
  if (auto refusal = json_limit_refusal(manifest_text, length)) {
    diagnostics = *refusal;
    return std::nullopt;
  }
  pt::ptree tree;
  try {
    TextBuffer buffer(manifest_text, length);
    std::istream in(&buffer);
    pt::read_json(in, tree);
  } catch (const std::exception& e) {
    diagnostics = e.what();
    return std::nullopt;
  }
  return validate_manifest(tree, expected_platform, diagnostics);
}

std::optional<UnitHeader> validate_manifest(const pt::ptree& tree, PlatformId expected_platform,
                                            std::string& diagnostics) {
  std::ostringstream messages;
  UnitHeader header;
  bool ok = false;
  try {
    ok = fill_header(tree, expected_platform, messages, header.bytes.data());
  } catch (const std::exception& e) {
    messages << e.what();
  }
  diagnostics = messages.str();
  if (!ok) return std::nullopt;
  return header;
}

}  // namespace quave

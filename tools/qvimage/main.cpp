// qvimage: makes upgrade files and their key files, builds an upgrade folder
// tree, and shows what a given upgrade file holds.
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/station/StationCodec.h"
#include "sim/station/StationImage.h"
#include "sim/station/UpgradeImage.h"

namespace {

using namespace qv;
using namespace qv::sim;

constexpr const char* kHelp = R"(usage:
  qvimage make OUT.pupd (--raw IMAGE | --size BYTES) --hardware 0xHHHH --boot 0xHHHH
               [--firmware NNN] [--key TEXT] [--seed N] [--bad-checksum]
      writes OUT.pupd and its key file OUT.pkey. A synthetic image (--size)
      starts with the header "QVIMG" + firmware digits (from --firmware or the
      file name's "_NNN"), from which the station simulator learns its new
      firmware; the loader never looks at it.
  qvimage tree DIR --hardware 0xHHHH[,0xHHHH…] --size BYTES --boot 0xHHHH
               [--title NAME] [--firmware NNN] [--key TEXT] [--seed N]
      writes DIR/0xHHHH/NAME_NNN.pupd and .pkey for every hardware version.
  qvimage show FILE.pupd
      trailer, checksum right or wrong, image size, key length.
)";

using Options = std::map<std::string, std::string>;

unsigned long Number(const std::string& text) {
  std::size_t used = 0;
  const unsigned long value = std::stoul(text, &used, 0);
  if (used != text.size()) throw std::invalid_argument("not a number: " + text);
  return value;
}

Options ParseOptions(int argc, char** argv, int first) {
  Options options;
  for (int i = first; i < argc; ++i) {
    const std::string name = argv[i];
    if (name.rfind("--", 0) != 0) throw std::invalid_argument("unexpected " + name);
    if (name == "--bad-checksum") {
      options[name] = "1";
      continue;
    }
    if (i + 1 >= argc) throw std::invalid_argument(name + " needs a value");
    options[name] = argv[++i];
  }
  return options;
}

std::string Required(const Options& options, const std::string& name) {
  const auto it = options.find(name);
  if (it == options.end()) throw std::invalid_argument(name + " is required");
  return it->second;
}

std::string Optional(const Options& options, const std::string& name, const std::string& fallback) {
  const auto it = options.find(name);
  return it == options.end() ? fallback : it->second;
}

std::uint16_t Word(const Options& options, const std::string& name) {
  const unsigned long value = Number(Required(options, name));
  if (value > 0xFFFF) throw std::invalid_argument(name + " must fit in 16 bits");
  return static_cast<std::uint16_t>(value);
}

void WriteOrThrow(const std::string& path, const Bytes& data) {
  if (!WriteWholeFile(path, data)) throw std::runtime_error("cannot write " + path);
}

Bytes ImageFor(const Options& options, const std::string& firmware) {
  if (options.count("--raw")) {
    const auto raw = ReadWholeFile(options.at("--raw"));
    if (!raw) throw std::runtime_error("cannot read " + options.at("--raw"));
    return *raw;
  }
  const auto seed = static_cast<std::uint32_t>(Number(Optional(options, "--seed", "1")));
  return MakeSyntheticImage(Number(Required(options, "--size")), firmware, seed);
}

void WriteUpgrade(const std::string& out, const Options& options, const std::string& firmware) {
  const Bytes image = ImageFor(options, firmware);
  Bytes file = BuildUpgradeFile(image, Word(options, "--boot"), Word(options, "--hardware"));
  if (options.count("--bad-checksum")) file.back() ^= 0xFF;
  WriteOrThrow(out, file);
  const auto seed = static_cast<std::uint32_t>(Number(Optional(options, "--seed", "1")));
  const std::string key = Optional(options, "--key", MakeKey(seed));
  WriteOrThrow(KeyFilePath(out), BytesOf(key));
  std::cout << out << ": " << image.size() << " bytes of image, key " << KeyFilePath(out) << "\n";
}

int Make(int argc, char** argv) {
  if (argc < 3) throw std::invalid_argument("make needs an output file");
  const std::string out = argv[2];
  const Options options = ParseOptions(argc, argv, 3);
  const std::string firmware =
      Optional(options, "--firmware", FirmwareFromFileName(out).value_or(""));
  WriteUpgrade(out, options, firmware);
  return 0;
}

std::vector<std::uint16_t> HardwareList(const std::string& text) {
  std::vector<std::uint16_t> list;
  std::stringstream stream(text);
  for (std::string item; std::getline(stream, item, ',');) {
    const unsigned long value = Number(item);
    if (value > 0xFFFF) throw std::invalid_argument("hardware must fit in 16 bits");
    list.push_back(static_cast<std::uint16_t>(value));
  }
  return list;
}

int Tree(int argc, char** argv) {
  if (argc < 3) throw std::invalid_argument("tree needs a folder");
  const std::filesystem::path root = argv[2];
  Options options = ParseOptions(argc, argv, 3);
  const std::string firmware = Optional(options, "--firmware", "560");
  const std::string title = Optional(options, "--title", "QV");
  for (std::uint16_t hardware : HardwareList(Required(options, "--hardware"))) {
    const std::filesystem::path folder = root / HardwareFolderName(hardware);
    std::filesystem::create_directories(folder);
    options["--hardware"] = std::to_string(hardware);
    WriteUpgrade((folder / (title + "_" + firmware + ".pupd")).string(), options, firmware);
  }
  return 0;
}

int Show(int argc, char** argv) {
  if (argc < 3) throw std::invalid_argument("show needs a file");
  const std::string path = argv[2];
  const auto file = ReadWholeFile(path);
  if (!file) throw std::runtime_error("cannot read " + path);
  std::cout << "file:      " << path << " (" << file->size() << " bytes)\n";
  const auto info = SplitUpgradeFile(*file);
  if (!info) {
    std::cout << "trailer:   missing, the file is shorter than 6 bytes\n";
    return 1;
  }
  std::cout << "image:     " << info->image.size() << " bytes\n"
            << "boot:      " << HexWord(info->boot) << "\n"
            << "hardware:  " << HexWord(info->hardware) << " (folder "
            << HardwareFolderName(info->hardware) << ")\n"
            << "checksum:  stored " << HexWord(info->storedChecksum) << ", computed "
            << HexWord(info->computedChecksum) << (info->checksumOk() ? " (right)" : " (WRONG)")
            << "\n";
  if (const auto firmware = FirmwareFromFileName(path))
    std::cout << "firmware:  " << *firmware << " (file name)\n";
  if (const auto header = SyntheticFirmware(info->image))
    std::cout << "header:    QVIMG, firmware " << *header << "\n";
  const auto key = ReadWholeFile(KeyFilePath(path));
  if (!key) {
    std::cout << "key:       " << KeyFilePath(path) << " missing\n";
    return 1;
  }
  std::cout << "key:       " << KeyFilePath(path) << ", " << key->size() << " characters"
            << (key->size() < 8 ? " (too short: at least 8 needed)" : "") << "\n";
  return info->checksumOk() && key->size() >= 8 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  try {
    if (command == "make") return Make(argc, argv);
    if (command == "tree") return Tree(argc, argv);
    if (command == "show") return Show(argc, argv);
    std::cout << kHelp;
    return command == "--help" || command == "-h" ? 0 : 2;
  } catch (const std::exception& e) {
    std::cerr << "qvimage: " << e.what() << "\n";
    return 2;
  }
}

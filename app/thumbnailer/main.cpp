// corvid-thumbnailer -s SIZE INPUT OUTPUT: writes a PNG thumbnail of a CAM
// file, as file managers that follow the freedesktop thumbnailer
// convention ask for (share/thumbnailers/corvid.thumbnailer).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "thumbnail.h"

namespace {

const char kHelp[] =
    "Usage: corvid-thumbnailer [-s SIZE] INPUT OUTPUT\n"
    "Writes a PNG thumbnail of a CAM camera picture, at most SIZE x SIZE pixels.\n"
    "\n"
    "Options:\n"
    "  -s, --size SIZE  Largest width and height of the thumbnail (default 128).\n"
    "  -h, --help       Show this help.\n"
    "  -v, --version    Show the version.\n"
    "\n"
    "INPUT and OUTPUT are paths or file: URIs.\n";

int Usage(const std::string& complaint) {
  std::fprintf(stderr, "corvid-thumbnailer: %s\nTry 'corvid-thumbnailer --help'.\n", complaint.c_str());
  return corvid::thumbnailer::kExitUsage;
}

// A whole number of pixels, 1 or more; -1 for anything else.
int ParseSize(const std::string& text) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return -1;
  const int value = std::atoi(text.c_str());
  return value >= 1 ? value : -1;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// File managers pass a path (%i); a local file: URI (%u) is taken too:
// "file:///home/a/b%20c.cam" is "/home/a/b c.cam".
std::string LocalPath(const std::string& arg) {
  std::string rest;
  if (arg.rfind("file:///", 0) == 0) {
    rest = arg.substr(7);
  } else if (arg.rfind("file://localhost/", 0) == 0) {
    rest = arg.substr(16);
  } else {
    return arg;
  }
  std::string path;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == '%' && i + 2 < rest.size() && HexDigit(rest[i + 1]) >= 0 && HexDigit(rest[i + 2]) >= 0) {
      path += static_cast<char>(HexDigit(rest[i + 1]) * 16 + HexDigit(rest[i + 2]));
      i += 2;
    } else {
      path += rest[i];
    }
  }
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  int size = 128;
  std::vector<std::string> files;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!options || arg.empty() || arg[0] != '-' || arg == "-") {
      files.push_back(arg);
    } else if (arg == "--") {
      options = false;
    } else if (arg == "-h" || arg == "--help") {
      std::fputs(kHelp, stdout);
      return corvid::thumbnailer::kExitOk;
    } else if (arg == "-v" || arg == "--version") {
      std::printf("corvid-thumbnailer %s\n", CORVID_VERSION_TEXT);
      return corvid::thumbnailer::kExitOk;
    } else if (arg == "-s" || arg == "--size" || arg.rfind("--size=", 0) == 0 || arg.rfind("-s", 0) == 0) {
      std::string value;
      if (arg == "-s" || arg == "--size") {
        if (i + 1 >= argc) return Usage("Missing value after option '" + arg + "'.");
        value = argv[++i];
      } else {
        value = arg.rfind("--size=", 0) == 0 ? arg.substr(7) : arg.substr(2);
      }
      size = ParseSize(value);
      if (size < 1) return Usage("SIZE must be a whole number of pixels, 1 or more.");
    } else {
      return Usage("Unknown option '" + arg + "'.");
    }
  }
  if (files.size() != 2) return Usage("Give one INPUT and one OUTPUT file.");

  std::string error;
  const int code = corvid::thumbnailer::WriteThumbnail(LocalPath(files[0]), size, LocalPath(files[1]), &error);
  if (code != corvid::thumbnailer::kExitOk) std::fprintf(stderr, "corvid-thumbnailer: %s\n", error.c_str());
  return code;
}
